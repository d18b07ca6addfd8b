#include "protocol/bootloader/BootloaderHandler.h"
#include "protocol/bootloader/MSP432.h"
#include "protocol/bootloader/Tiva.h"

#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

using B = Bootloader;
using H = BootloaderHandler;

namespace {
constexpr int WaitMs = 5000;

// Marks every text it translates with its context, so that a test sees both.
class MarkingTranslator : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return QStringLiteral("[%1] %2").arg(QLatin1String(context), QLatin1String(sourceText));
    }
};

// A client that records what reaches it; it lives on "BootloaderThread".
class FakeClient : public Bootloader {
    Q_OBJECT
public:
    explicit FakeClient(bool release)
    {
        mSettings.release = release;
        mSettings.baudrate = 57600;
        mSettings.dataBits = FSerialPort::Data7;
        mSettings.parity = FSerialPort::OddParity;
        mSettings.stopBits = FSerialPort::TwoStop;
        mSettings.flowControl = FSerialPort::NoFlowControl;
        mSettings.halfDuplex = true;
    }

    struct Record {
        QStringList downloads;
        QStringList uploads;
        QByteArray received;
        int portErrors = 0;
    };
    Record record() const
    {
        const QMutexLocker lock(&mMutex);
        return mRecord;
    }

public slots:
    void upload(QString fileName) override
    {
        const QMutexLocker lock(&mMutex);
        mRecord.uploads << fileName;
    }
    void download(QString fileName) override
    {
        const QMutexLocker lock(&mMutex);
        mRecord.downloads << fileName;
    }
    void newDataReadyFromInterface(QByteArray data) override
    {
        const QMutexLocker lock(&mMutex);
        mRecord.received += data;
    }
    void errorOccurredOnInterface(QSerialPort::SerialPortError) override
    {
        const QMutexLocker lock(&mMutex);
        ++mRecord.portErrors;
    }
    void dataWrittenToInterface() override {}

private:
    mutable QMutex mMutex;
    Record mRecord;
};

class FakeClientHandler : public BootloaderHandler {
public:
    using BootloaderHandler::BootloaderHandler;
    bool release = true;

protected:
    std::unique_ptr<Bootloader> createClient(BLFAMILY family) override
    {
        if (family == FAMILY_UNDEF)
            return nullptr;
        return std::make_unique<FakeClient>(release);
    }
};

FakeClient *fake(const BootloaderHandler &handler)
{
    return qobject_cast<FakeClient *>(handler.client());
}

// Everything queued to the object's thread before this call has run when it returns.
void roundTrip(QObject *object)
{
    QVERIFY(QMetaObject::invokeMethod(object, [] {}, Qt::BlockingQueuedConnection));
}

void runOnClient(FakeClient *client, std::function<void(FakeClient *)> action)
{
    QVERIFY(QMetaObject::invokeMethod(client, [client, action] { action(client); }, Qt::BlockingQueuedConnection));
}
} // namespace

class TestBootloaderHandler : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void realFamilies_getTheirClientOnBootloaderThread();
    void sameOrUndefinedFamily_keepsTheClient();
    void replacedClient_isCutOffAndDeletedOnBootloaderThread();
    void destructor_deletesTheClientAfterTheThreadHasFinished();
    void destructorDuringATransfer_stopsTheClientsTimersOnTheirThread();
    void download_startsOnlyOnceThePortHasTakenTheSettings();
    void setInterfaceAgain_wiresTheClientOnce();
    void setInterfaceWithoutDownload_onlyStoresTheInterface();
    void setInterfaceWithoutClientOrPort_reportsInterfaceNotOpen();
    void stateTexts_areShownAsTheyAre_data();
    void stateTexts_areShownAsTheyAre();
    void errorTexts_areTranslatedAndReleaseThePort_data();
    void errorTexts_areTranslatedAndReleaseThePort();
    void successfulTransfer_releasesThePortAfterADelay_data();
    void successfulTransfer_releasesThePortAfterADelay();
    void clearedReleaseFlag_keepsTheWiring();
    void clientWrites_reachThePort();
    void progressAndLogs_areRelayed();

