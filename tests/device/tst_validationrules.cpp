#include "device/ValidationRules.h"

#include "device/DeviceTestChecks.h"
#include "device/DeviceTestValues.h"

#include <QtTest>

#include <functional>
#include <limits>
#include <map>

using namespace Thg::Tilo::Device;
using namespace TestValues;
using namespace DeviceTestChecks;

using ParameterSetP = ParameterSet<Parameter>;
Q_DECLARE_METATYPE(ParameterSetP)
Q_DECLARE_METATYPE(Thg::Tilo::Device::Parameter)
Q_DECLARE_METATYPE(Thg::Tilo::Device::ParameterSetting)

namespace {

const std::map<QString, std::function<void(const ParameterSet<Parameter> &, ValidationResult &)>> setRuleByName{
    {"AddressesDoNotOverlap", AddressesDoNotOverlap},
    {"ReferencesHaveSameTypeAndSize", ReferencesHaveSameTypeAndSize},
    {"KFactorTags", OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps},
    {"TagsUnique", TagsUnique},
};

const std::map<QString, std::function<void(const Parameter &, const Version &, ValidationResult &)>> parameterRuleByName{
    {"AddressDoesNotExceedMaximum", AddressDoesNotExceedMaximum},
    {"MinDefaultMax", MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue},
    {"OnlyOneIndexedTagPresent", OnlyOneIndexedTagPresent},
    {"StringLengthAndLengthMatch", StringLengthAndLengthMatch},
    {"TaggedParametersHaveCorrectType", TaggedParametersHaveCorrectType},
    {"ValueLengthsAndLengthMatch", ValueLengthsAndLengthMatch},
};

const std::map<QString,
               std::function<void(const ParameterSetting &, const Parameter &, const Version &, ValidationResult &)>>
    settingRuleByName{
        {"MinValueMax", MinValueSmallerEqualsValueSmallerEqualsMaxValue},
        {"ParameterSettingValueLengthsAndLengthMatch", ParameterSettingValueLengthsAndLengthMatch},
        {"StringLengthsMatch", StringLengthsMatch},
        {"TypesMatch", TypesMatch},
    };

constexpr DataType F32 = DataType::DFLOAT32;
constexpr DataType U8 = DataType::DBYTEU8;
constexpr DataType U16 = DataType::DBYTEU16;

Parameter f32(const std::string &name, std::uint16_t address, std::vector<Tag> tags = {})
{
    return parameter(name, F32, 1, address, std::move(tags));
}

Parameter referring(const std::string &name, std::uint16_t address, std::uint16_t refMin, std::uint16_t refMax)
{
    Parameter p = f32(name, address);
    p.refMin = refMin;
    p.refMax = refMax;
    return p;
}

const QString vp = "Version V02.11 Parameter %1: ";
const QString v = "Version V02.11: ";

} // namespace

class TestValidationRules : public QObject {
    Q_OBJECT
private slots:
    void setRules_data();
    void setRules();
    void parameterRules_data();
    void parameterRules();
    void settingRules_data();
    void settingRules();
    void containerPresenceRules();
    void queueAddressesUnique_data();
    void queueAddressesUnique();
};

