#include "device/DeviceJson.h"
#include "device/Format.h"
#include "device/ImportException.h"

#include "device/DeviceTestChecks.h"

#include <QtTest>

#include <nlohmann/json.hpp>

#include <cmath>
#include <optional>

using namespace Thg::Tilo::Device;
using Json = nlohmann::json;
using DeviceTestChecks::messageOf;

Q_DECLARE_METATYPE(Thg::Tilo::Device::DataType)

namespace {

const char *const minimalTraits = R"({
  "Interface": { "Name": "M7Q4", "StartUp_ms": 260, "PowerDown_ms": 300, "Address": [19, 0, 4, 0, 1],
                 "Type": "UART", "HalfDuplex": true },
  "Outputs": [], "IoLink": { "Commands": [], "Events": [], "SystemDataObjects": [] }, "Calibrations": [],
  "Test": { "SlotCount": 1, "CalibrationQueueAddress": 1, "GeneralQueueAddress": 0, "CurrentConsumptionMin_mA": 0.0,
            "CurrentConsumptionMax_mA": 0.0, "ProgressStepCount": 1, "SensorResistor": false } })";

// Reads the one parameter of device set V02.11 of a description: a parameter named P at address 1
// with the further `fields` given as JSON members.
Parameter readParameter(const char *fields)
{
    Device device;
    from_json(Json::parse(std::string(R"({ "Identity": "M7Q4-ZEB", "Traits": )") + minimalTraits +
                          R"(, "DeviceParameterSets": [ { "Version": "V02.11", "Parameters": [ )" +
                          R"({ "Name": "P", "Description": "", "Address": 1, )" + fields + " } ] } ] }"),
              device);
    return device.deviceParameterSets.begin()->second.parameters.begin()->second;
}

ParameterSetting readSetting(const char *setting)
{
    DeviceSettings settings;
    from_json(Json::parse(std::string(R"({ "Identity": "M7Q4-ZEB", "SubdeviceParameterSets": [ { "Version": "V02.00", "Parameters": [ )") +
                          setting + " ] } ] }"),
              settings);
    return settings.subdeviceParameterSets.begin()->second.parameters.begin()->second;
}

} // namespace

class TestDeviceJson : public QObject {
    Q_OBJECT
private slots:
    void repeatedIdentifier_failsWithKind_data();
    void repeatedIdentifier_failsWithKind();
    void typedParameter_readsValuesByType_data();
    void typedParameter_readsValuesByType();
    void stringPath_takesLengthAndBecomesString_data();
    void stringPath_takesLengthAndBecomesString();
    void unrecognisedType_readsOnlyIoLinkAndTags();
    void tags_skipUnknownAndKeepRepeats();
    void ioLink_unknownAccessTextIsRead();
    void setting_readsValueByType_data();
    void setting_readsValueByType();
    void setting_failures_data();
    void setting_failures();
    void description_absentContainersAreEmpty();
    void description_failures_data();
    void description_failures();
    void parametersNull_givesEmptySet();
    void formatNames_areCaseSensitiveTails_data();
    void formatNames_areCaseSensitiveTails();
};

void TestDeviceJson::repeatedIdentifier_failsWithKind_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("message");
    QTest::newRow("version") << R"({ "Identity": "M7Q4-ZEB", "DeviceParameterSets": [
        { "Version": "V02.11", "Parameters": [] }, { "Version": "V02.11", "Parameters": [] } ] })"
                             << "Version is not unique: V02.11";
    QTest::newRow("parameter") << R"({ "Identity": "M7Q4-ZEB", "SubdeviceParameterSets": [ { "Version": "V02.11",
        "Parameters": [ { "Name": "X", "Type": "DBYTEU8", "Value": 1 }, { "Name": "X", "Type": "DBYTEU8", "Value": 2 } ] } ] })"
                               << "Parameter is not unique: X";
}

void TestDeviceJson::repeatedIdentifier_failsWithKind()
{
    QFETCH(QString, document);
    QFETCH(QString, message);
    const Json json = Json::parse(document.toStdString());
    DeviceSettings settings;
    QCOMPARE(messageOf<IdentifierNotUniqueException>([&] { from_json(json, settings); }),
             std::optional(message.toStdString()));
}

