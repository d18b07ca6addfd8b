#include "device/DataType.h"
#include "device/Identity.h"
#include "device/Parameter.h"
#include "device/Tag.h"

#include <QtTest>

#include <string>

using namespace Thg::Tilo::Device;

namespace {

// Code and name of every entry, written out as the files and messages use them.
QStringList dataTypeTexts{"DBYTEU8",  "DBYTEU16",  "DBYTEU32", "DBYTEU64",   "DBYTEI64",   "DFLOAT32",
                          "DFLOAT64", "ARRSTRING", "ARRBYTE",  "ARRFLOAT32", "ARRFLOAT64", "UNKNOWN"};

QStringList tagTexts{"CALIBRATION", "CUTOFF",       "FLOW",       "KFAKTOR",      "KFAKTOR0",
                     "KFAKTOR1",    "KFAKTOR2",     "KFAKTOR3",   "KFAKTOR4",     "KFAKTOR5",
                     "KFAKTOR6",    "KFAKTOR7",     "KFAKTOR8",   "KFAKTOR9",     "OFFSET",
                     "PRESSURE",    "REFERENCE0",   "REFERENCE1", "REFERENCE2",   "REFERENCE3",
                     "REFERENCE4",  "REFERENCE5",   "REFERENCE6", "REFERENCE7",   "REFERENCE8",
                     "REFERENCE9",  "SCALING_POINTS", "SERIALNUMBER", "SLOT_COUNTER", "SLOT_MEASUREMENT_END",
                     "SLOT_MEASUREMENT_START", "SLOT_UNIT", "SLOT_VALUE", "TEMPERATURE"};

QStringList identityTexts{"M7Q4-JUP", "M7Q4-ZEB", "M7Q4-WOQ", "M7Q4-YIX", "M7Q4-HEB", "M7Q4-GAHu", "M7Q4-TEF",
                          "FENRAX",   "VOT-QI",   "VOT-QW",   "HEB",      "HEW",      "Unknown"};

QStringList accessRightTexts{"Read", "Write", "ReadWrite"};

template <typename E, typename NameOf, typename ValueOf>
void checkRoundTrip(const QStringList &texts, NameOf nameOf, ValueOf valueOf)
{
    for (int code = 0; code < texts.size(); ++code) {
        const auto value = static_cast<E>(code);
        const std::string text = texts[code].toStdString();
        QCOMPARE(std::string(nameOf(value)), text);
        const auto parsed = valueOf(text);
        QVERIFY2(parsed.has_value(), text.c_str());
        QCOMPARE(static_cast<int>(*parsed), code);
    }
}

} // namespace

class TestModelEnumerations : public QObject {
    Q_OBJECT
private slots:
    void namesRoundTrip();
    void parsing_isExactAndCaseSensitive_data();
    void parsing_isExactAndCaseSensitive();
    void dataTypeName_coversEveryCode_data();
    void dataTypeName_coversEveryCode();
    void elementSize_data();
    void elementSize();
};

void TestModelEnumerations::namesRoundTrip()
{
    QCOMPARE(dataTypeNames.size(), std::size_t(12));
    checkRoundTrip<DataType>(dataTypeTexts, dataTypeName, dataTypeFromName);
    QCOMPARE(tagNames.size(), std::size_t(34));
    checkRoundTrip<Tag>(tagTexts, tagName, tagFromName);
    QCOMPARE(identityNames.size(), std::size_t(13));
    checkRoundTrip<Identity>(identityTexts, identityName, identityFromName);
    QCOMPARE(accessRightNames.size(), std::size_t(3));
    checkRoundTrip<AccessRight>(accessRightTexts, accessRightName, accessRightFromName);
}

void TestModelEnumerations::parsing_isExactAndCaseSensitive_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("DataType lower case") << "dbyteu8";
    QTest::newRow("DataType blank") << "DBYTEU8 ";
    QTest::newRow("unknown lower case") << "unknown";
    QTest::newRow("Tag lower case") << "flow";
    QTest::newRow("Tag index 10") << "KFAKTOR10";
    QTest::newRow("Identity underscore") << "M7Q4_ZEB";
    QTest::newRow("Identity case") << "M7Q4-GAHU";
    QTest::newRow("AccessRight case") << "readwrite";
    QTest::newRow("empty") << "";
}

void TestModelEnumerations::parsing_isExactAndCaseSensitive()
{
    QFETCH(QString, text);
    const std::string name = text.toStdString();
    QVERIFY(!dataTypeFromName(name));
    QVERIFY(!tagFromName(name));
    QVERIFY(!identityFromName(name));
    QVERIFY(!accessRightFromName(name));
}

void TestModelEnumerations::dataTypeName_coversEveryCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("10") << 10 << "ARRFLOAT64";
    QTest::newRow("11") << 11 << "UNKNOWN";
    QTest::newRow("12") << 12 << "UNKNOWN";
    QTest::newRow("127") << 127 << "UNKNOWN";
    QTest::newRow("128") << 128 << "";
    QTest::newRow("255") << 255 << "";
}

void TestModelEnumerations::dataTypeName_coversEveryCode()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(QString::fromUtf8(dataTypeName(static_cast<DataType>(code))), name);
}

void TestModelEnumerations::elementSize_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("size");
    const int sizes[] = {1, 2, 4, 8, 8, 4, 8, 1, 1, 4, 8, 0};
    for (int code = 0; code < 12; ++code)
        QTest::addRow("%s", qPrintable(dataTypeTexts[code])) << code << sizes[code];
    QTest::newRow("200") << 200 << 0;
}

void TestModelEnumerations::elementSize()
{
    QFETCH(int, code);
    QFETCH(int, size);
    QCOMPARE(int(Thg::Tilo::Device::elementSize(static_cast<DataType>(code))), size);
}

QTEST_APPLESS_MAIN(TestModelEnumerations)
#include "tst_modelenumerations.moc"
