#include "application/QtResourceReader.h"
#include "application/components/ConnectCommand.h"
#include "application/components/ConnectedDeviceContext.h"
#include "application/components/DeviceConnector.h"
#include "application/components/ReadParametersCommand.h"
#include "application/components/RestartDeviceCommand.h"

#include "tests/application/BuiltinData.h"
#include "tests/support/FakeDeviceService.h"

#include <QDir>
#include <QImage>
#include <QResource>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

// The resource sets register themselves when the program loads; these are their entry points.
int qInitResources_builtin();
int qInitResources_Communication_translations();
int qInitResources_CoreComponents_translations();
int qInitResources_UiComponents_translations();

using Thg::Tilo::Components::QtResourceReader;

class TestBuiltinResources : public QObject {
    Q_OBJECT

private slots:
    void mediaFiles_areAllThere()
    {
        const QStringList names = QDir(QStringLiteral(":/ParameterFiles/")).entryList(QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 72);
        QCOMPARE(names.first(), QStringLiteral("001 ZEB_Water.para.json"));
        QCOMPARE(names.at(1), QStringLiteral("002 ZEB_Water Glycol 20.para.json"));
        QVERIFY(names.contains(QStringLiteral("017_1 ZEB_Ethanol 4.para.json")));
        QVERIFY(names.contains(QStringLiteral("017_2 ZEB_Ethanol 5+.para.json")));
        QVERIFY(names.contains(QStringLiteral("064 ZEB_Frostox_HT12_58%.para.json")));
        QVERIFY(names.filter(QStringLiteral("022 ")).isEmpty());
        QCOMPARE(names.last(), QStringLiteral("072 ZEB_Dynalene_50_50.para.json"));
    }

    void mediaFiles_importAgainstTheDescription()
    {
        for (const QString &name : QDir(QStringLiteral(":/ParameterFiles/")).entryList(QDir::Files, QDir::Name)) {
            const QtResourceReader reader((QStringLiteral(":/ParameterFiles/") + name).toStdString());
            const auto settings = BuiltinData::importer().importDeviceSettings(reader);
            QVERIFY2(settings.identity == Thg::Tilo::Device::Identity::M7Q4_ZEB, qPrintable(name));
        }
    }