void TestDeviceJson::typedParameter_readsValuesByType_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<DataType>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("minValue");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("maxValue");

    QTest::newRow("u8 default cut to 8 bits")
        << R"("Type": "DBYTEU8", "MinValue": 0, "DefaultValue": 300, "MaxValue": 255)"
        << DataType::DBYTEU8 << 1 << "0" << "44" << "255";
    QTest::newRow("u16 floating numbers truncated toward zero")
        << R"("Type": "DBYTEU16", "MinValue": 0.9, "DefaultValue": 7.99, "MaxValue": 65535.5)"
        << DataType::DBYTEU16 << 1 << "0" << "7" << "65535";
    // Far beyond the width: saturated, then cut, never an undefined conversion.
    QTest::newRow("u32 huge floating number")
        << R"("Type": "DBYTEU32", "MinValue": 0, "DefaultValue": 1e30, "MaxValue": 1e30)"
        << DataType::DBYTEU32 << 1 << "0" << "4294967295" << "4294967295";
    QTest::newRow("i64 negative")
        << R"("Type": "DBYTEI64", "MinValue": -5, "DefaultValue": -2.7, "MaxValue": 9)"
        << DataType::DBYTEI64 << 1 << "-5" << "-2" << "9";
    QTest::newRow("byte list takes the default's length, not Length")
        << R"("Type": "ARRBYTE", "Length": 3, "MinValue": [0, 0], "DefaultValue": [1, 258], "MaxValue": [9, 9])"
        << DataType::ARRBYTE << 2 << "0;0" << "1;2" << "9;9";
    QTest::newRow("UNKNOWN reads no values")
        << R"("Type": "UNKNOWN", "MinValue": 0, "DefaultValue": 1, "MaxValue": 2)"
        << DataType::UNKNOWN << 0 << "" << "" << "";
}

void TestDeviceJson::typedParameter_readsValuesByType()
{
    QFETCH(QString, parameter);
    QFETCH(DataType, type);
    QFETCH(int, length);
    QFETCH(QString, minValue);
    QFETCH(QString, defaultValue);
    QFETCH(QString, maxValue);

    const Parameter read = readParameter(parameter.toUtf8().constData());
    QCOMPARE(read.type, type);
    QCOMPARE(int(read.length), length);
    QCOMPARE(read.currentValue.type, DataType::UNKNOWN);
    if (minValue.isEmpty()) {
        QVERIFY(!read.minValue.has_value());
        QCOMPARE(read.defaultValue.type, DataType::UNKNOWN);
        return;
    }
    QCOMPARE(QString::fromStdString(read.minValue->toString()), minValue);
    QCOMPARE(QString::fromStdString(read.defaultValue.toString()), defaultValue);
    QCOMPARE(QString::fromStdString(read.maxValue->toString()), maxValue);
}

void TestDeviceJson::stringPath_takesLengthAndBecomesString_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<DataType>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<bool>("hasReferences");

    QTest::newRow("u16 with Length and a string default")
        << R"("Type": "DBYTEU16", "Length": 4, "DefaultValue": "abc", "RefMin": 3, "RefMax": 5)"
        << DataType::ARRSTRING << 4 << "abc" << true;
    QTest::newRow("string with limits still takes the string path")
        << R"("Type": "ARRSTRING", "Length": 16, "MinValue": 0, "DefaultValue": "Water", "MaxValue": 0)"
        << DataType::ARRSTRING << 16 << "Water" << false;
    QTest::newRow("no limits and no Length: nothing read")
        << R"("Type": "DFLOAT32", "DefaultValue": "x", "RefMin": 3, "RefMax": 5)"
        << DataType::DFLOAT32 << 0 << "" << false;
}

void TestDeviceJson::stringPath_takesLengthAndBecomesString()
{
    QFETCH(QString, parameter);
    QFETCH(DataType, type);
    QFETCH(int, length);
    QFETCH(QString, defaultValue);
    QFETCH(bool, hasReferences);

    const Parameter read = readParameter(parameter.toUtf8().constData());
    QCOMPARE(read.type, type);
    QCOMPARE(int(read.length), length);
    QVERIFY(!read.minValue && !read.maxValue);
    if (defaultValue.isEmpty()) {
        QCOMPARE(read.defaultValue.type, DataType::UNKNOWN);
    } else {
        QCOMPARE(read.defaultValue.type, DataType::ARRSTRING);
        QCOMPARE(QString::fromStdString(std::get<std::string>(read.defaultValue.data)), defaultValue);
        QCOMPARE(int(read.defaultValue.length), defaultValue.size());
    }
    QCOMPARE(read.refMin.has_value(), hasReferences);
    QCOMPARE(read.refMax.has_value(), hasReferences);
}

