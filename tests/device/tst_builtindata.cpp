// The built-in description and media files, read the way the program reads them: through the
// importer with the schemas, then the settings-against-description rules, then the merge of each
// medium into the described parameters that a parameterization sends.

#include "device/Device.h"
#include "device/FileReader.h"
#include "device/ImportException.h"
#include "device/Importer.h"
#include "device/Validator.h"

#include "device/DeviceTestChecks.h"

#include <QDir>
#include <QtTest>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Thg::Tilo::Device;
using namespace DeviceTestChecks;

namespace {

const char *const descriptionPath = "builtin/M7Q4-ZEB.desc.json";
const char *const mediaDirectory = "builtin/ParameterFiles";

// The media list as the parameterize page shows it (file names up to their first ".").
const char *const mediaNames[] = {
    "001 ZEB_Water", "002 ZEB_Water Glycol 20", "003 ZEB_Water Glycol 34", "004 ZEB_Water Glycol 39",
    "005 ZEB_Water Glycol 52", "006 ZEB_Alkan Solvent", "007 ZEB_Oil ISO VG 10 4", "008 ZEB_Oil ISO VG 10 5+",
    "009 ZEB_Oil ISO VG 22 4", "010 ZEB_Oil ISO VG 22 5+", "011 ZEB_Oil ISO VG 32 4", "012 ZEB_Oil ISO VG 32 5+",
    "013 ZEB_Oil ISO VG 46 4", "014 ZEB_Oil ISO VG 46 5+", "015 ZEB_Oil ISO VG 68 4", "016 ZEB_Oil ISO VG 68 5+",
    "017_1 ZEB_Ethanol 4", "017_2 ZEB_Ethanol 5+", "018 ZEB_Fuel 100LL", "019 ZEB_Chloroform", "020 ZEB_Aceton",
    "021 ZEB_Anilin", "023 ZEB_Cyclohexane", "024 ZEB_Diesel EN590", "025 ZEB_Acetic Acid 5%",
    "026 ZEB_Acetic Acid 10%", "027 ZEB_Acetic Acid 20%", "028 ZEB_Ethylene Glycol", "029 ZEB_Glycerine 4",
    "030 ZEB_Glycerine 5+", "031 ZEB_Methylacetate", "032 ZEB_Hexane", "033 ZEB_n-Pentane", "034 ZEB_n-Octane",
    "035 ZEB_Xylene", "036 ZEB_Petroleum", "037 ZEB_Seawater", "038 ZEB_Triglycerid", "039 ZEB_Corn Oil 4",
    "040 ZEB_Corn Oil 5+", "041 ZEB_Palm Oil 4", "042 ZEB_Palm Oil 5+", "043 ZEB_Rapeseed Oil",
    "044 ZEB_Olive Oil 4", "045 ZEB_Olive Oil 5+", "046 ZEB_Carbontetrachloride", "047 ZEB_Benzene",
    "048 ZEB_Gasoline ROZ 95", "049 ZEB_Gasoline ROZ 98", "050 ZEB_Biodiesel EN14214", "051 ZEB_Fuel Oil EL",
    "052 ZEB_Fuel Oil L", "053 ZEB_Methanol", "054 ZEB_Oil BOT291S 4", "055 ZEB_Oil BOT291S 5+",
    "056 ZEB_Silicon Oil", "057 ZEB_Ethylen Glykol Kryo 30", "058 ZEB_Oil BOT2350",
    "059 ZEB_Afton ETF-000973-B-02 4", "060 ZEB_Afton ETF-000973-B-02 5+", "061 ZEB_Shell GRP III 4",
    "062 ZEB_Shell GRP III 5+", "063 ZEB_HLP_ISO-VG5", "064 ZEB_Frostox_HT12_58%", "065 ZEB_BOT251_Grp_III_mod 4",
    "066 ZEB_BOT251_Grp_III_mod 5+", "067 ZEB_Exxonmobil_Thermo_Oel_701D",
    "068 ZEB_Coolingmixture G40_Water_60_40", "069 ZEB_Triacetin 4", "070 ZEB_Triacetin 5+", "071 ZEB_ECool_B230",
    "072 ZEB_Dynalene_50_50",
};

Importer makeImporter()
{
    return Importer({"Resources/DeviceDescription.schema.json", "Resources/DeviceSettings.schema.json"});
}

// Runs `import` and turns every failure into a test failure that shows the findings.
template <typename T, typename F>
std::optional<T> importOrFail(F import, QString &failure)
{
    try {
        return import();
    } catch (const ValidationException &e) {
        failure = QString::fromStdString(e.what()) + '\n' + linesOf(e.getErrors()).join('\n');
    } catch (const std::exception &e) {
        failure = QString::fromStdString(e.what());
    }
    return std::nullopt;
}

const ParameterSetting &settingOf(const DeviceSettings &settings, bool subdevice, const char *version, const char *name)
{
    const auto &container = subdevice ? settings.subdeviceParameterSets : settings.deviceParameterSets;
    return container.at(Version(version)).at(name);
}

const std::vector<double> &doublesOf(const ParameterSetting &setting)
{
    return std::get<std::vector<double>>(setting.value.data);
}

std::uint64_t unsignedOf(const ParameterSetting &setting)
{
    return std::get<std::uint64_t>(setting.value.data);
}

std::size_t endOf(const Parameter &parameter)
{
    return parameter.address + parameter.length * elementSize(parameter.type);
}

} // namespace

