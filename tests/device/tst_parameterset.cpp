#include "device/Parameter.h"
#include "device/ParameterSet.h"
#include "device/ParameterSetting.h"

#include "device/DeviceTestChecks.h"

#include <QtTest>

#include <functional>
#include <stdexcept>

using namespace Thg::Tilo::Device;

namespace {

Parameter tagged(const std::string &name, std::vector<Tag> tags)
{
    Parameter p;
    p.name = name;
    p.tags = std::move(tags);
    return p;
}

ParameterSet<Parameter> sampleSet()
{
    ParameterSet<Parameter> set;
    set.version = Version("V02.11");
    for (auto p : {tagged("Flow", {Tag::FLOW}), tagged("Cutoff", {Tag::CUTOFF, Tag::FLOW}),
                   tagged("Name", {}), tagged("Temperature", {Tag::TEMPERATURE})})
        set.parameters.emplace(p.name, p);
    return set;
}

QStringList names(const std::vector<std::reference_wrapper<const Parameter>> &found)
{
    QStringList result;
    for (const Parameter &p : found)
        result << QString::fromStdString(p.name);
    return result;
}

// The text of the std::invalid_argument that `call` throws; empty when it returns.
template <typename F>
QString messageOf(F &&call)
{
    return QString::fromStdString(
        DeviceTestChecks::messageOf<std::invalid_argument>(std::forward<F>(call)).value_or(std::string()));
}

} // namespace

class TestParameterSet : public QObject {
    Q_OBJECT
private slots:
    void at_findsExactName();
    void query_data();
    void query();
    void query_withEmptyPredicate_throws();
    void containerAt_takesExactVersionOnly_data();
    void containerAt_takesExactVersionOnly();
};

void TestParameterSet::at_findsExactName()
{
    const auto set = sampleSet();
    QCOMPARE(set.at("Flow").name, std::string("Flow"));
    QCOMPARE(messageOf([&] { set.at("X"); }), QString("Parameter X not found"));
    QCOMPARE(messageOf([&] { set.at("flow"); }), QString("Parameter flow not found"));
}

void TestParameterSet::query_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("two carriers, in name order") << int(Tag::FLOW) << QStringList{"Cutoff", "Flow"};
    QTest::newRow("one carrier") << int(Tag::TEMPERATURE) << QStringList{"Temperature"};
    QTest::newRow("no carrier") << int(Tag::SERIALNUMBER) << QStringList{};
}

void TestParameterSet::query()
{
    QFETCH(int, tag);
    QFETCH(QStringList, names);
    const auto set = sampleSet();
    QCOMPARE(::names(set.query(QueryTag(static_cast<Tag>(tag)))), names);
}

void TestParameterSet::query_withEmptyPredicate_throws()
{
    const ParameterSet<Parameter> empty;
    QVERIFY_THROWS_EXCEPTION(std::bad_function_call, empty.query({}));
}

void TestParameterSet::containerAt_takesExactVersionOnly_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("error");

    QTest::newRow("present") << "V02.11" << "second" << "";
    QTest::newRow("first") << "V01.00" << "first" << "";
    QTest::newRow("between two") << "V02.05" << "" << "Version V02.05 not found";
    QTest::newRow("after the last") << "V03.00" << "" << "Version V03.00 not found";
}

void TestParameterSet::containerAt_takesExactVersionOnly()
{
    QFETCH(QString, version);
    QFETCH(QString, description);
    QFETCH(QString, error);

    ParameterSetContainer<ParameterSetting> container;
    for (const auto &[text, what] : {std::pair{"V01.00", "first"}, std::pair{"V02.11", "second"}}) {
        ParameterSet<ParameterSetting> set;
        set.version = Version(text);
        set.description = what;
        container.emplace(set.version, set);
    }
    const auto &constContainer = container;
    const Version wanted(version.toStdString());
    QCOMPARE(messageOf([&] { QCOMPARE(QString::fromStdString(constContainer.at(wanted).description), description); }),
             error);
    QCOMPARE(messageOf([&] { container.at(wanted); }), error);
}

QTEST_APPLESS_MAIN(TestParameterSet)
#include "tst_parameterset.moc"
