#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace ZebSim {

// One line per frame that the simulated device receives or sends: time, direction, command, address
// and the command's fields as they travel in that direction. Appends to a file when one is given.
class FrameLog {
public:
    enum class Direction { Received, Sent };

    // The log line of one frame (body and checksum, no preamble), without the time stamp.
    static QString describe(Direction direction, const QByteArray &frame, const QString &note = {});

    bool open(const QString &path, QString *error);
    bool isOpen() const { return mFile.isOpen(); }
    void record(Direction direction, const QByteArray &frame, const QString &note = {});
    void note(const QString &text);

private:
    void writeLine(const QString &text);

    QFile mFile;
};

} // namespace ZebSim
