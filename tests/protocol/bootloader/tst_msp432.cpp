#include "protocol/bootloader/MSP432.h"

#include "BootloaderTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace BootloaderTest;
using B = Bootloader;

Q_DECLARE_METATYPE(QSerialPort::SerialPortError)

namespace {
constexpr int WaitMs = 5000;
const QByteArray Sync = hex("FF");
const QByteArray Done = hex("00800200 3B00 60C4");
const QByteArray ExtraByte = hex("00");
// The single block 01 02 at 0x4000 and its CRC 0x0E7C.
const QByteArray Image = "@4000\r\n01 02\r\nq\r\n";
const QByteArray CrcConfirmed = hex("00800300 3A7C0E 0262");

// A client on a line without echo or extra byte.
class FullDuplexMSP432 : public MSP432 {
public:
    FullDuplexMSP432() { mSettings.halfDuplex = false; }
};
} // namespace

// The client on the test's own thread, its port played by calling its slots.
class TestMsp432 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void settings_are115200Even8N1HalfDuplex();
    void acknowledgeAfterTheThirdSync_stopsTheRepeatsAndConnectsASecondLater();
    void syncByteLeavingAfterTheAcknowledge_restartsThePause();
    void noAcknowledge_elevenSyncBytesThenTimeout();
    void noiseAfterTheLastSync_stillTimesOut();
    void errorDuringThePause_sendsNothingAfterwards();
    void pauseOfAnEarlierDownload_doesNotStartTheLaterOne();
    void halfDuplex_replyIsJudgedAtTheNinthByte();
    void fullDuplex_replyIsJudgedAtTheEighthByte();
    void missingExtraByte_timesOut();
    void singleBlock_isWrittenCheckedAndRebooted();
    void messageReply_endsTheDownload_data();
    void messageReply_endsTheDownload();
    void files_areRefusedBeforeTheSynchronisation_data();
    void files_areRefusedBeforeTheSynchronisation();
    void portErrors_endTheDownload_data();
    void portErrors_endTheDownload();
    void upload_duringThePause_startsNoTransfer();

private:
    void makeClient(std::unique_ptr<MSP432> client);
    bool start(const QByteArray &text = Image);
    // Synchronises and waits for the first password.
    bool connectToTarget();
    void reply(const QByteArray &bytes) { mClient->newDataReadyFromInterface(bytes); }
    QByteArray lastWrite() const { return written(*mWrites, mWrites->size() - 1); }

    std::unique_ptr<FirmwareFiles> mFiles;
    std::unique_ptr<MSP432> mClient;
    std::unique_ptr<QSignalSpy> mWrites;
    std::unique_ptr<QSignalSpy> mErrors;
    std::unique_ptr<QSignalSpy> mStates;
    std::unique_ptr<QSignalSpy> mProgress;
};

void TestMsp432::init()
{
    mFiles = std::make_unique<FirmwareFiles>();
    QVERIFY(mFiles->isValid());
    makeClient(std::make_unique<MSP432>(nullptr));
}

void TestMsp432::cleanup()
{
    mWrites.reset();
    mErrors.reset();
    mStates.reset();
    mProgress.reset();
    mClient.reset();
    mFiles.reset();
}

void TestMsp432::makeClient(std::unique_ptr<MSP432> client)
{
    mWrites.reset();
    mErrors.reset();
    mStates.reset();
    mProgress.reset();
    mClient = std::move(client);
    mWrites = std::make_unique<QSignalSpy>(mClient.get(), &Bootloader::writeDataToInterface);
    mErrors = std::make_unique<QSignalSpy>(mClient.get(), &Bootloader::error);
    mStates = std::make_unique<QSignalSpy>(mClient.get(), &Bootloader::state);
    mProgress = std::make_unique<QSignalSpy>(mClient.get(), &Bootloader::progress);
}

bool TestMsp432::start(const QByteArray &text)
{
    mClient->download(mFiles->write(QStringLiteral("firmware.txt"), text));
    return !mWrites->isEmpty() && written(*mWrites, 0) == Sync;
}

bool TestMsp432::connectToTarget()
{
    if (!start())
        return false;
    reply(hex("00"));
    const qsizetype syncs = mWrites->size();
    if (!mWrites->wait(MSP432::ConnectPauseMs + WaitMs))
        return false;
    return mWrites->size() == syncs + 1 && lastWrite().left(4) == hex("80010121");
}

