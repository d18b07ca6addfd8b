#include "device/Value.h"

#include "device/DeviceTestChecks.h"
#include "device/DeviceTestValues.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

using namespace Thg::Tilo::Device;
using namespace TestValues;
using DeviceTestChecks::messageOf;

Q_DECLARE_METATYPE(Thg::Tilo::Device::Value)

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

QByteArray bytesOf(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

} // namespace

class TestValue : public QObject {
    Q_OBJECT
private slots:
    void toBytes_givesDeviceImage_data();
    void toBytes_givesDeviceImage();
    void toString_givesDisplayText_data();
    void toString_givesDisplayText();
    void contentNotMatchingType_throwsBadVariantAccess();
    void typedConstructors_rejectOtherTypes_data();
    void typedConstructors_rejectOtherTypes();
    void toU8Array_data();
    void toU8Array();
    void toDoubleArray_data();
    void toDoubleArray();
    void toFloatArray_narrowsEveryInput_data();
    void toFloatArray_narrowsEveryInput();
    void orderings_data();
    void orderings();
};

void TestValue::toBytes_givesDeviceImage_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("U8 drops high bits") << unsignedValue(DataType::DBYTEU8, 300) << 1 << QByteArray::fromHex("2C");
    QTest::newRow("U16 drops high bits") << unsignedValue(DataType::DBYTEU16, 0x12345) << 1
                                         << QByteArray::fromHex("4523");
    QTest::newRow("U32 little endian") << unsignedValue(DataType::DBYTEU32, 0x1122334455) << 1
                                       << QByteArray::fromHex("55443322");
    QTest::newRow("U64 whole") << unsignedValue(DataType::DBYTEU64, 0x0102030405060708) << 1
                               << QByteArray::fromHex("0807060504030201");
    QTest::newRow("I64 two's complement") << signedValue(-2) << 1 << QByteArray::fromHex("FEFFFFFFFFFFFFFF");
    QTest::newRow("F32 0.1") << Value(0.1, DataType::DFLOAT32) << 1 << QByteArray::fromHex("CDCCCC3D");
    QTest::newRow("F64 1.5") << Value(1.5, DataType::DFLOAT64) << 1 << QByteArray::fromHex("000000000000F83F");
    QTest::newRow("string padded") << stringValue("ABC") << 5 << QByteArray::fromHex("4142430000");
    QTest::newRow("string cut") << stringValue("ABC") << 2 << QByteArray::fromHex("4142");
    QTest::newRow("string unsized") << stringValue("ABC") << 0 << QByteArray::fromHex("414243");
    QTest::newRow("empty string unsized") << stringValue("") << 0 << QByteArray();
    QTest::newRow("empty string padded") << stringValue("") << 3 << QByteArray::fromHex("000000");
    QTest::newRow("bytes ignore length") << byteValue({1, 2, 3}) << 1 << QByteArray::fromHex("010203");
    QTest::newRow("F32 list, no length") << Value(std::vector<double>{1.5, 0.1}, DataType::ARRFLOAT32) << 0
                                         << QByteArray::fromHex("0000C03FCDCCCC3D");
    QTest::newRow("F32 list, other length") << Value(std::vector<double>{1.5, 0.1}, DataType::ARRFLOAT32) << 7
                                            << QByteArray::fromHex("0000C03FCDCCCC3D");
    QTest::newRow("F64 list") << Value(std::vector<double>{1.5, -2.0}, DataType::ARRFLOAT64) << 2
                              << QByteArray::fromHex("000000000000F83F00000000000000C0");
    QTest::newRow("nothing") << Value() << 4 << QByteArray();
    // Narrowing a double beyond the float range is undefined in plain C++; it gives infinity here.
    QTest::newRow("F32 too big is +inf") << Value(1e300, DataType::DFLOAT32) << 1 << QByteArray::fromHex("0000807F");
    QTest::newRow("F32 too small is -inf") << Value(-1e300, DataType::DFLOAT32) << 1
                                           << QByteArray::fromHex("000080FF");
    // Nearest single-precision value also beyond FLT_MAX: FLT_MAX up to just below 2^128 - 2^103,
    // infinity from there on.
    QTest::newRow("F32 below the rounding boundary is FLT_MAX") << Value(0x1.fffffefffffffp127, DataType::DFLOAT32)
                                                                << 1 << QByteArray::fromHex("FFFF7F7F");
    QTest::newRow("F32 at the rounding boundary is +inf") << Value(0x1.ffffffp127, DataType::DFLOAT32) << 1
                                                          << QByteArray::fromHex("0000807F");
    QTest::newRow("F32 negative below the boundary is -FLT_MAX")
        << Value(-0x1.fffffefffffffp127, DataType::DFLOAT32) << 1 << QByteArray::fromHex("FFFF7FFF");
    QTest::newRow("F32 negative at the boundary is -inf") << Value(-0x1.ffffffp127, DataType::DFLOAT32) << 1
                                                          << QByteArray::fromHex("000080FF");
    QTest::newRow("F32 list on both sides of the boundary")
        << Value(std::vector<double>{0x1.fffffefffffffp127, 0x1.ffffffp127, -0x1.fffffefffffffp127, -0x1.ffffffp127},
                 DataType::ARRFLOAT32)
        << 4 << QByteArray::fromHex("FFFF7F7F""0000807F""FFFF7FFF""000080FF");
    QTest::newRow("F32 NaN") << Value(notANumber, DataType::DFLOAT32) << 1 << QByteArray::fromHex("0000C07F");
    QTest::newRow("F32 list out of range") << Value(std::vector<double>{-1e40, 1e40}, DataType::ARRFLOAT32) << 2
                                           << QByteArray::fromHex("000080FF0000807F");
}

