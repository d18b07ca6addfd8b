#include "application/Logger.h"
#include "application/LoggerSetup.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <spdlog/spdlog.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Thg::Tilo::Components::Logger;
using Thg::Tilo::Components::LoggerSettings;

namespace {

// Stands in for Qt's own handler, so the test sees what is passed on.
std::mutex previousMutex;
QStringList previousMessages;
QList<QtMsgType> previousTypes;

void recordingHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const std::lock_guard lock(previousMutex);
    previousTypes << type;
    previousMessages << message;
}

const QRegularExpression linePattern(
    QStringLiteral(R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6}\] \[([a-z]+)\] (.*)$)"));

} // namespace

class TestLogger : public QObject {
    Q_OBJECT

private:
    QTemporaryDir mDir;
    QString mFile;
    QtMessageHandler mQtTestHandler = nullptr;

    void setUp(std::size_t maxFileSize = 10485760)
    {
        LoggerSettings settings;
        settings.fileName = mFile.toStdString();
        settings.maxFileSize = maxFileSize;
        Thg::Tilo::Components::initializeLogger(settings);
        QVERIFY(Logger::mInitialized);
    }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    // Every line of the file without its "\r\n"; fails when a line lacks it.
    QStringList lines(const QString &path)
    {
        const QByteArray content = readAll(path);
        if (!content.isEmpty() && !content.endsWith("\r\n")) {
            qWarning("the log does not end with \\r\\n");
            return {QStringLiteral("<no CRLF at the end>")};
        }
        QStringList result;
        for (const QByteArray &line : content.split('\n')) {
            if (line.isEmpty())
                continue;
            if (!line.endsWith('\r'))
                return {QStringLiteral("<line without CR>")};
            result << QString::fromUtf8(line.chopped(1));
        }
        return result;
    }