    void compression_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("algorithm");
        QTest::newRow("description") << QStringLiteral(":/M7Q4-ZEB.desc.json") << int(QResource::ZlibCompression);
        QTest::newRow("medium") << QStringLiteral(":/ParameterFiles/001 ZEB_Water.para.json")
                                << int(QResource::ZlibCompression);
        QTest::newRow("info icon") << QStringLiteral(":/icons/info") << int(QResource::NoCompression);
        QTest::newRow("help icon") << QStringLiteral(":/icons/help") << int(QResource::NoCompression);
        QTest::newRow("chart icon") << QStringLiteral(":/icons/chart") << int(QResource::NoCompression);
    }

    void compression()
    {
        QFETCH(QString, path);
        QFETCH(int, algorithm);
        const QResource resource(path);
        QVERIFY(resource.isValid());
        QCOMPARE(int(resource.compressionAlgorithm()), algorithm);
    }

    void icons_areSvgImages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("info") << QStringLiteral(":/icons/info");
        QTest::newRow("help") << QStringLiteral(":/icons/help");
        QTest::newRow("chart") << QStringLiteral(":/icons/chart");
    }

    void icons_areSvgImages()
    {
        QFETCH(QString, path);
        QVERIFY(!QFile::exists(path + QStringLiteral(".svg")));
        const QImage image(path, "svg");
        QVERIFY2(!image.isNull(), "the SVG image plugin (libqt6svg6) must be installed");
        QCOMPARE(image.size(), QSize(32, 32));
        // Drawn, not blank: the centre is not transparent.
        QVERIFY(qAlpha(image.pixel(16, 20)) > 0);
    }

    void resourceSets_areRegisteredAtLoad()
    {
        // Present before anybody initialised them by hand.
        for (const char *path : {":/M7Q4-ZEB.desc.json", ":/i18n/CommunicationLib_de.qm", ":/i18n/CommunicationLib_en.qm",
                                 ":/i18n/ComponentsLib_de.qm", ":/i18n/ComponentsLib_en.qm"})
            QVERIFY2(QFile::exists(QString::fromLatin1(path)), path);
        QCOMPARE(qInitResources_builtin(), 1);
        QCOMPARE(qInitResources_Communication_translations(), 1);
        QCOMPARE(qInitResources_CoreComponents_translations(), 1);
        QCOMPARE(qInitResources_UiComponents_translations(), 1);
    }

    void germanCatalogue_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("german");
        const QString components = QStringLiteral(":/i18n/ComponentsLib_de.qm");
        const QString communication = QStringLiteral(":/i18n/CommunicationLib_de.qm");
        const QString c = QStringLiteral("Thg::Tilo::Components::");
        QTest::newRow("Command") << components << c + QStringLiteral("Command") << QStringLiteral("No device connected")
                                 << QStringLiteral("Kein Gerät verbunden");
        QTest::newRow("ConnectCommand") << components << c + QStringLiteral("ConnectCommand")
                                        << QStringLiteral("Device already connected")
                                        << QStringLiteral("Gerät bereits verbunden");
        QTest::newRow("DisconnectCommand") << components << c + QStringLiteral("DisconnectCommand")
                                           << QStringLiteral("Disconnecting from device")
                                           << QStringLiteral("Verbindung zum Gerät wird getrennt");
        QTest::newRow("RestartDeviceCommand") << components << c + QStringLiteral("RestartDeviceCommand")
                                              << QStringLiteral("Restarting device")
                                              << QStringLiteral("Gerät wird neu gestartet");
        QTest::newRow("SetAsFactoryDefaultsCommand")
            << components << c + QStringLiteral("SetAsFactoryDefaultsCommand")
            << QStringLiteral("Setting parameters as factory defaults")
            << QStringLiteral("Parameter werden als Werkseinstellungen gespeichert");
        QTest::newRow("WriteParametersCommand") << components << c + QStringLiteral("WriteParametersCommand")
                                                << QStringLiteral("The parameters are empty.")
                                                << QStringLiteral("Die Parameter sind leer.");
        QTest::newRow("ReadParametersCommand") << components << c + QStringLiteral("ReadParametersCommand")
                                               << QStringLiteral("Reading parameters")
                                               << QStringLiteral("Parameter werden gelesen");
        QTest::newRow("ParameterizeCommand") << components << c + QStringLiteral("ParameterizeCommand")
                                             << QStringLiteral("Value for parameter %1 is invalid: %2")
                                             << QStringLiteral("Wert für Parameter %1 ist ungültig: %2");
        QTest::newRow("DeviceConnector") << components << c + QStringLiteral("DeviceConnector")
                                         << QStringLiteral("No device has been selected")
                                         << QStringLiteral("Es wurde kein Gerät ausgewählt");
        const QString i = QStringLiteral("Thg::Tilo::Communication::Internal::");
        QTest::newRow("Default") << communication << i + QStringLiteral("Default")
                                 << QStringLiteral("Device didn`t acknowledge command %1")
                                 << QStringLiteral("Das Gerät hat Befehl %1 nicht bestätigt");
        QTest::newRow("FirstContact") << communication << i + QStringLiteral("FirstContact")
                                      << QStringLiteral("Could not open com port!")
                                      << QStringLiteral("COM-Port konnte nicht geöffnet werden!");
        QTest::newRow("Session") << communication << i + QStringLiteral("Session")
                                 << QStringLiteral("Device didn't answer in time!")
                                 << QStringLiteral("Das Gerät hat nicht rechtzeitig geantwortet!");
        QTest::newRow("Parameter") << communication << i + QStringLiteral("Parameter")
                                   << QStringLiteral("Exceeded max retries: ")
                                   << QStringLiteral("Maximale Anzahl an Wiederholungen überschritten: ");
        QTest::newRow("SysCommand") << communication << i + QStringLiteral("SysCommand")
                                    << QStringLiteral("Current operation not finished!")
                                    << QStringLiteral("Aktueller Vorgang nicht abgeschlossen!");
        QTest::newRow("Values") << communication << i + QStringLiteral("Values")
                                << QStringLiteral("Didn`t find any data points in device value read out!")
                                << QStringLiteral("Beim Auslesen der Gerätewerte wurden keine Messpunkte gefunden!");
        QTest::newRow("Bootloader") << communication << i + QStringLiteral("Bootloader")
                                    << QStringLiteral("given Bootloadertype is undefined!")
                                    << QStringLiteral("Angegebener Bootloader-Typ ist nicht definiert!");
        QTest::newRow("acknowledge in a job's context") << communication << i + QStringLiteral("Parameter")
                                                        << QStringLiteral("Device didn`t acknowledge command %1")
                                                        << QStringLiteral("Das Gerät hat Befehl %1 nicht bestätigt");
        QTest::newRow("BootloaderHandler") << communication << QStringLiteral("BootloaderHandler")
                                           << QStringLiteral("File is invalid") << QStringLiteral("Datei ist ungültig");
        QTest::newRow("ParLinkDeviceService") << communication
                                              << QStringLiteral("Thg::Tilo::Communication::ParLinkDeviceService")
                                              << QStringLiteral("Device status: 0x%1 (%2)")
                                              << QStringLiteral("Gerätestatus: 0x%1 (%2)");
    }

    void germanCatalogue()
    {
        QFETCH(QString, catalogue);
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, german);
        QTranslator translator;
        QVERIFY(translator.load(catalogue));
        QCOMPARE(translator.translate(context.toLatin1().constData(), source.toUtf8().constData()), german);
    }

    void englishCatalogues_areEmpty_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::newRow("components") << QStringLiteral(":/i18n/ComponentsLib_en.qm");
        QTest::newRow("communication") << QStringLiteral(":/i18n/CommunicationLib_en.qm");
    }

    void englishCatalogues_areEmpty()
    {
        QFETCH(QString, catalogue);
        QTranslator translator;
        QVERIFY(translator.load(catalogue));
        QVERIFY(translator.isEmpty());
    }

    // The catalogue's contexts are the ones the classes translate in at run time.
    void germanCatalogue_reachesTheClasses()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/ComponentsLib_de.qm")));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        FakeDeviceService service;
        Thg::Tilo::Components::DeviceContext context;
        Thg::Tilo::Components::ConnectCommand connect(context, service, {}, true);
        QCOMPARE(connect.getDescription(), QStringLiteral("Verbindung zum Gerät wird hergestellt"));
        Thg::Tilo::Components::ReadParametersCommand read(context, service);
        QCOMPARE(read.getDescription(), QStringLiteral("Parameter werden gelesen"));

        // The precondition of every device command translates in Command's context.
        Thg::Tilo::Components::RestartDeviceCommand restart(context, service);
        QSignalSpy refused(&restart, &Thg::Tilo::Components::Command::errorOccurred);
        restart.execute();
        QCOMPARE(refused.value(0).value(0).toString(), QStringLiteral("Kein Gerät verbunden"));

        Thg::Tilo::Components::DeviceConnector connector(context, service);
        QSignalSpy failed(&connector, &Thg::Tilo::Components::DeviceConnector::errorOccurred);
        connector.connectTarget(QStringLiteral("/dev/ttyZEB"));
        QCOMPARE(failed.value(0).value(0).toString(), QStringLiteral("Es wurde kein Gerät ausgewählt"));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TestBuiltinResources)
#include "tst_builtinresources.moc"