class TestBuiltinData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void description_importsWithoutFinding();
    void description_offersWhatTheProgramReads();
    void description_curveRecordsAreContiguous();

    void mediaFiles_areExactlyTheBuiltInList();

    void mediaFile_matchesDescriptionMergesAndHoldsAPlausibleCurve_data();
    void mediaFile_matchesDescriptionMergesAndHoldsAPlausibleCurve();

    void water_holdsTheShippedCurve();
    void variants_differInTheirSensorSettings();

private:
    std::optional<DeviceSettings> importMedium(const QString &path);

    std::unique_ptr<Importer> importer;
    std::optional<Device> description;
};

void TestBuiltinData::initTestCase()
{
    QString failure;
    try {
        importer = std::make_unique<Importer>(makeImporter());
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    description = importOrFail<Device>([&] { return importer->importDevice(FileReader(descriptionPath)); }, failure);
    QVERIFY2(description, qPrintable(failure));
}

std::optional<DeviceSettings> TestBuiltinData::importMedium(const QString &path)
{
    QString failure;
    auto settings = importOrFail<DeviceSettings>(
        [&] { return importer->importDeviceSettings(FileReader(path.toStdString())); }, failure);
    if (!settings)
        qWarning("%s", qPrintable(failure));
    return settings;
}

void TestBuiltinData::description_importsWithoutFinding()
{
    // initTestCase has imported it; the rules of the import ran inside. Run them once more by hand
    // so that a finding shows here with its text even if the importer stopped running them.
    const QStringList findings = linesOf(validateDescription(*description));
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
}

void TestBuiltinData::description_offersWhatTheProgramReads()
{
    // The connector compares a found device's address with this; the connect command copies the
    // times and the half-duplex flag into the port settings.
    const auto &interface = description->traits.interface;
    QCOMPARE(description->identity, Identity::M7Q4_ZEB);
    QCOMPARE(interface.name, std::string("M7Q4"));
    QCOMPARE(interface.address, (std::array<std::uint8_t, 5>{19, 0, 4, 0, 1}));
    QCOMPARE(interface.startUpMs, std::uint16_t(260));
    QCOMPARE(interface.powerDownMs, std::uint16_t(300));
    QCOMPARE(interface.type, InterfaceTraits::Type::UART);
    QVERIFY(interface.halfDuplex);
    QCOMPARE(description->traits.test.calibrationQueueAddress, std::uint16_t(1));
    QCOMPARE(description->traits.test.generalQueueAddress, std::uint16_t(0));

    // Parameter sets are looked up by exactly the versions the identification reports.
    for (const char *version : {"V02.01", "V02.11"}) {
        const auto &set = description->deviceParameterSets.at(Version(version));
        const Parameter &label = set.at("ProductVariantName");
        QCOMPARE(label.type, DataType::ARRSTRING);
        QVERIFY(label.length >= 16);
        QCOMPARE(set.query(QueryTag(Tag::SERIALNUMBER)).size(), std::size_t(1));
        QCOMPARE(set.query(QueryTag(Tag::SERIALNUMBER)).front().get().type, DataType::ARRSTRING);
    }
    QCOMPARE(description->deviceParameterSets.size(), std::size_t(2));
    QCOMPARE(description->subdeviceParameterSets.size(), std::size_t(1));
    QVERIFY(description->subdeviceParameterSets.count(Version("V02.00")));
}

void TestBuiltinData::description_curveRecordsAreContiguous()
{
    // Point count, temperatures and viscosities of a curve lie back to back, so that the write
    // merges them into one block and the sensor never sees a half-written curve.
    const auto &set = description->subdeviceParameterSets.at(Version("V02.00"));
    const Parameter &count = set.at("Curve[1].L");
    const Parameter &temperatures = set.at("Curve[1][0]");
    const Parameter &viscosities = set.at("Curve[1][1]");
    QCOMPARE(count.type, DataType::DBYTEU16);
    QCOMPARE(temperatures.type, DataType::ARRFLOAT64);
    QCOMPARE(viscosities.type, DataType::ARRFLOAT64);
    QCOMPARE(temperatures.length, std::uint16_t(11));
    QCOMPARE(viscosities.length, std::uint16_t(11));
    QCOMPARE(endOf(count), std::size_t(temperatures.address));
    QCOMPARE(endOf(temperatures), std::size_t(viscosities.address));
    for (const char *name : {"ufoSettings.pair[11].VALUE", "ufoSettings.pair[12].VALUE"})
        QCOMPARE(set.at(name).type, DataType::DBYTEU16);
}

void TestBuiltinData::mediaFiles_areExactlyTheBuiltInList()
{
    QStringList expected;
    for (const char *name : mediaNames)
        expected << QString::fromUtf8(name) + ".para.json";
    const QStringList found = QDir(mediaDirectory).entryList({"*.json"}, QDir::Files, QDir::Name);
    QCOMPARE(found.size(), 72);
    QCOMPARE(found, expected);
}

void TestBuiltinData::mediaFile_matchesDescriptionMergesAndHoldsAPlausibleCurve_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(mediaDirectory);
    for (const QString &name : dir.entryList({"*.para.json"}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void TestBuiltinData::mediaFile_matchesDescriptionMergesAndHoldsAPlausibleCurve()
{
    QFETCH(QString, path);
    const auto settings = importMedium(path);
    QVERIFY(settings);

    const QStringList findings = linesOf(validateSettingsAgainst(*settings, *description));
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));

    // What the parameterize workflow does for a device reporting V02.11 with a V02.00 sensor (and
    // for the older V02.01 board): copy the described parameter, set the medium's value on it.
    const struct {
        bool subdevice;
        const char *version;
    } targets[] = {{false, "V02.01"}, {false, "V02.11"}, {true, "V02.00"}};
    for (const auto &target : targets) {
        const auto &parameters = (target.subdevice ? description->subdeviceParameterSets
                                                   : description->deviceParameterSets).at(Version(target.version));
        const auto &mediumSet = (target.subdevice ? settings->subdeviceParameterSets
                                                  : settings->deviceParameterSets).at(Version(target.version));
        QVERIFY(!mediumSet.parameters.empty());
        for (const auto &[name, setting] : mediumSet.parameters) {
            Parameter merged = parameters.at(name);
            try {
                merged.setCurrentValue(setting.value);
            } catch (const std::invalid_argument &e) {
                QFAIL(qPrintable(QString("%1 %2: %3").arg(target.version, name.c_str(), e.what())));
            }
            const std::size_t expectedSize = merged.length * elementSize(merged.type);
            QCOMPARE(merged.currentValue.toBytes(merged.length).size(), expectedSize);
        }
    }

    const std::string label = std::get<std::string>(settingOf(*settings, false, "V02.11", "ProductVariantName").value.data);
    QVERIFY2(!label.empty() && label.size() <= 16, label.c_str());
    QCOMPARE(std::get<std::string>(settingOf(*settings, false, "V02.01", "ProductVariantName").value.data), label);
    // The label starts with the medium's number, so a device shows which file it was set up with.
    QVERIFY2(QFileInfo(path).fileName().startsWith(QString::fromStdString(label.substr(0, 3))), label.c_str());

    const std::uint64_t used = unsignedOf(settingOf(*settings, true, "V02.00", "Curve[1].L"));
    const auto &temperatures = doublesOf(settingOf(*settings, true, "V02.00", "Curve[1][0]"));
    const auto &viscosities = doublesOf(settingOf(*settings, true, "V02.00", "Curve[1][1]"));
    QCOMPARE(temperatures.size(), std::size_t(11));
    QCOMPARE(viscosities.size(), std::size_t(11));
    QVERIFY2(used >= 2 && used <= 11, qPrintable(QString::number(used)));
    for (std::size_t i = 0; i < used; ++i) {
        QVERIFY2(temperatures[i] >= -60 && temperatures[i] <= 200, qPrintable(QString::number(i)));
        // Kinematic viscosity in m^2/s: pentane's 3e-7 up to glycerine's 3e-3 at 10 degC.
        QVERIFY2(viscosities[i] > 1e-7 && viscosities[i] < 1e-2, qPrintable(QString::number(i)));
        if (i > 0) {
            QVERIFY2(temperatures[i] > temperatures[i - 1], qPrintable(QString::number(i)));
            QVERIFY2(viscosities[i] < viscosities[i - 1], qPrintable(QString::number(i)));
        }
    }
    for (std::size_t i = used; i < 11; ++i) {
        QCOMPARE(temperatures[i], 0.0);
        QCOMPARE(viscosities[i], 0.0);
    }
}

void TestBuiltinData::water_holdsTheShippedCurve()
{
    const auto settings = importMedium(QString(mediaDirectory) + "/001 ZEB_Water.para.json");
    QVERIFY(settings);
    QCOMPARE(settings->identity, Identity::M7Q4_ZEB);
    for (const char *version : {"V02.01", "V02.11"})
        QCOMPARE(std::get<std::string>(settingOf(*settings, false, version, "ProductVariantName").value.data),
                 std::string("001 ZEB WATER"));

    QCOMPARE(unsignedOf(settingOf(*settings, true, "V02.00", "Curve[1].L")), std::uint64_t(9));
    QCOMPARE(doublesOf(settingOf(*settings, true, "V02.00", "Curve[1][0]")),
             (std::vector<double>{0, 10, 20, 30, 40, 50, 60, 70, 74, 0, 0}));
    const auto &viscosities = doublesOf(settingOf(*settings, true, "V02.00", "Curve[1][1]"));
    QCOMPARE(viscosities.front(), 1.792e-06);
    QCOMPARE(viscosities[8], 3.969e-07);
    QCOMPARE(unsignedOf(settingOf(*settings, true, "V02.00", "ufoSettings.pair[11].VALUE")), std::uint64_t(3));

    // The first bytes the sensor receives for this curve: 9 points, then 0.0 and 10.0 degC.
    const auto &set = description->subdeviceParameterSets.at(Version("V02.00"));
    Parameter count = set.at("Curve[1].L");
    count.setCurrentValue(settingOf(*settings, true, "V02.00", "Curve[1].L").value);
    QCOMPARE(count.currentValue.toBytes(count.length), (std::vector<std::uint8_t>{0x09, 0x00}));
    Parameter temperatures = set.at("Curve[1][0]");
    temperatures.setCurrentValue(settingOf(*settings, true, "V02.00", "Curve[1][0]").value);
    const auto bytes = temperatures.currentValue.toBytes(temperatures.length);
    QCOMPARE(bytes.size(), std::size_t(88));
    QCOMPARE(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 16),
             (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x24, 0x40}));
}