    // "[level] message" of each line, the time stamp checked and cut off.
    QStringList messages(const QString &path)
    {
        QStringList result;
        for (const QString &line : lines(path)) {
            const auto match = linePattern.match(line);
            if (!match.hasMatch())
                return {QStringLiteral("<malformed line: ") + line + QStringLiteral(">")};
            result << QStringLiteral("[%1] %2").arg(match.captured(1), match.captured(2));
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        qSetMessagePattern(QStringLiteral("%{message}"));
        mQtTestHandler = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(mQtTestHandler);
    }

    void init()
    {
        mFile = mDir.filePath(QStringLiteral("%1.log").arg(QTest::currentTestFunction()));
        QFile::remove(mFile);
        const std::lock_guard lock(previousMutex);
        previousMessages.clear();
        previousTypes.clear();
    }

    void cleanup()
    {
        Logger::shutdown();
        qInstallMessageHandler(mQtTestHandler);
        Thg::Tilo::Components::defaultMessageHandler = nullptr;
    }

    void callsBeforeSetUp_writeNothingAndRaiseNothing()
    {
        QVERIFY(!Logger::mInitialized);
        Logger::info("before {}", std::string("set-up"));
        Logger::error(2, "before {} {}", std::string("set"), std::string("up"));
        setUp();
        Logger::info("after set-up");
        Logger::shutdown();
        QCOMPARE(messages(mFile), QStringList{QStringLiteral("[info] [main] after set-up")});
    }

    void line_data()
    {
        QTest::addColumn<int>("call");
        QTest::addColumn<QString>("expected");

        QTest::newRow("debug, no arguments") << 0 << QStringLiteral("[debug] [main] plain text");
        QTest::newRow("info, one string") << 1 << QStringLiteral("[info] [main] Starting ZEB-Conduit V1.6.0 (260728)");
        QTest::newRow("warn shows warning") << 2 << QStringLiteral("[warning] [main] two a and b");
        QTest::newRow("error, C string") << 3 << QStringLiteral("[error] [main] c text");
        QTest::newRow("indentation 0 is the plain form") << 4 << QStringLiteral("[debug] [main] Finished X");
        QTest::newRow("indentation 2 gives three blanks") << 5 << QStringLiteral("[debug] [main]   Finished X");
        QTest::newRow("indentation 1") << 6 << QStringLiteral("[warning] [main]  Executing command 3");
        QTest::newRow("C string then string, indented 4")
            << 7 << QStringLiteral("[info] [main]     Writing parameters to device: name");
        QTest::newRow("braces in arguments stay") << 8 << QStringLiteral("[error] [main] {} and {:x}");
    }

    void line()
    {
        QFETCH(int, call);
        QFETCH(QString, expected);
        setUp();
        switch (call) {
        case 0:
            Logger::debug("plain text");
            break;
        case 1:
            Logger::info("Starting {}", std::string("ZEB-Conduit V1.6.0 (260728)"));
            break;
        case 2:
            Logger::warn("two {} and {}", std::string("a"), std::string("b"));
            break;
        case 3:
            Logger::error("c {}", "text");
            break;
        case 4:
            Logger::debug(std::uint8_t(0), "Finished {}", std::string("X"));
            break;
        case 5:
            Logger::debug(std::uint8_t(2), "Finished {}", std::string("X"));
            break;
        case 6:
            Logger::warn(std::uint8_t(1), "Executing command {}", 3U);
            break;
        case 7:
            Logger::info(std::uint8_t(4), "Writing parameters to {}: {}", "device", std::string("name"));
            break;
        case 8:
            Logger::error("{} and {}", std::string("{}"), std::string("{:x}"));
            break;
        }
        Logger::shutdown();
        QCOMPARE(messages(mFile), QStringList{expected});
    }

    void unnamedThread_givesEmptyBrackets()
    {
        setUp();
        std::thread([] { Logger::info("from nowhere"); }).join();
        QThread named;
        named.setObjectName(QStringLiteral("DeviceThread"));
        QObject worker;
        worker.moveToThread(&named);
        named.start();
        QMetaObject::invokeMethod(&worker, [] { Logger::info("from the device"); }, Qt::BlockingQueuedConnection);
        named.quit();
        QVERIFY(named.wait(10000));
        Logger::shutdown();
        QCOMPARE(messages(mFile),
                 (QStringList{QStringLiteral("[info] [] from nowhere"), QStringLiteral("[info] [DeviceThread] from the device")}));
    }

    void existingFile_isAppendedTo()
    {
        {
            QFile file(mFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[2024-01-01 00:00:00.000000] [info] [main] earlier run\r\n");
        }
        setUp();
        Logger::info("this run");
        Logger::shutdown();
        QCOMPARE(messages(mFile), (QStringList{QStringLiteral("[info] [main] earlier run"),
                                               QStringLiteral("[info] [main] this run")}));
    }

    void defaultSettings_writeZebConduitLogInTheWorkingDirectory()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        Thg::Tilo::Components::initializeLogger();
        Logger::info("default place");
        Logger::shutdown();
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(messages(dir.filePath(QStringLiteral("ZEB-Conduit.log"))),
                 QStringList{QStringLiteral("[info] [main] default place")});
    }

    void rotation_keepsTwoOlderFiles()
    {
        setUp(2000);
        // About 80 bytes a line: 100 lines fill the file five times over.
        for (int i = 0; i < 100; ++i)
            Logger::info("line {} {}", std::to_string(i), std::string(20, 'x'));
        Logger::shutdown();

        const QString base = mFile.chopped(4);
        QVERIFY(QFile::exists(mFile));
        QVERIFY(QFile::exists(base + QStringLiteral(".1.log")));
        QVERIFY(QFile::exists(base + QStringLiteral(".2.log")));
        QVERIFY(!QFile::exists(base + QStringLiteral(".3.log")));
        for (const QString &path : {mFile, base + QStringLiteral(".1.log"), base + QStringLiteral(".2.log")}) {
            QVERIFY(QFileInfo(path).size() <= 2000);
            const QStringList found = messages(path);
            QVERIFY(!found.isEmpty());
            QVERIFY2(found.first().startsWith(QStringLiteral("[info] [main] line ")), qPrintable(found.first()));
        }
        // The newest lines are in the current file.
        QVERIFY(messages(mFile).last().startsWith(QStringLiteral("[info] [main] line 99 ")));
    }

    void logFileThatCannotBeOpened_leavesTheConsole()
    {
        LoggerSettings settings;
        settings.fileName = "/proc/no-such-folder/zeb.log";
        Thg::Tilo::Components::initializeLogger(settings);
        QVERIFY(Logger::mInitialized);
        Logger::info("console only");
        Logger::shutdown();
        QVERIFY(!Logger::mInitialized);
    }

    void setUpTwice_keepsTheFirstLogger()
    {
        setUp();
        LoggerSettings other;
        other.fileName = mDir.filePath(QStringLiteral("other.log")).toStdString();
        Thg::Tilo::Components::initializeLogger(other);
        Logger::info("still the first");
        Logger::shutdown();
        QCOMPARE(messages(mFile), QStringList{QStringLiteral("[info] [main] still the first")});
        QVERIFY(!QFile::exists(mDir.filePath(QStringLiteral("other.log"))));
    }

    void shutdownTwice_andLaterCalls_doNothing()
    {
        setUp();
        Logger::info("before");
        Logger::shutdown();
        QVERIFY(!spdlog::default_logger());
        Logger::shutdown();
        Logger::info("after {}", std::string("shut-down"));
        Logger::warn(std::uint8_t(2), "after");
        Thg::Tilo::Components::messageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("late"));
        QCOMPARE(messages(mFile), QStringList{QStringLiteral("[info] [main] before")});
    }

