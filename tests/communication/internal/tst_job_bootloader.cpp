// The firmware update job, against the real facade: replies to 133 handed in by the test, the
// handler's reports emitted by the test, and a hand-over to a port that is not open.

#include "communication/MetaTypes.h"
#include "communication/internal/Bootloader.h"
#include "communication/internal/Port.h"
#include "tests/communication/internal/JobTestSupport.h"
#include "tests/support/PtyPeer.h"

#include "protocol/bootloader/BootloaderHandler.h"
#include "tests/protocol/bootloader/BootloaderTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <algorithm>

using namespace Thg::Tilo::Communication;
using Job = Internal::Bootloader;
using JobTest::deliver;
using JobTest::device;
using JobTest::entries;
using JobTest::FieldMap;
using JobTest::values;

namespace {

constexpr int WaitMs = 10000;
constexpr int ShortTimeoutMs = 400;
// The hand-over timer never fires early; a little slack for the clock's granularity.
constexpr qint64 HandOverAtLeastMs = Job::HandOverMs - 10;

QStringList texts(const QSignalSpy &spy)
{
    QStringList list;
    for (const auto &arguments : spy)
        list.append(arguments.first().toString());
    return list;
}

} // namespace

class TestJobBootloader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void start_isRefused_data();
    void start_isRefused();
    void start_whileBusy_isRefusedAndTheFirstGoesOn();
    void start_withAFileTheClientRefuses_changesNothing_data();
    void start_withAFileTheClientRefuses_changesNothing();
    void start_sends133AfterItsDelay_data();
    void start_sends133AfterItsDelay();
    void acknowledged133_handsThePortOverASecondLater();
    void failureBefore133_endsTheStartAndTheNextSends133Again_data();
    void failureBefore133_endsTheStartAndTheNextSends133Again();
    void rescueMode_andAPendingDownload_skip133();
    void downloadSuccessful_endsTheUpdateAndClosesThePort_data();
    void downloadSuccessful_endsTheUpdateAndClosesThePort();
    void clientError_failsWithItsTextBehindBootloader_data();
    void clientError_failsWithItsTextBehindBootloader();
    void clientReports_afterTheEnd_areOnlyLogged();
    void bootLoaderErrors_areLoggedInEnglishAndReportedTranslated_data();
    void bootLoaderErrors_areLoggedInEnglishAndReportedTranslated();
    void abort_stopsEverything_data();
    void abort_stopsEverything();
    void refused133_linkLayerTakesEachByteOnce();

private:
    void start(Job::Type type = Job::Type::TIVA, bool rescueMode = false, bool leavePortOpen = false,
               const QString &fileName = "firmware.txt", Address::Type addressType = Address::Type::DeviceAndSubDevice);
    bool waitRunning() const;
    bool portCloseRequested() const { return entries(*mLog).contains("Com port will be closed"); }
    QTimer *handOverTimer() const { return mJob->findChild<QTimer *>("handOverTimer"); }

    // The firmware files the tests name, in the working directory.
    BootloaderTest::FirmwareFiles mFiles;
    QString mWorkingDirectory;
    std::unique_ptr<PARLINK> mFacade;
    std::unique_ptr<Internal::Port> mPort;
    std::unique_ptr<Job> mJob;
    std::unique_ptr<QSignalSpy> mSuccess;
    std::unique_ptr<QSignalSpy> mErrors;
    std::unique_ptr<QSignalSpy> mProgress;
    std::unique_ptr<QSignalSpy> mLog;
};

void TestJobBootloader::initTestCase()
{
    registerMetaTypes();
    PARLINK_Session::registerMetaTypes();
    // An image that both families' clients take.
    QVERIFY(mFiles.isValid());
    const QByteArray image = BootloaderTest::section(0x4000, BootloaderTest::pattern(16)) + "q\r\n";
    const QString firmware = mFiles.write("firmware.txt", image);
    mFiles.write("second.txt", image);
    mWorkingDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFileInfo(firmware).absolutePath()));
}

void TestJobBootloader::cleanupTestCase()
{
    QDir::setCurrent(mWorkingDirectory);
}