void TestValue::toBytes_givesDeviceImage()
{
    QFETCH(Value, value);
    QFETCH(int, length);
    QFETCH(QByteArray, bytes);
    QCOMPARE(bytesOf(value.toBytes(static_cast<std::uint16_t>(length))), bytes);
}

void TestValue::toString_givesDisplayText_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("unsigned") << unsignedValue(DataType::DBYTEU64, 18446744073709551615ULL)
                              << "18446744073709551615";
    QTest::newRow("signed negative") << signedValue(-7) << "-7";
    QTest::newRow("double without .0") << Value(100.0, DataType::DFLOAT64) << "100";
    QTest::newRow("double shortest") << Value(0.000001792, DataType::DFLOAT32) << "1.792e-06";
    QTest::newRow("string") << stringValue("Water 20 C") << "Water 20 C";
    QTest::newRow("bytes") << byteValue({1, 2, 255}) << "1;2;255";
    QTest::newRow("doubles") << Value(std::vector<double>{0.5, 100}, DataType::ARRFLOAT64) << "0.5;100";
    QTest::newRow("empty list") << Value(std::vector<double>{}, DataType::ARRFLOAT32) << "";
    QTest::newRow("nothing") << Value() << "";
}

void TestValue::toString_givesDisplayText()
{
    QFETCH(Value, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(value.toString()), text);
}

void TestValue::contentNotMatchingType_throwsBadVariantAccess()
{
    Value value = unsignedValue(DataType::DBYTEU8, 1);
    value.type = DataType::DFLOAT64;
    QVERIFY_THROWS_EXCEPTION(std::bad_variant_access, value.toBytes(1));
    QVERIFY_THROWS_EXCEPTION(std::bad_variant_access, value.toString());

    // Codes above 10 never look at the content.
    value.type = static_cast<DataType>(200);
    QVERIFY(value.toBytes(1).empty());
    QVERIFY(value.toString().empty());
}

void TestValue::typedConstructors_rejectOtherTypes_data()
{
    QTest::addColumn<bool>("list");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");

    QTest::newRow("double as U8") << false << 0 << "Type must be either float or double: DBYTEU8";
    QTest::newRow("double as float list") << false << 9 << "Type must be either float or double: ARRFLOAT32";
    QTest::newRow("double as nothing") << false << 11 << "Type must be either float or double: UNKNOWN";
    QTest::newRow("double as code 200") << false << 200 << "Type must be either float or double: ";
    QTest::newRow("list as F64") << true << 6 << "Type must be either float array or double array: DFLOAT64";
    QTest::newRow("list as bytes") << true << 8 << "Type must be either float array or double array: ARRBYTE";
}

