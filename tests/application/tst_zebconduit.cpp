// The program's start-up and shut-down, run for real (service, scanner, connector, window) in a
// working directory of the test's own: the log's first and last lines, the exit code, the
// translation catalogue and its warning, and the description box without "Resources".

#include "application/MainWindow.h"
#include "application/ZebConduit.h"

#include "support/MessageBoxCloser.h"
#include "tests/application/ProgramTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

constexpr int TimeoutMs = 20000;

} // namespace

class TestZebConduit : public QObject {
    Q_OBJECT
public:
    explicit TestZebConduit(ZebConduit &application) : mApplication(application) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void run_logsStartAndClosingLastWithTheExitCode();
    void run_withoutResources_showsTheDescriptionBoxAndStillRuns();
    void run_withACatalogue_translatesWithoutWarning();

private:
    // Runs the program until `whenShown` has been called with its window; returns start's result.
    int runProgram(const std::function<void(MainWindow *)> &whenShown);
    void linkResources();

    ZebConduit &mApplication;
    QString mProjectDir;
    std::unique_ptr<QTemporaryDir> mWorkingDir;
};

void TestZebConduit::initTestCase()
{
    mProjectDir = QDir::currentPath();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestZebConduit::init()
{
    mWorkingDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mWorkingDir->isValid());
    QVERIFY(QDir::setCurrent(mWorkingDir->path()));
}

void TestZebConduit::cleanup()
{
    QVERIFY(QDir::setCurrent(mProjectDir));
    mWorkingDir.reset();
}

int TestZebConduit::runProgram(const std::function<void(MainWindow *)> &whenShown)
{
    QTimer driver;
    driver.setInterval(20);
    QElapsedTimer elapsed;
    elapsed.start();
    connect(&driver, &QTimer::timeout, &driver, [&] {
        if (MainWindow *window = shownMainWindow()) {
            driver.stop();
            whenShown(window);
        } else if (elapsed.hasExpired(TimeoutMs)) {
            driver.stop();
            QCoreApplication::exit(99);
        }
    });
    driver.start();
    return mApplication.start();
}

void TestZebConduit::linkResources()
{
    QVERIFY(QFile::link(QDir(mProjectDir).filePath("Resources"), QStringLiteral("Resources")));
}

void TestZebConduit::run_logsStartAndClosingLastWithTheExitCode()
{
    linkResources();
    MessageBoxCloser boxes;
    QString title;

    const int code = runProgram([&](MainWindow *window) {
        title = window->windowTitle();
        QCoreApplication::exit(7);
    });

    QCOMPARE(code, 7);
    QCOMPARE(title, QStringLiteral("ZEB-Conduit V1.6.0 (260728)"));
    QCOMPARE(boxes.texts(), QStringList{});
    const QStringList log = logMessages(QStringLiteral("ZEB-Conduit.log"));
    QVERIFY(log.size() >= 3);
    QCOMPARE(log.first(), QStringLiteral("[info] [main] Starting ZEB-Conduit V1.6.0 (260728)"));
    QCOMPARE(log.at(1), QStringLiteral("[warning] [main] Could not load translation files for locale de_DE"));
    QCOMPARE(log.last(), QStringLiteral("[info] [main] Closing ZEB-Conduit, return code 7"));
    QCOMPARE(log.filter("Closing ZEB-Conduit").size(), 1);
    QCOMPARE(log.filter("<malformed>").size(), 0);
    QVERIFY(log.contains(QStringLiteral("[info] [main] Imported device description :/M7Q4-ZEB.desc.json")));
}

void TestZebConduit::run_withoutResources_showsTheDescriptionBoxAndStillRuns()
{
    MessageBoxCloser boxes;

    const int code = runProgram([](MainWindow *window) { window->close(); });

    QCOMPARE(code, 0);
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY2(boxes.texts().at(0).startsWith(
                 QStringLiteral("Could not load the M7Q4-ZEB device file. Please contact support. Import error: ")),
             qPrintable(boxes.texts().at(0)));
    const QStringList log = logMessages(QStringLiteral("ZEB-Conduit.log"));
    QCOMPARE(log.first(), QStringLiteral("[info] [main] Starting ZEB-Conduit V1.6.0 (260728)"));
    QCOMPARE(log.last(), QStringLiteral("[info] [main] Closing ZEB-Conduit, return code 0"));
}

void TestZebConduit::run_withACatalogue_translatesWithoutWarning()
{
    linkResources();
    QVERIFY(QDir().mkdir(QStringLiteral("translations")));
    QVERIFY(QFile::copy(PROGRAM_CATALOGUE, QStringLiteral("translations/ZEB-Conduit_de.qm")));
    MessageBoxCloser boxes;
    QString portLabel;
    QString button;

    const int code = runProgram([&](MainWindow *window) {
        portLabel = window->findChild<QLabel *>("portLabel")->text();
        button = window->findChild<QPushButton *>("execute")->text();
        window->close();
    });

    QCOMPARE(code, 0);
    QCOMPARE(portLabel, QString::fromUtf8("Anschluss wählen:"));
    QCOMPARE(button, QString::fromUtf8("Parametrieren"));
    // The device service's texts come with the same catalogue.
    QCOMPARE(QCoreApplication::translate("Thg::Tilo::Communication::Internal::FirstContact", "Could not open com port!"),
             QString::fromUtf8("COM-Port konnte nicht geöffnet werden!"));
    const QStringList log = logMessages(QStringLiteral("ZEB-Conduit.log"));
    QCOMPARE(log.filter("translat").size(), 0);
    QCOMPARE(log.filter("[warning]").size(), 0);
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    // The system's serial ports play no part here.
    ZebConduit application(argc, argv, [] { return Thg::Tilo::Communication::ComPortScanner::List{}; });
    setUpProcess(application);
    TestZebConduit test(application);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_zebconduit.moc"
