#pragma once

#include "device/Reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <string>

// Helpers for tests that read description, media and schema files.
namespace DeviceTestFiles {

// Writes `content` to `name` below `dir`, creating subdirectories; returns the absolute path.
inline std::string write(const QTemporaryDir &dir, const QString &name, const std::string &content)
{
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content.data(), qint64(content.size()));
    return QDir::cleanPath(path).toStdString();
}

// A text source that needs no file, and counts how often it was read.
class StringReader : public Thg::Tilo::Device::Reader {
public:
    StringReader(std::string name, std::string text) : name(std::move(name)), text(std::move(text)) {}

    std::string read() const override
    {
        ++reads;
        return text;
    }
    const std::string &getSourceName() const override { return name; }

    mutable int reads = 0;

private:
    std::string name;
    std::string text;
};

// Changes the working directory for the lifetime of the object.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const QString &path) : previous(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    WorkingDirectory(const WorkingDirectory &) = delete;
    WorkingDirectory &operator=(const WorkingDirectory &) = delete;

private:
    QString previous;
};

} // namespace DeviceTestFiles