void TestMsp432::settings_are115200Even8N1HalfDuplex()
{
    const B::InterfaceSettings settings = mClient->getInterfaceSettings();
    QVERIFY(settings.release);
    QCOMPARE(settings.baudrate, 115200);
    QCOMPARE(settings.dataBits, 8);
    QCOMPARE(settings.parity, 2);
    QCOMPARE(settings.stopBits, 1);
    QCOMPARE(settings.flowControl, 0);
    QVERIFY(settings.halfDuplex);
}

void TestMsp432::acknowledgeAfterTheThirdSync_stopsTheRepeatsAndConnectsASecondLater()
{
    QVERIFY(start());
    QVERIFY(mWrites->at(0).at(1).toBool());
    QTRY_VERIFY_WITH_TIMEOUT(mWrites->size() >= 3, WaitMs);
    // Noise before the acknowledge is ignored.
    reply(hex("55"));
    QElapsedTimer sinceAcknowledge;
    sinceAcknowledge.start();
    reply(hex("00"));
    const qsizetype syncs = mWrites->size();
    QCOMPARE(states(*mStates), (QList<int>{int(B::BLSTATE_CONNECTION_STARTED), int(B::BLSTATE_CONNECTED)}));
    for (qsizetype i = 0; i < syncs; ++i)
        QCOMPARE(written(*mWrites, i), Sync);

    QVERIFY(mWrites->wait(MSP432::ConnectPauseMs + WaitMs));
    QVERIFY(sinceAcknowledge.elapsed() >= MSP432::ConnectPauseMs - 50);
    QCOMPARE(mWrites->size(), syncs + 1);
    QCOMPARE(lastWrite().size(), 262);
    QCOMPARE(lastWrite().left(4), hex("80010121"));
    QCOMPARE(lastWrite().mid(4, 256), QByteArray(256, char(0xFF)));
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_DOWNLOAD_STARTED));
}

void TestMsp432::syncByteLeavingAfterTheAcknowledge_restartsThePause()
{
    QVERIFY(start());
    QTRY_VERIFY_WITH_TIMEOUT(mWrites->size() >= 3, WaitMs);
    reply(hex("00"));
    const qsizetype syncs = mWrites->size();
    // A busy port confirms the last synchronisation byte well after the acknowledge; the target answers
    // it once it has left. Without events meanwhile, the pause cannot end before the confirmation.
    QThread::msleep(400);
    QElapsedTimer sinceWritten;
    sinceWritten.start();
    mClient->dataWrittenToInterface();
    reply(hex("00"));

    QVERIFY(mWrites->wait(MSP432::ConnectPauseMs + WaitMs));
    QVERIFY2(sinceWritten.elapsed() >= MSP432::ConnectPauseMs - 50, qPrintable(QString::number(sinceWritten.elapsed())));
    QCOMPARE(mWrites->size(), syncs + 1);
    QCOMPARE(lastWrite().left(4), hex("80010121"));
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_DOWNLOAD_STARTED));
    // The answer to the late byte came before the password: the reply is read whole.
    const qsizetype sent = mWrites->size();
    reply(Done + ExtraByte);
    QCOMPARE(mWrites->size(), sent + 1);
    QCOMPARE(lastWrite().left(4), hex("80010121"));
    QCOMPARE(lastWrite().mid(4, 256), QByteArray(256, char(0x00)));
    QCOMPARE(mErrors->size(), 0);
}

void TestMsp432::noAcknowledge_elevenSyncBytesThenTimeout()
{
    QVERIFY(start());
    QVERIFY(mErrors->wait(11 * MSP432::RepeatIntervalMs + MSP432::ReplyTimeoutMs + WaitMs));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_TIMEOUT)});
    QCOMPARE(mWrites->size(), 11);
    for (qsizetype i = 0; i < mWrites->size(); ++i)
        QCOMPARE(written(*mWrites, i), Sync);
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
    QTest::qWait(100);
    QCOMPARE(mWrites->size(), 11);
}

void TestMsp432::noiseAfterTheLastSync_stillTimesOut()
{
    QVERIFY(start());
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 11, WaitMs);
    reply(hex("55AA"));
    QVERIFY(mErrors->wait(MSP432::ReplyTimeoutMs + WaitMs));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_TIMEOUT)});
}

