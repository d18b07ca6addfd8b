#include "device/EnumNames.h"

#include <QtTest>

#include <algorithm>

using namespace Thg::Tilo::Device;

namespace {
enum class Fruit : unsigned char { Apple = 1, Pear = 7, Plum = 200 };

inline constexpr EnumNameTable fruitNames{std::to_array<EnumName<Fruit>>({
    {Fruit::Apple, "Apple"},
    {Fruit::Pear, "Pear"},
    {Fruit::Plum, "Plum"},
})};

// Lookups must work at compile time: the tables are constexpr data next to each enumeration.
static_assert(fruitNames.name(Fruit::Pear) == "Pear");
static_assert(fruitNames.value("Plum") == Fruit::Plum);
static_assert(!fruitNames.value("plum").has_value());
static_assert(!fruitNames.name(static_cast<Fruit>(2)).has_value());
static_assert(std::ranges::all_of(fruitNames.entries(), [](const EnumName<Fruit> &entry) {
    return fruitNames.value(entry.name) == entry.value && fruitNames.name(entry.value) == entry.name;
}));
} // namespace

class TestEnumNames : public QObject {
    Q_OBJECT
private slots:
    void lookup_isExactAndCaseSensitive_data();
    void lookup_isExactAndCaseSensitive();
};

void TestEnumNames::lookup_isExactAndCaseSensitive_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << "Apple" << true;
    QTest::newRow("lower case") << "apple" << false;
    QTest::newRow("upper case") << "APPLE" << false;
    QTest::newRow("trailing blank") << "Apple " << false;
    QTest::newRow("prefix") << "App" << false;
    QTest::newRow("empty") << "" << false;
}

void TestEnumNames::lookup_isExactAndCaseSensitive()
{
    QFETCH(QString, name);
    QFETCH(bool, found);
    const std::string text = name.toStdString();
    QCOMPARE(fruitNames.value(text).has_value(), found);
}

QTEST_APPLESS_MAIN(TestEnumNames)
#include "tst_enumnames.moc"
