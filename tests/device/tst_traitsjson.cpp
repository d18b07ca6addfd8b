#include "device/ImportException.h"
#include "device/TraitsJson.h"

#include "device/DeviceTestChecks.h"

#include <QtTest>

#include <nlohmann/json.hpp>

#include <optional>

using namespace Thg::Tilo::Device;
using Json = nlohmann::json;

namespace {

// The traits of the built-in description, as a document to change per test.
Json builtInTraits()
{
    return Json::parse(R"({
      "Interface": { "Name": "M7Q4", "StartUp_ms": 260, "PowerDown_ms": 300, "Address": [19, 0, 4, 0, 1],
                     "Type": "UART", "HalfDuplex": true },
      "Outputs": [
        { "Name": "OUT1", "Current": true, "Voltage": true, "Pulse": true, "Frequency": true, "ParLink": true,
          "IoLink": true, "Alarm": true, "CtrlInput": true },
        { "Name": "OUT2", "Current": true, "Voltage": true, "Pulse": true, "Frequency": true, "ParLink": false,
          "IoLink": false, "Alarm": true, "CtrlInput": false } ],
      "IoLink": { "Commands": [], "Events": [], "SystemDataObjects": [] },
      "Calibrations": [],
      "Test": { "SlotCount": 1, "CalibrationQueueAddress": 1, "GeneralQueueAddress": 0, "CurrentConsumptionMin_mA": 0.0,
                "CurrentConsumptionMax_mA": 0.0, "ProgressStepCount": 1, "SensorResistor": false } })");
}

Json output(const char *name, bool flags)
{
    return Json{{"Name", name},        {"Current", flags}, {"Voltage", flags}, {"Pulse", flags},
                {"Frequency", flags},  {"ParLink", flags}, {"IoLink", flags},  {"Alarm", flags},
                {"CtrlInput", flags}};
}

Json calibration(std::uint64_t slot, Json deviation = 0.5, const char *algorithm = "Gauss")
{
    return Json{{"Slot", slot}, {"SampleCount", 10}, {"DeviationPercent", std::move(deviation)},
                {"AverageAlgorithm", algorithm}};
}

Traits readTraits(const Json &json)
{
    Traits traits;
    from_json(json, traits);
    return traits;
}

template <typename Exception>
std::optional<std::string> failure(const Json &json)
{
    return DeviceTestChecks::messageOf<Exception>([&] { readTraits(json); });
}

} // namespace

class TestTraitsJson : public QObject {
    Q_OBJECT
private slots:
    void builtInTraits_areReadCompletely();
    void repeatedIdentifier_failsWithKind_data();
    void repeatedIdentifier_failsWithKind();
    void unknownOutput_changesNoEntry();
    void interfaceAddress_readsFirstFive();
    void interfaceAddress_shortOrNoArray_fails_data();
    void interfaceAddress_shortOrNoArray_fails();
    void interfaceType_otherThanUart_isUnknown();
    void calibrations_sortedBySlot();
    void calibrations_lenientValues();
    void ioLink_entriesFiledByName();
    void missingKey_failsWithKeyName();
};

void TestTraitsJson::builtInTraits_areReadCompletely()
{
    const Traits traits = readTraits(builtInTraits());
    QCOMPARE(traits.interface.name, std::string("M7Q4"));
    QCOMPARE(traits.interface.address, (std::array<std::uint8_t, 5>{19, 0, 4, 0, 1}));
    QCOMPARE(int(traits.interface.startUpMs), 260);
    QCOMPARE(int(traits.interface.powerDownMs), 300);
    QCOMPARE(traits.interface.type, InterfaceTraits::Type::UART);
    QVERIFY(traits.interface.halfDuplex);

    const OutputTraits out1{OutputTraits::Name::OUT1, true, true, true, true, true, true, true, true};
    const OutputTraits out2{OutputTraits::Name::OUT2, true, true, true, true, false, false, true, false};
    QVERIFY(traits.outputs[0] == out1);
    QVERIFY(traits.outputs[1] == out2);
    QVERIFY(traits.ioLink.commands.empty() && traits.ioLink.events.empty() && traits.ioLink.systemDataObjects.empty());
    QVERIFY(traits.calibrations.empty());

    const TestTraits test{1, 1, 0, 0.0F, 0.0F, 1, false};
    QVERIFY(traits.test == test);
}

void TestTraitsJson::repeatedIdentifier_failsWithKind_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::newRow("output") << "/Outputs" << QString::fromStdString(output("OUT1", false).dump()) << "Outputs is not unique: OUT1";
    QTest::newRow("command") << "/IoLink/Commands" << R"({ "Name": "Reset", "Description": "", "Address": 2 })"
                             << "Command is not unique: Reset";
    QTest::newRow("event")
        << "/IoLink/Events" << R"({ "Name": "Fault", "Description": "", "Address": 2, "DeviceStatus": 1, "Type": "Error" })"
        << "Event is not unique: Fault";
    QTest::newRow("system data object")
        << "/IoLink/SystemDataObjects"
        << R"({ "Name": "Tag", "Description": "", "Address": 2, "Type": "ARRSTRING", "FactoryAccess": "Read", "UserAccess": "Read" })"
        << "SystemDataObject is not unique: Tag";
    QTest::newRow("calibration") << "/Calibrations" << QString::fromStdString(calibration(3).dump()) << "Calibration is not unique: 3";
}