private:
    // Emits from the port and reports whether the client got it.
    bool portReachesClient();
    bool settingsChangedStartsDownload();

    std::unique_ptr<FSerialPort> mPort;
    std::unique_ptr<FakeClientHandler> mHandler;
    MarkingTranslator mTranslator;
};

void TestBootloaderHandler::init()
{
    mPort = std::make_unique<FSerialPort>();
    mHandler = std::make_unique<FakeClientHandler>(nullptr, mPort.get());
}

void TestBootloaderHandler::cleanup()
{
    QCoreApplication::removeTranslator(&mTranslator);
    mHandler.reset();
    mPort.reset();
}

bool TestBootloaderHandler::portReachesClient()
{
    FakeClient *client = fake(*mHandler);
    const qsizetype before = client->record().received.size();
    emit mPort->newDataReadyFromPort(QByteArray("Z"));
    roundTrip(client);
    return client->record().received.size() > before;
}

bool TestBootloaderHandler::settingsChangedStartsDownload()
{
    FakeClient *client = fake(*mHandler);
    const qsizetype before = client->record().downloads.size();
    emit mPort->settingsChanged();
    roundTrip(client);
    return client->record().downloads.size() > before;
}

void TestBootloaderHandler::realFamilies_getTheirClientOnBootloaderThread()
{
    BootloaderHandler handler(nullptr, mPort.get());
    QCOMPARE(handler.bootloaderThread()->objectName(), QStringLiteral("BootloaderThread"));
    QVERIFY(handler.bootloaderThread()->isRunning());
    QVERIFY(!handler.client());

    handler.setFamily(H::FAMILY_TIVA);
    QVERIFY(qobject_cast<Tiva *>(handler.client()));
    QCOMPARE(handler.client()->thread(), handler.bootloaderThread());
    QCOMPARE(handler.interfaceSettings().baudrate, 230400);
    QVERIFY(!handler.client()->parent());

    handler.setFamily(H::FAMILY_MSP432);
    QVERIFY(qobject_cast<MSP432 *>(handler.client()));
    QCOMPARE(handler.client()->thread(), handler.bootloaderThread());
    QCOMPARE(handler.interfaceSettings().baudrate, 115200);
    QCOMPARE(handler.currentFamily(), H::FAMILY_MSP432);
}

void TestBootloaderHandler::sameOrUndefinedFamily_keepsTheClient()
{
    mHandler->setFamily(H::FAMILY_TIVA);
    FakeClient *client = fake(*mHandler);
    QVERIFY(client);
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setFamily(H::FAMILY_UNDEF);
    QCOMPARE(fake(*mHandler), client);
    QCOMPARE(mHandler->currentFamily(), H::FAMILY_TIVA);
    // Its connections are still in place, once each.
    emit mHandler->downloadFamily(QStringLiteral("a.txt"));
    emit mHandler->uploadFamily(QStringLiteral("b.txt"));
    roundTrip(client);
    QCOMPARE(client->record().downloads, QStringList{QStringLiteral("a.txt")});
    QCOMPARE(client->record().uploads, QStringList{QStringLiteral("b.txt")});
}

