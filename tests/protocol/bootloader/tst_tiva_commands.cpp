#include "protocol/bootloader/TivaCommands.h"

#include <QtTest>

using TIVA::Commands;

Q_DECLARE_METATYPE(TIVA::Commands::Cmd)

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class TestTivaCommands : public QObject {
    Q_OBJECT
private slots:
    void packets_areSizeCrcCommandPayload_data();
    void packets_areSizeCrcCommandPayload();
    void plan_of200Bytes_hasTenPackets();
    void plan_cutsExactMultiplesWithoutAnEmptyChunk();
    void replies_areJudgedByCommand_data();
    void replies_areJudgedByCommand();
    void replyLength_growsForAStatusPacket_data();
    void replyLength_growsForAStatusPacket();
};

void TestTivaCommands::packets_areSizeCrcCommandPayload_data()
{
    QTest::addColumn<Commands::Cmd>("command");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("packet");
    QTest::newRow("Ping") << Commands::Ping << 0u << QByteArray() << hex("032A20");
    QTest::newRow("GetStatus") << Commands::GetStatus << 0u << QByteArray() << hex("037923");
    QTest::newRow("Reset") << Commands::Reset << 0u << QByteArray() << hex("03DF25");
    QTest::newRow("Run") << Commands::Run << 0u << QByteArray() << hex("034822");
    QTest::newRow("Download 200 bytes at 0x4000") << Commands::Download << 0x4000u << QByteArray(200, '\x11')
                                                  << hex("0B2D21000040000000 00C8");
    QTest::newRow("SendData") << Commands::SendData << 0u << hex("010203") << hex("0665 24 010203");
}

void TestTivaCommands::packets_areSizeCrcCommandPayload()
{
    QFETCH(Commands::Cmd, command);
    QFETCH(quint32, address);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, packet);
    const Commands::DataBlock block{address, quint32(data.size()), data};
    const Commands::TxBuffer buffer = Commands::buildTxBuffer(command, block);
    QCOMPARE(buffer.data.toHex(' '), packet.toHex(' '));
    QCOMPARE(buffer.command, command);
    QCOMPARE(buffer.expectedReplyLength, 3);
}

void TestTivaCommands::plan_of200Bytes_hasTenPackets()
{
    QByteArray image;
    for (int i = 0; i < 200; ++i)
        image.append(char(i));
    const Commands::Plan plan = Commands::buildPlan({0x4000, 200, image});

    QCOMPARE(plan.size(), 3);
    QList<int> commands;
    QList<qsizetype> sizes;
    for (const auto &list : plan) {
        for (const Commands::TxBuffer &buffer : list) {
            commands << int(buffer.command);
            sizes << buffer.data.size();
        }
    }
    QCOMPARE(commands, (QList<int>{0x20, 0x21, 0x23, 0x24, 0x23, 0x24, 0x23, 0x24, 0x23, 0x25}));
    QCOMPARE(sizes, (QList<qsizetype>{3, 11, 3, 75, 3, 75, 3, 59, 3, 3}));
    QCOMPARE(plan.at(0).size(), 1);
    QCOMPARE(plan.at(1).size(), 8);
    QCOMPARE(plan.at(2).size(), 1);
    QCOMPARE(Commands::planBytes(plan), qint64(238));
    // The chunks carry the image in order: the last one holds bytes 144 to 199.
    QCOMPARE(plan.at(1).at(2).data.mid(3), image.left(72));
    QCOMPARE(plan.at(1).at(4).data.mid(3), image.mid(72, 72));
    QCOMPARE(plan.at(1).at(6).data.mid(3), image.mid(144));
}

void TestTivaCommands::plan_cutsExactMultiplesWithoutAnEmptyChunk()
{
    const Commands::Plan plan = Commands::buildPlan({0x8000, 144, QByteArray(144, '\x5A')});
    QCOMPARE(plan.at(1).size(), 6);
    QCOMPARE(plan.at(1).at(4).data.size(), 75);
}