void TestDeviceJson::unrecognisedType_readsOnlyIoLinkAndTags()
{
    const Parameter read = readParameter(R"("Type": "DBYTEU9", "Length": 4, "MinValue": 0, "DefaultValue": 1, "MaxValue": 2,
        "RefMin": 3, "RefMax": 5, "Tags": [ "FLOW" ],
        "IoLink": { "Address": 12, "FactoryAccess": "ReadWrite", "UserAccess": "Write", "Menu": [ "A", "B" ] })");
    QCOMPARE(read.type, DataType::UNKNOWN);
    QCOMPARE(int(read.length), 0);
    QCOMPARE(int(read.address), 1);
    QCOMPARE(read.defaultValue.type, DataType::UNKNOWN);
    QVERIFY(!read.minValue && !read.maxValue && !read.refMin && !read.refMax);
    QCOMPARE(read.tags, std::vector<Tag>{Tag::FLOW});
    QVERIFY(read.ioLink.has_value());
    QCOMPARE(int(read.ioLink->address), 12);
    QCOMPARE(read.ioLink->factoryAccess, AccessRight::ReadWrite);
    QCOMPARE(read.ioLink->userAccess, AccessRight::Write);
    QCOMPARE(read.ioLink->menu, (std::vector<std::string>{"A", "B"}));
}

void TestDeviceJson::tags_skipUnknownAndKeepRepeats()
{
    const Parameter read = readParameter(R"("Type": "DBYTEU8", "Tags": [ "FLOW", "FLUX", "FLOW" ])");
    QCOMPARE(read.tags, (std::vector<Tag>{Tag::FLOW, Tag::FLOW}));
}

void TestDeviceJson::ioLink_unknownAccessTextIsRead()
{
    const Parameter read = readParameter(
        R"("Type": "DBYTEU8", "IoLink": { "Address": 1, "FactoryAccess": "readwrite", "UserAccess": "Write", "Menu": [] })");
    QCOMPARE(read.ioLink->factoryAccess, AccessRight::Read);
    QCOMPARE(read.ioLink->userAccess, AccessRight::Write);
}

void TestDeviceJson::setting_readsValueByType_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<DataType>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("text");

    QTest::newRow("u16 cut to the width") << R"({ "Name": "Curve[1].L", "Type": "DBYTEU16", "Value": 65545 })"
                                          << DataType::DBYTEU16 << 1 << "9";
    QTest::newRow("u64 full range") << R"({ "Name": "S", "Type": "DBYTEU64", "Value": 18446744073709551615 })"
                                    << DataType::DBYTEU64 << 1 << "18446744073709551615";
    QTest::newRow("string") << R"({ "Name": "S", "Type": "ARRSTRING", "Value": "Water" })"
                            << DataType::ARRSTRING << 5 << "Water";
    QTest::newRow("double list") << R"({ "Name": "S", "Type": "ARRFLOAT64", "Value": [0.0, 10.0, 20.0] })"
                                 << DataType::ARRFLOAT64 << 3 << "";
    QTest::newRow("unrecognised type keeps nothing") << R"({ "Name": "S", "Type": "DOUBLE", "Value": [] })"
                                                     << DataType::UNKNOWN << 1 << "";
}

void TestDeviceJson::setting_readsValueByType()
{
    QFETCH(QString, setting);
    QFETCH(DataType, type);
    QFETCH(int, length);
    QFETCH(QString, text);

    const ParameterSetting read = readSetting(setting.toUtf8().constData());
    QCOMPARE(read.type, type);
    QCOMPARE(read.value.type, type);
    QCOMPARE(int(read.value.length), length);
    if (!text.isEmpty())
        QCOMPARE(QString::fromStdString(read.value.toString()), text);
}