void TestJobBootloader::init()
{
    mFacade = std::make_unique<PARLINK>();
    mPort = std::make_unique<Internal::Port>(nullptr, mFacade.get());
    mJob = std::make_unique<Job>(nullptr, mFacade.get(), mPort.get(), ShortTimeoutMs);
    mSuccess = std::make_unique<QSignalSpy>(mJob.get(), &Job::success);
    mErrors = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::error);
    mProgress = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::progress);
    mLog = std::make_unique<QSignalSpy>(mJob.get(), &Internal::Default::log);
}

void TestJobBootloader::cleanup()
{
    mLog.reset();
    mProgress.reset();
    mErrors.reset();
    mSuccess.reset();
    mJob.reset();
    mPort.reset();
    mFacade.reset();
}

void TestJobBootloader::start(Job::Type type, bool rescueMode, bool leavePortOpen, const QString &fileName,
                              Address::Type addressType)
{
    mJob->start(addressType, device(), type, fileName, rescueMode, leavePortOpen);
}

bool TestJobBootloader::waitRunning() const
{
    return QTest::qWaitFor([this] { return mJob->session()->isRunning(); }, WaitMs);
}

void TestJobBootloader::start_isRefused_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("error");
    const QString noFile = "given Filename is empty!";
    QTest::newRow("no file name") << 2 << "" << noFile << noFile;
    QTest::newRow("no file name and no type") << 0 << "" << noFile << noFile;
    QTest::newRow("Undefined") << 0 << "firmware.txt" << "given bootloader type is undefined!"
                               << "given Bootloadertype is undefined!";
    QTest::newRow("type 3") << 3 << "firmware.txt" << "given bootloader type is undefined!"
                            << "given Bootloadertype is undefined!";
    QTest::newRow("type 255") << 255 << "firmware.txt" << "given bootloader type is undefined!"
                              << "given Bootloadertype is undefined!";
}

// Nothing is sent and the link layer keeps its port: a type without a client would leave the
// update waiting for ever.
void TestJobBootloader::start_isRefused()
{
    QFETCH(int, type);
    QFETCH(QString, fileName);
    QFETCH(QString, logged);
    QFETCH(QString, error);
    start(Job::Type(type), false, false, fileName);
    QCOMPARE(texts(*mErrors), QStringList{error});
    QCOMPARE(entries(*mLog), QStringList{logged});
    QCOMPARE(entries(*mLog, int(LogLevel::Error)), QStringList{logged});
    QVERIFY(!mJob->isBusy());
    QCOMPARE(mProgress->size(), 0);
    QCOMPARE(mJob->handler()->currentFamily(), BootloaderHandler::FAMILY_UNDEF);

    // Not sent later either, and no hand-over: rescue mode is no way round the refusal.
    start(Job::Type(type), true, false, fileName);
    QTest::qWait(Job::StartDelayMs + 200);
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(!handOverTimer()->isActive());
    QCOMPARE(mErrors->size(), 2);
}

void TestJobBootloader::start_whileBusy_isRefusedAndTheFirstGoesOn()
{
    start();
    QVERIFY(waitRunning());
    start(Job::Type::MSP432);
    QCOMPARE(texts(*mErrors), QStringList{"Current operation not finished!"});
    QCOMPARE(entries(*mLog, int(LogLevel::Error)), QStringList{"Current operation not finished!"});
    QCOMPARE(mJob->handler()->currentFamily(), BootloaderHandler::FAMILY_TIVA);
    deliver(*mFacade, 133);
    QVERIFY(handOverTimer()->isActive());
    QVERIFY(mJob->isBusy());
    QCOMPARE(mErrors->size(), 1);
}

void TestJobBootloader::start_withAFileTheClientRefuses_changesNothing_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("pending");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QString invalid = "Bootloader: File is invalid";
    QTest::newRow("Tiva, no address line") << 2 << false << QByteArray("01 02 q") << invalid;
    QTest::newRow("Tiva, image at address 0, download pending")
        << 2 << true << BootloaderTest::section(0, BootloaderTest::pattern(16))
        << "Bootloader: File must not contain bootloader update";
    QTest::newRow("MSP432, no data") << 1 << false << QByteArray("@4000 q") << invalid;
    QTest::newRow("MSP432, overlapping blocks, download pending") << 1 << true
                                                                  << QByteArray("@4000 01 02 @4001 03 q") << invalid;
}