void TestValue::typedConstructors_rejectOtherTypes()
{
    QFETCH(bool, list);
    QFETCH(int, type);
    QFETCH(QString, message);
    const auto dataType = static_cast<DataType>(type);
    QCOMPARE(messageOf<std::invalid_argument>([&] {
                 if (list)
                     Value(std::vector<double>{1.0}, dataType);
                 else
                     Value(1.0, dataType);
             }),
             std::optional(message.toStdString()));
}

void TestValue::toU8Array_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("U16 low bits") << unsignedValue(DataType::DBYTEU16, 0x1234) << QByteArray::fromHex("34");
    QTest::newRow("I64 low bits") << signedValue(-2) << QByteArray::fromHex("FE");
    QTest::newRow("double truncated") << Value(300.9, DataType::DFLOAT64) << QByteArray::fromHex("2C");
    QTest::newRow("negative double") << Value(-1.5, DataType::DFLOAT64) << QByteArray::fromHex("FF");
    QTest::newRow("NaN") << Value(notANumber, DataType::DFLOAT32) << QByteArray::fromHex("00");
    QTest::newRow("huge double") << Value(1e300, DataType::DFLOAT64) << QByteArray::fromHex("FF");
    QTest::newRow("huge negative") << Value(-1e300, DataType::DFLOAT64) << QByteArray::fromHex("00");
    QTest::newRow("infinity") << Value(std::numeric_limits<double>::infinity(), DataType::DFLOAT64)
                              << QByteArray::fromHex("FF");
    QTest::newRow("string with number") << stringValue("12abc") << QByteArray::fromHex("0C");
    QTest::newRow("string without number") << stringValue("abc") << QByteArray::fromHex("00");
    QTest::newRow("string blanks and sign") << stringValue("  -3x") << QByteArray::fromHex("FD");
    QTest::newRow("string plus sign") << stringValue("+7") << QByteArray::fromHex("07");
    QTest::newRow("string two signs") << stringValue("+-7") << QByteArray::fromHex("00");
    QTest::newRow("string out of range") << stringValue("99999999999") << QByteArray::fromHex("00");
    QTest::newRow("empty string") << stringValue("") << QByteArray::fromHex("00");
    QTest::newRow("bytes") << byteValue({9, 8}) << QByteArray::fromHex("0908");
    QTest::newRow("double list") << Value(std::vector<double>{1.9, 300.5, -0.5, notANumber}, DataType::ARRFLOAT64)
                                 << QByteArray::fromHex("012C0000");
    QTest::newRow("nothing") << Value() << QByteArray();
}

void TestValue::toU8Array()
{
    QFETCH(Value, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(bytesOf(value.toU8Array()), bytes);
}

void TestValue::toDoubleArray_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QList<double>>("doubles");

    QTest::newRow("unsigned") << unsignedValue(DataType::DBYTEU32, 70000) << QList<double>{70000};
    QTest::newRow("signed") << signedValue(-9) << QList<double>{-9};
    QTest::newRow("double") << Value(2.25, DataType::DFLOAT64) << QList<double>{2.25};
    QTest::newRow("string number") << stringValue(" 2.5e1xyz") << QList<double>{25};
    QTest::newRow("string negative") << stringValue("-0.125") << QList<double>{-0.125};
    QTest::newRow("string without number") << stringValue("abc") << QList<double>{0};
    QTest::newRow("string out of range") << stringValue("1e999") << QList<double>{0};
    QTest::newRow("bytes") << byteValue({0, 255}) << QList<double>{0, 255};
    QTest::newRow("list") << Value(std::vector<double>{1, -2}, DataType::ARRFLOAT32) << QList<double>{1, -2};
    QTest::newRow("nothing") << Value() << QList<double>{};
}

void TestValue::toDoubleArray()
{
    QFETCH(Value, value);
    QFETCH(QList<double>, doubles);
    const auto result = value.toDoubleArray();
    QCOMPARE(QList<double>(result.begin(), result.end()), doubles);
}

void TestValue::toFloatArray_narrowsEveryInput_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QList<float>>("floats");

    constexpr float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("double") << Value(0.1, DataType::DFLOAT64) << QList<float>{0.1F};
    QTest::newRow("beyond float") << Value(1e300, DataType::DFLOAT64) << QList<float>{inf};
    QTest::newRow("list just beyond FLT_MAX")
        << Value(std::vector<double>{0x1.fffffefffffffp127, -0x1.fffffefffffffp127}, DataType::ARRFLOAT32)
        << QList<float>{std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
    QTest::newRow("list beyond float") << Value(std::vector<double>{-1e300, 2}, DataType::ARRFLOAT32)
                                       << QList<float>{-inf, 2.0F};
    QTest::newRow("string beyond float") << stringValue("1e100") << QList<float>{inf};
    QTest::newRow("unsigned") << unsignedValue(DataType::DBYTEU8, 3) << QList<float>{3.0F};
}

