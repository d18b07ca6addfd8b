// The whole road as a user walks it, in a real window: the program's own start-up with the simulated
// ZEB device's pseudo-terminal among the ports, the port and "001 ZEB_Water" chosen, "Parameterize"
// pressed, "Success" reached; then the device's memory, the log file from "Starting" to "Closing",
// and a screenshot kept in the build tree.

#include "application/MainWindow.h"
#include "application/ZebConduit.h"

#include "support/MessageBoxCloser.h"
#include "tests/application/ProgramTestSupport.h"

#include "tools/zeb-sim/ZebSimDevice.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int PortListedMs = 10000;
// Power cycle waits, identification at 1200 baud, five chunks written and read back, factory
// defaults, restart, on a machine other builds share.
constexpr int RoadMs = 150000;

} // namespace

class TestWholeRoad : public QObject {
    Q_OBJECT
public:
    TestWholeRoad(ZebConduit &application, std::shared_ptr<QString> offeredPort)
        : mApplication(application), mOfferedPort(std::move(offeredPort))
    {
    }

private slots:
    void parameterizeWater_reachesSuccess();

private:
    // What the user does, from the shown window to "Success"; returns what went wrong, if anything.
    QString walkTheRoad(MainWindow *window);

    ZebConduit &mApplication;
    std::shared_ptr<QString> mOfferedPort;
    MessageBoxCloser *mBoxes = nullptr;
    QString mStatus;
};

QString TestWholeRoad::walkTheRoad(MainWindow *window)
{
    auto *ports = window->findChild<QComboBox *>("selectPort");
    auto *medium = window->findChild<QComboBox *>("medium");
    auto *button = window->findChild<QPushButton *>("execute");
    auto *execution = button ? button->parentWidget() : nullptr;
    auto *status = execution ? execution->findChild<QLabel *>("status") : nullptr;
    if (!ports || !medium || !button || !status)
        return QStringLiteral("the page's controls are missing");

    if (!QTest::qWaitFor([&] { return ports->findText(*mOfferedPort) >= 0; }, PortListedMs))
        return QStringLiteral("the simulated device's port %1 was never listed").arg(*mOfferedPort);
    ports->setCurrentIndex(ports->findText(*mOfferedPort));
    const int water = medium->findText(QStringLiteral("001 ZEB_Water"));
    if (water < 0)
        return QStringLiteral("no medium \"001 ZEB_Water\"");
    medium->setCurrentIndex(water);
    if (!button->isEnabled())
        return QStringLiteral("\"Parameterize\" is disabled");

    QTest::mouseClick(button, Qt::LeftButton);
    const bool ended = QTest::qWaitFor(
        [&] { return status->text() == QLatin1String("Success") || !mBoxes->texts().isEmpty(); }, RoadMs);
    mStatus = status->text();

    // The picture of the end of the road, for a person to look at, once the window has repainted.
    QTest::qWait(300);
    QDir().mkpath(QStringLiteral(ZEB_ARTIFACT_DIR));
    const QRect frame = window->frameGeometry();
    QPixmap picture = window->screen() ? window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                                       : QPixmap();
    if (picture.isNull())
        picture = window->grab();
    picture.save(QStringLiteral(ZEB_ARTIFACT_DIR "/whole-road.png"));

    if (!mBoxes->texts().isEmpty())
        return QStringLiteral("a message box: %1").arg(mBoxes->texts().join(" | "));
    if (!ended)
        return QStringLiteral("no \"Success\" in time; the status reads \"%1\"").arg(mStatus);
    return {};
}

void TestWholeRoad::parameterizeWater_reachesSuccess()
{
    // The description declares a half-duplex line: the device's line echoes every byte.
    ZebSim::SimConfig config;
    config.singleWire = true;
    ZebSim::ZebSimDevice device(config);
    QString error;
    if (!device.start(&error))
        QSKIP(qPrintable(QStringLiteral("No pseudo-terminal for the simulated device: ") + error));
    *mOfferedPort = device.portPath();

    QTemporaryDir workingDir;
    QVERIFY(workingDir.isValid());
    const QString projectDir = QDir::currentPath();
    QVERIFY(QFile::link(QDir(projectDir).filePath("Resources"), workingDir.filePath("Resources")));
    QVERIFY(QDir::setCurrent(workingDir.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(projectDir); });

    MessageBoxCloser boxes;
    mBoxes = &boxes;
    QString failure = QStringLiteral("the window was never shown");
    QTimer driver;
    driver.setInterval(50);
    connect(&driver, &QTimer::timeout, &driver, [&] {
        if (MainWindow *window = shownMainWindow()) {
            driver.stop();
            failure = walkTheRoad(window);
            window->close();
        }
    });
    driver.start();
    QTimer::singleShot(RoadMs + PortListedMs + 10000, &mApplication, [] { QCoreApplication::exit(99); });

    const int code = mApplication.start();

    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(code, 0);
    QCOMPARE(mStatus, QStringLiteral("Success"));

    // The device holds the medium: its label in the device's memory, and 9 curve points of water
    // (a 16-bit number, least significant byte first) in the sub-device's, addressed alone or with
    // the device. It stored its factory defaults and restarted.
    using Space = ZebSim::ParameterMemory::Space;
    QCOMPARE(device.memory().read(Space::Device, 16, 16).value_or(QByteArray()),
             QByteArray("001 ZEB WATER\0\0\0", 16));
    const QByteArray curvePoints = device.memory().read(Space::SubDevice, 434, 2).value_or(QByteArray()).toHex() +
                                   "/" + device.memory().read(Space::DeviceAndSubDevice, 434, 2).value_or(QByteArray()).toHex();
    QVERIFY2(curvePoints.startsWith("0900/") || curvePoints.endsWith("/0900"), curvePoints.constData());
    QVERIFY(device.commandsReceived().contains(131));
    QVERIFY(device.commandsReceived().contains(143));
    QVERIFY(device.restarts() >= 1);

    const QStringList log = logMessages(QStringLiteral("ZEB-Conduit.log"));
    QVERIFY(!log.isEmpty());
    QCOMPARE(log.first(), QStringLiteral("[info] [main] Starting ZEB-Conduit V1.6.0 (260728)"));
    QCOMPARE(log.last(), QStringLiteral("[info] [main] Closing ZEB-Conduit, return code 0"));
    QCOMPARE(log.filter("<malformed>"), QStringList{});
    QCOMPARE(log.filter("[error]"), QStringList{});
    const QStringList road{
        "[info] [main] Importing device settings :/ParameterFiles/001 ZEB_Water.para.json",
        "[info] [main] Starting connection to " + *mOfferedPort,
        "[info] [main] State Parameterizing",
        "[info] [main] Granted execution of N3Thg4Tilo10Components19ParameterizeCommandE",
        "[info] [main] State Done",
    };
    qsizetype from = 0;
    for (const QString &step : road) {
        const qsizetype at = log.indexOf(step, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("missing or out of order: %1").arg(step)));
        from = at + 1;
    }
    QVERIFY(!log.filter("[DeviceThread]").isEmpty());
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    // The scanner's seam: the system's ports never list a pseudo-terminal.
    auto offeredPort = std::make_shared<QString>();
    ZebConduit application(argc, argv, [offeredPort] {
        Thg::Tilo::Communication::ComPortScanner::List ports;
        if (!offeredPort->isEmpty()) {
            Thg::Tilo::Communication::Comport port;
            port.Number = *offeredPort;
            ports.append(port);
        }
        return ports;
    });
    setUpProcess(application);
    TestWholeRoad test(application, offeredPort);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wholeroad.moc"