// Refused like the earlier checks: no 133, no hand-over, and the handler as it was, with a download
// still pending when an earlier update left one.
void TestJobBootloader::start_withAFileTheClientRefuses_changesNothing()
{
    QFETCH(int, type);
    QFETCH(bool, pending);
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    if (pending) {
        start(Job::Type(type), true, true);
        QVERIFY(mErrors->wait(WaitMs));
        QVERIFY(mJob->handler()->isDownloadPending());
        mErrors->clear();
        mLog->clear();
        mProgress->clear();
    }
    const BootloaderHandler::BLFAMILY family = mJob->handler()->currentFamily();
    const BootloaderHandler::BLINTERFACE iface = mJob->handler()->currentInterface();

    start(Job::Type(type), false, false, mFiles.write("refused.txt", text));
    QCOMPARE(texts(*mErrors), QStringList{error});
    QCOMPARE(entries(*mLog), QStringList{error});
    QCOMPARE(entries(*mLog, int(LogLevel::Error)), QStringList{error});
    QCOMPARE(mProgress->size(), 0);
    QVERIFY(!mJob->isBusy());
    QVERIFY(!handOverTimer()->isActive());
    QCOMPARE(mJob->handler()->currentFamily(), family);
    QCOMPARE(mJob->handler()->currentInterface(), iface);
    QCOMPARE(mJob->handler()->isDownloadPending(), pending);
    QCOMPARE(mJob->handler()->fileName(), pending ? QString("firmware.txt") : QString());

    QTest::qWait(Job::HandOverMs + 200);
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(!mFacade->isSessionActive());
    QCOMPARE(mErrors->size(), 1);
    QVERIFY(!portCloseRequested());
}

void TestJobBootloader::start_sends133AfterItsDelay_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<Address::Type>("addressType");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<int>("family");
    QTest::newRow("Tiva at the device") << 2 << Address::Type::Device << QByteArray::fromHex("1300040000")
                                        << int(BootloaderHandler::FAMILY_TIVA);
    QTest::newRow("MSP432 at the sub-device") << 1 << Address::Type::SubDevice << QByteArray::fromHex("1300000001")
                                              << int(BootloaderHandler::FAMILY_MSP432);
    QTest::newRow("Tiva at the full address") << 2 << Address::Type::DeviceAndSubDevice
                                              << QByteArray::fromHex("1300040001") << int(BootloaderHandler::FAMILY_TIVA);
}

void TestJobBootloader::start_sends133AfterItsDelay()
{
    QFETCH(int, type);
    QFETCH(Address::Type, addressType);
    QFETCH(QByteArray, address);
    QFETCH(int, family);
    QElapsedTimer sinceStart;
    sinceStart.start();
    start(Job::Type(type), false, false, "firmware.txt", addressType);
    QVERIFY(mJob->isBusy());
    QCOMPARE(values(*mProgress), (QList<int>{0, 1}));
    QCOMPARE(int(mJob->handler()->currentFamily()), family);
    QCOMPARE(mJob->handler()->currentInterface(), BootloaderHandler::INTERFACE_UART);
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(waitRunning());
    QVERIFY(sinceStart.elapsed() >= Job::StartDelayMs - 10);
    QCOMPARE(mJob->session()->parlinkSession()->getAddress(), address);
    QCOMPARE(int(mJob->session()->parlinkSession()->getCommand()), 133);
    QCOMPARE(mJob->session()->count(), 1);
    QVERIFY(entries(*mLog, int(LogLevel::Trace)).contains("Starting single command: 133 at address: " +
                                                         Internal::Session::getAddressAsString(
                                                             device().address.asArray(addressType))));
}

void TestJobBootloader::acknowledged133_handsThePortOverASecondLater()
{
    start();
    QVERIFY(waitRunning());
    QElapsedTimer sinceReply;
    sinceReply.start();
    deliver(*mFacade, 133);
    QVERIFY(entries(*mLog, int(LogLevel::Trace))
                .contains("Device responded to command 133: Bootloader started -> closing port"));
    QCOMPARE(values(*mProgress), (QList<int>{0, 1, 2}));
    QVERIFY(handOverTimer()->isActive());
    QVERIFY(!mJob->handler()->isDownloadPending());

    // The port the handler is given was never opened: the client's first word is the port's refusal.
    QVERIFY(mErrors->wait(WaitMs));
    QVERIFY(sinceReply.elapsed() >= HandOverAtLeastMs);
    QVERIFY(mJob->handler()->isDownloadPending());
    QCOMPARE(mJob->handler()->fileName(), QString("firmware.txt"));
    QCOMPARE(texts(*mErrors), QStringList{"Bootloader: Interface is not open"});
    QVERIFY(entries(*mLog, int(LogLevel::Error)).contains("Bootloader: Interface is not open"));
    QTRY_VERIFY_WITH_TIMEOUT(entries(*mLog, int(LogLevel::Trace)).contains("New Bootloader state: Error occurred"),
                             WaitMs);
    QCOMPARE(values(*mProgress).last(), 0);
    QVERIFY(!mJob->isBusy());
    QVERIFY(portCloseRequested());
    QCOMPARE(mSuccess->size(), 0);
}

