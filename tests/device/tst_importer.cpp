#include "device/FileReader.h"
#include "device/ImportException.h"
#include "device/Importer.h"

#include "device/DeviceTestFiles.h"

#include <QtTest>

#include <nlohmann/json.hpp>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

using namespace Thg::Tilo::Device;
using namespace DeviceTestFiles;
using Json = nlohmann::json;

namespace {

using Lines = std::vector<std::string>;

const Importer::Config schemas{"Resources/DeviceDescription.schema.json", "Resources/DeviceSettings.schema.json"};

// A description that passes schema and rules: one device set with one parameter.
Json soundDescription()
{
    return Json::parse(R"({
      "Identity": "M7Q4-ZEB",
      "DeviceParameterSets": [ { "Version": "V02.11", "Description": "Main", "Parameters": [
        { "Name": "FlowUnit", "Description": "", "Type": "DBYTEU8", "Address": 505,
          "MinValue": 0, "DefaultValue": 1, "MaxValue": 255, "Tags": [ "FLOW", "SLOT_UNIT" ] } ] } ],
      "Traits": {
        "Interface": { "Name": "M7Q4", "StartUp_ms": 260, "PowerDown_ms": 300, "Address": [19, 0, 4, 0, 1],
                       "Type": "UART", "HalfDuplex": true },
        "Outputs": [ { "Name": "OUT1", "Current": true, "Voltage": true, "Pulse": true, "Frequency": true,
                       "ParLink": true, "IoLink": true, "Alarm": true, "CtrlInput": true } ],
        "IoLink": { "Commands": [], "Events": [], "SystemDataObjects": [] },
        "Calibrations": [ { "Slot": 2, "SampleCount": 5, "DeviationPercent": true, "AverageAlgorithm": "Gauss" } ],
        "Test": { "SlotCount": 1, "CalibrationQueueAddress": 1, "GeneralQueueAddress": 0,
                  "CurrentConsumptionMin_mA": 0.0, "CurrentConsumptionMax_mA": 0.0, "ProgressStepCount": 1,
                  "SensorResistor": false } } })");
}

Json mediaWith(const std::string &type, const std::string &value)
{
    return Json::parse(R"({ "Identity": "M7Q4-ZEB", "SubdeviceParameterSets": [ { "Version": "V02.00",
        "Parameters": [ { "Name": "Curve[1].L", "Type": ")" + type + R"(", "Value": )" + value + " } ] } ] }");
}

// The failure of importing `content` as a file named `name`, as "<Exception>|what()|line|line...".
template <typename Import>
std::string failureOf(Import import)
{
    try {
        import();
    } catch (const ValidationException &error) {
        std::string text = std::string("ValidationException|") + error.what();
        for (const auto &line : error.getErrors())
            text += "|" + line;
        return text;
    } catch (const FormatMismatchException &error) {
        return std::string("FormatMismatchException|") + error.what();
    } catch (const ImportException &error) {
        return std::string("ImportException|") + error.what();
    } catch (const UnsupportedFormatException &error) {
        return std::string("UnsupportedFormatException|") + error.what();
    } catch (const std::exception &error) {
        return std::string("other|") + error.what();
    }
    return "imported";
}

// The lines of the ValidationException that `import` raises, or "imported".
template <typename Import>
QStringList violationLines(Import import)
{
    try {
        import();
    } catch (const ValidationException &error) {
        QStringList lines;
        for (const auto &line : error.getErrors())
            lines << QString::fromStdString(line);
        return lines;
    } catch (const std::exception &error) {
        return {QString("other: ") + error.what()};
    }
    return {"imported"};
}

// Copies the schema files into `dir`, where no importer has read them yet.
Importer::Config copiedSchemas(const QTemporaryDir &dir)
{
    for (const QFileInfo &file : QDir("Resources").entryInfoList({"*.json"}, QDir::Files))
        QFile::copy(file.filePath(), dir.filePath(file.fileName()));
    return {dir.filePath("DeviceDescription.schema.json").toStdString(),
            dir.filePath("DeviceSettings.schema.json").toStdString()};
}

} // namespace

class TestImporter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wrongExtension_isUnsupportedBeforeReading_data();
    void wrongExtension_isUnsupportedBeforeReading();
    void description_failures_data();
    void description_failures();
    void media_failures_data();
    void media_failures();
    void mediaValue_mustFitItsType_data();
    void mediaValue_mustFitItsType();
    void soundDescription_isImported();
    void emptyFile_cannotBeRead();
    void missingSchemas_nameSettingsSchemaFirst();
    void laterImporter_reportsAsFirst_data();
    void laterImporter_reportsAsFirst();

private:
    std::optional<Importer> importer;
    QTemporaryDir files;
};

