// The viscosity table beside the program, read back with openpyxl and compared with the built-in
// media files it was written from: every medium, every used curve point, nothing more.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <cmath>

namespace {

constexpr int TimeoutMs = 60000;
constexpr int Columns = 6;

QJsonObject parametersOf(const QJsonArray &sets)
{
    QJsonObject byName;
    for (const QJsonValue parameter : sets.at(0).toObject().value("Parameters").toArray())
        byName.insert(parameter["Name"].toString(), parameter["Value"]);
    return byName;
}

bool sameNumber(double actual, double expected)
{
    return std::abs(actual - expected) <= 1e-12 * std::max(1.0, std::abs(expected));
}

} // namespace

class TestViscosityTable : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sheet_isNamedFrozenAndFormatted();
    void header_namesTheColumnsAndUnits();
    void rows_literal_data();
    void rows_literal();
    void media_eachUsedCurvePointOnce_data();
    void media_eachUsedCurvePointOnce();
    void media_appearInTheMediumListOrder();
    void rowCount_isTheSumOfTheUsedCurvePoints();

private:
    QJsonArray rowsOf(const QString &number) const;

    QJsonObject m_sheet;
    QJsonArray m_rows;
    QStringList m_mediaFiles;
};

void TestViscosityTable::initTestCase()
{
    QVERIFY2(QFile::exists(ZEB_VISCOSITIES_PATH), ZEB_VISCOSITIES_PATH " was not built");
    QProcess reader;
    reader.start(ZEB_SYSTEM_PYTHON, {ZEB_READ_XLSX, ZEB_VISCOSITIES_PATH});
    QVERIFY(reader.waitForFinished(TimeoutMs));
    const QByteArray errors = reader.readAllStandardError();
    if (reader.exitCode() != 0 && errors.contains("No module named 'openpyxl'"))
        QSKIP("python3-openpyxl is not installed (scripts/install-deps installs it)");
    QVERIFY2(reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0, errors.constData());

    QJsonParseError parseError;
    const QJsonDocument sheets = QJsonDocument::fromJson(reader.readAllStandardOutput(), &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
    QCOMPARE(sheets.array().size(), 1);
    m_sheet = sheets.array().at(0).toObject();
    m_rows = m_sheet.value("rows").toArray();
    QVERIFY(m_rows.size() > 1);

    QDir media(ZEB_MEDIA_DIR);
    m_mediaFiles = media.entryList({"*.para.json"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QCOMPARE(m_mediaFiles.size(), 72);
}

QJsonArray TestViscosityTable::rowsOf(const QString &number) const
{
    QJsonArray rows;
    for (qsizetype i = 1; i < m_rows.size(); ++i) {
        if (m_rows.at(i).toArray().at(0).toString() == number)
            rows.append(m_rows.at(i));
    }
    return rows;
}

void TestViscosityTable::sheet_isNamedFrozenAndFormatted()
{
    QCOMPARE(m_sheet.value("name").toString(), QStringLiteral("Viscosities"));
    QCOMPARE(m_sheet.value("frozen").toString(), QStringLiteral("A2"));
    const QJsonArray formats = m_sheet.value("formats").toArray();
    QCOMPARE(formats.size(), Columns);
    QCOMPARE(formats.at(4).toString(), QStringLiteral("0.000E+00"));
    QCOMPARE(formats.at(5).toString(), QStringLiteral("0.0000"));
}

void TestViscosityTable::header_namesTheColumnsAndUnits()
{
    const QJsonArray expected{"Number", "Medium", "Label", QString::fromUtf8("Temperature (°C)"),
                              QString::fromUtf8("Kinematic viscosity (m²/s)"),
                              QString::fromUtf8("Kinematic viscosity (mm²/s)")};
    QCOMPARE(m_rows.at(0).toArray(), expected);
}

void TestViscosityTable::rows_literal_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("medium");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("squareMetres");
    QTest::addColumn<double>("squareMillimetres");

    QTest::newRow("first point of water") << 1 << "001" << "Water" << "001 ZEB WATER" << 0.0 << 1.792e-06 << 1.792;
    QTest::newRow("last used point of water")
        << 9 << "001" << "Water" << "001 ZEB WATER" << 74.0 << 3.969e-07 << 0.3969;
    QTest::newRow("water glycol follows water's nine points")
        << 10 << "002" << "Water Glycol 20" << "002 ZEB WG20" << -5.0 << 2.977e-06 << 2.977;
}

void TestViscosityTable::rows_literal()
{
    QFETCH(int, row);
    const QJsonArray cells = m_rows.at(row).toArray();
    QCOMPARE(cells.size(), Columns);
    QTEST(cells.at(0).toString(), "number");
    QTEST(cells.at(1).toString(), "medium");
    QTEST(cells.at(2).toString(), "label");
    QTEST(cells.at(3).toDouble(), "temperature");
    QFETCH(double, squareMetres);
    QFETCH(double, squareMillimetres);
    QVERIFY2(sameNumber(cells.at(4).toDouble(), squareMetres), qPrintable(QString::number(cells.at(4).toDouble())));
    QVERIFY2(sameNumber(cells.at(5).toDouble(), squareMillimetres), qPrintable(QString::number(cells.at(5).toDouble())));
}

void TestViscosityTable::media_eachUsedCurvePointOnce_data()
{
    QTest::addColumn<QString>("fileName");
    for (const QString &fileName : m_mediaFiles)
        QTest::newRow(qPrintable(fileName)) << fileName;
}

void TestViscosityTable::media_eachUsedCurvePointOnce()
{
    QFETCH(QString, fileName);
    QFile file(QDir(ZEB_MEDIA_DIR).filePath(fileName));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject medium = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject device = parametersOf(medium.value("DeviceParameterSets").toArray());
    const QJsonObject curve = parametersOf(medium.value("SubdeviceParameterSets").toArray());
    const int used = curve.value("Curve[1].L").toInt();
    const QJsonArray temperatures = curve.value("Curve[1][0]").toArray();
    const QJsonArray viscosities = curve.value("Curve[1][1]").toArray();

    const QString number = fileName.section(' ', 0, 0);
    const QString name = fileName.section(' ', 1).chopped(int(qstrlen(".para.json"))).mid(4);
    const QJsonArray rows = rowsOf(number);
    QCOMPARE(rows.size(), used);
    for (int i = 0; i < used; ++i) {
        const QJsonArray cells = rows.at(i).toArray();
        QCOMPARE(cells.at(1).toString(), name);
        QCOMPARE(cells.at(2).toString(), device.value("ProductVariantName").toString());
        QCOMPARE(cells.at(3).toDouble(), temperatures.at(i).toDouble());
        QCOMPARE(cells.at(4).toDouble(), viscosities.at(i).toDouble());
        QVERIFY2(sameNumber(cells.at(5).toDouble(), viscosities.at(i).toDouble() * 1e6),
                 qPrintable(QStringLiteral("point %1: %2 mm2/s").arg(i).arg(cells.at(5).toDouble())));
    }
}

void TestViscosityTable::media_appearInTheMediumListOrder()
{
    QStringList numbers;
    for (qsizetype i = 1; i < m_rows.size(); ++i) {
        const QString number = m_rows.at(i).toArray().at(0).toString();
        if (numbers.isEmpty() || numbers.last() != number)
            numbers.append(number);
    }
    QStringList expected;
    for (const QString &fileName : m_mediaFiles)
        expected.append(fileName.section(' ', 0, 0));
    QCOMPARE(numbers, expected);
    QCOMPARE(numbers.mid(15, 4), (QStringList{"016", "017_1", "017_2", "018"}));
}

void TestViscosityTable::rowCount_isTheSumOfTheUsedCurvePoints()
{
    int points = 0;
    for (const QString &fileName : m_mediaFiles) {
        QFile file(QDir(ZEB_MEDIA_DIR).filePath(fileName));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject medium = QJsonDocument::fromJson(file.readAll()).object();
        points += parametersOf(medium.value("SubdeviceParameterSets").toArray()).value("Curve[1].L").toInt();
    }
    QCOMPARE(m_rows.size() - 1, points);
}

QTEST_GUILESS_MAIN(TestViscosityTable)
#include "tst_viscositytable.moc"
