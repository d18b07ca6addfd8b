// The parameterize page over a fake device service: the form and the medium list, the description
// import at construction, a whole run to "Success", every way back to Reset with its one message
// box, progress only while parameterizing, and a connection the connector does not take.

#include "application/ExecuteCommandWidget.h"
#include "application/ParameterizeWidget.h"
#include "application/ProgressBarWidget.h"
#include "application/SerialPortWidget.h"
#include "application/components/DeviceConnector.h"
#include "application/components/DeviceWithSettingsContext.h"

#include "device/Identity.h"

#include "support/FakeDeviceService.h"
#include "support/LogRecorder.h"
#include "support/MessageBoxCloser.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Components::DeviceConnector;
using Thg::Tilo::Components::DeviceWithSettingsContext;
using Thg::Tilo::Components::ExecuteCommandWidget;
using Thg::Tilo::Components::SerialPortWidget;
using State = ParameterizeWidget::State;

namespace {

constexpr int TimeoutMs = 5000;
const Address::Bytes zebAddress{19, 0, 4, 0, 1};

Device zebDevice(const Address::Bytes &address = zebAddress)
{
    Device device;
    device.Name = QStringLiteral("M7Q4-ZEB");
    device.Version = QStringLiteral("V02.11");
    device.SubVersion = QStringLiteral("V02.00");
    device.address = Address(address);
    return device;
}

QList<Comport> onePort()
{
    Comport port;
    port.Number = QStringLiteral("/dev/ttyUSB0");
    return {port};
}

// The page with everything it is wired to. The boxes it shows are closed and kept.
struct Page {
    Page()
    {
        service.setFoundDevice(zebDevice());
        page = std::make_unique<ParameterizeWidget>(context, service, connector);
        connector.updatePorts(onePort());
    }

    QComboBox *ports() const { return page->findChild<QComboBox *>("selectPort"); }
    QComboBox *medium() const { return page->findChild<QComboBox *>("medium"); }
    QPushButton *button() const { return page->findChild<QPushButton *>("execute"); }
    ExecuteCommandWidget *execution() const { return page->findChild<ExecuteCommandWidget *>(); }
    // The execution widget's; the serial-port widget has a hidden bar of the same name.
    QProgressBar *bar() const { return execution()->findChild<QProgressBar *>("progress"); }
    QLabel *status() const { return execution()->findChild<QLabel *>("status"); }
    QLabel *warning() const { return execution()->findChild<QLabel *>("warning"); }

    bool controlsEnabled() const
    {
        return ports()->isEnabled() && medium()->isEnabled() && button()->isEnabled();
    }

    void press() { QTest::mouseClick(button(), Qt::LeftButton); }

    MessageBoxCloser boxes;
    DeviceWithSettingsContext context;
    FakeDeviceService service;
    DeviceConnector connector{context, service};
    std::unique_ptr<ParameterizeWidget> page;
};

} // namespace

class TestParameterizeWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void form_hasTheNamesAndTexts();
    void mediumList_oneItemPerFileInNameOrder();
    void construction_importsTheDescription();
    void construction_withoutSchemas_showsOneBoxAndRunsWithoutDescription();
    void run_endsInDoneWithSuccess();
    void mediumChangeInDone_returnsToReset();
    void buttonInDone_startsANewRunDirectly();
    void mediaFileFailing_showsTheBoxAndResets_data();
    void mediaFileFailing_showsTheBoxAndResets();
    void connectorProgress_shownOnlyWhileParameterizing();
    void foreignDevice_oneBoxAndTheCommandNotExecuted();
    void foreignDeviceWhoseRestartIsRefused_oneBoxThenANewRunSucceeds();
    void failures_resetWithTheirMessage_data();
    void failures_resetWithTheirMessage();
    void connectionNotTaken_resetsWithOneBox_data();
    void connectionNotTaken_resetsWithOneBox();
    void connectionAnsweredWithinTheRequest_leavesThePageInReset();
};