void TestImporter::initTestCase()
{
    QVERIFY(files.isValid());
    importer.emplace(schemas);
}

void TestImporter::wrongExtension_isUnsupportedBeforeReading_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("asDescription");
    QTest::newRow("media file as description") << "/x/001 ZEB_Water.para.json" << true;
    QTest::newRow("description as media file") << "/x/M7Q4-ZEB.desc.json" << false;
    QTest::newRow("description in capitals") << "/x/M7Q4-ZEB.DESC.JSON" << true;
    QTest::newRow("media file in capitals") << "/x/001 ZEB_Water.Para.json" << false;
}

void TestImporter::wrongExtension_isUnsupportedBeforeReading()
{
    QFETCH(QString, name);
    QFETCH(bool, asDescription);
    const StringReader reader(name.toStdString(), "{}");
    const std::string failure = asDescription ? failureOf([&] { importer->importDevice(reader); })
                                              : failureOf([&] { importer->importDeviceSettings(reader); });
    QCOMPARE(QString::fromStdString(failure), "UnsupportedFormatException|Unsupported format: " + name);
    QCOMPARE(reader.reads, 0);
}

void TestImporter::description_failures_data()
{
    QTest::addColumn<QString>("pointer");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("failure");

    // "<N>" stands for the file's path.
    QTest::newRow("both containers empty")
        << "/DeviceParameterSets" << "[]"
        << "ValidationException|Import error: Validation failed: <N>|Either DeviceParameterSets or SubdeviceParameterSets must be present";
    QTest::newRow("parameter named twice")
        << "/DeviceParameterSets/0/Parameters/1"
        << R"({ "Name": "FlowUnit", "Description": "", "Type": "DBYTEU8", "Address": 9, "MinValue": 0, "DefaultValue": 1, "MaxValue": 2 })"
        << "ValidationException|Import error: Validation failed: <N>|Parameter is not unique: FlowUnit";
    QTest::newRow("version twice")
        << "/DeviceParameterSets/1" << R"({ "Version": "V02.11", "Parameters": null })"
        << "ValidationException|Import error: Validation failed: <N>|Version is not unique: V02.11";
    QTest::newRow("output named twice")
        << "/Traits/Outputs/1" << R"({ "Name": "OUT1", "Current": true, "Voltage": true, "Pulse": true, "Frequency": true, "ParLink": true, "IoLink": true, "Alarm": true, "CtrlInput": true })"
        << "ValidationException|Import error: Validation failed: <N>|Outputs is not unique: OUT1";
    QTest::newRow("no traits") << "/Traits" << ""
                               << "ValidationException|Import error: Validation failed: <N>|: Missing required property 'Traits'.";
    QTest::newRow("address beyond 16 bits")
        << "/DeviceParameterSets/0/Parameters/0/Address" << "65536"
        << "ValidationException|Import error: Validation failed: <N>|/DeviceParameterSets/0/Parameters/0/Address: Expected number less than 65536.000000";
    QTest::newRow("interface address byte beyond 8 bits")
        << "/Traits/Interface/Address/4" << "256"
        << "ValidationException|Import error: Validation failed: <N>|/Traits/Interface/Address/4: Expected number less than 256.000000";
    // A default that does not fit is cut when read; the range rule then judges the cut value.
    QTest::newRow("default cut to 8 bits passes")
        << "/DeviceParameterSets/0/Parameters/0/DefaultValue" << "300" << "imported";
    QTest::newRow("short interface address")
        << "/Traits/Interface/Address" << "[19, 0, 4]"
        << "FormatMismatchException|Import error: Format mismatch: <N>, detailed error: [json.exception.out_of_range.401] (/Traits/Interface/Address) array index 3 is out of range";
    QTest::newRow("typed parameter without default")
        << "/DeviceParameterSets/0/Parameters/0/DefaultValue" << ""
        << "FormatMismatchException|Import error: Format mismatch: <N>, detailed error: [json.exception.out_of_range.403] (/DeviceParameterSets/0/Parameters/0) key 'DefaultValue' not found";
    QTest::newRow("unknown identity") << "/Identity" << R"("M7Q4-ZEBRA")" << "other|bad optional access";
    QTest::newRow("queue addresses equal")
        << "/Traits/Test/GeneralQueueAddress" << "1"
        << "ValidationException|Import error: Validation failed: <N>|TestTrait: Queue address is not unique: GeneralQueueAddress=1, CalibrationQueueAddress=1";
}