    void threadsLoggingAcrossShutdown_doNotCrash()
    {
        setUp();
        std::atomic_bool stop = false;
        std::atomic_int started = 0;
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back([&stop, &started, i] {
                ++started;
                while (!stop) {
                    Logger::info(std::uint8_t(i), "worker {}", std::to_string(i));
                    // The serial port wrapper's lines go to the library's default logger directly.
                    if (const auto logger = spdlog::default_logger())
                        logger->info("direct {}", i);
                }
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(started.load(), 4, 10000);
        QTest::qWait(20);
        Logger::shutdown();
        QTest::qWait(20);
        stop = true;
        for (std::thread &thread : threads)
            thread.join();
        // Every line that made it is whole.
        const QStringList found = messages(mFile);
        QVERIFY(!found.isEmpty());
        for (const QString &line : found)
            QVERIFY2(!line.startsWith(QStringLiteral("<")), qPrintable(line));
    }

    void qtMessage_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("debug") << int(QtDebugMsg) << QStringLiteral("[debug] [main] text");
        QTest::newRow("info") << int(QtInfoMsg) << QStringLiteral("[info] [main] text");
        QTest::newRow("warning") << int(QtWarningMsg) << QStringLiteral("[warning] [main] text");
        QTest::newRow("critical is error") << int(QtCriticalMsg) << QStringLiteral("[error] [main] text");
    }

    void qtMessage()
    {
        QFETCH(int, type);
        QFETCH(QString, expected);
        setUp();
        qInstallMessageHandler(recordingHandler);
        Thg::Tilo::Components::installMessageHandler();
        Thg::Tilo::Components::messageHandler(QtMsgType(type), QMessageLogContext(), QStringLiteral("text"));
        Logger::shutdown();
        QCOMPARE(messages(mFile), QStringList{expected});
        const std::lock_guard lock(previousMutex);
        QCOMPARE(previousMessages, QStringList{QStringLiteral("text")});
        QCOMPARE(int(previousTypes.value(0)), type);
    }

    void qWarningFromWorkerThread_reachesLogAndPreviousHandler()
    {
        setUp();
        qInstallMessageHandler(recordingHandler);
        Thg::Tilo::Components::installMessageHandler();
        QThread worker;
        worker.setObjectName(QStringLiteral("ComPortScanner"));
        QObject context;
        context.moveToThread(&worker);
        worker.start();
        QMetaObject::invokeMethod(&context, [] { qWarning("port %s gone", "COM3"); }, Qt::BlockingQueuedConnection);
        worker.quit();
        QVERIFY(worker.wait(10000));
        Logger::shutdown();
        QCOMPARE(messages(mFile), QStringList{QStringLiteral("[warning] [ComPortScanner] port COM3 gone")});
        const std::lock_guard lock(previousMutex);
        QCOMPARE(previousMessages, QStringList{QStringLiteral("port COM3 gone")});
    }

    void installedTwice_doesNotBecomeItsOwnPrevious()
    {
        setUp();
        qInstallMessageHandler(recordingHandler);
        Thg::Tilo::Components::installMessageHandler();
        Thg::Tilo::Components::installMessageHandler();
        qInfo("once");
        Logger::shutdown();
        const std::lock_guard lock(previousMutex);
        QCOMPARE(previousMessages, QStringList{QStringLiteral("once")});
    }

    // A program that is killed never shuts its logger down: what it logged must be in the file by
    // then, though only errors flush at once.
    void infoLine_reachesTheFileWithinTwoSecondsWithoutShutdown()
    {
        setUp();
        Logger::info("still running");
        QTRY_COMPARE_WITH_TIMEOUT(messages(mFile), QStringList{QStringLiteral("[info] [main] still running")}, 2000);
        QVERIFY(Logger::mInitialized);
    }

    void fatalMessage_isInTheFileWhenTheHandlerReturns()
    {
        setUp();
        Thg::Tilo::Components::defaultMessageHandler = recordingHandler;
        Logger::info("before the end");
        Thg::Tilo::Components::messageHandler(QtFatalMsg, QMessageLogContext(), QStringLiteral("the end"));
        // No shutdown here: the handler must have drained the queue itself.
        QCOMPARE(messages(mFile), (QStringList{QStringLiteral("[info] [main] before the end"),
                                               QStringLiteral("[critical] [main] the end")}));
        QVERIFY(!Logger::mInitialized);
        const std::lock_guard lock(previousMutex);
        QCOMPARE(previousMessages, QStringList{QStringLiteral("the end")});
        QCOMPARE(previousTypes, QList<QtMsgType>{QtFatalMsg});
    }

    void messagesBeforeSetUp_reachOnlyThePreviousHandler()
    {
        QVERIFY(!Logger::mInitialized);
        Thg::Tilo::Components::defaultMessageHandler = recordingHandler;
        Thg::Tilo::Components::messageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("early"));
        Thg::Tilo::Components::defaultMessageHandler = nullptr;
        // Without a previous handler the message simply ends here.
        Thg::Tilo::Components::messageHandler(QtWarningMsg, QMessageLogContext(), QStringLiteral("dropped"));
        const std::lock_guard lock(previousMutex);
        QCOMPARE(previousMessages, QStringList{QStringLiteral("early")});
        QVERIFY(!QFile::exists(mFile));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
