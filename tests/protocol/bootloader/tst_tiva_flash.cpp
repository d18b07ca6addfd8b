#include "protocol/bootloader/Tiva.h"
#include "tools/boot-sim/TivaTarget.h"

#include "BootloaderTestSupport.h"
#include "FlashTestSupport.h"

#include <QtTest>

using namespace BootloaderTest;
using namespace FlashTest;
using BootSim::TivaFaults;
using BootSim::TivaTarget;

Q_DECLARE_METATYPE(BootSim::TivaFaults)

namespace {
const QString Successful = QStringLiteral("Download successful");
const QStringList SuccessStates{QStringLiteral("Connection started"), QStringLiteral("Download started"), Successful};
// Bytes sent out of the 238 of a 200-byte image, rounded: 3, 14, 17, 92, 95, 170, 173, 232, 235, all.
const QList<int> SuccessProgress{1, 6, 7, 39, 40, 71, 73, 97, 99, 100};
const QList<quint8> SuccessCommands{0x20, 0x21, 0x23, 0x24, 0x23, 0x24, 0x23, 0x24, 0x23, 0x25};
} // namespace

// The Tiva client through the handler and a serial port against the simulated Tiva boot loader.
class TestTivaFlash : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void image_isFlashedWithProgressAndReset_data();
    void image_isFlashedWithProgressAndReset();
    void sectionsWithAGap_areFlashedAsOneImage();
    void targetFaults_endTheUpdate_data();
    void targetFaults_endTheUpdate();
    void refusedFiles_sendNothing_data();
    void refusedFiles_sendNothing();
    void retryAfterInterfaceNotOpen_sendsEveryPacketOnce();

private:
    FirmwareFiles mFiles;
    QString mImage;
};

void TestTivaFlash::initTestCase()
{
    QVERIFY(mFiles.isValid());
    mImage = mFiles.write(QStringLiteral("image.txt"), section(0x4000, pattern(200)) + "q\r\n");
}

void TestTivaFlash::image_isFlashedWithProgressAndReset_data()
{
    QTest::addColumn<bool>("statusPackets");
    QTest::newRow("three-byte status") << false;
    QTest::newRow("status packets") << true;
}

void TestTivaFlash::image_isFlashedWithProgressAndReset()
{
    QFETCH(bool, statusPackets);
    TivaTarget target;
    target.setStatusPackets(statusPackets);
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_TIVA, mImage);
    QVERIFY(rig.waitForEnd());

    QCOMPARE(rig.errorTexts(), QStringList());
    QCOMPARE(rig.stateTexts(), SuccessStates);
    QCOMPARE(rig.progress(), SuccessProgress);
    QCOMPARE(target.commands(), SuccessCommands);
    QCOMPARE(target.downloadAddress(), 0x4000u);
    QCOMPARE(target.downloadLength(), 200u);
    QCOMPARE(target.flash(0x4000, 200), pattern(200));
    QCOMPARE(target.flashBytesWritten(), 200);
    QCOMPARE(target.resets(), 1);
    QCOMPARE(rig.line().received().size(), 238);
    QCOMPARE(rig.line().lineSpeed(), 230400);
    QVERIFY(!rig.handler().isDownloadPending());
}

void TestTivaFlash::sectionsWithAGap_areFlashedAsOneImage()
{
    TivaTarget target;
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    const QString file = mFiles.write(QStringLiteral("gap.txt"), section(0x8000, pattern(100, 1))
                                                                     + section(0x8080, pattern(30, 2)) + "q\r\n");
    rig.download(BootloaderHandler::FAMILY_TIVA, file);
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errorTexts(), QStringList());
    QCOMPARE(target.downloadLength(), 0x9Eu);
    QCOMPARE(target.flash(0x8000, 100), pattern(100, 1));
    QCOMPARE(target.flash(0x8064, 28), QByteArray(28, char(0xFF)));
    QCOMPARE(target.flash(0x8080, 30), pattern(30, 2));
    QCOMPARE(target.flashBytesWritten(), 0x9E);
}

