#include "protocol/bootloader/Tiva.h"

#include "BootloaderTestSupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace BootloaderTest;
using B = Bootloader;

Q_DECLARE_METATYPE(QSerialPort::SerialPortError)

namespace {
constexpr int WaitMs = 5000;
const QByteArray Ack = hex("00CC00");
const QByteArray StatusSuccess = hex("004000");
// The acknowledge, then a status packet: size 03, checksum, status Success.
const QByteArray StatusPacketSuccess = hex("00CC039140");
const QByteArray Ping = hex("032A20");
} // namespace

// The client on the test's own thread, its port played by calling its slots.
class TestTiva : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void settings_are230400Even8N1HalfDuplex();
    void download_sendsEveryPacketAndReportsProgress();
    void replyInSingleBytes_isJudgedOnceAfterTheThird();
    void replyOfFiveBytes_countsTheFirstThree();
    void rejectedReplies_endTheTransfer_data();
    void rejectedReplies_endTheTransfer();
    void missingReply_timesOut();
    void download_withStatusPackets_sendsEveryPacketAndNothingElse();
    void statusPacket_isJudgedByItsStatus_data();
    void statusPacket_isJudgedByItsStatus();
    void statusPacket_endingAfterItsSize_timesOut();
    void files_areRefusedBeforeAnythingIsSent_data();
    void files_areRefusedBeforeAnythingIsSent();
    void secondDownload_endsTheRunningOneAndStartsNothing();
    void upload_duringATransferEndsIt_otherwiseOnlyNotesTheAction();
    void errorCode_isReportedOncePerDownload();
    void sendScheduledBeforeAnError_isNotSent();
    void portErrors_endTheTransfer_data();
    void portErrors_endTheTransfer();
    void afterAFailure_aNewDownloadStartsWithPing();

private:
    // Starts a download of the image and waits for the Ping.
    bool start(const QByteArray &text);
    // Answers `count` packets from the one written `first` on, as a sound target does; GetStatus with
    // `status`.
    void answer(int first, int count, const QByteArray &status = StatusSuccess);

    std::unique_ptr<FirmwareFiles> mFiles;
    std::unique_ptr<Tiva> mTiva;
    std::unique_ptr<QSignalSpy> mWrites;
    std::unique_ptr<QSignalSpy> mErrors;
    std::unique_ptr<QSignalSpy> mStates;
    std::unique_ptr<QSignalSpy> mProgress;
};

void TestTiva::init()
{
    mFiles = std::make_unique<FirmwareFiles>();
    QVERIFY(mFiles->isValid());
    mTiva = std::make_unique<Tiva>(nullptr);
    mWrites = std::make_unique<QSignalSpy>(mTiva.get(), &Bootloader::writeDataToInterface);
    mErrors = std::make_unique<QSignalSpy>(mTiva.get(), &Bootloader::error);
    mStates = std::make_unique<QSignalSpy>(mTiva.get(), &Bootloader::state);
    mProgress = std::make_unique<QSignalSpy>(mTiva.get(), &Bootloader::progress);
}

void TestTiva::cleanup()
{
    mWrites.reset();
    mErrors.reset();
    mStates.reset();
    mProgress.reset();
    mTiva.reset();
    mFiles.reset();
}

bool TestTiva::start(const QByteArray &text)
{
    mTiva->download(mFiles->write(QStringLiteral("firmware.txt"), text));
    if (!mWrites->wait(WaitMs) || mWrites->size() != 1)
        return false;
    return written(*mWrites, 0) == Ping;
}

void TestTiva::answer(int first, int count, const QByteArray &status)
{
    for (int i = first; i < first + count; ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), i + 1, WaitMs);
        const QByteArray packet = written(*mWrites, i);
        mTiva->newDataReadyFromInterface(quint8(packet[2]) == 0x23 ? status : Ack);
    }
}

void TestTiva::settings_are230400Even8N1HalfDuplex()
{
    const B::InterfaceSettings settings = mTiva->getInterfaceSettings();
    QVERIFY(settings.release);
    QCOMPARE(settings.baudrate, 230400);
    QCOMPARE(settings.dataBits, 8);
    QCOMPARE(settings.parity, 2);
    QCOMPARE(settings.stopBits, 1);
    QCOMPARE(settings.flowControl, 0);
    QVERIFY(settings.halfDuplex);
}

