// The serial-port widget: its form, a changed port list selecting its first port, the connect
// button's enabling, the connection request and its refusals, the compact form and a replaced
// connector.

#include "application/SerialPortWidget.h"
#include "application/components/ComPortConnector.h"

#include "support/LogRecorder.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Components::ComPortConnector;
using Thg::Tilo::Components::SerialPortWidget;

namespace {

class FakeConnector : public ComPortConnector {
public:
    bool isTargetConnected() const override { return false; }
    void doDisconnectTarget(bool) override {}
    void clear() override {}

    QStringList requested;

protected:
    void doConnectTarget(const QString &port) override { requested << port; }
    bool containsConnectedPort(const QList<Comport> &) const override { return false; }
};

QList<Comport> portsNamed(const QStringList &names)
{
    QList<Comport> ports;
    for (const QString &name : names) {
        Comport port;
        port.Number = name;
        ports << port;
    }
    return ports;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

struct Fixture {
    QComboBox *ports() const { return widget.findChild<QComboBox *>("selectPort"); }
    QPushButton *button() const { return widget.findChild<QPushButton *>("connect"); }
    QProgressBar *bar() const { return widget.findChild<QProgressBar *>("progress"); }

    FakeConnector connector;
    SerialPortWidget widget;
};

} // namespace

class TestSerialPortWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void construction_isDisabledWithTheFormsTexts();
    void portList_replacesItemsAndSelectsTheFirst_data();
    void portList_replacesItemsAndSelectsTheFirst();
    void connectButton_needsConnectorEnablingAndAPort_data();
    void connectButton_needsConnectorEnablingAndAPort();
    void connectTarget_handsThePortToTheConnector();
    void connectTarget_refusedWithoutConnectorOrWhileDisabled_data();
    void connectTarget_refusedWithoutConnectorOrWhileDisabled();
    void compact_hidesButtonBarAndSpacersAndIgnoresProgress();
    void progress_shownWhenNotCompact();
    void setConnector_dropsThePreviousConnector();
};

void TestSerialPortWidget::initTestCase()
{
    QThread::currentThread()->setObjectName(QStringLiteral("main"));
}