void TestImporter::description_failures()
{
    QFETCH(QString, pointer);
    QFETCH(QString, replacement);
    QFETCH(QString, failure);

    Json description = soundDescription();
    const Json::json_pointer at(pointer.toStdString());
    if (replacement.isEmpty())
        description[at.parent_pointer()].erase(at.back());
    else
        description[at] = Json::parse(replacement.toStdString());
    const std::string path = write(files, "Test.desc.json", description.dump(2));
    const FileReader reader(path);
    QCOMPARE(QString::fromStdString(failureOf([&] { importer->importDevice(reader); })),
             failure.replace("<N>", QString::fromStdString(path)));
}

void TestImporter::media_failures_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("failure");
    QTest::newRow("not JSON") << "{ \"Identity\": "
                              << "FormatMismatchException|Import error: Format mismatch: <N>, detailed error: "
                                 "[json.exception.parse_error.101] parse error at line 1, column 15: syntax error while "
                                 "parsing value - unexpected end of input; expected '[', '{', or a literal";
    QTest::newRow("no sets") << R"({ "Identity": "M7Q4-ZEB" })"
                             << "ValidationException|Import error: Validation failed: <N>|Either DeviceParameterSets or SubdeviceParameterSets must be present";
    QTest::newRow("two violations")
        << R"({ "DeviceParameterSets": [ { "Version": "V02.11", "Parameters": [ { "Name": "X", "Type": "DBYTEU8" } ] } ] })"
        << "ValidationException|Import error: Validation failed: <N>|/DeviceParameterSets/0/Parameters/0: Missing "
           "required property 'Value'.|: Missing required property 'Identity'.";
    QTest::newRow("byte list given a number")
        << R"({ "Identity": "M7Q4-ZEB", "DeviceParameterSets": [ { "Version": "V02.11", "Parameters": [ { "Name": "X", "Type": "ARRBYTE", "Value": 5 } ] } ] })"
        << "FormatMismatchException|Import error: Format mismatch: <N>, detailed error: [json.exception.type_error.302] "
           "(/DeviceParameterSets/0/Parameters/0/Value) type must be array, but is number";
    QTest::newRow("setting named twice")
        << R"({ "Identity": "M7Q4-ZEB", "DeviceParameterSets": [ { "Version": "V02.11", "Parameters": [ { "Name": "X", "Type": "DBYTEU8", "Value": 1 }, { "Name": "X", "Type": "DBYTEU8", "Value": 2 } ] } ] })"
        << "ValidationException|Import error: Validation failed: <N>|Parameter is not unique: X";
    QTest::newRow("bad version")
        << R"({ "Identity": "M7Q4-ZEB", "DeviceParameterSets": [ { "Version": "V2.11", "Parameters": [] } ] })"
        << "other|Version 'V2.11' must match V[0-9][1-9].[0-9]{2}";
    QTest::newRow("setting of type UNKNOWN")
        << R"({ "Identity": "M7Q4-ZEB", "DeviceParameterSets": [ { "Version": "V02.11", "Parameters": [ { "Name": "X", "Type": "UNKNOWN", "Value": 1 } ] } ] })"
        << "other|std::exception";
}

void TestImporter::media_failures()
{
    QFETCH(QString, document);
    QFETCH(QString, failure);
    const std::string path = write(files, "sub/Test.para.json", document.toStdString());
    const FileReader reader(path);
    QCOMPARE(QString::fromStdString(failureOf([&] { importer->importDeviceSettings(reader); })),
             failure.replace("<N>", QString::fromStdString(path)));
}

void TestImporter::mediaValue_mustFitItsType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");

    QTest::newRow("u8 255") << "DBYTEU8" << "255" << "";
    QTest::newRow("u8 256") << "DBYTEU8" << "256" << "Expected number less than 256.000000";
    QTest::newRow("u16 65535") << "DBYTEU16" << "65535" << "";
    QTest::newRow("u16 65545") << "DBYTEU16" << "65545" << "Expected number less than 65536.000000";
    QTest::newRow("u16 9.5 truncates into range") << "DBYTEU16" << "9.5" << "";
    QTest::newRow("u16 -1") << "DBYTEU16" << "-1" << "Expected number greater than -1.000000";
    QTest::newRow("u32 4294967295") << "DBYTEU32" << "4294967295" << "";
    QTest::newRow("u32 4294967296") << "DBYTEU32" << "4294967296" << "Expected number less than 4294967296.000000";
    QTest::newRow("u64 18446744073709551615") << "DBYTEU64" << "18446744073709551615" << "";
    QTest::newRow("u64 -1") << "DBYTEU64" << "-1" << "Expected number greater than -1.000000";
    QTest::newRow("u64 1e20") << "DBYTEU64" << "1e20" << "Expected number less than 18446744073709551616.000000";
    QTest::newRow("i64 -1") << "DBYTEI64" << "-1" << "";
    QTest::newRow("float 1e300") << "DFLOAT64" << "1e300" << "";
}