void TestTiva::download_sendsEveryPacketAndReportsProgress()
{
    QVERIFY(start(section(0x4000, pattern(200))));
    QVERIFY(mWrites->at(0).at(1).toBool());
    answer(0, 10);
    QTRY_COMPARE_WITH_TIMEOUT(states(*mStates).last(), int(B::BLSTATE_DOWNLOAD_SUCCESSFULL), WaitMs);

    QCOMPARE(mWrites->size(), 10);
    QCOMPARE(written(*mWrites, 1).toHex(' '), hex("0B2D2100004000000000C8").toHex(' '));
    QCOMPARE(written(*mWrites, 2).toHex(' '), hex("037923").toHex(' '));
    QCOMPARE(quint8(written(*mWrites, 3)[0]), quint8(0x4B));
    QCOMPARE(quint8(written(*mWrites, 3)[2]), quint8(0x24));
    QCOMPARE(written(*mWrites, 3).mid(3), pattern(200).left(72));
    QCOMPARE(written(*mWrites, 7).mid(3), pattern(200).mid(144));
    QCOMPARE(written(*mWrites, 9).toHex(' '), hex("03DF25").toHex(' '));
    // Bytes sent so far out of 238, rounded: 3, 14, 17, 92, 95, 170, 173, 232, 235, then done.
    QCOMPARE(progress(*mProgress), (QList<int>{1, 6, 7, 39, 40, 71, 73, 97, 99, 100}));
    QCOMPARE(states(*mStates), (QList<int>{2, 6, 7}));
    QVERIFY(mErrors->isEmpty());
    QCOMPARE(mTiva->currentAction(), B::BLACTION_DOWNLOAD);

    // Nothing is sent after the last reply, and a late reply is ignored.
    mTiva->newDataReadyFromInterface(Ack);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 10);
}

void TestTiva::replyInSingleBytes_isJudgedOnceAfterTheThird()
{
    QVERIFY(start(section(0x4000, pattern(10))));
    mTiva->newDataReadyFromInterface(hex("00"));
    mTiva->newDataReadyFromInterface(hex("CC"));
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 1);
    mTiva->newDataReadyFromInterface(hex("00"));
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 2, WaitMs);
    QCOMPARE(quint8(written(*mWrites, 1)[2]), quint8(0x21));
    QCOMPARE(progress(*mProgress).size(), 1);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 2);
}

void TestTiva::replyOfFiveBytes_countsTheFirstThree()
{
    QVERIFY(start(section(0x4000, pattern(10))));
    mTiva->newDataReadyFromInterface(hex("00CC00CCCC"));
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 2, WaitMs);
    // The two bytes beyond the reply did not count towards the reply to Download.
    mTiva->newDataReadyFromInterface(hex("00"));
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 2);
    mTiva->newDataReadyFromInterface(hex("CC00"));
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 3, WaitMs);
    QVERIFY(mErrors->isEmpty());
}

void TestTiva::rejectedReplies_endTheTransfer_data()
{
    QTest::addColumn<int>("answered");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("Ping not acknowledged") << 0 << hex("003300");
    QTest::newRow("GetStatus 00 33 00") << 2 << hex("003300");
    QTest::newRow("GetStatus reports a failed flash") << 4 << hex("004400");
    QTest::newRow("SendData 33 00 00") << 3 << hex("330000");
    QTest::newRow("Reset without acknowledge") << 9 << hex("000000");
}

void TestTiva::rejectedReplies_endTheTransfer()
{
    QFETCH(int, answered);
    QFETCH(QByteArray, reply);
    QVERIFY(start(section(0x4000, pattern(200))));
    answer(0, answered);
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), answered + 1, WaitMs);
    mTiva->newDataReadyFromInterface(reply);
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_NO_RESPONSE_FROM_DEVICE)});
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
    // Nothing more goes out, whatever arrives.
    mTiva->newDataReadyFromInterface(Ack);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), answered + 1);
    QVERIFY(!states(*mStates).contains(int(B::BLSTATE_DOWNLOAD_SUCCESSFULL)));
}