void TestParameterizeWidget::initTestCase()
{
    QThread::currentThread()->setObjectName(QStringLiteral("main"));
    Thg::Tilo::Components::registerMetaTypes();
}

void TestParameterizeWidget::form_hasTheNamesAndTexts()
{
    Page p;
    QCOMPARE(p.page->objectName(), QStringLiteral("ParameterizeWidget"));
    QCOMPARE(p.page->windowTitle(), QStringLiteral("Form"));
    QCOMPARE(p.page->findChild<QLabel *>("portLabel")->text(), QStringLiteral("Select a port:"));
    QCOMPARE(p.page->findChild<QLabel *>("mediumLabel")->text(), QStringLiteral("Select a medium:"));
    QCOMPARE(p.medium()->toolTip(), QStringLiteral("Select a medium"));
    QCOMPARE(p.button()->text(), QStringLiteral("Parameterize"));
    QCOMPARE(p.button()->toolTip(), QStringLiteral("Parameterize the device"));
    auto *comPorts = p.page->findChild<SerialPortWidget *>("comPorts");
    QVERIFY(comPorts);
    QVERIFY(comPorts->isCompact());
    QCOMPARE(comPorts->getConnector(), &p.connector);
    QCOMPARE(p.execution()->parentWidget(), p.page.get());
    QVERIFY(p.execution()->getCommand());
}

void TestParameterizeWidget::mediumList_oneItemPerFileInNameOrder()
{
    Page p;
    const QStringList files = QDir(QStringLiteral("builtin/ParameterFiles"))
                                  .entryList({"*.para.json"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QCOMPARE(p.medium()->count(), 72);
    QCOMPARE(files.size(), 72);
    for (int i = 0; i < files.size(); ++i) {
        QCOMPARE(p.medium()->itemData(i).toString(), files.at(i));
        QCOMPARE(p.medium()->itemText(i), files.at(i).chopped(int(qstrlen(".para.json"))));
        QVERIFY(p.medium()->itemIcon(i).isNull());
    }
    QCOMPARE(p.medium()->itemText(0), QStringLiteral("001 ZEB_Water"));
    QCOMPARE(p.medium()->itemText(1), QStringLiteral("002 ZEB_Water Glycol 20"));
    QCOMPARE(p.medium()->itemText(16), QStringLiteral("017_1 ZEB_Ethanol 4"));
    QCOMPARE(p.medium()->itemText(71), QStringLiteral("072 ZEB_Dynalene_50_50"));
}

void TestParameterizeWidget::construction_importsTheDescription()
{
    LogRecorder log;
    Page p;
    QCOMPARE(p.context.selectedDevice.identity, Thg::Tilo::Device::Identity::M7Q4_ZEB);
    QCOMPARE(p.boxes.texts(), QStringList{});
    QCOMPARE(p.page->getState(), State::Reset);
    QVERIFY(p.controlsEnabled());
    QCOMPARE(log.lines(), (QStringList{"[info] [main] Importing device description :/M7Q4-ZEB.desc.json",
                                       "[info] [main] Imported device description :/M7Q4-ZEB.desc.json",
                                       "[info] [main] State Reset"}));
}

void TestParameterizeWidget::construction_withoutSchemas_showsOneBoxAndRunsWithoutDescription()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    const QString projectDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(empty.path()));
    LogRecorder log;
    std::unique_ptr<Page> p;
    p = std::make_unique<Page>();
    QVERIFY(QDir::setCurrent(projectDir));

    QCOMPARE(p->boxes.texts().size(), 1);
    const QString prefix = QStringLiteral("Could not load the M7Q4-ZEB device file. Please contact support. ");
    QVERIFY2(p->boxes.texts().at(0).startsWith(prefix + "Import error: "), qPrintable(p->boxes.texts().at(0)));
    QCOMPARE(p->boxes.parents(), QList<QWidget *>{p->page.get()});
    QCOMPARE(p->context.selectedDevice.identity, Thg::Tilo::Device::Identity::Unknown);
    QCOMPARE(p->page->getState(), State::Reset);
    QVERIFY(p->controlsEnabled());
    QCOMPARE(log.linesWith("[error]").size(), 1);
    QCOMPARE(p->medium()->count(), 72);
}