void TestBootloaderHandler::replacedClient_isCutOffAndDeletedOnBootloaderThread()
{
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("a.txt"));
    QPointer<FakeClient> old = fake(*mHandler);
    QMutex mutex;
    QString deletedOn;
    connect(old, &QObject::destroyed, old, [&] {
        const QMutexLocker lock(&mutex);
        deletedOn = QThread::currentThread()->objectName();
    }, Qt::DirectConnection);
    QSignalSpy progress(mHandler.get(), &H::actionProgress);

    mHandler->setFamily(H::FAMILY_MSP432);
    QTRY_VERIFY_WITH_TIMEOUT(old.isNull(), WaitMs);
    // The pointer is cleared as the destructor begins, before `destroyed` is emitted on the other
    // thread: wait for the emission itself.
    const auto deletedOnThread = [&] {
        const QMutexLocker lock(&mutex);
        return deletedOn;
    };
    QTRY_COMPARE_WITH_TIMEOUT(deletedOnThread(), QStringLiteral("BootloaderThread"), WaitMs);
    FakeClient *client = fake(*mHandler);
    QVERIFY(client);
    emit mHandler->downloadFamily(QStringLiteral("c.txt"));
    roundTrip(client);
    QCOMPARE(client->record().downloads, QStringList{QStringLiteral("c.txt")});
    // The new client is not wired to the port until the next hand-over.
    QVERIFY(!portReachesClient());
    runOnClient(client, [](FakeClient *c) { emit c->progress(7); });
    QTRY_COMPARE_WITH_TIMEOUT(progress.size(), 1, WaitMs);
}

void TestBootloaderHandler::destructor_deletesTheClientAfterTheThreadHasFinished()
{
    auto handler = std::make_unique<BootloaderHandler>(nullptr, mPort.get());
    handler->setFamily(H::FAMILY_MSP432);
    QPointer<Bootloader> client = handler->client();
    QThread *thread = handler->bootloaderThread();
    bool threadFinished = false;
    connect(client, &QObject::destroyed, client, [&] { threadFinished = thread->isFinished(); },
            Qt::DirectConnection);
    handler.reset();
    QVERIFY(client.isNull());
    QVERIFY(threadFinished);
}

void TestBootloaderHandler::destructorDuringATransfer_stopsTheClientsTimersOnTheirThread()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("@4000 01 02 q");
    file.close();

    QTest::failOnWarning(QRegularExpression(QStringLiteral("Timers cannot be stopped")));
    auto handler = std::make_unique<BootloaderHandler>(nullptr, nullptr);
    handler->setFamily(H::FAMILY_MSP432);
    QSignalSpy states(handler.get(), &H::state);
    // Synchronising: the reply and repeat timers run.
    emit handler->downloadFamily(path);
    QVERIFY(states.wait(WaitMs));
    QCOMPARE(states.at(0).at(0).toString(), QStringLiteral("Connection started"));
    QPointer<Bootloader> client = handler->client();
    handler.reset();
    QVERIFY(client.isNull());
}

void TestBootloaderHandler::download_startsOnlyOnceThePortHasTakenTheSettings()
{
    mHandler->setFamily(H::FAMILY_TIVA);
    QSignalSpy settings(mHandler.get(), &H::changeUARTSettings);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QCOMPARE(mHandler->currentInterface(), H::INTERFACE_UART);
    QVERIFY(mHandler->isDownloadPending());
    QCOMPARE(mHandler->fileName(), QStringLiteral("fw.txt"));
    QCOMPARE(settings.size(), 1);
    QCOMPARE(settings.at(0).at(0).toInt(), 57600);
    QCOMPARE(settings.at(0).at(1).value<FSerialPort::DataBits>(), FSerialPort::Data7);
    QCOMPARE(settings.at(0).at(2).value<FSerialPort::Parity>(), FSerialPort::OddParity);
    QCOMPARE(settings.at(0).at(3).value<FSerialPort::StopBits>(), FSerialPort::TwoStop);
    QCOMPARE(settings.at(0).at(4).value<FSerialPort::FlowControl>(), FSerialPort::NoFlowControl);

    FakeClient *client = fake(*mHandler);
    roundTrip(client);
    QVERIFY(client->record().downloads.isEmpty());
    // The closed port could not take the settings and said so through the wiring.
    QCOMPARE(client->record().portErrors, 1);
    QVERIFY(settingsChangedStartsDownload());
    QCOMPARE(client->record().downloads, QStringList{QStringLiteral("fw.txt")});
}

