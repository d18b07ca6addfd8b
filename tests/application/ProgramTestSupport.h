#pragma once

// What the tests of the program and its windows share: a document opener that only records, the
// main window the program shows, and the lines of the program's log file.

#include "application/LocalizedFileOpener.h"
#include "application/MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWidget>

// Opens nothing: it records every path it is asked to open and answers as told.
class FakeOpener : public Thg::Tilo::Components::LocalizedFileOpener {
public:
    bool answer = true;
    QStringList opened;

protected:
    bool doOpenFile(const QString &path) override
    {
        opened << path;
        return answer;
    }
};

// The program's main window once it is shown; nullptr before.
inline MainWindow *shownMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<MainWindow *>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

// "[level] message" of every line of the log file, after checking each line's time stamp and end; a
// line that fails the check reads "<malformed> " and the line, a missing file "<no log file>".
inline QStringList logMessages(const QString &path)
{
    static const QRegularExpression line(
        QStringLiteral(R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6}\] (\[[a-z]+\] .*)\r$)"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no log file>")};
    QStringList messages;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        if (raw.isEmpty())
            continue;
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(raw));
        messages << (match.hasMatch() ? match.captured(1) : QStringLiteral("<malformed> ") + QString::fromUtf8(raw));
    }
    return messages;
}
