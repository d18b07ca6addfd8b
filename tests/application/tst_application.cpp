// An exception that escapes an event handler ends the program: one error line naming the event,
// the receiver and the exception, then Qt's critical message, then the process aborts; nothing
// after it runs, not even from a nested event loop.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int TimeoutMs = 30000;

QStringList messagesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        // "[date time] [level] message": keep "[level] message".
        const qsizetype level = line.indexOf("] [");
        messages << QString::fromUtf8(line.mid(level + 2)).trimmed();
    }
    return messages;
}

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void exceptionInEventHandler_logsOnceAndAborts_data();
    void exceptionInEventHandler_logsOnceAndAborts();
};

void TestApplication::exceptionInEventHandler_logsOnceAndAborts_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("errorLine");
    QTest::addColumn<QString>("critical");

    QTest::newRow("std::exception")
        << "exception"
        << "[error] [main] Closing application, exception sending event 14QMetaCallEvent to object thrower (7Thrower): boom"
        << "Error occurred, closing application";
    QTest::newRow("anything else")
        << "unknown"
        << "[error] [main] Closing application, unknown error sending event 14QMetaCallEvent to object thrower (7Thrower)"
        << "Unknown error occurred, closing application";
    QTest::newRow("inside a nested event loop")
        << "nested"
        << "[error] [main] Closing application, exception sending event 14QMetaCallEvent to object thrower (7Thrower): boom"
        << "Error occurred, closing application";
}

void TestApplication::exceptionInEventHandler_logsOnceAndAborts()
{
    QFETCH(QString, mode);
    QFETCH(QString, errorLine);
    QFETCH(QString, critical);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath("helper.log");

    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // The abort is the expected end; a sanitizer build must not turn it into a report of its own.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0:handle_abort=0");
    helper.setProcessEnvironment(environment);
    helper.start(NOTIFY_HELPER_PATH, {log, mode});
    QVERIFY(helper.waitForFinished(TimeoutMs));

    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
    QVERIFY(!helper.readAllStandardOutput().contains("caught in main"));
    QVERIFY(QString::fromUtf8(helper.readAllStandardError()).contains(critical));
    const QStringList messages = messagesOf(log);
    QCOMPARE(messages.filter("[error]"), QStringList{errorLine});
    QCOMPARE(messages.first(), QStringLiteral("[info] [main] Helper running"));
    QCOMPARE(messages.last(), errorLine);
}

QTEST_GUILESS_MAIN(TestApplication)
#include "tst_application.moc"