void TestValidationRules::setRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<ParameterSetP>("set");
    QTest::addColumn<QStringList>("expected");

    const QString overlap = vp + "Addresses overlap: Start address=%2, End address=%3, Overlapping parameter=%4, "
                                 "Start address=%5, End address=%6";

    // AddressesDoNotOverlap
    QTest::newRow("overlap: last byte shared")
        << "AddressesDoNotOverlap"
        << setOf("V02.11", {parameter("A", DataType::DBYTEU32, 2, 0), parameter("B", U8, 1, 7)})
        << QStringList{overlap.arg("B").arg(7).arg(7).arg("A").arg(0).arg(7)};
    QTest::newRow("overlap: adjacent is fine")
        << "AddressesDoNotOverlap"
        << setOf("V02.11", {parameter("A", DataType::DBYTEU32, 2, 0), parameter("B", U8, 1, 8)}) << QStringList{};
    QTest::newRow("overlap: three, neighbours only")
        << "AddressesDoNotOverlap"
        << setOf("V02.11", {parameter("A", DataType::DBYTEU32, 1, 0), parameter("B", U8, 2, 1), parameter("C", U8, 1, 2)})
        << QStringList{overlap.arg("B").arg(1).arg(2).arg("A").arg(0).arg(3),
                       overlap.arg("C").arg(2).arg(2).arg("B").arg(1).arg(2)};
    QTest::newRow("overlap: same bytes ordered by name")
        << "AddressesDoNotOverlap" << setOf("V02.11", {parameter("Y", U8, 1, 5), parameter("X", U8, 1, 5)})
        << QStringList{overlap.arg("Y").arg(5).arg(5).arg("X").arg(5).arg(5)};
    QTest::newRow("overlap: single parameter")
        << "AddressesDoNotOverlap" << setOf("V02.11", {parameter("A", DataType::ARRFLOAT64, 8, 0)})
        << QStringList{};

    // ReferencesHaveSameTypeAndSize
    QTest::newRow("references: sound")
        << "ReferencesHaveSameTypeAndSize"
        << setOf("V02.11", {f32("Lo", 10), f32("Hi", 14), referring("P", 20, 10, 14)}) << QStringList{};
    QTest::newRow("references: addresses missing")
        << "ReferencesHaveSameTypeAndSize"
        << setOf("V02.11", {f32("Lo", 10), referring("P", 20, 11, 99)})
        << QStringList{vp.arg("P") + "RefMin address does not exist", vp.arg("P") + "RefMax address does not exist"};
    QTest::newRow("references: type differs")
        << "ReferencesHaveSameTypeAndSize"
        << setOf("V02.11", {parameter("Lo", U16, 1, 10), f32("Hi", 14), referring("P", 20, 10, 14)})
        << QStringList{vp.arg("P")
                       + "RefMin type/length differ: Type=DFLOAT32, Length=1, Reference name=Lo, Type=DBYTEU16, "
                         "Length=1"};
    QTest::newRow("references: length differs")
        << "ReferencesHaveSameTypeAndSize"
        << setOf("V02.11", {f32("Lo", 10), parameter("Hi", F32, 2, 14), referring("P", 20, 10, 14)})
        << QStringList{vp.arg("P")
                       + "RefMax type/length differ: Type=DFLOAT32, Length=1, Reference name=Hi, Type=DFLOAT32, "
                         "Length=2"};
    {
        Parameter onlyMin = f32("P", 20);
        onlyMin.refMin = 99;
        QTest::newRow("references: only one limit is not examined")
            << "ReferencesHaveSameTypeAndSize" << setOf("V02.11", {onlyMin}) << QStringList{};
    }
    QTest::newRow("references: shared start, first name wins (fits)")
        << "ReferencesHaveSameTypeAndSize"
        << setOf("V02.11", {f32("Alpha", 10), parameter("Beta", U8, 1, 10), referring("P", 20, 10, 10)})
        << QStringList{};
    QTest::newRow("references: shared start, first name wins (differs)")
        << "ReferencesHaveSameTypeAndSize"
        << setOf("V02.11", {parameter("Alpha", U8, 1, 10), f32("Beta", 10), referring("P", 20, 10, 10)})
        << QStringList{vp.arg("P")
                           + "RefMin type/length differ: Type=DFLOAT32, Length=1, Reference name=Alpha, "
                             "Type=DBYTEU8, Length=1",
                       vp.arg("P")
                           + "RefMax type/length differ: Type=DFLOAT32, Length=1, Reference name=Alpha, "
                             "Type=DBYTEU8, Length=1"};

    // OnlyIndexedOrNonIndexesKFactorTagsArePresentAndWithoutGaps
    const Parameter scaling = parameter("Points", U8, 1, 100, {Tag::SCALING_POINTS});
    QTest::newRow("k-factors: gap in KFAKTORx")
        << "KFactorTags"
        << setOf("V02.11", {f32("K0", 0, {Tag::KFAKTOR0}), f32("K2", 4, {Tag::KFAKTOR2}),
                            f32("R0", 8, {Tag::REFERENCE0}), f32("R1", 12, {Tag::REFERENCE1}), scaling})
        << QStringList{v + "KFAKTOR tags must be ascending from 0 to max (1) without gaps. Tag KFAKTOR1 is not present"};
    QTest::newRow("k-factors: single KFAKTOR with a REFERENCE3")
        << "KFactorTags" << setOf("V02.11", {f32("K", 0, {Tag::KFAKTOR}), f32("R3", 4, {Tag::REFERENCE3})})
        << QStringList{v + "Invalid number of KFAKTOR (0) and REFERENCE tags (1) found",
                       v + "REFERENCE tags must be ascending from 0 to max (0) without gaps. Tag REFERENCE0 is not "
                           "present"};
    QTest::newRow("k-factors: both kinds")
        << "KFactorTags"
        << setOf("V02.11", {f32("Kf", 0, {Tag::KFAKTOR}), f32("K0", 4, {Tag::KFAKTOR0}),
                            f32("R0", 8, {Tag::REFERENCE0}), scaling})
        << QStringList{v + "Both KFAKTOR and KFAKTORx tags are present: Kf, K0"};
    QTest::newRow("k-factors: no scaling points")
        << "KFactorTags" << setOf("V02.11", {f32("K0", 4, {Tag::KFAKTOR0}), f32("R0", 8, {Tag::REFERENCE0})})
        << QStringList{v + "KFAKTORx tags are present on K0 but no SCALING_POINTS tag found"};
    QTest::newRow("k-factors: sound scaled")
        << "KFactorTags"
        << setOf("V02.11", {f32("K0", 0, {Tag::KFAKTOR0}), f32("K1", 4, {Tag::KFAKTOR1}),
                            f32("R0", 8, {Tag::REFERENCE0}), f32("R1", 12, {Tag::REFERENCE1}), scaling})
        << QStringList{};
    QTest::newRow("k-factors: sound single") << "KFactorTags" << setOf("V02.11", {f32("K", 0, {Tag::KFAKTOR})})
                                             << QStringList{};
    QTest::newRow("k-factors: references alone are not examined")
        << "KFactorTags" << setOf("V02.11", {f32("R5", 0, {Tag::REFERENCE5})}) << QStringList{};
    {
        // Eleven carriers: the index check ends silently after KFAKTOR9.
        ParameterSet<Parameter> set = setOf<Parameter>("V02.11", {scaling});
        for (int i = 0; i < 10; ++i) {
            const auto tag = static_cast<Tag>(static_cast<int>(Tag::KFAKTOR0) + i);
            set.parameters.emplace("K" + std::to_string(i), f32("K" + std::to_string(i), 0, {tag}));
            set.parameters.emplace("R" + std::to_string(i), f32("R" + std::to_string(i), 0,
                                                                 {kFactorReferenceTags[static_cast<std::size_t>(i)]}));
        }
        set.parameters.emplace("Kx", f32("Kx", 0, {Tag::KFAKTOR0}));
        QTest::newRow("k-factors: more carriers than indices")
            << "KFactorTags" << set << QStringList{v + "Invalid number of KFAKTOR (11) and REFERENCE tags (10) found"};
    }

    // TagsUnique
    QTest::newRow("unique: FLOW may repeat")
        << "TagsUnique" << setOf("V02.11", {f32("A", 0, {Tag::FLOW}), f32("B", 4, {Tag::FLOW})}) << QStringList{};
    QTest::newRow("unique: SERIALNUMBER twice")
        << "TagsUnique"
        << setOf("V02.11", {f32("A", 0, {Tag::SERIALNUMBER}), f32("B", 4, {Tag::SERIALNUMBER})})
        << QStringList{v + "Tag is not unique: SERIALNUMBER"};
    QTest::newRow("unique: CUTOFF three times, once on one parameter")
        << "TagsUnique" << setOf("V02.11", {f32("A", 0, {Tag::CUTOFF, Tag::CUTOFF}), f32("B", 4, {Tag::CUTOFF})})
        << QStringList{v + "Tag is not unique: CUTOFF", v + "Tag is not unique: CUTOFF"};
    QTest::newRow("unique: indexed tags")
        << "TagsUnique"
        << setOf("V02.11", {f32("A", 0, {Tag::REFERENCE9, Tag::KFAKTOR4}), f32("B", 4, {Tag::KFAKTOR4, Tag::REFERENCE9})})
        << QStringList{v + "Tag is not unique: KFAKTOR4", v + "Tag is not unique: REFERENCE9"};
}

