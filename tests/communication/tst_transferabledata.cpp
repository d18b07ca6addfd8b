// The memory blocks of a parameter list: sorted by address, merged by declared size, filled with the
// byte images, and refused where an image would not sit at its parameter's addresses.

#include "communication/TransferableData.h"

#include "communication/TransferTestSupport.h"

#include <QtTest>

using namespace TransferTest;
using Thg::Tilo::Communication::TransferableData;


namespace {

// "address:hex bytes", one entry per block.
QStringList blockTexts(const TransferableData &blocks)
{
    QStringList texts;
    for (const auto &block : blocks.blocks) {
        const QByteArray bytes(reinterpret_cast<const char *>(block.data.data()), qsizetype(block.data.size()));
        texts.append(QStringLiteral("%1:%2").arg(block.address).arg(QString::fromLatin1(bytes.toHex())));
    }
    return texts;
}

} // namespace

class TestTransferableData : public QObject {
    Q_OBJECT
private slots:
    void blocks_followDeclaredSizes_data();
    void blocks_followDeclaredSizes();
    void sorting_isVisibleToTheCaller();
    void images_mustSitAtTheirParametersAddresses_data();
    void images_mustSitAtTheirParametersAddresses();
};

void TestTransferableData::blocks_followDeclaredSizes_data()
{
    QTest::addColumn<std::vector<Parameter>>("parameters");
    QTest::addColumn<QStringList>("blocks");

    QTest::newRow("empty list") << std::vector<Parameter>{} << QStringList{};
    QTest::newRow("neighbours merge, a gap splits")
        << std::vector<Parameter>{u16At(10, 0x0102),
                                  withValue(DataType::DBYTEU32, 1, 12, TestValues::unsignedValue(DataType::DBYTEU32, 0x03040506)),
                                  u8At(20, 7)}
        << QStringList{"10:020106050403", "20:07"};
    QTest::newRow("given out of order")
        << std::vector<Parameter>{u8At(5, 0xbb), u8At(3, 0x11), u8At(4, 0xaa)} << QStringList{"3:11aabb"};
    QTest::newRow("an overlap splits")
        << std::vector<Parameter>{withValue(DataType::DBYTEU32, 1, 0, TestValues::unsignedValue(DataType::DBYTEU32, 1)),
                                  u8At(2, 9)}
        << QStringList{"0:01000000", "2:09"};
    QTest::newRow("array length times element size")
        << std::vector<Parameter>{withValue(DataType::ARRFLOAT32, 2, 100, Value(std::vector<double>{1.0, -2.0}, DataType::ARRFLOAT32)),
                                  u8At(108, 1)}
        << QStringList{"100:0000803f000000c001"};
    QTest::newRow("string zero-filled to its field")
        << std::vector<Parameter>{withValue(DataType::ARRSTRING, 4, 0, TestValues::stringValue("AB")), u8At(4, 0xff)}
        << QStringList{"0:41420000ff"};
    QTest::newRow("no current value sends the default")
        << std::vector<Parameter>{[] {
               Parameter p = u16At(7, 0);
               p.currentValue = Value();
               p.defaultValue = TestValues::unsignedValue(DataType::DBYTEU16, 0xbeef);
               return p;
           }()}
        << QStringList{"7:efbe"};
    QTest::newRow("signed and double little-endian")
        << std::vector<Parameter>{withValue(DataType::DBYTEI64, 1, 0, TestValues::signedValue(-2)),
                                  withValue(DataType::DFLOAT64, 1, 8, TestValues::f64(1.0))}
        << QStringList{"0:feffffffffffffff000000000000f03f"};
    QTest::newRow("a type without size ends no block")
        << std::vector<Parameter>{withValue(DataType::UNKNOWN, 3, 10, Value()), u8At(11, 1)}
        << QStringList{"10:", "11:01"};
}

void TestTransferableData::blocks_followDeclaredSizes()
{
    QFETCH(std::vector<Parameter>, parameters);
    QFETCH(QStringList, blocks);
    ParameterRefs list = refs(parameters);
    const TransferableData data = TransferableData::fromParameters(list);
    QCOMPARE(blockTexts(data), blocks);
    QVERIFY(data.imagesFitAddresses());
}

void TestTransferableData::sorting_isVisibleToTheCaller()
{
    const std::vector<Parameter> parameters{u8At(30, 0), u8At(10, 0), u8At(20, 0)};
    ParameterRefs list = refs(parameters);
    TransferableData::fromParameters(list);
    QCOMPARE(list.size(), std::size_t(3));
    QCOMPARE(&list[0].get(), &parameters[1]);
    QCOMPARE(&list[1].get(), &parameters[2]);
    QCOMPARE(&list[2].get(), &parameters[0]);
}

void TestTransferableData::images_mustSitAtTheirParametersAddresses_data()
{
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<bool>("fits");

    QTest::newRow("last two bytes of memory") << u16At(65534, 1) << true;
    QTest::newRow("past the end of memory")
        << withValue(DataType::DBYTEU32, 1, 65534, TestValues::unsignedValue(DataType::DBYTEU32, 1)) << false;
    QTest::newRow("neither current nor default value") << withValue(DataType::DBYTEU16, 1, 0, Value()) << false;
    QTest::newRow("byte list shorter than its length")
        << withValue(DataType::ARRBYTE, 4, 0, TestValues::byteValue({1, 2})) << false;
    QTest::newRow("string without a field size")
        << withValue(DataType::ARRSTRING, 0, 0, TestValues::stringValue("AB")) << false;
    QTest::newRow("contents of another type")
        << withValue(DataType::DBYTEU16, 1, 0, [] {
               Value v = TestValues::stringValue("x");
               v.type = DataType::DBYTEU16;
               return v;
           }())
        << false;
}

void TestTransferableData::images_mustSitAtTheirParametersAddresses()
{
    QFETCH(Parameter, parameter);
    QFETCH(bool, fits);
    const std::vector<Parameter> parameters{parameter};
    ParameterRefs list = refs(parameters);
    QCOMPARE(TransferableData::fromParameters(list).imagesFitAddresses(), fits);
}

QTEST_GUILESS_MAIN(TestTransferableData)
#include "tst_transferabledata.moc"
