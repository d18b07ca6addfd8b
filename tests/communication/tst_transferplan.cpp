// The command plans of parameter transfers: per chunk a memory write with its read-back, a take-over
// at each change of address type and at the end, or one memory read per chunk.

#include "communication/ParLinkDeviceService.h"
#include "communication/TransferPlan.h"

#include "communication/TransferTestSupport.h"
#include "support/BuiltinMedium.h"

#include <QtTest>

using namespace TransferTest;
using Thg::Tilo::Communication::Internal::Chunks;
using Thg::Tilo::Communication::Internal::Sequences;
using Thg::Tilo::Communication::Internal::readPlan;
using Thg::Tilo::Communication::Internal::writePlan;
using Thg::Tilo::Communication::ParLinkDeviceService;
using Chunk = Chunks<50>::Chunk;

namespace {

// "type [commands]", one entry per sequence, the commands in sending order.
QStringList planShapes(const Sequences &plan)
{
    QStringList shapes;
    for (const auto &sequence : plan.sequences) {
        QStringList commands;
        for (const auto &command : sequence.commands)
            commands.append(QString::number(int(command.command)));
        shapes.append(QStringLiteral("%1 [%2]").arg(int(sequence.type)).arg(commands.join(u',')));
    }
    return shapes;
}

Chunk chunk(Address::Type type, std::uint16_t address, const char *hex)
{
    return {type, address, QByteArray::fromHex(hex)};
}

} // namespace

class TestTransferPlan : public QObject {
    Q_OBJECT
private slots:
    void writePlan_takesOverPerAddressType_data();
    void writePlan_takesOverPerAddressType();
    void writePlan_fieldsOfEachCommand();
    void readPlan_isOneReadPerChunk();
    void builtinWaterMedium_isNineSequencesOfSixteenCommands();
};

void TestTransferPlan::writePlan_takesOverPerAddressType_data()
{
    QTest::addColumn<QList<Chunk>>("chunks");
    QTest::addColumn<bool>("readBack");
    QTest::addColumn<QStringList>("plan");

    const auto device = Address::Type::Device;
    const auto both = Address::Type::DeviceAndSubDevice;
    const QList<Chunk> example{chunk(device, 100, "01"), chunk(device, 150, "02"), chunk(device, 200, "03"),
                               chunk(both, 10, "04")};
    QTest::newRow("device and sub-device with read-back")
        << example << true << QStringList{"0 [131,130]", "0 [131,130]", "0 [131,130]", "0 [132]", "2 [131,130]", "2 [132]"};
    QTest::newRow("device and sub-device without read-back")
        << example << false << QStringList{"0 [131]", "0 [131]", "0 [131]", "0 [132]", "2 [131]", "2 [132]"};
    QTest::newRow("device only") << QList<Chunk>{chunk(device, 10, "0102"), chunk(device, 20, "03")} << true
                                 << QStringList{"0 [131,130]", "0 [131,130]", "0 [132]"};
    QTest::newRow("sub-device only") << QList<Chunk>{chunk(Address::Type::SubDevice, 0, "01")} << true
                                     << QStringList{"1 [131,130]", "1 [132]"};
    QTest::newRow("back and forth") << QList<Chunk>{chunk(both, 0, "01"), chunk(device, 0, "02"), chunk(both, 9, "03")}
                                    << false << QStringList{"2 [131]", "2 [132]", "0 [131]", "0 [132]", "2 [131]", "2 [132]"};
}

void TestTransferPlan::writePlan_takesOverPerAddressType()
{
    QFETCH(QList<Chunk>, chunks);
    QFETCH(bool, readBack);
    QFETCH(QStringList, plan);
    QCOMPARE(planShapes(writePlan(chunks, readBack)), plan);
}

void TestTransferPlan::writePlan_fieldsOfEachCommand()
{
    const auto plan = writePlan({chunk(Address::Type::Device, 0x1234, "a1b2c3")}, true);
    QCOMPARE(plan.sequences.size(), 2);
    QCOMPARE(plan.cursor, 0);
    const auto &write = plan.sequences[0].commands[0].fields;
    QCOMPARE(write.value("Address"), QVariant(0x1234));
    QCOMPARE(write.value("BytesToWrite"), QVariant(3));
    QCOMPARE(write.value("Bytes"), QVariant(QByteArray::fromHex("a1b2c3")));
    QCOMPARE(write.value("Databytes Slave"), QVariant(2));
    const auto &readBack = plan.sequences[0].commands[1].fields;
    QCOMPARE(readBack.value("Address"), QVariant(0x1234));
    QCOMPARE(readBack.value("BytesToRead"), QVariant(3));
    QCOMPARE(readBack.value("Databytes Master"), QVariant(3));
    QCOMPARE(readBack.value("Bytes"), QVariant(QByteArray()));
    // The take-over goes with its standard fields.
    const auto &takeOver = plan.sequences[1].commands[0].fields;
    QCOMPARE(takeOver.value("Databytes Master"), QVariant(0));
    QCOMPARE(takeOver.value("Databytes Slave"), QVariant(2));
    QCOMPARE(takeOver.value("Status Low"), QVariant(0));
}

void TestTransferPlan::readPlan_isOneReadPerChunk()
{
    const auto plan = readPlan({chunk(Address::Type::Device, 0, "0102"), chunk(Address::Type::Device, 50, "03"),
                                chunk(Address::Type::DeviceAndSubDevice, 7, "040506")});
    QCOMPARE(planShapes(plan), (QStringList{"0 [130]", "0 [130]", "2 [130]"}));
    QCOMPARE(plan.sequences[2].commands[0].fields.value("Address"), QVariant(7));
    QCOMPARE(plan.sequences[2].commands[0].fields.value("BytesToRead"), QVariant(3));
}

void TestTransferPlan::builtinWaterMedium_isNineSequencesOfSixteenCommands()
{
    BuiltinMedium::Parameters water;
    ZEB_LOAD_WATER(water);
    ParameterRefs device = refs(water.device);
    ParameterRefs subdevice = refs(water.subdevice);
    Thg::Tilo::Communication::Device dev;
    dev.address = addressOf(19, 0, 4, 0, 1);
    const auto chunks = ParLinkDeviceService::getCombinedChunks(dev, device, subdevice);
    QVERIFY(chunks);
    const auto plan = writePlan(chunks->chunks, true);
    QCOMPARE(planShapes(plan), (QStringList{"0 [131,130]", "0 [132]", "2 [131,130]", "2 [131,130]", "2 [131,130]",
                                            "2 [131,130]", "2 [131,130]", "2 [131,130]", "2 [132]"}));
    QCOMPARE(commandCount(plan), 16);
    QCOMPARE(plan.sequences[5].commands[0].fields.value("Address"), QVariant(584));
    QCOMPARE(plan.sequences[5].commands[0].fields.value("BytesToWrite"), QVariant(28));
}

QTEST_GUILESS_MAIN(TestTransferPlan)
#include "tst_transferplan.moc"