void TestValue::toFloatArray_narrowsEveryInput()
{
    QFETCH(Value, value);
    QFETCH(QList<float>, floats);
    const auto result = value.toFloatArray();
    QCOMPARE(QList<float>(result.begin(), result.end()), floats);
}

void TestValue::orderings_data()
{
    QTest::addColumn<Value>("a");
    QTest::addColumn<Value>("b");
    QTest::addColumn<bool>("lessEqual");
    QTest::addColumn<bool>("less");

    const auto f64 = [](std::vector<double> values) { return Value(std::move(values), DataType::ARRFLOAT64); };
    const auto d = [](double number) { return Value(number, DataType::DFLOAT64); };

    QTest::newRow("lower type code, bigger number") << unsignedValue(DataType::DBYTEU8, 200)
                                                    << unsignedValue(DataType::DBYTEU16, 1) << true << true;
    QTest::newRow("higher type code") << unsignedValue(DataType::DBYTEU16, 1)
                                      << unsignedValue(DataType::DBYTEU8, 200) << false << false;
    QTest::newRow("shorter list") << f64({1, 2}) << f64({1, 2, 3}) << true << true;
    QTest::newRow("longer list") << f64({1, 2, 3}) << f64({9, 9}) << false << false;
    QTest::newRow("element-wise, not lexicographic") << f64({1, 5}) << f64({2, 4}) << false << false;
    QTest::newRow("all elements below") << f64({1, 5}) << f64({2, 6}) << true << true;
    QTest::newRow("one element equal") << f64({1, 5}) << f64({2, 5}) << true << false;
    QTest::newRow("empty lists") << f64({}) << f64({}) << true << false;
    QTest::newRow("list with NaN") << f64({notANumber}) << f64({1}) << false << false;
    QTest::newRow("list against NaN") << f64({1}) << f64({notANumber}) << false << false;
    QTest::newRow("float lists equal as floats")
        << Value(std::vector<double>{0.1}, DataType::ARRFLOAT32)
        << Value(std::vector<double>{0.1000000001}, DataType::ARRFLOAT32) << true << false;
    QTest::newRow("byte lists") << byteValue({1, 2}) << byteValue({1, 3}) << true << false;
    QTest::newRow("byte lists below") << byteValue({1, 2}) << byteValue({2, 3}) << true << true;
    QTest::newRow("double below") << d(1) << d(2) << true << true;
    QTest::newRow("double equal") << d(1) << d(1) << true << false;
    QTest::newRow("double above") << d(3) << d(2) << false << false;
    QTest::newRow("NaN against number") << d(notANumber) << d(1) << false << false;
    QTest::newRow("number against NaN") << d(1) << d(notANumber) << false << false;
    QTest::newRow("NaN against NaN") << d(notANumber) << d(notANumber) << false << false;
    QTest::newRow("signed") << signedValue(-5) << signedValue(3) << true << true;
    QTest::newRow("unsigned above") << unsignedValue(DataType::DBYTEU32, 7)
                                    << unsignedValue(DataType::DBYTEU32, 6) << false << false;
    QTest::newRow("shorter string") << stringValue("zz") << stringValue("abc") << true << true;
    QTest::newRow("string byte-wise") << stringValue("abd") << stringValue("abc") << false << false;
    QTest::newRow("string below") << stringValue("abc") << stringValue("abd") << true << true;
    QTest::newRow("equal strings") << stringValue("abc") << stringValue("abc") << true << false;
    QTest::newRow("nothing and nothing") << Value() << Value() << true << false;
}

void TestValue::orderings()
{
    QFETCH(Value, a);
    QFETCH(Value, b);
    QFETCH(bool, lessEqual);
    QFETCH(bool, less);
    QCOMPARE(a <= b, lessEqual);
    QCOMPARE(a < b, less);
}

QTEST_APPLESS_MAIN(TestValue)
#include "tst_value.moc"
