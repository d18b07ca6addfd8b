#pragma once

// Helpers for the boot-loader tests: firmware files on disk and the signals of a client.

#include "protocol/bootloader/Bootloader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace BootloaderTest {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// TI-TXT text of one section: the address line, then the bytes, 16 to a line.
inline QByteArray section(quint32 address, const QByteArray &data)
{
    QByteArray text = "@" + QByteArray::number(address, 16).toUpper() + "\r\n";
    for (qsizetype i = 0; i < data.size(); ++i) {
        text += QByteArray(1, data[i]).toHex().toUpper();
        text += (i % 16 == 15 || i + 1 == data.size()) ? "\r\n" : " ";
    }
    return text;
}

inline QByteArray pattern(int count, int seed = 0)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char((i * 7 + seed) & 0xFF));
    return bytes;
}

// Firmware files in a folder of their own that goes with the object.
class FirmwareFiles {
public:
    QString write(const QString &name, const QByteArray &text)
    {
        const QString path = mDir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
        return path;
    }
    QString missing() const { return mDir.filePath(QStringLiteral("missing.txt")); }
    // A folder, whose name may look like a firmware file's.
    QString folder(const QString &name)
    {
        QDir(mDir.path()).mkpath(name);
        return mDir.filePath(name);
    }
    bool isValid() const { return mDir.isValid(); }

private:
    QTemporaryDir mDir;
};

inline QList<int> intArguments(const QSignalSpy &spy)
{
    QList<int> values;
    for (const auto &arguments : spy)
        values << arguments.at(0).toInt();
    return values;
}

inline QList<int> errors(const QSignalSpy &spy)
{
    QList<int> values;
    for (const auto &arguments : spy)
        values << int(arguments.at(0).value<Bootloader::BLERROR>());
    return values;
}

inline QList<int> states(const QSignalSpy &spy)
{
    QList<int> values;
    for (const auto &arguments : spy)
        values << int(arguments.at(0).value<Bootloader::BLSTATE>());
    return values;
}

inline QList<int> progress(const QSignalSpy &spy)
{
    QList<int> values;
    for (const auto &arguments : spy)
        values << int(arguments.at(0).value<uint8_t>());
    return values;
}

inline QStringList texts(const QSignalSpy &spy)
{
    QStringList values;
    for (const auto &arguments : spy)
        values << arguments.at(0).toString();
    return values;
}

inline QByteArray written(const QSignalSpy &spy, qsizetype index)
{
    return spy.at(index).at(0).toByteArray();
}

} // namespace BootloaderTest
