#include "device/NumericConversion.h"

#include <QtTest>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace Thg::Tilo::Device;

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
} // namespace

class TestNumericConversion : public QObject {
    Q_OBJECT
private slots:
    void truncateToUnsigned_isDefinedForEveryInput_data();
    void truncateToUnsigned_isDefinedForEveryInput();
    void truncateToSigned_isDefinedForEveryInput_data();
    void truncateToSigned_isDefinedForEveryInput();
    void narrowToFloat_isDefinedForEveryInput_data();
    void narrowToFloat_isDefinedForEveryInput();
};

void TestNumericConversion::truncateToUnsigned_isDefinedForEveryInput_data()
{
    QTest::addColumn<double>("input");
    QTest::addColumn<quint8>("u8");
    QTest::addColumn<quint16>("u16");
    QTest::addColumn<quint64>("u64");

    QTest::newRow("zero") << 0.0 << quint8(0) << quint16(0) << quint64(0);
    QTest::newRow("fraction toward zero") << 3.9 << quint8(3) << quint16(3) << quint64(3);
    QTest::newRow("small negative fraction") << -0.9 << quint8(0) << quint16(0) << quint64(0);
    QTest::newRow("in u16 range, beyond u8") << 300.7 << quint8(44) << quint16(300) << quint64(300);
    QTest::newRow("negative as two's complement") << -1.0 << quint8(0xFF) << quint16(0xFFFF)
                                                  << quint64(0xFFFFFFFFFFFFFFFF);
    QTest::newRow("large u64") << 1.8e19 << quint8(0) << quint16(0) << quint64(18000000000000000000ULL);
    QTest::newRow("2^64 saturates") << 18446744073709551616.0 << quint8(0xFF) << quint16(0xFFFF)
                                    << quint64(0xFFFFFFFFFFFFFFFF);
    QTest::newRow("huge saturates") << 1e300 << quint8(0xFF) << quint16(0xFFFF) << quint64(0xFFFFFFFFFFFFFFFF);
    QTest::newRow("+inf saturates") << infinity << quint8(0xFF) << quint16(0xFFFF) << quint64(0xFFFFFFFFFFFFFFFF);
    QTest::newRow("huge negative saturates") << -1e300 << quint8(0) << quint16(0) << quint64(0x8000000000000000);
    QTest::newRow("-inf saturates") << -infinity << quint8(0) << quint16(0) << quint64(0x8000000000000000);
    QTest::newRow("NaN") << notANumber << quint8(0) << quint16(0) << quint64(0);
}

void TestNumericConversion::truncateToUnsigned_isDefinedForEveryInput()
{
    QFETCH(double, input);
    QFETCH(quint8, u8);
    QFETCH(quint16, u16);
    QFETCH(quint64, u64);
    QCOMPARE(truncateToUnsigned<std::uint8_t>(input), u8);
    QCOMPARE(truncateToUnsigned<std::uint16_t>(input), u16);
    QCOMPARE(truncateToUnsigned<std::uint64_t>(input), u64);
}

void TestNumericConversion::truncateToSigned_isDefinedForEveryInput_data()
{
    QTest::addColumn<double>("input");
    QTest::addColumn<qint8>("i8");
    QTest::addColumn<qint64>("i64");

    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    QTest::newRow("positive fraction") << 3.9 << qint8(3) << qint64(3);
    QTest::newRow("negative fraction") << -3.9 << qint8(-3) << qint64(-3);
    QTest::newRow("beyond i8 cut to width") << 200.5 << qint8(-56) << qint64(200);
    QTest::newRow("2^63 saturates") << 9223372036854775808.0 << qint8(-1) << max;
    QTest::newRow("-2^63 exact") << -9223372036854775808.0 << qint8(0) << min;
    QTest::newRow("huge saturates") << 1e30 << qint8(-1) << max;
    QTest::newRow("huge negative saturates") << -1e30 << qint8(0) << min;
    QTest::newRow("+inf") << infinity << qint8(-1) << max;
    QTest::newRow("-inf") << -infinity << qint8(0) << min;
    QTest::newRow("NaN") << notANumber << qint8(0) << qint64(0);
}

void TestNumericConversion::truncateToSigned_isDefinedForEveryInput()
{
    QFETCH(double, input);
    QFETCH(qint8, i8);
    QFETCH(qint64, i64);
    QCOMPARE(truncateToSigned<std::int8_t>(input), i8);
    QCOMPARE(truncateToSigned<std::int64_t>(input), i64);
}

void TestNumericConversion::narrowToFloat_isDefinedForEveryInput_data()
{
    QTest::addColumn<double>("input");
    QTest::addColumn<quint32>("bits");

    QTest::newRow("0.1 rounds to nearest") << 0.1 << quint32(0x3DCCCCCD);
    QTest::newRow("1.5 exact") << 1.5 << quint32(0x3FC00000);
    QTest::newRow("float max") << double(std::numeric_limits<float>::max()) << quint32(0x7F7FFFFF);
    // The midpoint between FLT_MAX and 2^128 is 2^128 - 2^103: below it the nearest float is FLT_MAX,
    // at it the tie goes to the even 2^128, which is infinity.
    QTest::newRow("just above float max") << 0x1.fffffe0000001p127 << quint32(0x7F7FFFFF);
    QTest::newRow("just below the midpoint") << 0x1.fffffefffffffp127 << quint32(0x7F7FFFFF);
    QTest::newRow("at the midpoint") << 0x1.ffffffp127 << quint32(0x7F800000);
    QTest::newRow("just above the midpoint") << 0x1.ffffff0000001p127 << quint32(0x7F800000);
    QTest::newRow("2^128") << 0x1p128 << quint32(0x7F800000);
    QTest::newRow("negative, just below the midpoint") << -0x1.fffffefffffffp127 << quint32(0xFF7FFFFF);
    QTest::newRow("negative, at the midpoint") << -0x1.ffffffp127 << quint32(0xFF800000);
    QTest::newRow("beyond float max") << 1e39 << quint32(0x7F800000);
    QTest::newRow("beyond negative float max") << -1e39 << quint32(0xFF800000);
    QTest::newRow("+inf") << infinity << quint32(0x7F800000);
    QTest::newRow("-inf") << -infinity << quint32(0xFF800000);
    QTest::newRow("underflow to zero") << 1e-50 << quint32(0);
    QTest::newRow("negative zero") << -0.0 << quint32(0x80000000);
}

void TestNumericConversion::narrowToFloat_isDefinedForEveryInput()
{
    QFETCH(double, input);
    QFETCH(quint32, bits);
    QCOMPARE(std::bit_cast<quint32>(narrowToFloat(input)), bits);
    QVERIFY(std::isnan(narrowToFloat(notANumber)));
}

QTEST_APPLESS_MAIN(TestNumericConversion)
#include "tst_numericconversion.moc"