void TestMsp432::errorDuringThePause_sendsNothingAfterwards()
{
    QVERIFY(start());
    reply(hex("00"));
    QCOMPARE(mClient->currentState(), B::BLSTATE_CONNECTED);
    mClient->errorOccurredOnInterface(QSerialPort::ReadError);
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_INTERFACE_COM_ERROR)});
    const qsizetype syncs = mWrites->size();
    QTest::qWait(MSP432::ConnectPauseMs + 300);
    QCOMPARE(mWrites->size(), syncs);
    QCOMPARE(mClient->currentState(), B::BLSTATE_ERROR);
}

void TestMsp432::pauseOfAnEarlierDownload_doesNotStartTheLaterOne()
{
    QVERIFY(start());
    reply(hex("00"));
    QTest::qWait(MSP432::ConnectPauseMs / 2);
    // Starting again: the first acknowledge's pause must not send a password into this sync.
    QVERIFY(start());
    const qsizetype firstSync = mWrites->size() - 1;
    QCOMPARE(written(*mWrites, firstSync), Sync);
    QTest::qWait(MSP432::ConnectPauseMs * 3 / 4);
    for (qsizetype i = firstSync; i < mWrites->size(); ++i)
        QCOMPARE(written(*mWrites, i), Sync);
    // Acknowledged, the second download has a pause of its own, and one password follows it.
    reply(hex("00"));
    QVERIFY(mWrites->wait(MSP432::ConnectPauseMs + WaitMs));
    QCOMPARE(lastWrite().left(4), hex("80010121"));
    const qsizetype sent = mWrites->size();
    QTest::qWait(100);
    QCOMPARE(mWrites->size(), sent);
}

void TestMsp432::halfDuplex_replyIsJudgedAtTheNinthByte()
{
    QVERIFY(connectToTarget());
    const qsizetype sent = mWrites->size();
    reply(Done);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), sent);
    // The ninth byte completes the reply and is not part of it: anything goes.
    reply(hex("A5"));
    QCOMPARE(mWrites->size(), sent + 1);
    QCOMPARE(lastWrite().left(4), hex("80010121"));
    QCOMPARE(lastWrite().mid(4, 256), QByteArray(256, '\0'));
    // The reply to the second password decides: the erase follows.
    reply(Done + ExtraByte);
    QCOMPARE(lastWrite(), hex("800100 15 64A3"));
}

void TestMsp432::fullDuplex_replyIsJudgedAtTheEighthByte()
{
    makeClient(std::make_unique<FullDuplexMSP432>());
    QVERIFY(connectToTarget());
    QVERIFY(!mWrites->last().at(1).toBool());
    const qsizetype sent = mWrites->size();
    reply(Done);
    QCOMPARE(mWrites->size(), sent + 1);
    reply(Done);
    QCOMPARE(lastWrite(), hex("800100 15 64A3"));
}

void TestMsp432::missingExtraByte_timesOut()
{
    QVERIFY(connectToTarget());
    const qsizetype sent = mWrites->size();
    reply(Done);
    QVERIFY(mErrors->wait(MSP432::ReplyTimeoutMs + WaitMs));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_TIMEOUT)});
    QCOMPARE(mWrites->size(), sent);
    reply(ExtraByte);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), sent);
}

void TestMsp432::singleBlock_isWrittenCheckedAndRebooted()
{
    QVERIFY(connectToTarget());
    reply(Done + ExtraByte);
    reply(Done + ExtraByte);
    QCOMPARE(lastWrite(), hex("800100 15 64A3"));
    reply(Done + ExtraByte);
    QCOMPARE(lastWrite(), hex("800700 20004000000102 239D"));
    reply(Done + ExtraByte);
    QCOMPARE(lastWrite(), hex("800700 26004000000200 1749"));
    QVERIFY(mProgress->isEmpty());
    reply(CrcConfirmed + ExtraByte);
    QCOMPARE(progress(*mProgress), QList<int>{100});
    QCOMPARE(lastWrite(), hex("800100 25 3795"));
    QCOMPARE(states(*mStates), (QList<int>{2, 3, 6, 7}));
    QVERIFY(mErrors->isEmpty());
    // The reboot is not answered, and no time-out follows it.
    QTest::qWait(MSP432::ReplyTimeoutMs + 200);
    QVERIFY(mErrors->isEmpty());
}