void TestBuiltinData::variants_differInTheirSensorSettings()
{
    // A medium in two variants has two numbers ("007 ZEB_Oil ISO VG 10 4", "008 ZEB_Oil ISO VG 10 5+");
    // pair the files by what follows "ZEB_".
    const auto medium = [](QString name, const QString &suffix) {
        name.chop(suffix.size());
        return name.mid(name.indexOf("ZEB_"));
    };
    const QDir dir(mediaDirectory);
    const QStringList fours = dir.entryList({"* 4.para.json"}, QDir::Files, QDir::Name);
    const QStringList fivePluses = dir.entryList({"* 5+.para.json"}, QDir::Files, QDir::Name);
    QCOMPARE(fours.size(), 15);
    QCOMPARE(fivePluses.size(), 15);
    const auto ufo = [](const DeviceSettings &s) {
        return std::vector<std::uint64_t>{unsignedOf(settingOf(s, true, "V02.00", "ufoSettings.pair[11].VALUE")),
                                          unsignedOf(settingOf(s, true, "V02.00", "ufoSettings.pair[12].VALUE"))};
    };
    for (int i = 0; i < fours.size(); ++i) {
        QCOMPARE(medium(fours[i], " 4.para.json"), medium(fivePluses[i], " 5+.para.json"));
        const auto four = importMedium(dir.filePath(fours[i]));
        const auto fivePlus = importMedium(dir.filePath(fivePluses[i]));
        QVERIFY(four && fivePlus);
        QVERIFY2(ufo(*four) != ufo(*fivePlus), qPrintable(fours[i]));
        // Same medium, same physics: only the sensor settings tell the variants apart.
        QCOMPARE(doublesOf(settingOf(*four, true, "V02.00", "Curve[1][1]")),
                 doublesOf(settingOf(*fivePlus, true, "V02.00", "Curve[1][1]")));
    }
}

QTEST_GUILESS_MAIN(TestBuiltinData)
#include "tst_builtindata.moc"
