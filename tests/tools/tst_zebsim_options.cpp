#include "tools/zeb-sim/SimConfig.h"

#include <QtTest>

#include <limits>

using namespace ZebSim;

using StatusLowMap = QMap<int, int>;
Q_DECLARE_METATYPE(StatusLowMap)

class TestZebSimOptions : public QObject {
    Q_OBJECT
private slots:
    void defaults_describeTheBuiltInDevice();
    void faults_areTakenFromTheirOptions_data();
    void faults_areTakenFromTheirOptions();
    void lineAndIdentity_areTakenFromTheirOptions();
    void measuredValues_areTakenFromTheirOptions();
    void badValues_areRefusedWithTheOptionsName_data();
    void badValues_areRefusedWithTheOptionsName();
    void help_documentsEveryOption();
    void pacingAndShortReads_areTakenFromTheirOptions_data();
    void pacingAndShortReads_areTakenFromTheirOptions();
};

void TestZebSimOptions::defaults_describeTheBuiltInDevice()
{
    const ParsedOptions parsed = parseOptions({"zeb-sim"});
    QVERIFY(parsed.config.has_value());
    const SimConfig &config = *parsed.config;
    QCOMPARE(config.address, QByteArray::fromHex("1300040001"));
    QCOMPARE(config.version, QString("V02.11"));
    QCOMPARE(config.subVersion, QString("V02.00"));
    QVERIFY(!config.singleWire);
    QCOMPARE(config.faults.wrongChecksumOnReply, 0);
    QVERIFY(!config.faults.silentAfterFrames.has_value());
    QVERIFY(config.faults.statusLowFor.isEmpty());
}

void TestZebSimOptions::faults_areTakenFromTheirOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("wrongChecksum");
    QTest::addColumn<int>("silentAfter"); // -1: never silent
    QTest::addColumn<int>("wrongReadBacks");
    QTest::addColumn<int>("dropOn");
    QTest::addColumn<int>("dropCount");
    QTest::addColumn<StatusLowMap>("statusLow");

    QTest::newRow("wrong checksum") << QStringList{"--wrong-checksum", "3"} << 3 << -1 << 0 << 0 << 0 << QMap<int, int>{};
    QTest::newRow("silent from the start") << QStringList{"--silent-after", "0"} << 0 << 0 << 0 << 0 << 0
                                           << QMap<int, int>{};
    QTest::newRow("silent after 4") << QStringList{"--silent-after", "4"} << 0 << 4 << 0 << 0 << 0 << QMap<int, int>{};
    QTest::newRow("wrong read-back") << QStringList{"--wrong-read-back", "2"} << 0 << -1 << 2 << 0 << 0
                                     << QMap<int, int>{};
    QTest::newRow("dropped bytes") << QStringList{"--drop-bytes", "2:5"} << 0 << -1 << 0 << 2 << 5 << QMap<int, int>{};
    QTest::newRow("status low twice") << QStringList{"--status-low", "131:4", "--status-low", "0x8f:1"} << 0 << -1 << 0
                                      << 0 << 0 << QMap<int, int>{{131, 4}, {143, 1}};
}

void TestZebSimOptions::faults_areTakenFromTheirOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, wrongChecksum);
    QFETCH(int, silentAfter);
    QFETCH(int, wrongReadBacks);
    QFETCH(int, dropOn);
    QFETCH(int, dropCount);
    QFETCH(StatusLowMap, statusLow);

    const ParsedOptions parsed = parseOptions(QStringList{"zeb-sim"} + arguments);
    QVERIFY2(parsed.config.has_value(), qPrintable(parsed.error));
    const FaultPlan &faults = parsed.config->faults;
    QCOMPARE(faults.wrongChecksumOnReply, wrongChecksum);
    QCOMPARE(faults.silentAfterFrames, silentAfter < 0 ? std::nullopt : std::optional<int>(silentAfter));
    QCOMPARE(faults.wrongReadBacks, wrongReadBacks);
    QCOMPARE(faults.dropBytesOnReply, dropOn);
    QCOMPARE(faults.dropByteCount, dropCount);
    QCOMPARE(faults.statusLowFor, statusLow);
}

void TestZebSimOptions::lineAndIdentity_areTakenFromTheirOptions()
{
    const ParsedOptions parsed = parseOptions({"zeb-sim", "--single-wire", "--address", "1,2,3,4,5", "--version",
                                               "V03.07", "--baud-mask", "0x0206"});
    QVERIFY2(parsed.config.has_value(), qPrintable(parsed.error));
    QVERIFY(parsed.config->singleWire);
    QCOMPARE(parsed.config->address, QByteArray::fromHex("0102030405"));
    QCOMPARE(parsed.config->version, QString("V03.07"));
    QCOMPARE(parsed.config->baudRateMask, quint16(0x0206));
}

void TestZebSimOptions::measuredValues_areTakenFromTheirOptions()
{
    const ParsedOptions parsed = parseOptions({"zeb-sim", "--sample", "0x2a/17:12.5,41:1.5", "--sample", "17:nan",
                                               "--sample", "5/", "--status-text", "3:2Air bubble", "--status-text",
                                               "1:1Low flow", "--extra-variable", "7:99"});
    QVERIFY2(parsed.config.has_value(), qPrintable(parsed.error));
    const MeasuredValues &measured = parsed.config->measured;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QCOMPARE(measured.samples,
             (QList<Sample>{{0x2a, {{17, 12.5f}, {41, 1.5f}}}, {0, {{17, nan}}}, {5, {}}}));
    QCOMPARE(measured.statusTexts, (QMap<int, QString>{{1, "1Low flow"}, {3, "2Air bubble"}}));
    QCOMPARE(measured.extraVariable, (std::optional<Variable>{{7, 99.0f}}));

    const MeasuredValues defaults = parseOptions({"zeb-sim"}).config->measured;
    QVERIFY(defaults.samples.isEmpty());
    QCOMPARE(defaults.statusTexts, (QMap<int, QString>{{1, "3Overflow"}}));
    QVERIFY(!defaults.extraVariable.has_value());
}

