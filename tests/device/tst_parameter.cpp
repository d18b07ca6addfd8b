#include "device/Parameter.h"

#include "device/DeviceTestValues.h"

#include <QtTest>

#include <stdexcept>
#include <string>
#include <vector>

using namespace Thg::Tilo::Device;
using namespace TestValues;

Q_DECLARE_METATYPE(Thg::Tilo::Device::Parameter)
Q_DECLARE_METATYPE(Thg::Tilo::Device::Value)

namespace {

Value stringOfSize(std::size_t size)
{
    return stringValue(std::string(size, 'x'));
}

Parameter parameter(DataType type, std::uint16_t length)
{
    return TestValues::parameter("P", type, length);
}

Parameter u8WithLimits()
{
    return withLimits(parameter(DataType::DBYTEU8, 1), u8(0), u8(0), u8(5));
}

Parameter f64ListWithLimits()
{
    return withLimits(parameter(DataType::ARRFLOAT64, 2), f64List({0, 0}), f64List({0, 0}), f64List({10, 10}));
}

} // namespace

class TestParameter : public QObject {
    Q_OBJECT
private slots:
    void setCurrentValue_data();
    void setCurrentValue();
};

void TestParameter::setCurrentValue_data()
{
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("error");

    QTest::newRow("type mismatch") << parameter(DataType::DFLOAT32, 1) << unsignedValue(DataType::DBYTEU16, 1)
                                   << "Types must match: Expected: DFLOAT32 Actual: DBYTEU16";
    QTest::newRow("string at maximum") << parameter(DataType::ARRSTRING, 32) << stringOfSize(32) << "";
    QTest::newRow("string shorter") << parameter(DataType::ARRSTRING, 32) << stringOfSize(3) << "";
    QTest::newRow("string too long") << parameter(DataType::ARRSTRING, 32) << stringOfSize(33)
                                     << "Length is too big: Maximum: 32 Actual: 33";
    QTest::newRow("list length differs")
        << parameter(DataType::ARRFLOAT64, 11) << Value(std::vector<double>(10, 1.0), DataType::ARRFLOAT64)
        << "Length is different: Expected: 11 Actual: 10";
    QTest::newRow("at minimum") << u8WithLimits() << u8(0) << "";
    QTest::newRow("at maximum") << u8WithLimits() << u8(5) << "";
    QTest::newRow("above maximum") << u8WithLimits() << u8(6)
                                   << "Value is too big: Maximum: 5 Actual: 6";
    {
        Parameter p = parameter(DataType::DFLOAT64, 1);
        p.minValue = Value(-1.5, DataType::DFLOAT64);
        QTest::newRow("below minimum") << p << Value(-2.0, DataType::DFLOAT64)
                                       << "Value is too small: Minimum: -1.5 Actual: -2";
    }
    QTest::newRow("list, one element below")
        << f64ListWithLimits() << Value(std::vector<double>{-1, 3}, DataType::ARRFLOAT64) << "";
    QTest::newRow("list, every element below")
        << f64ListWithLimits() << Value(std::vector<double>{-1, -3}, DataType::ARRFLOAT64)
        << "Value is too small: Minimum: 0;0 Actual: -1;-3";
    QTest::newRow("list, every element above")
        << f64ListWithLimits() << Value(std::vector<double>{11, 12}, DataType::ARRFLOAT64)
        << "Value is too big: Maximum: 10;10 Actual: 11;12";
    QTest::newRow("no limits") << parameter(DataType::DBYTEU32, 1) << unsignedValue(DataType::DBYTEU32, 4000000000)
                               << "";
}

void TestParameter::setCurrentValue()
{
    QFETCH(Parameter, parameter);
    QFETCH(Value, value);
    QFETCH(QString, error);
    const Value before = parameter.currentValue;
    try {
        parameter.setCurrentValue(value);
        QVERIFY2(error.isEmpty(), "value accepted");
        QVERIFY(parameter.currentValue == value);
    } catch (const std::invalid_argument &e) {
        QCOMPARE(QString::fromStdString(e.what()), error);
        QVERIFY(parameter.currentValue == before);
    }
}

QTEST_APPLESS_MAIN(TestParameter)
#include "tst_parameter.moc"
