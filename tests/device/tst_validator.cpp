#include "device/Validator.h"

#include "device/DeviceTestChecks.h"
#include "device/DeviceTestValues.h"

#include <QtTest>

using namespace Thg::Tilo::Device;
using namespace TestValues;
using namespace DeviceTestChecks;

namespace {

Parameter f32(const std::string &name, std::uint16_t address, std::vector<Tag> tags = {})
{
    return parameter(name, DataType::DFLOAT32, 1, address, std::move(tags));
}

// A small sound description: the sets a ZEB description holds, in miniature.
Device soundDevice()
{
    Device device;
    device.identity = Identity::M7Q4_ZEB;
    device.traits.test.generalQueueAddress = 0;
    device.traits.test.calibrationQueueAddress = 1;
    Parameter name = parameter("Name", DataType::ARRSTRING, 16, 0);
    name.defaultValue = stringValue("Water");
    const Parameter viscosity = withLimits(parameter("Viscosity", DataType::DFLOAT64, 1, 16), f64(0), f64(1), f64(100));
    device.deviceParameterSets = containerOf<Parameter>({setOf("V02.11", {name, viscosity})});
    device.subdeviceParameterSets = containerOf<Parameter>(
        {setOf("V01.00", {f32("K", 0, {Tag::KFAKTOR}), parameter("Serial", DataType::ARRSTRING, 8, 4, {Tag::SERIALNUMBER})})});
    return device;
}

} // namespace

class TestValidator : public QObject {
    Q_OBJECT
private slots:
    void soundFiles_giveNoFinding();
    void descriptionWithoutSets_givesOneLine();
    void parameterDriver_ordersBySetThenParameter();
    void settingsDriver_data();
    void settingsDriver();
    void otherIdentity_isReportedBeforeTheSets();
};

void TestValidator::soundFiles_giveNoFinding()
{
    const Device device = soundDevice();
    QCOMPARE(linesOf(validateDescription(device)), QStringList{});

    DeviceSettings settings;
    settings.identity = Identity::M7Q4_ZEB;
    settings.deviceParameterSets = containerOf<ParameterSetting>(
        {setOf("V02.11", {setting("Name", stringValue("Ethanol")), setting("Viscosity", f64(1.2))})});
    QCOMPARE(findingsOf(validator().deviceSettingsRules[0], settings), QStringList{});
    QCOMPARE(linesOf(validateSettingsAgainst(settings, device)), QStringList{});
}

void TestValidator::descriptionWithoutSets_givesOneLine()
{
    Device device;
    device.traits.test.generalQueueAddress = 0;
    device.traits.test.calibrationQueueAddress = 1;
    QCOMPARE(linesOf(validateDescription(device)),
             QStringList{"Either DeviceParameterSets or SubdeviceParameterSets must be present"});
}

void TestValidator::parameterDriver_ordersBySetThenParameter()
{
    // Per version (in version order, not insertion order): set findings first, then each
    // parameter's findings in name order, each parameter's rules in table order.
    const Parameter a = parameter("A", DataType::DBYTEU8, 2, 65535);
    const Parameter b = parameter("B", DataType::DBYTEU16, 1, 65534, {Tag::SCALING_POINTS});
    const auto container = containerOf<Parameter>({
        setOf("V03.00", {f32("S1", 0, {Tag::SERIALNUMBER}), f32("S2", 8, {Tag::SERIALNUMBER})}),
        setOf("V02.11", {b, a}),
    });
    ValidationResult result;
    validator().validate(container, result);
    QCOMPARE(linesOf(result),
             (QStringList{
                 "Version V02.11 Parameter A: Addresses overlap: Start address=65535, End address=0, "
                 "Overlapping parameter=B, Start address=65534, End address=65535",
                 "Version V02.11 Parameter A: Address exceeds maximum: Address=65535, End address=65536",
                 "Version V02.11 Parameter B: Tagged parameter has wrong type: DBYTEU16",
                 "Version V03.00: Tag is not unique: SERIALNUMBER",
                 "Version V03.00 Parameter S1: Tagged parameter has wrong type: DFLOAT32",
                 "Version V03.00 Parameter S2: Tagged parameter has wrong type: DFLOAT32",
             }));
}

void TestValidator::settingsDriver_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("unknown version, settings not looked at")
        << "V01.05" << "Nonsense" << QStringList{"Version V01.05: does not exist"};
    QTest::newRow("unknown parameter") << "V02.11" << "Density"
                                       << QStringList{"Version V02.11 Parameter Density: does not exist"};
    QTest::newRow("known parameter, rules in table order")
        << "V02.11" << "Viscosity"
        << QStringList{"Version V02.11 Parameter Viscosity: Value must be between MinValue and MaxValue: "
                       "MinValue=0, Value=1;2, MaxValue=100",
                       "Version V02.11 Parameter Viscosity: Value length does not match Length: Array size=2, "
                       "Length=1",
                       "Version V02.11 Parameter Viscosity: Type does not match: DeviceSettings=ARRFLOAT64, "
                       "Device=DFLOAT64"};
}

void TestValidator::settingsDriver()
{
    QFETCH(QString, version);
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    const auto settings = containerOf<ParameterSetting>(
        {setOf(version.toStdString(), {setting(name.toStdString(), f64List({1, 2}))})});
    ValidationResult result;
    validator().validate(settings, soundDevice().deviceParameterSets, result);
    QCOMPARE(linesOf(result), expected);
}

void TestValidator::otherIdentity_isReportedBeforeTheSets()
{
    DeviceSettings settings;
    settings.identity = Identity::M7Q4_JUP;
    settings.deviceParameterSets =
        containerOf<ParameterSetting>({setOf("V02.11", {setting("Name", stringValue("A much too long name"))})});
    settings.subdeviceParameterSets = containerOf<ParameterSetting>({setOf<ParameterSetting>("V01.05", {})});
    QCOMPARE(linesOf(validateSettingsAgainst(settings, soundDevice())),
             (QStringList{"Identity does not match: DeviceSettings=M7Q4-JUP, Device=M7Q4-ZEB",
                          "Version V02.11 Parameter Name: String too long: string length=20, Length=16",
                          "Version V01.05: does not exist"}));
}

QTEST_APPLESS_MAIN(TestValidator)
#include "tst_validator.moc"
