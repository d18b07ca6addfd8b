#include "protocol/bootloader/MSP432.h"
#include "tools/boot-sim/Msp432Target.h"

#include "BootloaderTestSupport.h"
#include "FlashTestSupport.h"

#include <QtTest>

using namespace BootloaderTest;
using namespace FlashTest;
using BootSim::Msp432Faults;
using BootSim::Msp432Target;

Q_DECLARE_METATYPE(BootSim::Msp432Faults)

namespace {
const QString Successful = QStringLiteral("Download successful");
// Blocks A 0x0000-0x00FF, B 0x0100-0x01FF and C 0x0200-0x0210.
const QByteArray ThreeBlocks = pattern(0x211, 3);
} // namespace

// The MSP432 client through the handler and a serial port against the simulated MSP432 boot loader.
class TestMsp432Flash : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void threeBlocks_areWrittenLastFirstAndChecked_data();
    void threeBlocks_areWrittenLastFirstAndChecked();
    void targetFaults_endTheUpdate_data();
    void targetFaults_endTheUpdate();
    void refusedFile_sendsNotEvenTheSynchronisation();

private:
    FirmwareFiles mFiles;
    QString mImage;
};

void TestMsp432Flash::initTestCase()
{
    QVERIFY(mFiles.isValid());
    mImage = mFiles.write(QStringLiteral("image.txt"), section(0, ThreeBlocks) + "q\r\n");
}

void TestMsp432Flash::threeBlocks_areWrittenLastFirstAndChecked_data()
{
    QTest::addColumn<int>("ignoredSyncBytes");
    QTest::newRow("first sync answered") << 0;
    QTest::newRow("third sync answered") << 2;
}

void TestMsp432Flash::threeBlocks_areWrittenLastFirstAndChecked()
{
    QFETCH(int, ignoredSyncBytes);
    Msp432Faults faults;
    faults.ignoredSyncBytes = ignoredSyncBytes;
    Msp432Target target(faults);
    target.setPassword(MSPCommands::password(2));
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_MSP432, mImage);
    QVERIFY(rig.waitForEnd());
    settle();

    QCOMPARE(rig.errorTexts(), QStringList());
    QCOMPARE(rig.stateTexts(), (QStringList{QStringLiteral("Connection started"), QStringLiteral("Connected"),
                                            QStringLiteral("Download started"), Successful}));
    QCOMPARE(rig.progress(), (QList<int>{66, 100, 100}));
    QCOMPARE(target.blocksWritten(), (QList<quint32>{0x200, 0x100, 0x000}));
    // Passwords, erase, three writes with their checks, reboot.
    QCOMPARE(target.commands(),
             (QList<quint8>{0x21, 0x21, 0x15, 0x20, 0x26, 0x20, 0x26, 0x20, 0x26, 0x25}));
    QCOMPARE(target.massErases(), 1);
    QCOMPARE(target.flash(0, 0x211), ThreeBlocks);
    QCOMPARE(target.flashBytesWritten(), 0x211);
    QCOMPARE(target.resets(), 1);
    QVERIFY(target.syncBytesReceived() >= ignoredSyncBytes + 1);
    QCOMPARE(rig.line().lineSpeed(), 115200);
    QVERIFY(!rig.handler().isDownloadPending());
}

void TestMsp432Flash::targetFaults_endTheUpdate_data()
{
    QTest::addColumn<Msp432Faults>("faults");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("packets");
    const QString noResponse = QStringLiteral("No response from device");
    const QString timeout = QStringLiteral("Device did not answer in time");
    Msp432Faults faults;
    faults.ignoredSyncBytes = 11;
    QTest::newRow("no synchronisation") << faults << timeout << 0;
    faults = {};
    faults.refusePassword = true;
    QTest::newRow("passwords refused") << faults << noResponse << 2;
    faults = {};
    faults.messageOnPacket = 3;
    QTest::newRow("erase answered 3B 05") << faults << noResponse << 3;
    faults = {};
    faults.wrongAcknowledgeOnPacket = 4;
    QTest::newRow("no acknowledge to a block") << faults << noResponse << 4;
    faults = {};
    faults.wrongHeaderOnPacket = 4;
    QTest::newRow("wrong reply header") << faults << noResponse << 4;
    faults = {};
    faults.wrongLengthOnPacket = 4;
    QTest::newRow("wrong reply length") << faults << noResponse << 4;
    faults = {};
    faults.wrongReplyCrcOnPacket = 6;
    QTest::newRow("wrong reply CRC") << faults << noResponse << 6;
    faults = {};
    faults.corruptWriteOnBlock = 2;
    QTest::newRow("block CRC differs in the target") << faults << noResponse << 7;
    faults = {};
    faults.messageForCrcCheck = 1;
    QTest::newRow("message in place of the block CRC") << faults << noResponse << 5;
    faults = {};
    faults.silentOnPacket = 3;
    QTest::newRow("erase unanswered") << faults << timeout << 3;
    faults = {};
    faults.shortReplyOnPacket = 5;
    QTest::newRow("CRC reply one byte short") << faults << timeout << 5;
    faults = {};
    faults.missingExtraByteOnPacket = 2;
    QTest::newRow("extra byte missing") << faults << timeout << 2;
}

void TestMsp432Flash::targetFaults_endTheUpdate()
{
    QFETCH(Msp432Faults, faults);
    QFETCH(QString, error);
    QFETCH(int, packets);
    Msp432Target target(faults);
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_MSP432, mImage);
    QVERIFY(rig.waitForEnd(MSP432::ConnectPauseMs + MSP432::ReplyTimeoutMs + WaitMs));
    QCOMPARE(rig.errorTexts(), QStringList{error});
    // The client's state follows its error through the handler's thread.
    QTRY_COMPARE_WITH_TIMEOUT(rig.stateTexts().last(), QStringLiteral("Error occurred"), WaitMs);
    settle();
    QCOMPARE(target.commandsReceived(), packets);
    QCOMPARE(target.resets(), 0);
    QVERIFY(rig.handler().isDownloadPending());
}

void TestMsp432Flash::refusedFile_sendsNotEvenTheSynchronisation()
{
    Msp432Target target;
    FlashRig rig(&target);
    FLASH_RIG_OR_SKIP(rig);
    QVERIFY(rig.openPort());
    rig.download(BootloaderHandler::FAMILY_MSP432,
                 mFiles.write(QStringLiteral("refused.txt"), "@4000 01 02 @4001 03 q"));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.errorTexts(), QStringList{QStringLiteral("File is invalid")});
    settle();
    QVERIFY(rig.line().received().isEmpty());
    QCOMPARE(target.massErases(), 0);
}

QTEST_GUILESS_MAIN(TestMsp432Flash)
#include "tst_msp432_flash.moc"
