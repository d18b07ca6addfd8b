#include "device/Version.h"

#include <QtTest>

#include <stdexcept>

using namespace Thg::Tilo::Device;

class TestVersion : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void order_data();
    void order();
};

void TestVersion::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");

    QTest::newRow("V02.11") << "V02.11" << true << 2 << 1 << 1;
    QTest::newRow("V01.00") << "V01.00" << true << 1 << 0 << 0;
    QTest::newRow("V19.99") << "V19.99" << true << 19 << 9 << 9;
    QTest::newRow("V99.09") << "V99.09" << true << 99 << 0 << 9;
    QTest::newRow("V00.00") << "V00.00" << false << 0 << 0 << 0;
    QTest::newRow("V10.00") << "V10.00" << false << 0 << 0 << 0;
    QTest::newRow("V10.05") << "V10.05" << false << 0 << 0 << 0;
    QTest::newRow("V20.11") << "V20.11" << false << 0 << 0 << 0;
    QTest::newRow("lower-case v") << "v02.11" << false << 0 << 0 << 0;
    QTest::newRow("one-digit major") << "V2.11" << false << 0 << 0 << 0;
    QTest::newRow("leading blank") << " V02.11" << false << 0 << 0 << 0;
    QTest::newRow("trailing text") << "V02.11a" << false << 0 << 0 << 0;
    QTest::newRow("three-digit minor") << "V02.111" << false << 0 << 0 << 0;
    QTest::newRow("no dot") << "V02-11" << false << 0 << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0;
}

void TestVersion::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    const std::string input = text.toStdString();
    try {
        const Version version(input);
        QVERIFY2(valid, "accepted");
        QCOMPARE(int(version.major), major);
        QCOMPARE(int(version.minor), minor);
        QCOMPARE(int(version.revision), revision);
        QCOMPARE(version.text, input);
    } catch (const std::invalid_argument &e) {
        QVERIFY2(!valid, e.what());
        QCOMPARE(QString::fromStdString(e.what()), "Version '" + text + "' must match V[0-9][1-9].[0-9]{2}");
    }
}

void TestVersion::order_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("less");
    QTest::addColumn<bool>("equal");

    QTest::newRow("revision decides") << "V02.01" << "V02.11" << true << false;
    QTest::newRow("minor before revision") << "V02.19" << "V02.21" << true << false;
    QTest::newRow("major before minor") << "V02.99" << "V03.00" << true << false;
    QTest::newRow("later is not less") << "V03.00" << "V02.11" << false << false;
    QTest::newRow("equal is not less") << "V02.11" << "V02.11" << false << true;
}

void TestVersion::order()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, less);
    QFETCH(bool, equal);
    const Version va(a.toStdString());
    const Version vb(b.toStdString());
    QCOMPARE(va < vb, less);
    QCOMPARE(va == vb, equal);
}

QTEST_APPLESS_MAIN(TestVersion)
#include "tst_version.moc"
