// Decoding the bytes of a parameter read: each data type from its little-endian image, the string
// rule, and one cursor over the device list and then the sub-device list.

#include "communication/ReadDataDecoder.h"

#include "communication/TransferTestSupport.h"

#include <QtTest>

#include <cmath>

using namespace TransferTest;
using Thg::Tilo::Communication::ReadData;

namespace {

QString describe(const ParameterSetting &setting)
{
    return QStringLiteral("%1 %2/%3 %4")
        .arg(QString::fromStdString(setting.name))
        .arg(int(setting.type))
        .arg(setting.value.length)
        .arg(QString::fromStdString(setting.value.toString()));
}

QStringList describe(const std::vector<ParameterSetting> &settings)
{
    QStringList texts;
    for (const auto &setting : settings)
        texts.append(describe(setting));
    return texts;
}

Parameter declared(const std::string &name, DataType type, std::uint16_t length, std::uint16_t address = 0)
{
    return TestValues::parameter(name, type, length, address);
}

} // namespace

class TestReadDataDecoder : public QObject {
    Q_OBJECT
private slots:
    void eachType_fromItsImage_data();
    void eachType_fromItsImage();
    void scalar_takesItsFirstElementAndConsumesItsSize();
    void cursor_runsOverDeviceThenSubdeviceList();
    void shortData_endsTheListButTheOtherGoesOn();
    void onlySubdeviceParameters_startAtZero();
};

void TestReadDataDecoder::eachType_fromItsImage_data()
{
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("setting");

    QTest::newRow("u8") << declared("a", DataType::DBYTEU8, 1) << QByteArray::fromHex("fe") << "a 0/1 254";
    QTest::newRow("u16") << declared("a", DataType::DBYTEU16, 1) << QByteArray::fromHex("3412") << "a 1/1 4660";
    QTest::newRow("u32") << declared("a", DataType::DBYTEU32, 1) << QByteArray::fromHex("78563412") << "a 2/1 305419896";
    QTest::newRow("u64") << declared("a", DataType::DBYTEU64, 1) << QByteArray::fromHex("ffffffffffffffff")
                         << "a 3/1 18446744073709551615";
    QTest::newRow("i64") << declared("a", DataType::DBYTEI64, 1) << QByteArray::fromHex("feffffffffffffff") << "a 4/1 -2";
    QTest::newRow("float") << declared("a", DataType::DFLOAT32, 1) << QByteArray::fromHex("0000803f") << "a 5/1 1";
    QTest::newRow("float widened") << declared("a", DataType::DFLOAT32, 1) << QByteArray::fromHex("cdcccc3d")
                                   << "a 5/1 0.10000000149011612";
    QTest::newRow("double") << declared("a", DataType::DFLOAT64, 1) << QByteArray::fromHex("000000000000f0bf") << "a 6/1 -1";
    QTest::newRow("string zero-filled") << declared("s", DataType::ARRSTRING, 4) << QByteArray::fromHex("41420000")
                                        << "s 7/2 AB";
    QTest::newRow("string full") << declared("s", DataType::ARRSTRING, 4) << QByteArray("ABCD") << "s 7/4 ABCD";
    QTest::newRow("string of length 0") << declared("s", DataType::ARRSTRING, 0) << QByteArray() << "s 7/0 ";
    QTest::newRow("string all zero") << declared("s", DataType::ARRSTRING, 3) << QByteArray::fromHex("000000") << "s 7/0 ";
    QTest::newRow("byte list") << declared("b", DataType::ARRBYTE, 3) << QByteArray::fromHex("00ff10") << "b 8/3 0;255;16";
    QTest::newRow("float list") << declared("f", DataType::ARRFLOAT32, 2) << QByteArray::fromHex("0000803f000000c0")
                                << "f 9/2 1;-2";
    QTest::newRow("double list") << declared("d", DataType::ARRFLOAT64, 2)
                                 << QByteArray::fromHex("000000000000f03f0000000000000040") << "d 10/2 1;2";
    QTest::newRow("no data type") << declared("x", DataType::UNKNOWN, 4) << QByteArray() << "x 11/1 ";
}

void TestReadDataDecoder::eachType_fromItsImage()
{
    QFETCH(Parameter, parameter);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, setting);
    const std::vector<Parameter> parameters{parameter};
    const ReadData decoded = ReadData::decode(bytes, refs(parameters), {});
    QCOMPARE(describe(decoded.deviceSettings), QStringList{setting});
    QVERIFY(decoded.subdeviceSettings.empty());
}

void TestReadDataDecoder::scalar_takesItsFirstElementAndConsumesItsSize()
{
    // A scalar declared with 3 elements occupies 6 bytes; a string with a zero inside is full when its
    // last byte is not zero.
    const std::vector<Parameter> parameters{declared("n", DataType::DBYTEU16, 3, 0), declared("s", DataType::ARRSTRING, 4, 6)};
    const ReadData decoded = ReadData::decode(QByteArray::fromHex("0100020003004100""4243"), refs(parameters), {});
    QCOMPARE(describe(decoded.deviceSettings), (QStringList{"n 1/1 1", QStringLiteral("s 7/4 A") + QChar(0) + "BC"}));
    QCOMPARE(std::get<std::string>(decoded.deviceSettings[1].value.data), std::string("A\0BC", 4));
}

void TestReadDataDecoder::cursor_runsOverDeviceThenSubdeviceList()
{
    const std::vector<Parameter> device{declared("d1", DataType::DBYTEU8, 1, 0), declared("d2", DataType::DBYTEU16, 1, 20)};
    const std::vector<Parameter> subdevice{declared("s1", DataType::DBYTEU32, 1, 5)};
    const ReadData decoded = ReadData::decode(QByteArray::fromHex("07""0201""04030201"), refs(device), refs(subdevice));
    QCOMPARE(describe(decoded.deviceSettings), (QStringList{"d1 0/1 7", "d2 1/1 258"}));
    QCOMPARE(describe(decoded.subdeviceSettings), (QStringList{"s1 2/1 16909060"}));
}

void TestReadDataDecoder::shortData_endsTheListButTheOtherGoesOn()
{
    // 3 bytes short of the last device parameter: the sub-device list is read from where it stopped.
    const std::vector<Parameter> device{declared("d1", DataType::DBYTEU16, 1, 0), declared("d2", DataType::DBYTEU32, 1, 2),
                                        declared("d3", DataType::DBYTEU8, 1, 6)};
    const std::vector<Parameter> subdevice{declared("s1", DataType::DBYTEU8, 1, 0)};
    const ReadData decoded = ReadData::decode(QByteArray::fromHex("0100""09"), refs(device), refs(subdevice));
    QCOMPARE(describe(decoded.deviceSettings), (QStringList{"d1 1/1 1"}));
    QCOMPARE(describe(decoded.subdeviceSettings), (QStringList{"s1 0/1 9"}));
}

void TestReadDataDecoder::onlySubdeviceParameters_startAtZero()
{
    const std::vector<Parameter> subdevice{declared("s1", DataType::DBYTEU16, 1, 434),
                                           declared("s2", DataType::ARRFLOAT64, 1, 436)};
    const ReadData decoded = ReadData::decode(QByteArray::fromHex("0900""0000000000002440"), {}, refs(subdevice));
    QVERIFY(decoded.deviceSettings.empty());
    QCOMPARE(describe(decoded.subdeviceSettings), (QStringList{"s1 1/1 9", "s2 10/1 10"}));
}

QTEST_GUILESS_MAIN(TestReadDataDecoder)
#include "tst_readdatadecoder.moc"