void TestTivaCommands::replies_areJudgedByCommand_data()
{
    QTest::addColumn<Commands::Cmd>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    // The acknowledge and the start of a status packet: the status has not come yet.
    QTest::newRow("GetStatus 00 CC 03") << Commands::GetStatus << hex("00CC03") << false;
    QTest::newRow("GetStatus status packet, Success") << Commands::GetStatus << hex("00CC039140") << true;
    QTest::newRow("GetStatus status packet, wrong checksum, Success") << Commands::GetStatus << hex("00CC030040")
                                                                      << true;
    QTest::newRow("GetStatus status packet, InvalidAddress") << Commands::GetStatus << hex("00CC03C243") << false;
    QTest::newRow("GetStatus status packet, FlashFailed") << Commands::GetStatus << hex("00CC035544") << false;
    QTest::newRow("GetStatus status packet, status CC") << Commands::GetStatus << hex("00CC0396CC") << false;
    QTest::newRow("GetStatus status packet, four bytes") << Commands::GetStatus << hex("00CC0391") << false;
    QTest::newRow("GetStatus 00 CC 00") << Commands::GetStatus << hex("00CC00") << true;
    QTest::newRow("GetStatus 00 CC 04 91 40") << Commands::GetStatus << hex("00CC049140") << true;
    QTest::newRow("GetStatus 00 40 00") << Commands::GetStatus << hex("004000") << true;
    QTest::newRow("GetStatus 40 33 00") << Commands::GetStatus << hex("403300") << true;
    QTest::newRow("GetStatus 00 33 00") << Commands::GetStatus << hex("003300") << false;
    QTest::newRow("GetStatus 00 44 00") << Commands::GetStatus << hex("004400") << false;
    QTest::newRow("GetStatus 33 CC 00") << Commands::GetStatus << hex("33CC00") << false;
    QTest::newRow("GetStatus 00 00 CC") << Commands::GetStatus << hex("0000CC") << false;
    QTest::newRow("Ping 00 CC 00") << Commands::Ping << hex("00CC00") << true;
    QTest::newRow("Ping 00 CC 03") << Commands::Ping << hex("00CC03") << true;
    QTest::newRow("Download CC 00 00") << Commands::Download << hex("CC0000") << true;
    QTest::newRow("SendData 00 00 CC") << Commands::SendData << hex("0000CC") << true;
    QTest::newRow("SendData 33 00 00") << Commands::SendData << hex("330000") << false;
    QTest::newRow("SendData 00 40 00") << Commands::SendData << hex("004000") << false;
    QTest::newRow("Reset 00 CC 00") << Commands::Reset << hex("00CC00") << true;
    QTest::newRow("Run 00 CC 00") << Commands::Run << hex("00CC00") << true;
    QTest::newRow("Undefined 00 CC 00") << Commands::Undefined << hex("00CC00") << false;
    QTest::newRow("two bytes only") << Commands::Ping << hex("00CC") << false;
}

void TestTivaCommands::replies_areJudgedByCommand()
{
    QFETCH(Commands::Cmd, command);
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QCOMPARE(Commands::isReplyAccepted(command, reply), accepted);
}

void TestTivaCommands::replyLength_growsForAStatusPacket_data()
{
    QTest::addColumn<Commands::Cmd>("command");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("length");
    QTest::newRow("GetStatus, nothing yet") << Commands::GetStatus << QByteArray() << 3;
    QTest::newRow("GetStatus 00 CC") << Commands::GetStatus << hex("00CC") << 3;
    QTest::newRow("GetStatus 00 CC 03") << Commands::GetStatus << hex("00CC03") << 5;
    QTest::newRow("GetStatus 00 CC 03 91") << Commands::GetStatus << hex("00CC0391") << 5;
    QTest::newRow("GetStatus 00 CC 00") << Commands::GetStatus << hex("00CC00") << 3;
    QTest::newRow("GetStatus 00 40 03") << Commands::GetStatus << hex("004003") << 3;
    QTest::newRow("GetStatus CC 00 03") << Commands::GetStatus << hex("CC0003") << 3;
    QTest::newRow("Ping 00 CC 03") << Commands::Ping << hex("00CC03") << 3;
    QTest::newRow("SendData 00 CC 03") << Commands::SendData << hex("00CC03") << 3;
}

void TestTivaCommands::replyLength_growsForAStatusPacket()
{
    QFETCH(Commands::Cmd, command);
    QFETCH(QByteArray, received);
    QFETCH(int, length);
    QCOMPARE(Commands::replyLength(Commands::buildTxBuffer(command), received), qsizetype(length));
}

QTEST_GUILESS_MAIN(TestTivaCommands)
#include "tst_tiva_commands.moc"