void TestTiva::missingReply_timesOut()
{
    QVERIFY(start(section(0x4000, pattern(10))));
    answer(0, 1);
    // A reply that stops halfway counts as missing too.
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 2, WaitMs);
    mTiva->newDataReadyFromInterface(hex("00CC"));
    QVERIFY(mErrors->wait(Tiva::ReplyTimeoutMs + WaitMs));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_TIMEOUT)});
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
    QCOMPARE(mWrites->size(), 2);
}

void TestTiva::download_withStatusPackets_sendsEveryPacketAndNothingElse()
{
    QVERIFY(start(section(0x4000, pattern(200))));
    answer(0, 10, StatusPacketSuccess);
    QTRY_COMPARE_WITH_TIMEOUT(states(*mStates).last(), int(B::BLSTATE_DOWNLOAD_SUCCESSFULL), WaitMs);
    QVERIFY(mErrors->isEmpty());
    // Each status packet is taken as it is: nothing goes out in answer to it.
    QTest::qWait(50);
    QList<int> commands;
    for (int i = 0; i < mWrites->size(); ++i)
        commands << quint8(written(*mWrites, i)[2]);
    QCOMPARE(commands, (QList<int>{0x20, 0x21, 0x23, 0x24, 0x23, 0x24, 0x23, 0x24, 0x23, 0x25}));
    QCOMPARE(progress(*mProgress), (QList<int>{1, 6, 7, 39, 40, 71, 73, 97, 99, 100}));
}

void TestTiva::statusPacket_isJudgedByItsStatus_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("Success") << QList<QByteArray>{hex("00CC039140")} << true;
    QTest::newRow("Success, byte by byte") << QList<QByteArray>{hex("00"), hex("CC"), hex("03"), hex("91"), hex("40")}
                                           << true;
    QTest::newRow("Success after the acknowledge") << QList<QByteArray>{hex("00CC03"), hex("9140")} << true;
    // The bytes beyond the status packet are dropped, as beyond any reply.
    QTest::newRow("Success, and more in the piece") << QList<QByteArray>{hex("00CC0391403300")} << true;
    QTest::newRow("InvalidAddress") << QList<QByteArray>{hex("00CC03C243")} << false;
    QTest::newRow("InvalidAddress after the acknowledge") << QList<QByteArray>{hex("00CC03"), hex("C2"), hex("43")}
                                                          << false;
    QTest::newRow("FlashFailed") << QList<QByteArray>{hex("00CC035544")} << false;
    QTest::newRow("status CC") << QList<QByteArray>{hex("00CC0396CC")} << false;
}

// The GetStatus after Download: a refused Download must not run on into SendData.
void TestTiva::statusPacket_isJudgedByItsStatus()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, accepted);
    QSignalSpy logs(mTiva.get(), &Bootloader::log);
    QVERIFY(start(section(0x4000, pattern(200))));
    answer(0, 2);
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 3, WaitMs);
    QCOMPARE(quint8(written(*mWrites, 2)[2]), quint8(0x23));
    for (const QByteArray &piece : std::as_const(pieces)) {
        QTest::qWait(20);
        QCOMPARE(mWrites->size(), 3);
        QVERIFY(mErrors->isEmpty());
        mTiva->newDataReadyFromInterface(piece);
    }
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 4, WaitMs);
        QCOMPARE(quint8(written(*mWrites, 3)[2]), quint8(0x24));
        // The reply to SendData is a reply of its own.
        mTiva->newDataReadyFromInterface(Ack);
        QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 5, WaitMs);
        QVERIFY(mErrors->isEmpty());
    } else {
        QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_NO_RESPONSE_FROM_DEVICE)});
        QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
        mTiva->newDataReadyFromInterface(Ack);
    }
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), accepted ? 5 : 3);
    QVERIFY(logs.isEmpty());
    QVERIFY(!states(*mStates).contains(int(B::BLSTATE_DOWNLOAD_SUCCESSFULL)));
}

void TestTiva::statusPacket_endingAfterItsSize_timesOut()
{
    QVERIFY(start(section(0x4000, pattern(200))));
    answer(0, 2);
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 3, WaitMs);
    QElapsedTimer sinceReply;
    sinceReply.start();
    mTiva->newDataReadyFromInterface(hex("00CC03"));
    QVERIFY(mErrors->wait(Tiva::ReplyTimeoutMs + WaitMs));
    // The time-out runs from the last byte received; a little slack for the clock's granularity.
    QVERIFY(sinceReply.elapsed() >= Tiva::ReplyTimeoutMs - 10);
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_TIMEOUT)});
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
    QCOMPARE(mWrites->size(), 3);
}

