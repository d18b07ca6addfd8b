#include "protocol/bootloader/MSPCommands.h"

#include <QtTest>

using Cmd = MSPCommands::MSPCMD;
using Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE;
using Bootloader::BLERROR_NOERROR;
using Bootloader::BLERROR_RX_BUFFER_EMPTY;

Q_DECLARE_METATYPE(MSPCommands::MSPCMD)

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray counting(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(i));
    return bytes;
}

const MSPCommands::DataBlock Block{hex("0102"), 0x00010000, 0x0E7C};
} // namespace

class TestMspCommands : public QObject {
    Q_OBJECT
private slots:
    void packets_areHeaderLengthCoreCrc_data();
    void packets_areHeaderLengthCoreCrc();
    void blockOf256Bytes_isWrittenWithCoreLength261();
    void passwords_are256BytesAndDiffer();
    void replies_areJudged_data();
    void replies_areJudged();
};

void TestMspCommands::packets_areHeaderLengthCoreCrc_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::addColumn<bool>("withBlock");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<int>("replyBytes");
    QTest::newRow("mass erase") << MSPCommands::MSPCMD_MASS_ERASE << false << hex("800100 15 64A3") << 8;
    QTest::newRow("reboot") << MSPCommands::MSPCMD_REBOOT_RESET << false << hex("800100 25 3795") << 0;
    QTest::newRow("CRC check of a 256-byte block at 0x10000")
        << MSPCommands::MSPCMD_CRC_CHECK_32 << true << hex("800700 26000001000001 8858") << 9;
    QTest::newRow("block write") << MSPCommands::MSPCMD_RX_DATA_BLOCK_32 << true << hex("800700 20000001000102 FFFA")
                                 << 8;
    QTest::newRow("unlisted command with a block") << MSPCommands::MSPCMD_TX_BSL_VERSION_32 << true
                                                   << hex("800300 190102 1D02") << 8;
    QTest::newRow("CRC check without a block") << MSPCommands::MSPCMD_CRC_CHECK << false << hex("800100 16 0793")
                                               << 9;
}

void TestMspCommands::packets_areHeaderLengthCoreCrc()
{
    QFETCH(Cmd, command);
    QFETCH(bool, withBlock);
    QFETCH(QByteArray, packet);
    QFETCH(int, replyBytes);
    // The CRC check announces the length of a 256-byte block; the block write carries two bytes.
    MSPCommands::DataBlock block = Block;
    if (command == MSPCommands::MSPCMD_CRC_CHECK_32)
        block.data = QByteArray(256, '\0');
    const MSPCommands::Packet built = MSPCommands::buildPacket(command, withBlock ? &block : nullptr);
    QCOMPARE(built.bytes.toHex(' '), packet.toHex(' '));
    QCOMPARE(built.replyBytes, replyBytes);
}

void TestMspCommands::blockOf256Bytes_isWrittenWithCoreLength261()
{
    const MSPCommands::DataBlock block{counting(256), 0x00010000, 0};
    const QByteArray packet = MSPCommands::buildPacket(MSPCommands::MSPCMD_RX_DATA_BLOCK_32, &block).bytes;
    QCOMPARE(packet.size(), 266);
    QCOMPARE(packet.left(8).toHex(' '), hex("800501 2000000100").toHex(' '));
    QCOMPARE(packet.mid(8, 256), counting(256));
}

void TestMspCommands::passwords_are256BytesAndDiffer()
{
    QCOMPARE(MSPCommands::password(1).size(), 256);
    QCOMPARE(MSPCommands::password(2).size(), 256);
    QVERIFY(MSPCommands::password(1) != MSPCommands::password(2));
    const MSPCommands::DataBlock first{MSPCommands::password(1), 0, 0};
    const MSPCommands::Packet packet = MSPCommands::buildPacket(MSPCommands::MSPCMD_RX_PASSWORD_32, &first);
    QCOMPARE(packet.bytes.size(), 262);
    QCOMPARE(packet.bytes.left(4).toHex(' '), hex("80010121").toHex(' '));
    QCOMPARE(packet.replyBytes, 8);
}

void TestMspCommands::replies_areJudged_data()
{
    QTest::addColumn<Cmd>("command");
    QTest::addColumn<bool>("withBlock");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("error");
    const Cmd erase = MSPCommands::MSPCMD_MASS_ERASE;
    const Cmd check = MSPCommands::MSPCMD_CRC_CHECK_32;
    QTest::newRow("operation done") << erase << false << hex("00800200 3B00 60C4") << int(BLERROR_NOERROR);
    QTest::newRow("message 05") << erase << false << hex("00800200 3B05 C594") << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("seven bytes") << erase << false << hex("00800200 3B00 60") << int(BLERROR_RX_BUFFER_EMPTY);
    QTest::newRow("no acknowledge") << erase << false << hex("51800200 3B00 60C4")
                                    << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("wrong header") << erase << false << hex("00810200 3B00 60C4")
                                  << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("wrong length") << erase << false << hex("00800300 3B00 60C4")
                                  << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("wrong CRC") << erase << false << hex("00800200 3B00 60C5") << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("CRC sent high byte first") << erase << false << hex("00800200 3B00 C460")
                                              << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    // Only the CRC check insists on its response type.
    QTest::newRow("data reply to an erase") << erase << false << hex("00800200 3A00 51F7") << int(BLERROR_NOERROR);
    QTest::newRow("block CRC confirmed") << check << true << hex("00800300 3A7C0E 0262") << int(BLERROR_NOERROR);
    QTest::newRow("block CRC differs") << check << true << hex("00800300 3A4A51 2B66")
                                       << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("message in place of the CRC") << check << true << hex("00800300 3B0000 C8F9")
                                                 << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("short message in place of the CRC") << check << true << hex("00800200 3B00 60C4 00")
                                                       << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
    QTest::newRow("CRC reply with a wrong CRC") << check << true << hex("00800300 3A7C0E 0263")
                                                << int(BLERROR_NO_RESPONSE_FROM_DEVICE);
}

void TestMspCommands::replies_areJudged()
{
    QFETCH(Cmd, command);
    QFETCH(bool, withBlock);
    QFETCH(QByteArray, reply);
    QFETCH(int, error);
    QCOMPARE(int(MSPCommands::checkReply(command, withBlock ? &Block : nullptr, reply)), error);
}

QTEST_GUILESS_MAIN(TestMspCommands)
#include "tst_msp_commands.moc"