void TestBootloaderHandler::setInterfaceAgain_wiresTheClientOnce()
{
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("first.txt"));
    // Errors 1 and 2 leave the wiring in place.
    mHandler->errorFamily(B::BLERROR_INTERFACE_IS_NOT_OPEN);
    mHandler->errorFamily(B::BLERROR_INTERFACE_CANT_OPEN);
    QVERIFY(portReachesClient());
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("second.txt"));
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("third.txt"));

    FakeClient *client = fake(*mHandler);
    const QByteArray before = client->record().received;
    QVERIFY(portReachesClient());
    QCOMPARE(client->record().received, before + "Z");
    QVERIFY(settingsChangedStartsDownload());
    QCOMPARE(client->record().downloads, QStringList{QStringLiteral("third.txt")});
}

void TestBootloaderHandler::setInterfaceWithoutDownload_onlyStoresTheInterface()
{
    mHandler->setFamily(H::FAMILY_TIVA);
    QSignalSpy settings(mHandler.get(), &H::changeUARTSettings);
    mHandler->setInterface(H::INTERFACE_UART, false);
    QCOMPARE(mHandler->currentInterface(), H::INTERFACE_UART);
    QVERIFY(!mHandler->isDownloadPending());
    QVERIFY(settings.isEmpty());
    QVERIFY(!portReachesClient());
}

void TestBootloaderHandler::setInterfaceWithoutClientOrPort_reportsInterfaceNotOpen()
{
    QSignalSpy errors(mHandler.get(), &H::error);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Interface is not open"));

    BootloaderHandler portless(nullptr, nullptr);
    QSignalSpy portlessErrors(&portless, &H::error);
    portless.setFamily(H::FAMILY_TIVA);
    portless.setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QCOMPARE(portlessErrors.size(), 1);
    QCOMPARE(portlessErrors.at(0).at(0).toString(), QStringLiteral("Interface is not open"));
}

void TestBootloaderHandler::stateTexts_areShownAsTheyAre_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("undefined") << 0 << QStringList();
    QTest::newRow("1") << 1 << QStringList();
    QTest::newRow("connection started") << 2 << QStringList{"Connection started"};
    QTest::newRow("connected") << 3 << QStringList{"Connected"};
    QTest::newRow("upload started") << 4 << QStringList{"Upload started"};
    QTest::newRow("upload successful") << 5 << QStringList{"Upload successful"};
    QTest::newRow("download started") << 6 << QStringList{"Download started"};
    QTest::newRow("download successful") << 7 << QStringList{"Download successful"};
    QTest::newRow("8") << 8 << QStringList();
    QTest::newRow("error") << 255 << QStringList{"Error occurred"};
}

void TestBootloaderHandler::stateTexts_areShownAsTheyAre()
{
    QFETCH(int, state);
    QFETCH(QStringList, texts);
    QCoreApplication::installTranslator(&mTranslator);
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QSignalSpy spy(mHandler.get(), &H::state);
    mHandler->stateFamily(B::BLSTATE(state));
    QStringList shown;
    for (const auto &arguments : spy)
        shown << arguments.at(0).toString();
    QCOMPARE(shown, texts);
    QCOMPARE(mHandler->isDownloadPending(), state != 7);
}

void TestBootloaderHandler::errorTexts_areTranslatedAndReleaseThePort_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("released");
    QTest::newRow("0") << 0 << QString() << true;
    QTest::newRow("1") << 1 << QStringLiteral("Could not open interface") << false;
    QTest::newRow("2") << 2 << QStringLiteral("Interface is not open") << false;
    QTest::newRow("3") << 3 << QStringLiteral("Interface communication error") << true;
    QTest::newRow("4") << 4 << QStringLiteral("Misc interface error") << true;
    QTest::newRow("5") << 5 << QStringLiteral("Checksum incorrect") << true;
    QTest::newRow("6") << 6 << QStringLiteral("No response from device") << true;
    QTest::newRow("7") << 7 << QStringLiteral("Device did not answer in time") << true;
    QTest::newRow("8") << 8 << QStringLiteral("No data received from device") << true;
    QTest::newRow("9") << 9 << QStringLiteral("File is invalid") << true;
    QTest::newRow("10") << 10 << QStringLiteral("File must not contain bootloader update") << true;
    QTest::newRow("11") << 11 << QString() << true;
}

