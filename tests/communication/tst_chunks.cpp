// Cutting parameter transfers into chunks of at most 50 bytes: the sizes, the address types, the
// chunk sets that are refused, and the built-in water medium as a parameterization writes it.

#include "communication/Chunks.h"
#include "communication/ParLinkDeviceService.h"

#include "communication/TransferTestSupport.h"
#include "support/BuiltinMedium.h"

#include <QtTest>

using namespace TransferTest;
using ComDevice = Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::Internal::Chunks;
using Thg::Tilo::Communication::ParLinkDeviceService;

class TestChunks : public QObject {
    Q_OBJECT
private slots:
    void blockSizes_giveChunksOfAtMost50Bytes_data();
    void blockSizes_giveChunksOfAtMost50Bytes();
    void chunks_carryTheBytesInOrder();
    void subdeviceChunks_takeTheAddressType_data();
    void subdeviceChunks_takeTheAddressType();
    void bothListsEmpty_giveNothing();
    void emptyBlock_makesTheSetInvalidButTheOthersAreCut();
    void imageOutsideItsAddresses_makesTheSetInvalid();
    void builtinWaterMedium_forV0211AndV0200();
};

void TestChunks::blockSizes_giveChunksOfAtMost50Bytes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("shapes");

    QTest::newRow("1") << 1 << QStringList{"0:200:1"};
    QTest::newRow("50") << 50 << QStringList{"0:200:50"};
    QTest::newRow("51") << 51 << QStringList{"0:200:50", "0:250:1"};
    QTest::newRow("100") << 100 << QStringList{"0:200:50", "0:250:50"};
    QTest::newRow("101") << 101 << QStringList{"0:200:50", "0:250:50", "0:300:1"};
}

void TestChunks::blockSizes_giveChunksOfAtMost50Bytes()
{
    QFETCH(int, size);
    QFETCH(QStringList, shapes);
    const std::vector<Parameter> parameters{bytesAt(200, std::uint16_t(size))};
    ParameterRefs device = refs(parameters);
    ParameterRefs none;
    ComDevice dev;
    dev.address = addressOf(19, 0, 4, 0, 1);
    const auto chunks = ParLinkDeviceService::getCombinedChunks(dev, device, none);
    QVERIFY(chunks);
    QCOMPARE(chunkShapes(*chunks), shapes);
    QVERIFY(chunks->valid);
    QCOMPARE(chunks->device, dev);
}

void TestChunks::chunks_carryTheBytesInOrder()
{
    // Two parameters of one block cut across their border.
    const std::vector<Parameter> parameters{bytesAt(30, 40, 0x00), bytesAt(70, 20, 0x80)};
    ParameterRefs device = refs(parameters);
    ParameterRefs none;
    const auto chunks = ParLinkDeviceService::getCombinedChunks(ComDevice(), device, none);
    QVERIFY(chunks);
    QCOMPARE(chunks->chunks.size(), 2);
    QCOMPARE(chunks->chunks[0].address, std::uint16_t(30));
    QCOMPARE(chunks->chunks[0].data,
             QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f2021222324252627"
                                 "80818283848586878889"));
    QCOMPARE(chunks->chunks[1].address, std::uint16_t(80));
    QCOMPARE(chunks->chunks[1].data, QByteArray::fromHex("8a8b8c8d8e8f90919293"));
}

void TestChunks::subdeviceChunks_takeTheAddressType_data()
{
    QTest::addColumn<Address>("address");
    QTest::addColumn<QStringList>("shapes");
    QTest::addColumn<bool>("addressable");

    // Device parameters covering 100..219, sub-device parameters 10..39.
    QTest::newRow("device and sub-device id") << addressOf(19, 0, 4, 0, 1)
                                              << QStringList{"0:100:50", "0:150:50", "0:200:20", "2:10:30"} << true;
    QTest::newRow("sub-device id only") << addressOf(19, 0, 0, 0, 1)
                                        << QStringList{"0:100:50", "0:150:50", "0:200:20", "1:10:30"} << true;
    QTest::newRow("device id only") << addressOf(19, 0, 4, 0, 0)
                                    << QStringList{"0:100:50", "0:150:50", "0:200:20", "255:10:30"} << false;
    QTest::newRow("no id") << addressOf(19, 0, 0, 0, 0)
                           << QStringList{"0:100:50", "0:150:50", "0:200:20", "255:10:30"} << false;
}