void TestTraitsJson::repeatedIdentifier_failsWithKind()
{
    QFETCH(QString, list);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    Json traits = builtInTraits();
    Json &array = traits[Json::json_pointer(list.toStdString())];
    array.push_back(Json::parse(entry.toStdString()));
    array.push_back(Json::parse(entry.toStdString()));
    QCOMPARE(failure<IdentifierNotUniqueException>(traits), std::optional(message.toStdString()));
}

void TestTraitsJson::unknownOutput_changesNoEntry()
{
    Json traits = builtInTraits();
    traits["Outputs"] = Json::array({output("Unknown", true), output("OUT3", true)});
    const Traits read = readTraits(traits);
    QVERIFY(read.outputs[0] == OutputTraits{});
    QVERIFY(read.outputs[1] == OutputTraits{});
}

void TestTraitsJson::interfaceAddress_readsFirstFive()
{
    Json traits = builtInTraits();
    traits["Interface"]["Address"] = {19, 0, 4, 0, 1, 7};
    QCOMPARE(readTraits(traits).interface.address, (std::array<std::uint8_t, 5>{19, 0, 4, 0, 1}));
}

void TestTraitsJson::interfaceAddress_shortOrNoArray_fails_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message");
    QTest::newRow("three numbers") << "[19, 0, 4]"
                                   << "[json.exception.out_of_range.401] (/Interface/Address) array index 3 is out of range";
    QTest::newRow("a number") << "19"
                              << "[json.exception.type_error.302] (/Interface/Address) type must be array, but is number";
}

void TestTraitsJson::interfaceAddress_shortOrNoArray_fails()
{
    QFETCH(QString, address);
    QFETCH(QString, message);
    Json traits = builtInTraits();
    traits["Interface"]["Address"] = Json::parse(address.toStdString());
    QCOMPARE(failure<Json::exception>(traits), std::optional(message.toStdString()));
}

void TestTraitsJson::interfaceType_otherThanUart_isUnknown()
{
    Json traits = builtInTraits();
    traits["Interface"]["Type"] = "USB";
    QCOMPARE(readTraits(traits).interface.type, InterfaceTraits::Type::Unknown);
}

void TestTraitsJson::calibrations_sortedBySlot()
{
    Json traits = builtInTraits();
    traits["Calibrations"] = Json::array({calibration(5), calibration(1), calibration(3)});
    const Traits read = readTraits(traits);
    QCOMPARE(read.calibrations.size(), std::size_t(3));
    QCOMPARE(read.calibrations[0].slot, std::uint64_t(1));
    QCOMPARE(read.calibrations[1].slot, std::uint64_t(3));
    QCOMPARE(read.calibrations[2].slot, std::uint64_t(5));
    QCOMPARE(read.calibrations[0].averageAlgorithm, CalibrationTraits::AverageAlgorithm::Gauss);
    QCOMPARE(read.calibrations[0].sampleCount, std::uint64_t(10));
}

void TestTraitsJson::calibrations_lenientValues()
{
    Json traits = builtInTraits();
    traits["Calibrations"] = Json::array({calibration(1, true, "Median"), calibration(2, "x")});
    QCOMPARE(failure<Json::exception>(traits),
             std::optional<std::string>(
                 "[json.exception.type_error.302] (/Calibrations/1/DeviationPercent) type must be number, but is string"));

    traits["Calibrations"].erase(1);
    const Traits read = readTraits(traits);
    QCOMPARE(read.calibrations[0].deviationPercent, 1.0F);
    QCOMPARE(read.calibrations[0].averageAlgorithm, CalibrationTraits::AverageAlgorithm::Standard);
}

void TestTraitsJson::ioLink_entriesFiledByName()
{
    Json traits = builtInTraits();
    traits["IoLink"]["Events"] = Json::parse(
        R"([ { "Name": "Fault", "Description": "d", "Address": 2, "DeviceStatus": 3, "Type": "Warning" },
             { "Name": "Odd", "Description": "", "Address": 4, "DeviceStatus": 0, "Type": "Alert" } ])");
    traits["IoLink"]["SystemDataObjects"] = Json::parse(
        R"([ { "Name": "Tag", "Description": "", "Address": 9, "Type": "ARRSTRING", "FactoryAccess": "ReadWrite", "UserAccess": "read" } ])");
    const Traits read = readTraits(traits);
    const EventTraits &fault = read.ioLink.events.at("Fault");
    QCOMPARE(fault.description, std::string("d"));
    QCOMPARE(int(fault.address), 2);
    QCOMPARE(int(fault.deviceStatus), 3);
    QCOMPARE(fault.type, EventTraits::Type::Warning);
    QCOMPARE(read.ioLink.events.at("Odd").type, EventTraits::Type::Message);
    const SystemDataObjectTraits &tag = read.ioLink.systemDataObjects.at("Tag");
    QCOMPARE(tag.type, DataType::ARRSTRING);
    QCOMPARE(tag.factoryAccess, AccessRight::ReadWrite);
    QCOMPARE(tag.userAccess, AccessRight::Read);
}

void TestTraitsJson::missingKey_failsWithKeyName()
{
    Json traits = builtInTraits();
    traits["Test"].erase("SensorResistor");
    QCOMPARE(failure<Json::exception>(traits),
             std::optional<std::string>("[json.exception.out_of_range.403] (/Test) key 'SensorResistor' not found"));
}

QTEST_GUILESS_MAIN(TestTraitsJson)
#include "tst_traitsjson.moc"