void TestParameterizeWidget::run_endsInDoneWithSuccess()
{
    LogRecorder log;
    Page p;
    p.medium()->setCurrentIndex(0);

    p.press();
    QCOMPARE(p.page->getState(), State::Parameterizing);
    QVERIFY(!p.ports()->isEnabled());
    QVERIFY(!p.medium()->isEnabled());
    QVERIFY(!p.button()->isEnabled());
    QCOMPARE(p.context.deviceSettings.identity, Thg::Tilo::Device::Identity::M7Q4_ZEB);

    QTRY_COMPARE_WITH_TIMEOUT(p.page->getState(), State::Done, TimeoutMs);
    QCOMPARE(p.service.callNames(),
             (QStringList{"start", "write", "setCurrentAsFactoryDefaults", "restartDevice", "abort"}));
    QCOMPARE(p.service.calls().at(0).comport.Number, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(p.status()->text(), QStringLiteral("Success"));
    QCOMPARE(p.bar()->value(), p.bar()->maximum());
    QVERIFY(p.controlsEnabled());
    QCOMPARE(p.boxes.texts(), QStringList{});
    QCOMPARE(log.linesWith("State "), (QStringList{"[info] [main] State Reset", "[info] [main] State Parameterizing",
                                                  "[info] [main] State Done"}));
    QCOMPARE(log.linesWith("Importing device settings"),
             QStringList{"[info] [main] Importing device settings :/ParameterFiles/001 ZEB_Water.para.json"});
    QCOMPARE(log.linesWith("Granted execution"),
             QStringList{"[info] [main] Granted execution of N3Thg4Tilo10Components19ParameterizeCommandE"});
}

void TestParameterizeWidget::mediumChangeInDone_returnsToReset()
{
    Page p;
    p.press();
    QTRY_COMPARE_WITH_TIMEOUT(p.page->getState(), State::Done, TimeoutMs);

    p.medium()->setCurrentIndex(5);

    QCOMPARE(p.page->getState(), State::Reset);
    QCOMPARE(p.status()->text(), QStringLiteral("Waiting for user"));
    QCOMPARE(p.bar()->value(), 0);
    // A change outside Done leaves the state alone.
    p.medium()->setCurrentIndex(6);
    QCOMPARE(p.page->getState(), State::Reset);
}

void TestParameterizeWidget::buttonInDone_startsANewRunDirectly()
{
    LogRecorder log;
    Page p;
    p.press();
    QTRY_COMPARE_WITH_TIMEOUT(p.page->getState(), State::Done, TimeoutMs);
    p.service.clearCalls();
    log.clear();

    p.press();

    QCOMPARE(p.page->getState(), State::Parameterizing);
    QCOMPARE(p.status()->text(), QStringLiteral("Waiting for user"));
    QTRY_COMPARE_WITH_TIMEOUT(p.page->getState(), State::Done, TimeoutMs);
    QCOMPARE(p.service.callNames(),
             (QStringList{"start", "write", "setCurrentAsFactoryDefaults", "restartDevice", "abort"}));
    QCOMPARE(log.linesWith("State "), (QStringList{"[info] [main] State Parameterizing", "[info] [main] State Done"}));
    QCOMPARE(p.status()->text(), QStringLiteral("Success"));
    QCOMPARE(p.bar()->value(), p.bar()->maximum());
    QVERIFY(p.controlsEnabled());
    QCOMPARE(p.boxes.texts(), QStringList{});
}

void TestParameterizeWidget::mediaFileFailing_showsTheBoxAndResets_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("withoutSubdeviceSets");
    QTest::addColumn<QString>("reason");

    QTest::newRow("file missing") << "missing.para.json" << false
                                  << ":/ParameterFiles/missing.para.json does not exist";
    QTest::newRow("not the description's versions")
        << "001 ZEB_Water.para.json" << true << "Import error: Validation failed: :/ParameterFiles/001 ZEB_Water.para.json";
}