void TestDeviceJson::setting_failures_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("message");
    QTest::newRow("byte list given a number")
        << R"({ "Name": "S", "Type": "ARRBYTE", "Value": 5 })"
        << "[json.exception.type_error.302] (/SubdeviceParameterSets/0/Parameters/0/Value) type must be array, but is number";
    QTest::newRow("float list given a string")
        << R"({ "Name": "S", "Type": "ARRFLOAT32", "Value": "5" })"
        << "[json.exception.type_error.302] (/SubdeviceParameterSets/0/Parameters/0/Value) type must be array, but is string";
    QTest::newRow("number given a string")
        << R"({ "Name": "S", "Type": "DBYTEU8", "Value": "5" })"
        << "[json.exception.type_error.302] (/SubdeviceParameterSets/0/Parameters/0/Value) type must be number, but is string";
    QTest::newRow("name not a string")
        << R"({ "Name": 5, "Type": "DBYTEU8", "Value": 5 })"
        << "[json.exception.type_error.302] (/SubdeviceParameterSets/0/Parameters/0/Name) type must be string, but is number";
    // The 16-bit length would wrap to 1 and the value pass the length rules.
    QTest::newRow("string longer than 65535 bytes")
        << R"({ "Name": "S", "Type": "ARRSTRING", "Value": ")" + QString(65536 + 1, 'a') + R"(" })"
        << "[json.exception.out_of_range.408] (/SubdeviceParameterSets/0/Parameters/0/Value) value length 65537 exceeds 65535";
    QStringList zeros(65536, "0");
    QTest::newRow("list longer than 65535 elements")
        << R"({ "Name": "S", "Type": "ARRFLOAT32", "Value": [ )" + zeros.join(", ") + R"( ] })"
        << "[json.exception.out_of_range.408] (/SubdeviceParameterSets/0/Parameters/0/Value) value length 65536 exceeds 65535";
    QTest::newRow("missing value")
        << R"({ "Name": "S", "Type": "DBYTEU8" })"
        << "[json.exception.out_of_range.403] (/SubdeviceParameterSets/0/Parameters/0) key 'Value' not found";
}

void TestDeviceJson::setting_failures()
{
    QFETCH(QString, setting);
    QFETCH(QString, message);
    QCOMPARE(messageOf<Json::exception>([&] { readSetting(setting.toUtf8().constData()); }),
             std::optional(message.toStdString()));
}

void TestDeviceJson::description_absentContainersAreEmpty()
{
    Device device;
    from_json(Json::parse(std::string(R"({ "Identity": "M7Q4-JUP", "Traits": )") + minimalTraits + "}"), device);
    QCOMPARE(device.identity, Identity::M7Q4_JUP);
    QVERIFY(device.deviceParameterSets.empty());
    QVERIFY(device.subdeviceParameterSets.empty());
    QCOMPARE(device.traits.interface.name, std::string("M7Q4"));
}

void TestDeviceJson::description_failures_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("message");
    QTest::newRow("no traits") << R"({ "Identity": "M7Q4-ZEB" })"
                               << "[json.exception.out_of_range.403] key 'Traits' not found";
    QTest::newRow("identity in other case") << R"({ "Identity": "m7q4-zeb" })" << "bad optional access";
}

void TestDeviceJson::description_failures()
{
    QFETCH(QString, document);
    QFETCH(QString, message);
    const Json json = Json::parse(document.toStdString());
    Device device;
    if (message == "bad optional access") {
        QVERIFY(messageOf<std::bad_optional_access>([&] { from_json(json, device); }).has_value());
    } else {
        QCOMPARE(messageOf<Json::exception>([&] { from_json(json, device); }), std::optional(message.toStdString()));
    }
}

void TestDeviceJson::parametersNull_givesEmptySet()
{
    DeviceSettings settings;
    from_json(Json::parse(R"({ "Identity": "M7Q4-ZEB", "DeviceParameterSets": [ { "Version": "V02.11", "Description": "d", "Parameters": null } ] })"),
              settings);
    QCOMPARE(settings.deviceParameterSets.size(), std::size_t(1));
    const auto &set = settings.deviceParameterSets.begin()->second;
    QCOMPARE(set.version.text, std::string("V02.11"));
    QCOMPARE(set.description, std::string("d"));
    QVERIFY(set.parameters.empty());
}

void TestDeviceJson::formatNames_areCaseSensitiveTails_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("description");
    QTest::addColumn<bool>("settings");
    QTest::newRow("media file") << "001 ZEB_Water.para.json" << false << true;
    QTest::newRow("media file in capitals") << "001 ZEB_WATER.PARA.JSON" << false << false;
    QTest::newRow("description") << ":/M7Q4-ZEB.desc.json" << true << false;
    QTest::newRow("extension only") << ".desc.json" << true << false;
    QTest::newRow("extension inside the name") << "x.para.json.bak" << false << false;
}

void TestDeviceJson::formatNames_areCaseSensitiveTails()
{
    QFETCH(QString, name);
    QFETCH(bool, description);
    QFETCH(bool, settings);
    QCOMPARE(Format::isDeviceDescriptionFormat(name.toStdString()), description);
    QCOMPARE(Format::isDeviceSettingsFormat(name.toStdString()), settings);
}

QTEST_GUILESS_MAIN(TestDeviceJson)
#include "tst_devicejson.moc"