void TestChunks::subdeviceChunks_takeTheAddressType()
{
    QFETCH(Address, address);
    QFETCH(QStringList, shapes);
    QFETCH(bool, addressable);
    const std::vector<Parameter> deviceParameters{bytesAt(160, 60), bytesAt(100, 60)};
    const std::vector<Parameter> subdeviceParameters{bytesAt(25, 15), bytesAt(10, 15)};
    ParameterRefs device = refs(deviceParameters);
    ParameterRefs subdevice = refs(subdeviceParameters);
    ComDevice dev;
    dev.address = address;
    const auto chunks = ParLinkDeviceService::getCombinedChunks(dev, device, subdevice);
    QVERIFY(chunks);
    QCOMPARE(chunkShapes(*chunks), shapes);
    QVERIFY(chunks->valid);
    QCOMPARE(chunks->subDeviceAddressable, addressable);

    // Without sub-device parameters there is nothing that could miss its sub-device.
    ParameterRefs none;
    device = refs(deviceParameters);
    QVERIFY(ParLinkDeviceService::getCombinedChunks(dev, device, none)->subDeviceAddressable);
}

void TestChunks::bothListsEmpty_giveNothing()
{
    ParameterRefs device;
    ParameterRefs subdevice;
    QCOMPARE(ParLinkDeviceService::getCombinedChunks(ComDevice(), device, subdevice), std::nullopt);
}

void TestChunks::emptyBlock_makesTheSetInvalidButTheOthersAreCut()
{
    // A parameter of a type without size is a block of its own that holds no bytes.
    const std::vector<Parameter> deviceParameters{u8At(0, 1), withValue(DataType::UNKNOWN, 1, 5, Value())};
    const std::vector<Parameter> subdeviceParameters{u16At(8, 2)};
    ParameterRefs device = refs(deviceParameters);
    ParameterRefs subdevice = refs(subdeviceParameters);
    ComDevice dev;
    dev.address = addressOf(19, 0, 4, 0, 1);
    const auto chunks = ParLinkDeviceService::getCombinedChunks(dev, device, subdevice);
    QVERIFY(chunks);
    QVERIFY(!chunks->valid);
    QCOMPARE(chunkShapes(*chunks), (QStringList{"0:0:1", "2:8:2"}));
}

void TestChunks::imageOutsideItsAddresses_makesTheSetInvalid()
{
    // The byte list holds 2 of its 4 bytes: the parameter after it would be written 2 bytes early.
    const std::vector<Parameter> subdeviceParameters{withValue(DataType::ARRBYTE, 4, 10, TestValues::byteValue({1, 2})),
                                                     u8At(14, 3)};
    ParameterRefs device;
    ParameterRefs subdevice = refs(subdeviceParameters);
    ComDevice dev;
    dev.address = addressOf(19, 0, 4, 0, 1);
    const auto chunks = ParLinkDeviceService::getCombinedChunks(dev, device, subdevice);
    QVERIFY(chunks);
    QVERIFY(!chunks->valid);
}

void TestChunks::builtinWaterMedium_forV0211AndV0200()
{
    BuiltinMedium::Parameters water;
    ZEB_LOAD_WATER(water);
    ParameterRefs device = refs(water.device);
    ParameterRefs subdevice = refs(water.subdevice);
    ComDevice dev;
    dev.address = addressOf(19, 0, 4, 0, 1);
    const auto chunks = ParLinkDeviceService::getCombinedChunks(dev, device, subdevice);
    QVERIFY(chunks);
    QVERIFY(chunks->valid);
    QVERIFY(chunks->subDeviceAddressable);
    QCOMPARE(chunkShapes(*chunks), (QStringList{"0:16:16", "2:434:50", "2:484:50", "2:534:50", "2:584:28", "2:1070:2",
                                                "2:1074:2"}));
    // "001 ZEB WATER" zero-filled to 16 bytes; the curve starts with its point count 9 and 0.0.
    QCOMPARE(chunks->chunks[0].data, QByteArray::fromHex("303031205a4542205741544552000000"));
    QCOMPARE(chunks->chunks[1].data.left(10), QByteArray::fromHex("09000000000000000000"));
    QCOMPARE(chunks->chunks[5].data, QByteArray::fromHex("0300"));
    QCOMPARE(chunks->chunks[6].data, QByteArray::fromHex("0500"));
}

QTEST_GUILESS_MAIN(TestChunks)
#include "tst_chunks.moc"