void TestJobBootloader::failureBefore133_endsTheStartAndTheNextSends133Again_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<FieldMap>("fields");
    QTest::addColumn<bool>("leavePortOpen");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("error");
    const QString refused = "Device didn`t acknowledge command 133";
    QTest::newRow("Status Low 3") << 133 << FieldMap{{"Status Low", 3}, {"Universal Error", 255}} << false << refused
                                  << refused;
    QTest::newRow("Status Low 3, port left open") << 133 << FieldMap{{"Status Low", 3}, {"Universal Error", 255}}
                                                  << true << refused << refused;
    QTest::newRow("reply of the wrong length") << 133 << FieldMap{{"Universal Error", 2}} << false
                                               << "Device didn`t acknowledge command 133 (Universal Error 2)"
                                               << refused;
    QTest::newRow("another command") << 143 << FieldMap{} << false
                                     << "Device responded with wrong command. Expected: 133 Received: 143"
                                     << "Device responded with wrong command. Expected: 133 Received: 143";
    QTest::newRow("no reply") << 0 << FieldMap{} << false << "Device didn't answer in time!"
                              << "Device didn`t respond -> timeout! !";
    QTest::newRow("no reply, port left open") << 0 << FieldMap{} << true << "Device didn't answer in time!"
                                              << "Device didn`t respond -> timeout! !";
}

void TestJobBootloader::failureBefore133_endsTheStartAndTheNextSends133Again()
{
    QFETCH(int, command);
    QFETCH(FieldMap, fields);
    QFETCH(bool, leavePortOpen);
    QFETCH(QString, logged);
    QFETCH(QString, error);
    start(Job::Type::TIVA, false, leavePortOpen);
    QVERIFY(waitRunning());
    if (command != 0)
        deliver(*mFacade, command, fields);
    else
        QVERIFY(mErrors->wait(WaitMs));

    QCOMPARE(texts(*mErrors), QStringList{error});
    QVERIFY(entries(*mLog, int(LogLevel::Error)).contains(logged));
    QCOMPARE(values(*mProgress).last(), 0);
    QVERIFY(!mJob->isBusy());
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(!handOverTimer()->isActive());
    QVERIFY(!mJob->handler()->isDownloadPending());
    QCOMPARE(portCloseRequested(), !leavePortOpen);

    // The target never left its firmware, so it is asked again.
    mLog->clear();
    start();
    QVERIFY(waitRunning());
    QCOMPARE(int(mJob->session()->parlinkSession()->getCommand()), 133);
    QCOMPARE(mErrors->size(), 1);
    QCOMPARE(mSuccess->size(), 0);
}

// Both hand the port over at once, without a word on PARLINK; the download follows the hand-over time.
void TestJobBootloader::rescueMode_andAPendingDownload_skip133()
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    start(Job::Type::MSP432, true, true);
    QCOMPARE(values(*mProgress), QList<int>{0});
    QVERIFY(mJob->isBusy());
    QVERIFY(handOverTimer()->isActive());
    QVERIFY(mErrors->wait(WaitMs));
    QVERIFY(sinceStart.elapsed() >= HandOverAtLeastMs);
    QCOMPARE(texts(*mErrors), QStringList{"Bootloader: Interface is not open"});
    QVERIFY(mJob->handler()->isDownloadPending());
    QVERIFY(!mFacade->isSessionActive());
    QVERIFY(!portCloseRequested());

    // An update that failed after the hand-over left the target in its boot loader.
    mProgress->clear();
    sinceStart.restart();
    start(Job::Type::MSP432, false, true, "second.txt");
    QCOMPARE(values(*mProgress), QList<int>{0});
    QVERIFY(handOverTimer()->isActive());
    QVERIFY(mErrors->wait(WaitMs));
    QVERIFY(sinceStart.elapsed() >= HandOverAtLeastMs);
    QCOMPARE(mErrors->size(), 2);
    QCOMPARE(mJob->handler()->fileName(), QString("second.txt"));
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(!mFacade->isSessionActive());
    const QStringList logged = entries(*mLog);
    QVERIFY(std::none_of(logged.cbegin(), logged.cend(),
                         [](const QString &entry) { return entry.startsWith("Starting single command"); }));
}