void TestValidationRules::setRules()
{
    QFETCH(QString, rule);
    QFETCH(ParameterSetP, set);
    QFETCH(QStringList, expected);
    QCOMPARE(findingsOf(setRuleByName.at(rule), set), expected);
}

void TestValidationRules::parameterRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<QStringList>("expected");

    const QString flow = vp.arg("Flow");

    // AddressDoesNotExceedMaximum
    QTest::newRow("address: last byte at 65535")
        << "AddressDoesNotExceedMaximum" << parameter("Flow", U8, 1, 65535) << QStringList{};
    QTest::newRow("address: one past")
        << "AddressDoesNotExceedMaximum" << parameter("Flow", U8, 2, 65535)
        << QStringList{flow + "Address exceeds maximum: Address=65535, End address=65536"};
    QTest::newRow("address: length 0 at 0")
        << "AddressDoesNotExceedMaximum" << parameter("Flow", U8, 0, 0)
        << QStringList{flow + "Address exceeds maximum: Address=0, End address=18446744073709551615"};
    QTest::newRow("address: fills the space")
        << "AddressDoesNotExceedMaximum" << parameter("Flow", DataType::ARRFLOAT64, 8192, 0) << QStringList{};
    QTest::newRow("address: far beyond")
        << "AddressDoesNotExceedMaximum" << parameter("Flow", DataType::ARRFLOAT64, 65535, 65535)
        << QStringList{flow + "Address exceeds maximum: Address=65535, End address=589814"};

    // MinValueSmallerEqualsDefaultValueSmallerEqualsMaxValue
    QTest::newRow("range: default inside")
        << "MinDefaultMax" << withLimits(parameter("Flow", U8, 1), u8(0), u8(5), u8(5)) << QStringList{};
    QTest::newRow("range: default above")
        << "MinDefaultMax" << withLimits(parameter("Flow", U8, 1), u8(0), u8(6), u8(5))
        << QStringList{flow + "Value must be between MinValue and MaxValue: MinValue=0, DefaultValue=6, MaxValue=5"};
    QTest::newRow("range: NaN default")
        << "MinDefaultMax"
        << withLimits(parameter("Flow", DataType::DFLOAT64, 1), f64(0), f64(std::numeric_limits<double>::quiet_NaN()),
                      f64(1))
        << QStringList{flow
                       + "Value must be between MinValue and MaxValue: MinValue=0, DefaultValue=nan, MaxValue=1"};
    QTest::newRow("range: list, one element below")
        << "MinDefaultMax"
        << withLimits(parameter("Flow", DataType::ARRFLOAT64, 2), f64List({0, 0}), f64List({-1, 3}), f64List({5, 5}))
        << QStringList{flow
                       + "Value must be between MinValue and MaxValue: MinValue=0;0, DefaultValue=-1;3, MaxValue=5;5"};
    {
        Parameter onlyMin = parameter("Flow", U8, 1);
        onlyMin.minValue = u8(10);
        onlyMin.defaultValue = u8(0);
        QTest::newRow("range: without max") << "MinDefaultMax" << onlyMin << QStringList{};
    }

    // OnlyOneIndexedTagPresent
    QTest::newRow("indexed: KFAKTOR and KFAKTOR3")
        << "OnlyOneIndexedTagPresent" << f32("Flow", 0, {Tag::KFAKTOR, Tag::KFAKTOR3})
        << QStringList{flow + "Multiple tags for KFAKTOR found"};
    QTest::newRow("indexed: three REFERENCE")
        << "OnlyOneIndexedTagPresent" << f32("Flow", 0, {Tag::REFERENCE1, Tag::FLOW, Tag::REFERENCE2, Tag::REFERENCE3})
        << QStringList{flow + "Multiple tags for REFERENCE found", flow + "Multiple tags for REFERENCE found"};
    QTest::newRow("indexed: one of each family")
        << "OnlyOneIndexedTagPresent" << f32("Flow", 0, {Tag::KFAKTOR0, Tag::REFERENCE0}) << QStringList{};

    // StringLengthAndLengthMatch
    {
        Parameter text = parameter("Flow", DataType::ARRSTRING, 10);
        text.defaultValue = stringValue("123456789012");
        QTest::newRow("string: default too long") << "StringLengthAndLengthMatch" << text
                                                  << QStringList{flow + "String too long: string length=12, Length=10"};
        text.defaultValue = stringValue("1234567890");
        QTest::newRow("string: default fills") << "StringLengthAndLengthMatch" << text << QStringList{};
        Parameter bytes = parameter("Flow", DataType::ARRBYTE, 1);
        bytes.defaultValue = byteValue({1, 2});
        QTest::newRow("string: other types not examined") << "StringLengthAndLengthMatch" << bytes << QStringList{};
    }

    // TaggedParametersHaveCorrectType
    const QString wrongType = flow + "Tagged parameter has wrong type: %1";
    QTest::newRow("tag type: float tags on U16")
        << "TaggedParametersHaveCorrectType" << parameter("Flow", U16, 1, 0, {Tag::KFAKTOR, Tag::FLOW, Tag::KFAKTOR3})
        << QStringList{wrongType.arg("DBYTEU16"), wrongType.arg("DBYTEU16")};
    QTest::newRow("tag type: float tags on floats")
        << "TaggedParametersHaveCorrectType"
        << parameter("Flow", DataType::ARRFLOAT32, 2, 0,
                     {Tag::OFFSET, Tag::REFERENCE0, Tag::SLOT_COUNTER, Tag::SLOT_MEASUREMENT_END,
                      Tag::SLOT_MEASUREMENT_START, Tag::SLOT_VALUE})
        << QStringList{};
    QTest::newRow("tag type: SCALING_POINTS on U16")
        << "TaggedParametersHaveCorrectType" << parameter("Flow", U16, 1, 0, {Tag::SCALING_POINTS})
        << QStringList{wrongType.arg("DBYTEU16")};
    QTest::newRow("tag type: SLOT_UNIT on U8")
        << "TaggedParametersHaveCorrectType" << parameter("Flow", U8, 1, 0, {Tag::SLOT_UNIT}) << QStringList{};
    QTest::newRow("tag type: SERIALNUMBER on U8")
        << "TaggedParametersHaveCorrectType" << parameter("Flow", U8, 1, 0, {Tag::SERIALNUMBER})
        << QStringList{wrongType.arg("DBYTEU8")};
    QTest::newRow("tag type: SERIALNUMBER on string")
        << "TaggedParametersHaveCorrectType" << parameter("Flow", DataType::ARRSTRING, 16, 0, {Tag::SERIALNUMBER})
        << QStringList{};
    QTest::newRow("tag type: free tags")
        << "TaggedParametersHaveCorrectType"
        << parameter("Flow", DataType::ARRBYTE, 3, 0,
                     {Tag::CALIBRATION, Tag::CUTOFF, Tag::FLOW, Tag::PRESSURE, Tag::TEMPERATURE})
        << QStringList{};

    // ValueLengthsAndLengthMatch
    QTest::newRow("lengths: limits differ")
        << "ValueLengthsAndLengthMatch"
        << withLimits(parameter("Flow", DataType::ARRFLOAT64, 2), f64List({0, 0}), f64List({1, 1}), f64List({2, 2, 2}))
        << QStringList{flow + "Length of MinValue, DefaultValue, MaxValue differs: MinValue=2, DefaultValue=2, "
                              "MaxValue=3"};
    QTest::newRow("lengths: common length differs from Length")
        << "ValueLengthsAndLengthMatch"
        << withLimits(parameter("Flow", DataType::ARRFLOAT64, 3), f64List({0, 0}), f64List({1, 1}), f64List({2, 2}))
        << QStringList{flow + "Value length does not match Length: Size=2, Length=3"};
    QTest::newRow("lengths: sound")
        << "ValueLengthsAndLengthMatch"
        << withLimits(parameter("Flow", DataType::ARRFLOAT64, 2), f64List({0, 0}), f64List({1, 1}), f64List({2, 2}))
        << QStringList{};
    {
        Parameter onlyMax = parameter("Flow", DataType::ARRFLOAT64, 3);
        onlyMax.maxValue = f64List({1});
        QTest::newRow("lengths: without min") << "ValueLengthsAndLengthMatch" << onlyMax << QStringList{};
    }
}