void TestTiva::files_areRefusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("error");
    const QByteArray good = section(0x4000, pattern(10));
    const int invalid = B::BLERROR_CANT_PARSE_FILE;
    QTest::newRow("extension in capitals") << QStringLiteral("firmware.TXT") << good << invalid;
    QTest::newRow("other extension") << QStringLiteral("firmware.hex") << good << invalid;
    QTest::newRow("missing file") << QString() << good << invalid;
    QTest::newRow("three-digit token") << QStringLiteral("firmware.txt") << QByteArray("@4000 01 0FF q") << invalid;
    QTest::newRow("address that does not parse") << QStringLiteral("firmware.txt") << QByteArray("@40Q0 01 q")
                                                 << invalid;
    QTest::newRow("data before the address") << QStringLiteral("firmware.txt") << QByteArray("01 @4000 02 q")
                                             << invalid;
    QTest::newRow("address going back") << QStringLiteral("firmware.txt") << QByteArray("@4000 01 02 @4001 03 q")
                                        << invalid;
    QTest::newRow("no data") << QStringLiteral("firmware.txt") << QByteArray("@4000 q") << invalid;
    QTest::newRow("empty file") << QStringLiteral("firmware.txt") << QByteArray() << invalid;
    QTest::newRow("image at address 0") << QStringLiteral("firmware.txt") << section(0, pattern(10))
                                        << int(B::BLERROR_FILE_CONTAINS_BL);
    QTest::newRow("name containing .txt") << QStringLiteral("firmware.txt.bak") << QByteArray("@4000 q")
                                          << invalid;
}

void TestTiva::files_areRefusedBeforeAnythingIsSent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(int, error);
    const QString path = name.isEmpty() ? mFiles->missing() : mFiles->write(name, text);
    mTiva->download(path);
    QCOMPARE(errors(*mErrors), QList<int>{error});
    QCOMPARE(states(*mStates), QList<int>{int(B::BLSTATE_ERROR)});
    QTest::qWait(20);
    QVERIFY(mWrites->isEmpty());
}

void TestTiva::secondDownload_endsTheRunningOneAndStartsNothing()
{
    QVERIFY(start(section(0x4000, pattern(10))));
    mTiva->download(mFiles->write(QStringLiteral("other.txt"), section(0x8000, pattern(10))));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_INTERFACE_IS_NOT_OPEN)});
    QCOMPARE(states(*mStates), (QList<int>{int(B::BLSTATE_CONNECTION_STARTED), int(B::BLSTATE_ERROR)}));
    mTiva->newDataReadyFromInterface(Ack);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 1);
}

void TestTiva::upload_duringATransferEndsIt_otherwiseOnlyNotesTheAction()
{
    mTiva->upload(QStringLiteral("readback.txt"));
    QCOMPARE(mTiva->currentAction(), B::BLACTION_UPLOAD);
    QVERIFY(mErrors->isEmpty());
    QVERIFY(mStates->isEmpty());

    QVERIFY(start(section(0x4000, pattern(10))));
    mTiva->upload(QStringLiteral("readback.txt"));
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_INTERFACE_IS_NOT_OPEN)});
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
}

void TestTiva::errorCode_isReportedOncePerDownload()
{
    QVERIFY(start(section(0x4000, pattern(10))));
    mTiva->newDataReadyFromInterface(hex("003300"));
    mTiva->errorOccurredOnInterface(QSerialPort::TimeoutError);
    mTiva->errorOccurredOnInterface(QSerialPort::TimeoutError);
    QCOMPARE(errors(*mErrors), (QList<int>{int(B::BLERROR_NO_RESPONSE_FROM_DEVICE), int(B::BLERROR_INTERFACE_MISC)}));
    QCOMPARE(states(*mStates), (QList<int>{int(B::BLSTATE_CONNECTION_STARTED), int(B::BLSTATE_ERROR)}));

    mTiva->download(mFiles->write(QStringLiteral("bad.txt"), QByteArray("@4000 q")));
    mTiva->download(mFiles->write(QStringLiteral("bad.txt"), QByteArray("@4000 q")));
    QCOMPARE(errors(*mErrors).mid(2), (QList<int>{int(B::BLERROR_CANT_PARSE_FILE), int(B::BLERROR_CANT_PARSE_FILE)}));
}