void TestMsp432::messageReply_endsTheDownload_data()
{
    QTest::addColumn<int>("answered");
    QTest::addColumn<QByteArray>("rejected");
    QTest::newRow("second password refused") << 1 << hex("00800200 3B52 D7BE");
    QTest::newRow("erase answered 3B 05") << 2 << hex("00800200 3B05 C594");
    QTest::newRow("block write with a wrong reply CRC") << 3 << hex("00800200 3B00 60C5");
    QTest::newRow("block CRC differs") << 4 << hex("00800300 3A7D0E 3351");
    QTest::newRow("message in place of the block CRC") << 4 << hex("00800300 3B0000 C8F9");
}

void TestMsp432::messageReply_endsTheDownload()
{
    QFETCH(int, answered);
    QFETCH(QByteArray, rejected);
    QVERIFY(connectToTarget());
    for (int i = 0; i < answered; ++i)
        reply(Done + ExtraByte);
    const qsizetype sent = mWrites->size();
    reply(rejected + ExtraByte);
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_NO_RESPONSE_FROM_DEVICE)});
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
    reply(Done + ExtraByte);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), sent);
    QVERIFY(mProgress->isEmpty());
}

void TestMsp432::files_areRefusedBeforeTheSynchronisation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("extension in capitals") << QStringLiteral("firmware.TXT") << Image;
    QTest::newRow("missing file") << QString() << Image;
    QTest::newRow("three-digit token") << QStringLiteral("firmware.txt") << QByteArray("@4000 01 0FF q");
    QTest::newRow("address that does not parse") << QStringLiteral("firmware.txt") << QByteArray("@10Q 01 q");
    QTest::newRow("no address") << QStringLiteral("firmware.txt") << QByteArray("01 02 q");
    QTest::newRow("empty block only") << QStringLiteral("firmware.txt") << QByteArray("@1000 q");
    QTest::newRow("overlapping blocks") << QStringLiteral("firmware.txt") << QByteArray("@4000 01 02 @4001 03 q");
    QTest::newRow("past FFFFFFFF") << QStringLiteral("firmware.txt") << QByteArray("@FFFFFFFF 01 02 q");
}

void TestMsp432::files_areRefusedBeforeTheSynchronisation()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    mClient->download(name.isEmpty() ? mFiles->missing() : mFiles->write(name, text));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_CANT_PARSE_FILE)});
    QCOMPARE(states(*mStates), QList<int>{int(B::BLSTATE_ERROR)});
    QTest::qWait(100);
    QVERIFY(mWrites->isEmpty());
}

void TestMsp432::portErrors_endTheDownload_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("portError");
    QTest::addColumn<int>("error");
    QTest::newRow("open") << QSerialPort::OpenError << int(B::BLERROR_INTERFACE_CANT_OPEN);
    QTest::newRow("write") << QSerialPort::WriteError << int(B::BLERROR_INTERFACE_COM_ERROR);
    QTest::newRow("resource") << QSerialPort::ResourceError << int(B::BLERROR_INTERFACE_MISC);
    QTest::newRow("not open") << QSerialPort::NotOpenError << int(B::BLERROR_INTERFACE_IS_NOT_OPEN);
}

void TestMsp432::portErrors_endTheDownload()
{
    QFETCH(QSerialPort::SerialPortError, portError);
    QFETCH(int, error);
    QVERIFY(start());
    mClient->errorOccurredOnInterface(QSerialPort::NoError);
    QVERIFY(mErrors->isEmpty());
    mClient->errorOccurredOnInterface(portError);
    QCOMPARE(errors(*mErrors), QList<int>{error});
    // The synchronisation stops too.
    const qsizetype sent = mWrites->size();
    QTest::qWait(100);
    QCOMPARE(mWrites->size(), sent);
}

void TestMsp432::upload_duringThePause_startsNoTransfer()
{
    QVERIFY(start());
    reply(hex("00"));
    mClient->upload(QStringLiteral("readback.txt"));
    QCOMPARE(mClient->currentAction(), B::BLACTION_UPLOAD);
    QTRY_COMPARE_WITH_TIMEOUT(mClient->currentState(), B::BLSTATE_UPLOAD_STARTED, WaitMs);
    const qsizetype sent = mWrites->size();
    QTest::qWait(100);
    QCOMPARE(mWrites->size(), sent);
    QVERIFY(mErrors->isEmpty());
}

QTEST_GUILESS_MAIN(TestMsp432)
#include "tst_msp432.moc"