void TestJobBootloader::downloadSuccessful_endsTheUpdateAndClosesThePort_data()
{
    QTest::addColumn<bool>("leavePortOpen");
    QTest::newRow("port to be closed on errors") << false;
    QTest::newRow("port to be left open on errors") << true;
}

// The client's progress and states as the handler reports them, up to the end of the download.
void TestJobBootloader::downloadSuccessful_endsTheUpdateAndClosesThePort()
{
    QFETCH(bool, leavePortOpen);
    start(Job::Type::TIVA, true, leavePortOpen);
    BootloaderHandler *handler = mJob->handler();
    emit handler->state("Connection started");
    emit handler->actionProgress(42);
    emit handler->log("Changed baudrate 230400");
    emit handler->actionProgress(100);
    emit handler->state("Download successful");

    QCOMPARE(values(*mProgress), (QList<int>{0, 42, 100, 100}));
    QCOMPARE(mSuccess->size(), 1);
    QCOMPARE(mErrors->size(), 0);
    QVERIFY(!mJob->isBusy());
    QVERIFY(!handOverTimer()->isActive());
    const QStringList trace = entries(*mLog, int(LogLevel::Trace));
    const qsizetype connected = trace.indexOf("New Bootloader state: Connection started");
    QVERIFY(connected >= 0);
    QCOMPARE(trace.mid(connected, 4), (QStringList{"New Bootloader state: Connection started", "Changed baudrate 230400",
                                                   "New Bootloader state: Download successful",
                                                   "Com port will be closed"}));
    QVERIFY(portCloseRequested());
}

void TestJobBootloader::clientError_failsWithItsTextBehindBootloader_data()
{
    QTest::addColumn<bool>("leavePortOpen");
    QTest::newRow("port closed") << false;
    QTest::newRow("port left open") << true;
}

void TestJobBootloader::clientError_failsWithItsTextBehindBootloader()
{
    QFETCH(bool, leavePortOpen);
    start(Job::Type::TIVA, true, leavePortOpen);
    emit mJob->handler()->actionProgress(30);
    emit mJob->handler()->error("Device did not answer in time");
    QCOMPARE(texts(*mErrors), QStringList{"Bootloader: Device did not answer in time"});
    QCOMPARE(entries(*mLog, int(LogLevel::Error)), QStringList{"Bootloader: Device did not answer in time"});
    QCOMPARE(values(*mProgress), (QList<int>{0, 30, 0}));
    QVERIFY(!mJob->isBusy());
    QVERIFY(!handOverTimer()->isActive());
    QCOMPARE(portCloseRequested(), !leavePortOpen);
    QCOMPARE(mSuccess->size(), 0);
}

void TestJobBootloader::clientReports_afterTheEnd_areOnlyLogged()
{
    start(Job::Type::TIVA, true);
    emit mJob->handler()->state("Download successful");
    QCOMPARE(mSuccess->size(), 1);
    mProgress->clear();
    mLog->clear();
    emit mJob->handler()->actionProgress(50);
    emit mJob->handler()->error("Checksum incorrect");
    emit mJob->handler()->state("Download successful");
    QCOMPARE(mSuccess->size(), 1);
    QCOMPARE(mErrors->size(), 0);
    QCOMPARE(mProgress->size(), 0);
    QCOMPARE(entries(*mLog), QStringList{"New Bootloader state: Download successful"});
}

void TestJobBootloader::bootLoaderErrors_areLoggedInEnglishAndReportedTranslated_data()
{
    QTest::addColumn<bool>("refusedFile");
    QTest::addColumn<QString>("english");
    QTest::newRow("the client's error") << false << "Device did not answer in time";
    QTest::newRow("a file the client would refuse") << true << "File is invalid";
}