void TestParameterizeWidget::mediaFileFailing_showsTheBoxAndResets()
{
    QFETCH(QString, fileName);
    QFETCH(bool, withoutSubdeviceSets);
    QFETCH(QString, reason);
    LogRecorder log;
    Page p;
    if (withoutSubdeviceSets)
        p.context.selectedDevice.subdeviceParameterSets = {};
    p.medium()->setItemData(0, fileName);
    p.medium()->setCurrentIndex(0);

    p.press();

    QCOMPARE(p.boxes.texts(),
             QStringList{QStringLiteral("Could not load the media file. Please contact support. ") + reason});
    QCOMPARE(p.page->getState(), State::Reset);
    QVERIFY(p.controlsEnabled());
    QCOMPARE(p.service.callNames(), QStringList{});
    QVERIFY(!log.linesWith("[error]").isEmpty());
}

void TestParameterizeWidget::connectorProgress_shownOnlyWhileParameterizing()
{
    Page p;
    emit p.connector.progressUpdated(40, QStringLiteral("Connecting to device"));
    QCOMPARE(p.bar()->value(), 0);
    QCOMPARE(p.status()->text(), QStringLiteral("Waiting for user"));

    p.service.setReply("start", FakeDeviceService::Reply::Silent);
    p.press();
    QCOMPARE(p.page->getState(), State::Parameterizing);
    emit p.connector.progressUpdated(40, QStringLiteral("Connecting to device"));
    QCOMPARE(p.bar()->value(), 40);
    QCOMPARE(p.status()->text(), QStringLiteral("Connecting to device"));
    emit p.connector.progressUpdated(250, QStringLiteral("Connecting to device"));
    QCOMPARE(p.bar()->value(), 100);
}

void TestParameterizeWidget::foreignDevice_oneBoxAndTheCommandNotExecuted()
{
    Page p;
    p.service.setFoundDevice(zebDevice({19, 0, 5, 0, 1}));

    p.press();

    QTRY_COMPARE_WITH_TIMEOUT(p.boxes.texts(), QStringList{"Only ZEB devices are supported."}, TimeoutMs);
    QCOMPARE(p.page->getState(), State::Reset);
    QTRY_VERIFY_WITH_TIMEOUT(!p.connector.isBusy(), TimeoutMs);
    QCOMPARE(p.service.callNames(), (QStringList{"start", "restartDevice", "abort"}));
    QCOMPARE(p.boxes.texts().size(), 1);
    QVERIFY(p.controlsEnabled());
}

void TestParameterizeWidget::foreignDeviceWhoseRestartIsRefused_oneBoxThenANewRunSucceeds()
{
    Page p;
    QSignalSpy connectorErrors(&p.connector, &DeviceConnector::errorOccurred);
    p.service.setFoundDevice(zebDevice({19, 0, 5, 0, 1}));
    // Refused while the page's box for the foreign device is still open.
    p.service.setReply("restartDevice", FakeDeviceService::Reply::Fail, "Current operation not finished!");

    p.press();

    QTRY_COMPARE_WITH_TIMEOUT(p.boxes.texts(), QStringList{"Only ZEB devices are supported."}, TimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!p.connector.isBusy(), TimeoutMs);
    QTest::qWait(100);
    QCOMPARE(p.boxes.texts(), QStringList{"Only ZEB devices are supported."});
    QCOMPARE(connectorErrors.count(), 0);
    QCOMPARE(p.page->getState(), State::Reset);
    QVERIFY(p.controlsEnabled());
    QVERIFY(!p.connector.isTargetConnected());
    QCOMPARE(p.service.callNames(), (QStringList{"start", "restartDevice"}));

    p.boxes.clear();
    p.service.clearCalls();
    p.service.setFoundDevice(zebDevice());
    p.service.setReply("restartDevice", FakeDeviceService::Reply::Succeed);
    p.press();

    QTRY_COMPARE_WITH_TIMEOUT(p.page->getState(), State::Done, TimeoutMs);
    QCOMPARE(p.service.callNames(),
             (QStringList{"start", "write", "setCurrentAsFactoryDefaults", "restartDevice", "abort"}));
    QCOMPARE(p.status()->text(), QStringLiteral("Success"));
    QCOMPARE(p.boxes.texts(), QStringList{});
}