void TestValidationRules::parameterRules()
{
    QFETCH(QString, rule);
    QFETCH(Parameter, parameter);
    QFETCH(QStringList, expected);
    QCOMPARE(findingsOf(parameterRuleByName.at(rule), parameter, Version("V02.11")), expected);
}

void TestValidationRules::settingRules_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<ParameterSetting>("setting");
    QTest::addColumn<Parameter>("parameter");
    QTest::addColumn<QStringList>("expected");

    const QString flow = vp.arg("Flow");
    const Parameter limited = withLimits(parameter("Flow", U8, 1), u8(0), u8(1), u8(5));
    const Parameter text = parameter("Flow", DataType::ARRSTRING, 10);
    const Parameter list = parameter("Flow", DataType::ARRFLOAT64, 11);

    // MinValueSmallerEqualsValueSmallerEqualsMaxValue
    QTest::newRow("range: above") << "MinValueMax" << setting("Flow", u8(6)) << limited
                                  << QStringList{flow + "Value must be between MinValue and MaxValue: MinValue=0, "
                                                        "Value=6, MaxValue=5"};
    QTest::newRow("range: at maximum") << "MinValueMax" << setting("Flow", u8(5)) << limited << QStringList{};
    QTest::newRow("range: other name") << "MinValueMax" << setting("Other", u8(6)) << limited << QStringList{};
    QTest::newRow("range: no limits") << "MinValueMax" << setting("Flow", u8(6)) << parameter("Flow", U8, 1)
                                      << QStringList{};

    // ParameterSettingValueLengthsAndLengthMatch
    QTest::newRow("length: list too short")
        << "ParameterSettingValueLengthsAndLengthMatch" << setting("Flow", f64List(std::vector<double>(10, 0.5)))
        << list << QStringList{flow + "Value length does not match Length: Array size=10, Length=11"};
    QTest::newRow("length: list fits")
        << "ParameterSettingValueLengthsAndLengthMatch" << setting("Flow", f64List(std::vector<double>(11, 0.5)))
        << list << QStringList{};
    QTest::newRow("length: strings not examined")
        << "ParameterSettingValueLengthsAndLengthMatch" << setting("Flow", stringValue("abc")) << text
        << QStringList{};

    // StringLengthsMatch
    QTest::newRow("string: 12 into 10") << "StringLengthsMatch" << setting("Flow", stringValue("123456789012"))
                                        << text << QStringList{flow + "String too long: string length=12, Length=10"};
    QTest::newRow("string: 10 into 10") << "StringLengthsMatch" << setting("Flow", stringValue("1234567890")) << text
                                        << QStringList{};
    QTest::newRow("string: other types not examined")
        << "StringLengthsMatch" << setting("Flow", f64List(std::vector<double>(12, 0.5))) << list << QStringList{};

    // TypesMatch
    QTest::newRow("type: differs") << "TypesMatch" << setting("Flow", unsignedValue(U16, 1)) << f32("Flow", 0)
                                   << QStringList{flow + "Type does not match: DeviceSettings=DBYTEU16, Device=DFLOAT32"};
    QTest::newRow("type: same") << "TypesMatch" << setting("Flow", Value(1.0, F32)) << f32("Flow", 0)
                                << QStringList{};
    QTest::newRow("type: other name") << "TypesMatch" << setting("Other", unsignedValue(U16, 1)) << f32("Flow", 0)
                                      << QStringList{};
}