// The handler translates a client's error text; the job's log line carries the text it was made from.
void TestJobBootloader::bootLoaderErrors_areLoggedInEnglishAndReportedTranslated()
{
    QFETCH(bool, refusedFile);
    QFETCH(QString, english);
    JobTest::ContextTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const auto removeTranslator = qScopeGuard([&translator] { QCoreApplication::removeTranslator(&translator); });
    if (refusedFile) {
        start(Job::Type::MSP432, false, false, mFiles.write("refused.txt", "@4000 q"));
    } else {
        start(Job::Type::TIVA, true);
        mJob->handler()->errorFamily(::Bootloader::BLERROR_TIMEOUT);
    }
    QCOMPARE(texts(*mErrors), QStringList{"Thg::Tilo::Communication::Internal::Bootloader: Bootloader: "
                                          "BootloaderHandler: " + english});
    QCOMPARE(entries(*mLog, int(LogLevel::Error)), QStringList{"Bootloader: " + english});
}

void TestJobBootloader::abort_stopsEverything_data()
{
    QTest::addColumn<bool>("rescueMode");
    QTest::newRow("waiting for 133") << false;
    QTest::newRow("before the hand-over") << true;
}

void TestJobBootloader::abort_stopsEverything()
{
    QFETCH(bool, rescueMode);
    start(Job::Type::TIVA, rescueMode, true);
    if (!rescueMode)
        QVERIFY(waitRunning());
    mJob->abort();
    QCOMPARE(entries(*mLog, int(LogLevel::Info)), QStringList{"Operation was aborted and com port was closed!"});
    QCOMPARE(values(*mProgress).last(), 0);
    QVERIFY(!mJob->isBusy());
    QVERIFY(!mJob->session()->isRunning());
    QVERIFY(!handOverTimer()->isActive());
    QVERIFY(portCloseRequested());

    deliver(*mFacade, 133);
    QTest::qWait(Job::HandOverMs + 200);
    QCOMPARE(mErrors->size(), 0);
    QCOMPARE(mSuccess->size(), 0);
    QVERIFY(!mJob->handler()->isDownloadPending());
}

// A refusal gives the port back to a link layer that never let go of it. Wired to the port twice, the
// link layer would take each byte of the next answer twice: an answer that arrives byte by byte would
// then never make a frame.
void TestJobBootloader::refused133_linkLayerTakesEachByteOnce()
{
    PtyPeer peer;
    if (!peer.isOpen())
        QSKIP(qPrintable("No pseudo-terminal: " + peer.errorString()));
    QSignalSpy opened(mPort.get(), &Internal::Port::opened);
    mPort->open(Comport{peer.portName(), "", 0, 0, false, 10, 10}, WaitMs);
    QVERIFY(opened.wait(WaitMs));
    // The wake-up string after the open.
    QVERIFY(peer.waitForReceived(4, WaitMs));
    QCOMPARE(peer.takeReceived(), QByteArray("PARL"));

    const QByteArray request = QByteArray::fromHex("ffffffffff""82130004000185""00""11");
    const auto answerByteByByte = [&peer](const QByteArray &frame) {
        for (const char byte : frame) {
            QVERIFY(peer.write(QByteArray(1, byte)));
            QTest::qWait(3);
        }
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        start(Job::Type::TIVA, false, true);
        QVERIFY(peer.waitForReceived(request.size(), WaitMs));
        QCOMPARE(peer.takeReceived().toHex(' '), request.toHex(' '));
        answerByteByByte(attempt == 0 ? QByteArray::fromHex("ffffffffff""86130004000185""02""0003""14")
                                      : QByteArray::fromHex("ffffffffff""86130004000185""02""0000""17"));
        // The answer, or the job's time-out on a broken frame.
        QTRY_COMPARE_WITH_TIMEOUT(mErrors->size() + int(handOverTimer()->isActive()), attempt + 1, WaitMs);
    }
    QCOMPARE(texts(*mErrors), QStringList{"Device didn`t acknowledge command 133"});
    QVERIFY(entries(*mLog, int(LogLevel::Trace))
                .contains("Device responded to command 133: Bootloader started -> closing port"));
    QVERIFY(!portCloseRequested());
    mJob->abort();
}

QTEST_GUILESS_MAIN(TestJobBootloader)
#include "tst_job_bootloader.moc"