void TestImporter::mediaValue_mustFitItsType()
{
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(QString, line);

    const std::string path = write(files, "Width.para.json", mediaWith(type.toStdString(), value.toStdString()).dump());
    const FileReader reader(path);
    const QString expected = line.isEmpty() ? QString("imported")
                                            : "ValidationException|Import error: Validation failed: " +
                                                  QString::fromStdString(path) +
                                                  "|/SubdeviceParameterSets/0/Parameters/0/Value: " + line;
    QCOMPARE(QString::fromStdString(failureOf([&] { importer->importDeviceSettings(reader); })), expected);
}

void TestImporter::soundDescription_isImported()
{
    const std::string path = write(files, "Sound.desc.json", soundDescription().dump());
    const Device device = importer->importDevice(FileReader(path));
    QCOMPARE(device.identity, Identity::M7Q4_ZEB);
    QCOMPARE(device.deviceParameterSets.size(), std::size_t(1));
    QVERIFY(device.subdeviceParameterSets.empty());
    QCOMPARE(device.traits.interface.address, (std::array<std::uint8_t, 5>{19, 0, 4, 0, 1}));
    QCOMPARE(device.traits.outputs[0].name, OutputTraits::Name::OUT1);
    QCOMPARE(device.traits.outputs[1].name, OutputTraits::Name::Unknown);
    QCOMPARE(device.traits.calibrations.at(0).deviationPercent, 1.0F);

    const std::string media = write(files, "Null.para.json", mediaWith("DFLOAT64", "null").dump());
    const DeviceSettings settings = importer->importDeviceSettings(FileReader(media));
    const Value &value = settings.subdeviceParameterSets.begin()->second.parameters.at("Curve[1].L").value;
    QVERIFY(std::isnan(std::get<double>(value.data)));
}

void TestImporter::emptyFile_cannotBeRead()
{
    const std::string path = write(files, "Empty.para.json", "");
    const FileReader reader(path);
    QCOMPARE(QString::fromStdString(failureOf([&] { importer->importDeviceSettings(reader); })),
             QString::fromStdString("ImportException|Import error: " + path + ": Could not read " + path));
}

void TestImporter::missingSchemas_nameSettingsSchemaFirst()
{
    const WorkingDirectory cwd(files.path());
    const std::string expected = "ImportException|Import error: Could not read schema file: " +
                                 QDir::cleanPath(files.filePath("Resources/DeviceSettings.schema.json")).toStdString() +
                                 " does not exist";
    QCOMPARE(failureOf([] { Importer importer(schemas); }), expected);
}

void TestImporter::laterImporter_reportsAsFirst_data()
{
    QTest::addColumn<bool>("asDescription");
    // JSON pointer, new value, pointer, value ...
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("description, faults in three schema files")
        << true
        << QStringList{"/DeviceParameterSets/0/Parameters/0/Address", "65536", "/Traits/Interface/Address/4", "256",
                       "/DeviceParameterSets/0/Parameters/0/Tags", "[1]"}
        << QStringList{"/DeviceParameterSets/0/Parameters/0/Address: Expected number less than 65536.000000",
                       "/DeviceParameterSets/0/Parameters/0/Tags/0: Value type not permitted by 'type' constraint.",
                       "/Traits/Interface/Address/4: Expected number less than 256.000000"};
    QTest::newRow("media file, faults in the root and a conditional schema")
        << false
        << QStringList{"/SubdeviceParameterSets/0/Parameters/0/Value", "256", "/Identity", "5"}
        << QStringList{"/Identity: Value type not permitted by 'type' constraint.",
                       "/SubdeviceParameterSets/0/Parameters/0/Value: Expected number less than 256.000000"};
}

void TestImporter::laterImporter_reportsAsFirst()
{
    QFETCH(bool, asDescription);
    QFETCH(QStringList, changes);
    QFETCH(QStringList, lines);

    Json document = asDescription ? soundDescription() : mediaWith("DBYTEU8", "1");
    for (qsizetype i = 0; i + 1 < changes.size(); i += 2)
        document[Json::json_pointer(changes[i].toStdString())] = Json::parse(changes[i + 1].toStdString());
    const std::string path = write(files, asDescription ? "Faults.desc.json" : "Faults.para.json", document.dump());
    const FileReader reader(path);

    // The first importer of a schema compiles it; the later ones get what it compiled.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Importer::Config config = copiedSchemas(dir);
    for (int i = 0; i < 3; ++i) {
        const Importer importer(config);
        const QStringList found = asDescription ? violationLines([&] { importer.importDevice(reader); })
                                                : violationLines([&] { importer.importDeviceSettings(reader); });
        QCOMPARE(found, lines);
    }
}

QTEST_GUILESS_MAIN(TestImporter)
#include "tst_importer.moc"