void TestValidationRules::settingRules()
{
    QFETCH(QString, rule);
    QFETCH(ParameterSetting, setting);
    QFETCH(Parameter, parameter);
    QFETCH(QStringList, expected);
    QCOMPARE(findingsOf(settingRuleByName.at(rule), setting, parameter, Version("V02.11")), expected);
}

void TestValidationRules::containerPresenceRules()
{
    const QString message = "Either DeviceParameterSets or SubdeviceParameterSets must be present";

    Device device;
    QCOMPARE(findingsOf(DeviceParameterSetsOrSubdeviceParameterSetsArePresent, device), QStringList{message});
    device.subdeviceParameterSets = containerOf<Parameter>({setOf<Parameter>("V01.00", {})});
    QCOMPARE(findingsOf(DeviceParameterSetsOrSubdeviceParameterSetsArePresent, device), QStringList{});

    DeviceSettings settings;
    QCOMPARE(findingsOf(DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent, settings), QStringList{message});
    settings.deviceParameterSets = containerOf<ParameterSetting>({setOf<ParameterSetting>("V01.00", {})});
    QCOMPARE(findingsOf(DeviceParameterSettingsOrSubdeviceParameterSettingsArePresent, settings), QStringList{});
}

void TestValidationRules::queueAddressesUnique_data()
{
    QTest::addColumn<int>("general");
    QTest::addColumn<int>("calibration");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("equal") << 4 << 4
                           << QStringList{"TestTrait: Queue address is not unique: GeneralQueueAddress=4, "
                                          "CalibrationQueueAddress=4"};
    QTest::newRow("distinct") << 0 << 1 << QStringList{};
}

void TestValidationRules::queueAddressesUnique()
{
    QFETCH(int, general);
    QFETCH(int, calibration);
    QFETCH(QStringList, expected);
    Traits traits;
    traits.test.generalQueueAddress = static_cast<std::uint16_t>(general);
    traits.test.calibrationQueueAddress = static_cast<std::uint16_t>(calibration);
    QCOMPARE(findingsOf(QueueAddressesUnique, traits), expected);
}

QTEST_APPLESS_MAIN(TestValidationRules)
#include "tst_validationrules.moc"