void TestZebSimOptions::badValues_areRefusedWithTheOptionsName_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("checksum on frame 0") << QStringList{"--wrong-checksum", "0"} << "Invalid value for --wrong-checksum: '0'";
    QTest::newRow("negative silence") << QStringList{"--silent-after", "-1"} << "Invalid value for --silent-after: '-1'";
    QTest::newRow("drop without count") << QStringList{"--drop-bytes", "2"} << "Invalid value for --drop-bytes: '2'";
    QTest::newRow("status for no command") << QStringList{"--status-low", "127:1"} << "Invalid value for --status-low: '127:1'";
    QTest::newRow("status zero") << QStringList{"--status-low", "135:0"} << "Invalid value for --status-low: '135:0'";
    QTest::newRow("short address") << QStringList{"--address", "19,0,4"} << "Invalid value for --address: '19,0,4'";
    QTest::newRow("address byte too big") << QStringList{"--address", "19,0,4,0,256"}
                                          << "Invalid value for --address: '19,0,4,0,256'";
    QTest::newRow("lower-case version") << QStringList{"--version", "v02.11"} << "Invalid value for --version: 'v02.11'";
    QTest::newRow("long name") << QStringList{"--name", "ABCDEFGHIJKLMNOPQ"} << "Invalid value for --name: 'ABCDEFGHIJKLMNOPQ'";
    QTest::newRow("bad date") << QStringList{"--revision", "2403"} << "Invalid value for --revision: '2403'";
    QTest::newRow("sub-device version") << QStringList{"--sub-version", "V2.0"} << "Invalid value for --sub-version: 'V2.0'";
    QTest::newRow("sub-device name not Latin-1") << QStringList{"--sub-name", "\u20ac"} << "Invalid value for --sub-name: '\u20ac'";
    QTest::newRow("sample without a value") << QStringList{"--sample", "17"} << "Invalid value for --sample: '17'";
    QTest::newRow("sample unit too big") << QStringList{"--sample", "256:1"} << "Invalid value for --sample: '256:1'";
    QTest::newRow("sample status too big") << QStringList{"--sample", "0x100/17:1"}
                                           << "Invalid value for --sample: '0x100/17:1'";
    QTest::newRow("status text 9") << QStringList{"--status-text", "9:1Text"} << "Invalid value for --status-text: '9:1Text'";
    QTest::newRow("status text too long") << QStringList{"--status-text", "1:0123456789abcdefg"}
                                          << "Invalid value for --status-text: '1:0123456789abcdefg'";
    QTest::newRow("extra variable without unit") << QStringList{"--extra-variable", "1.5"}
                                                 << "Invalid value for --extra-variable: '1.5'";
    QTest::newRow("stray argument") << QStringList{"extra"} << "Unexpected argument: extra";
}

void TestZebSimOptions::badValues_areRefusedWithTheOptionsName()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    const ParsedOptions parsed = parseOptions(QStringList{"zeb-sim"} + arguments);
    QVERIFY(!parsed.config.has_value());
    QCOMPARE(parsed.error, error);
}

void TestZebSimOptions::help_documentsEveryOption()
{
    const ParsedOptions parsed = parseOptions({"zeb-sim", "--help"});
    QVERIFY(!parsed.config.has_value());
    for (const char *option : {"--link", "--log", "--single-wire", "--address", "--version", "--sub-version", "--name",
                               "--sub-name", "--revision", "--sub-revision", "--baud-mask", "--wrong-checksum",
                               "--silent-after", "--wrong-read-back", "--drop-bytes", "--status-low", "--sample",
                               "--status-text", "--extra-variable", "--help"})
        QVERIFY2(parsed.helpText.contains(option), option);
}

void TestZebSimOptions::pacingAndShortReads_areTakenFromTheirOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("paced");
    QTest::addColumn<int>("shortReads"); // -1: refused
    QTest::addColumn<QString>("error");

    QTest::newRow("neither") << QStringList{} << false << 0 << QString();
    QTest::newRow("paced") << QStringList{"--paced"} << true << 0 << QString();
    QTest::newRow("short read") << QStringList{"--short-read", "3"} << false << 3 << QString();
    QTest::newRow("both") << QStringList{"--paced", "--short-read", "0x10"} << true << 16 << QString();
    QTest::newRow("short read by 0") << QStringList{"--short-read", "0"} << false << -1
                                     << "Invalid value for --short-read: '0'";
    QTest::newRow("short read by more than a count") << QStringList{"--short-read", "256"} << false << -1
                                                     << "Invalid value for --short-read: '256'";
}

void TestZebSimOptions::pacingAndShortReads_areTakenFromTheirOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, paced);
    QFETCH(int, shortReads);
    QFETCH(QString, error);

    const ParsedOptions parsed = parseOptions(QStringList{"zeb-sim"} + arguments);
    if (shortReads < 0) {
        QVERIFY(!parsed.config.has_value());
        QCOMPARE(parsed.error, error);
        return;
    }
    QVERIFY2(parsed.config.has_value(), qPrintable(parsed.error));
    QCOMPARE(parsed.config->paced, paced);
    QCOMPARE(parsed.config->faults.shortReads, shortReads);
    const QString help = parseOptions({"zeb-sim", "--help"}).helpText;
    QVERIFY(help.contains("--paced"));
    QVERIFY(help.contains("--short-read"));
}

QTEST_GUILESS_MAIN(TestZebSimOptions)
#include "tst_zebsim_options.moc"