void TestParameterizeWidget::failures_resetWithTheirMessage_data()
{
    QTest::addColumn<QString>("failingSlot");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("connection") << "start" << "Could not open com port!" << QStringList{"start"};
    QTest::newRow("write") << "write" << "Exceeded max retries: " << QStringList{"start", "write"};
    QTest::newRow("restart") << "restartDevice" << "Device didn`t respond -> timeout! !"
                             << QStringList{"start", "write", "setCurrentAsFactoryDefaults", "restartDevice"};
}

void TestParameterizeWidget::failures_resetWithTheirMessage()
{
    QFETCH(QString, failingSlot);
    QFETCH(QString, message);
    Page p;
    p.service.setReply(failingSlot, FakeDeviceService::Reply::Fail, message);

    p.press();

    QTRY_COMPARE_WITH_TIMEOUT(p.boxes.texts(), QStringList{message}, TimeoutMs);
    QCOMPARE(p.page->getState(), State::Reset);
    QVERIFY(p.controlsEnabled());
    QCOMPARE(p.status()->text(), QStringLiteral("Waiting for user"));
    QTEST(p.service.callNames().mid(0, p.service.callNames().indexOf(failingSlot) + 1), "calls");
}

void TestParameterizeWidget::connectionNotTaken_resetsWithOneBox_data()
{
    QTest::addColumn<bool>("connectorBusy");
    QTest::newRow("connector still busy") << true;
    QTest::newRow("a device still recorded") << false;
}

void TestParameterizeWidget::connectionNotTaken_resetsWithOneBox()
{
    QFETCH(bool, connectorBusy);
    Page p;
    if (connectorBusy) {
        // A foreign device is being restarted and let go: the connector stays busy meanwhile.
        p.service.setFoundDevice(zebDevice({20, 0, 4, 0, 1}));
        p.service.setReply("restartDevice", FakeDeviceService::Reply::Silent);
        p.press();
        QTRY_COMPARE_WITH_TIMEOUT(p.boxes.texts(), QStringList{"Only ZEB devices are supported."}, TimeoutMs);
        QVERIFY(p.connector.isBusy());
    } else {
        p.context.connectedDevice = zebDevice();
    }
    p.boxes.clear();
    p.service.clearCalls();

    p.press();

    QCOMPARE(p.boxes.texts(), QStringList{"The connection could not be started. Please try again."});
    QCOMPARE(p.page->getState(), State::Reset);
    QVERIFY(p.controlsEnabled());
    QVERIFY(!p.execution()->isPending());
    QCOMPARE(p.service.callNames(), QStringList{});
}

void TestParameterizeWidget::connectionAnsweredWithinTheRequest_leavesThePageInReset()
{
    Page p;
    p.service.setReply("start", FakeDeviceService::Reply::Silent);
    // A connector that refuses at once, inside the request (as it does without a description).
    auto *comPorts = p.page->findChild<SerialPortWidget *>("comPorts");
    connect(comPorts, &SerialPortWidget::connectionStarted, &p.connector,
            [&p] { emit p.connector.errorOccurred(QStringLiteral("No device has been selected")); });

    p.press();

    QCOMPARE(p.boxes.texts(), QStringList{"No device has been selected"});
    QCOMPARE(p.page->getState(), State::Reset);
    QVERIFY(p.controlsEnabled());
}

QTEST_MAIN(TestParameterizeWidget)
#include "tst_parameterizewidget.moc"