void TestBootloaderHandler::errorTexts_areTranslatedAndReleaseThePort()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QFETCH(bool, released);
    QCoreApplication::installTranslator(&mTranslator);
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QSignalSpy spy(mHandler.get(), &H::error);
    mHandler->errorFamily(B::BLERROR(error));
    if (text.isEmpty()) {
        QVERIFY(spy.isEmpty());
    } else {
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("[BootloaderHandler] ") + text);
    }
    QCOMPARE(portReachesClient(), !released);
    QCOMPARE(settingsChangedStartsDownload(), !released);
    // Errors never clear the pending download.
    QVERIFY(mHandler->isDownloadPending());
}

void TestBootloaderHandler::successfulTransfer_releasesThePortAfterADelay_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("download successful") << 7;
    QTest::newRow("upload successful") << 5;
}

void TestBootloaderHandler::successfulTransfer_releasesThePortAfterADelay()
{
    QFETCH(int, state);
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    mHandler->stateFamily(B::BLSTATE(state));
    // The target's last bytes still reach the client.
    QVERIFY(portReachesClient());
    QTRY_VERIFY_WITH_TIMEOUT(!portReachesClient(), WaitMs);
    QVERIFY(!settingsChangedStartsDownload());
}

void TestBootloaderHandler::clearedReleaseFlag_keepsTheWiring()
{
    mHandler.reset();
    mHandler = std::make_unique<FakeClientHandler>(nullptr, mPort.get());
    mHandler->release = false;
    mHandler->setFamily(H::FAMILY_MSP432);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    mHandler->errorFamily(B::BLERROR_TIMEOUT);
    mHandler->stateFamily(B::BLSTATE_DOWNLOAD_SUCCESSFULL);
    QTest::qWait(H::ReleaseDelayMs * 2);
    QVERIFY(portReachesClient());
    QVERIFY(settingsChangedStartsDownload());
}

void TestBootloaderHandler::clientWrites_reachThePort()
{
    QSignalSpy portErrors(mPort.get(), &FSerialPort::errorOccuredOnPort);
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QCOMPARE(portErrors.size(), 1); // the settings, on a closed port
    FakeClient *client = fake(*mHandler);
    // Written to the closed port, the bytes come back as one write error.
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QSerialPort): device not open");
    runOnClient(client, [](FakeClient *c) { emit c->writeDataToInterface(QByteArray("AB"), true); });
    QTRY_COMPARE_WITH_TIMEOUT(portErrors.size(), 2, WaitMs);
    QCOMPARE(portErrors.at(1).at(0).value<QSerialPort::SerialPortError>(), QSerialPort::WriteError);
}

void TestBootloaderHandler::progressAndLogs_areRelayed()
{
    mHandler->setFamily(H::FAMILY_TIVA);
    mHandler->setInterface(H::INTERFACE_UART, true, QStringLiteral("fw.txt"));
    QSignalSpy progress(mHandler.get(), &H::actionProgress);
    QSignalSpy logs(mHandler.get(), &H::log);
    FakeClient *client = fake(*mHandler);
    runOnClient(client, [](FakeClient *c) { emit c->progress(42); });
    QTRY_COMPARE_WITH_TIMEOUT(progress.size(), 1, WaitMs);
    QCOMPARE(progress.at(0).at(0).value<uint8_t>(), uint8_t(42));
    emit mPort->log(QStringLiteral("Changed baudrate 230400"));
    QTRY_COMPARE_WITH_TIMEOUT(logs.size(), 1, WaitMs);
    QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("Changed baudrate 230400"));
}

QTEST_GUILESS_MAIN(TestBootloaderHandler)
#include "tst_bootloader_handler.moc"