void TestTivaFlash::targetFaults_endTheUpdate_data()
{
    QTest::addColumn<TivaFaults>("faults");
    QTest::addColumn<bool>("statusPackets");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("packets");
    // The image's range in the target's flash once the client has stopped.
    QTest::addColumn<QByteArray>("flash");
    const QString noResponse = QStringLiteral("No response from device");
    const QString timeout = QStringLiteral("Device did not answer in time");
    const QByteArray erased(200, char(0xFF));
    const QByteArray firstChunk = pattern(200).left(72) + QByteArray(128, char(0xFF));
    TivaFaults faults;
    faults.nakOnPacket = 1;
    QTest::newRow("Ping not acknowledged") << faults << false << noResponse << 1 << erased;
    faults = {};
    faults.nakOnPacket = 4;
    QTest::newRow("SendData not acknowledged") << faults << false << noResponse << 4 << firstChunk;
    faults = {};
    faults.flashFailsOnData = 2;
    QTest::newRow("flash fails on the second chunk") << faults << false << noResponse << 7 << firstChunk;
    QTest::newRow("flash fails on the second chunk, status packets") << faults << true << noResponse << 7
                                                                     << firstChunk;
    faults = {};
    faults.refuseDownload = true;
    QTest::newRow("Download refused") << faults << false << noResponse << 3 << erased;
    QTest::newRow("Download refused, status packets") << faults << true << noResponse << 3 << erased;
    faults = {};
    faults.silentOnPacket = 2;
    QTest::newRow("Download unanswered") << faults << false << timeout << 2 << erased;
    faults = {};
    faults.shortReplyOnPacket = 10;
    QTest::newRow("Reset answered by two bytes") << faults << false << timeout << 10 << pattern(200);
}

void TestTivaFlash::targetFaults_endTheUpdate()
{
    QFETCH(TivaFaults, faults);
    QFETCH(bool, statusPackets);
    QFETCH(QString, error);
    QFETCH(int, packets);
    QFETCH(QByteArray, flash);
    TivaTarget target(faults);
    target.setStatusPackets(statusPackets);
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_TIVA, mImage);
    QVERIFY(rig.waitForEnd(Tiva::ReplyTimeoutMs + WaitMs));
    QCOMPARE(rig.errorTexts(), QStringList{error});
    // The client's state follows its error through the handler's thread.
    QTRY_COMPARE_WITH_TIMEOUT(rig.stateTexts().last(), QStringLiteral("Error occurred"), WaitMs);
    QVERIFY(!rig.stateTexts().contains(Successful));
    settle();
    QCOMPARE(target.commandsReceived(), packets);
    QCOMPARE(target.flash(0x4000, 200), flash);
    QVERIFY(rig.handler().isDownloadPending());
}

void TestTivaFlash::refusedFiles_sendNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QString invalid = QStringLiteral("File is invalid");
    QTest::newRow("three-digit token") << QByteArray("@4000 01 0FF 02 q") << invalid;
    QTest::newRow("no address line") << QByteArray("01 02 q") << invalid;
    QTest::newRow("address only") << QByteArray("@4000 q") << invalid;
    QTest::newRow("image at address 0") << section(0, pattern(16))
                                        << QStringLiteral("File must not contain bootloader update");
}

void TestTivaFlash::refusedFiles_sendNothing()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    TivaTarget target;
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_TIVA, mFiles.write(QStringLiteral("refused.txt"), text));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errorTexts(), QStringList{error});
    settle();
    QVERIFY(rig.line().received().isEmpty());
}

void TestTivaFlash::retryAfterInterfaceNotOpen_sendsEveryPacketOnce()
{
    TivaTarget target;
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    // The port is not open yet: it cannot take the settings, and the client says so.
    rig.download(BootloaderHandler::FAMILY_TIVA, mImage);
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errorTexts(), QStringList{QStringLiteral("Interface is not open")});

    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_TIVA, mImage);
    QDeadlineTimer deadline(WaitMs);
    while (!rig.stateTexts().contains(Successful) && !deadline.hasExpired())
        QTest::qWait(10);
    settle();
    QCOMPARE(rig.errorTexts(), QStringList{QStringLiteral("Interface is not open")});
    QCOMPARE(rig.progress(), SuccessProgress);
    QCOMPARE(rig.stateTexts().count(Successful), 1);
    QCOMPARE(target.commands(), SuccessCommands);
    QCOMPARE(rig.line().received().size(), 238);
    QCOMPARE(target.flash(0x4000, 200), pattern(200));
}

QTEST_GUILESS_MAIN(TestTivaFlash)
#include "tst_tiva_flash.moc"