void TestTiva::sendScheduledBeforeAnError_isNotSent()
{
    mTiva->download(mFiles->write(QStringLiteral("firmware.txt"), section(0x4000, pattern(10))));
    // The Ping waits for the event loop; the port fails first.
    mTiva->errorOccurredOnInterface(QSerialPort::WriteError);
    QTest::qWait(50);
    QVERIFY(mWrites->isEmpty());
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_INTERFACE_COM_ERROR)});

    // Neither does a send scheduled by an earlier transfer leave with a later one.
    mTiva->download(mFiles->write(QStringLiteral("firmware.txt"), section(0x4000, pattern(10))));
    mTiva->errorOccurredOnInterface(QSerialPort::ReadError);
    mTiva->download(mFiles->write(QStringLiteral("firmware.txt"), section(0x4000, pattern(10))));
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 1, WaitMs);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 1);
}

void TestTiva::portErrors_endTheTransfer_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("portError");
    QTest::addColumn<int>("error");
    QTest::newRow("device not found") << QSerialPort::DeviceNotFoundError << int(B::BLERROR_INTERFACE_CANT_OPEN);
    QTest::newRow("permission") << QSerialPort::PermissionError << int(B::BLERROR_INTERFACE_CANT_OPEN);
    QTest::newRow("open") << QSerialPort::OpenError << int(B::BLERROR_INTERFACE_CANT_OPEN);
    QTest::newRow("write") << QSerialPort::WriteError << int(B::BLERROR_INTERFACE_COM_ERROR);
    QTest::newRow("read") << QSerialPort::ReadError << int(B::BLERROR_INTERFACE_COM_ERROR);
    QTest::newRow("resource") << QSerialPort::ResourceError << int(B::BLERROR_INTERFACE_MISC);
    QTest::newRow("unsupported") << QSerialPort::UnsupportedOperationError << int(B::BLERROR_INTERFACE_MISC);
    QTest::newRow("unknown") << QSerialPort::UnknownError << int(B::BLERROR_INTERFACE_MISC);
    QTest::newRow("timeout") << QSerialPort::TimeoutError << int(B::BLERROR_INTERFACE_MISC);
    QTest::newRow("not open") << QSerialPort::NotOpenError << int(B::BLERROR_INTERFACE_IS_NOT_OPEN);
}

void TestTiva::portErrors_endTheTransfer()
{
    QFETCH(QSerialPort::SerialPortError, portError);
    QFETCH(int, error);
    QVERIFY(start(section(0x4000, pattern(10))));
    mTiva->errorOccurredOnInterface(QSerialPort::NoError);
    QVERIFY(mErrors->isEmpty());
    mTiva->errorOccurredOnInterface(portError);
    QCOMPARE(errors(*mErrors), QList<int>{error});
    QCOMPARE(states(*mStates).last(), int(B::BLSTATE_ERROR));
    mTiva->newDataReadyFromInterface(Ack);
    QTest::qWait(50);
    QCOMPARE(mWrites->size(), 1);
}

void TestTiva::afterAFailure_aNewDownloadStartsWithPing()
{
    QVERIFY(start(section(0x4000, pattern(10))));
    answer(0, 2);
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 3, WaitMs);
    mTiva->newDataReadyFromInterface(hex("003300"));
    mTiva->download(mFiles->write(QStringLiteral("firmware.txt"), section(0x4000, pattern(10))));
    QTRY_COMPARE_WITH_TIMEOUT(mWrites->size(), 4, WaitMs);
    QCOMPARE(written(*mWrites, 3), Ping);
    answer(3, 4);
    QCOMPARE(errors(*mErrors), QList<int>{int(B::BLERROR_NO_RESPONSE_FROM_DEVICE)});
    // Progress starts again from the beginning of the plan.
    QCOMPARE(progress(*mProgress), (QList<int>{8, 39, 8, 39, 47, 83}));
}

QTEST_GUILESS_MAIN(TestTiva)
#include "tst_tiva.moc"