void TestSerialPortWidget::construction_isDisabledWithTheFormsTexts()
{
    Fixture f;
    QCOMPARE(f.widget.objectName(), QStringLiteral("SerialPortWidget"));
    QVERIFY(!f.ports()->isEnabled());
    QVERIFY(!f.button()->isEnabled());
    QVERIFY(!f.widget.isConnectionEnabled());
    QCOMPARE(f.ports()->toolTip(), QStringLiteral("Select a port"));
    QCOMPARE(f.button()->toolTip(), QStringLiteral("Connect device"));
    QCOMPARE(f.button()->text(), QStringLiteral("&Connect"));
    QCOMPARE(f.ports()->minimumWidth(), 110);
    QCOMPARE(f.ports()->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(f.ports()->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(f.bar()->value(), 0);
}

void TestSerialPortWidget::portList_replacesItemsAndSelectsTheFirst_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("a port added") << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << 1
                                  << QStringList{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"};
    QTest::newRow("the selected port removed") << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << 1
                                               << QStringList{"/dev/ttyUSB0"};
    QTest::newRow("same ports, other order") << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << 0
                                             << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0"};
    QTest::newRow("last port unplugged") << QStringList{"/dev/ttyUSB0"} << 0 << QStringList{};
}

void TestSerialPortWidget::portList_replacesItemsAndSelectsTheFirst()
{
    QFETCH(QStringList, before);
    QFETCH(int, selected);
    QFETCH(QStringList, after);
    Fixture f;
    f.widget.setConnector(f.connector);
    f.widget.enableConnection();
    f.connector.updatePorts(portsNamed(before));
    f.ports()->setCurrentIndex(selected);

    f.connector.updatePorts(portsNamed(after));

    QCOMPARE(itemsOf(f.ports()), after);
    QCOMPARE(f.ports()->currentIndex(), after.isEmpty() ? -1 : 0);
    QCOMPARE(f.widget.currentPort(), after.isEmpty() ? QString() : after.first());
    QCOMPARE(f.button()->isEnabled(), !after.isEmpty());
}

void TestSerialPortWidget::connectButton_needsConnectorEnablingAndAPort_data()
{
    QTest::addColumn<bool>("withConnector");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("listEnabled");
    QTest::addColumn<bool>("buttonEnabled");

    QTest::newRow("enabled with a port") << true << true << QStringList{"/dev/ttyUSB0"} << true << true;
    QTest::newRow("enabled without a port") << true << true << QStringList{} << true << false;
    QTest::newRow("disabled with a port") << true << false << QStringList{"/dev/ttyUSB0"} << false << false;
    QTest::newRow("enabled without connector") << false << true << QStringList{} << true << false;
}

void TestSerialPortWidget::connectButton_needsConnectorEnablingAndAPort()
{
    QFETCH(bool, withConnector);
    QFETCH(bool, enabled);
    QFETCH(QStringList, ports);
    Fixture f;
    if (withConnector) {
        f.widget.setConnector(f.connector);
        f.connector.updatePorts(portsNamed(ports));
    }

    if (enabled)
        f.widget.enableConnection();
    else
        f.widget.disableConnection();

    QTEST(f.ports()->isEnabled(), "listEnabled");
    QTEST(f.button()->isEnabled(), "buttonEnabled");
}

void TestSerialPortWidget::connectTarget_handsThePortToTheConnector()
{
    LogRecorder log;
    Fixture f;
    f.widget.setConnector(f.connector);
    f.connector.updatePorts(portsNamed({"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    f.widget.enableConnection();
    f.ports()->setCurrentIndex(1);
    f.bar()->setValue(70);
    QSignalSpy started(&f.widget, &SerialPortWidget::connectionStarted);

    QTest::mouseClick(f.button(), Qt::LeftButton);

    QCOMPARE(started.count(), 1);
    QCOMPARE(f.connector.requested, QStringList{"/dev/ttyUSB1"});
    QVERIFY(f.connector.isBusy());
    QCOMPARE(log.lines(), QStringList{"[info] [main] Starting connection to /dev/ttyUSB1"});
    QVERIFY(!f.widget.isConnectionEnabled());
    QVERIFY(!f.ports()->isEnabled());
    QVERIFY(!f.button()->isEnabled());
    QCOMPARE(f.bar()->value(), 0);
}

void TestSerialPortWidget::connectTarget_refusedWithoutConnectorOrWhileDisabled_data()
{
    QTest::addColumn<bool>("withConnector");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("no connector") << false << true;
    QTest::newRow("disabled") << true << false;
}

void TestSerialPortWidget::connectTarget_refusedWithoutConnectorOrWhileDisabled()
{
    QFETCH(bool, withConnector);
    QFETCH(bool, enabled);
    LogRecorder log;
    Fixture f;
    if (withConnector) {
        f.widget.setConnector(f.connector);
        f.connector.updatePorts(portsNamed({"/dev/ttyUSB0"}));
    }
    if (enabled)
        f.widget.enableConnection();
    QSignalSpy started(&f.widget, &SerialPortWidget::connectionStarted);

    f.widget.connectTarget();

    QCOMPARE(log.lines(), QStringList{"[error] [main] Cannot connect, no connector present"});
    QCOMPARE(started.count(), 0);
    QCOMPARE(f.connector.requested, QStringList{});
    QCOMPARE(f.widget.isConnectionEnabled(), enabled);
}

void TestSerialPortWidget::compact_hidesButtonBarAndSpacersAndIgnoresProgress()
{
    Fixture f;
    f.widget.setConnector(f.connector);
    auto *controls = f.widget.findChild<QHBoxLayout *>("controlsLayout");
    QCOMPARE(controls->count(), 4);

    f.widget.makeCompact();
    f.widget.show();
    emit f.connector.progressUpdated(40, QStringLiteral("Connecting to device"));

    QVERIFY(f.widget.isCompact());
    QVERIFY(f.button()->isHidden());
    QVERIFY(f.bar()->isHidden());
    QCOMPARE(controls->count(), 2);
    for (int i = 0; i < controls->count(); ++i)
        QVERIFY(!controls->itemAt(i)->spacerItem());
    QCOMPARE(f.bar()->value(), 0);
}

void TestSerialPortWidget::progress_shownWhenNotCompact()
{
    Fixture f;
    f.widget.setConnector(f.connector);
    emit f.connector.progressUpdated(40, QStringLiteral("Connecting to device"));
    QCOMPARE(f.bar()->value(), 40);
}

void TestSerialPortWidget::setConnector_dropsThePreviousConnector()
{
    Fixture f;
    FakeConnector second;
    f.widget.setConnector(f.connector);
    f.widget.enableConnection();
    f.widget.setConnector(second);

    f.connector.updatePorts(portsNamed({"/dev/ttyUSB0"}));
    QCOMPARE(f.ports()->count(), 0);
    second.updatePorts(portsNamed({"/dev/ttyACM0"}));
    QCOMPARE(itemsOf(f.ports()), QStringList{"/dev/ttyACM0"});

    f.widget.connectTarget();
    QCOMPARE(f.connector.requested, QStringList{});
    QCOMPARE(second.requested, QStringList{"/dev/ttyACM0"});
}

QTEST_MAIN(TestSerialPortWidget)
#include "tst_serialportwidget.moc"
