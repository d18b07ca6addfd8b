// A job's plan: the commands per address type, and the walk from one sequence to the next.

#include "communication/internal/Sequence.h"

#include <QtTest>

using namespace Thg::Tilo::Communication;
using Internal::Sequence;
using Internal::Sequences;
using Internal::Session;

namespace {

Session::Data data(int command)
{
    return {PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND(command), {{"n", command}}};
}

} // namespace

class TestJobSequence : public QObject {
    Q_OBJECT
private slots:
    void sequence_keepsItsCommandsInOrder();
    void getNext_movesOnUntilTheLastSequence_data();
    void getNext_movesOnUntilTheLastSequence();
};

void TestJobSequence::sequence_keepsItsCommandsInOrder()
{
    Sequence sequence(Address::Type::SubDevice, data(135), data(136), data(141));
    QCOMPARE(sequence.type, Address::Type::SubDevice);
    QCOMPARE(sequence.cursor, 0);
    QCOMPARE(sequence.commands.size(), 3);
    QCOMPARE(sequence.getCurrent(), std::optional<Session::Data>(data(135)));
    QVERIFY(sequence.hasNext());
    sequence.cursor = 2;
    QCOMPARE(sequence.getCurrent(), std::optional<Session::Data>(data(141)));
    QVERIFY(!sequence.hasNext());
    sequence.cursor = 3;
    QCOMPARE(sequence.getCurrent(), std::nullopt);

    const Sequence fromList({data(128)}, 0, Address::Type::Device);
    QCOMPARE(fromList, Sequence(Address::Type::Device, data(128)));
    QCOMPARE(Sequence().getCurrent(), std::nullopt);
}

void TestJobSequence::getNext_movesOnUntilTheLastSequence_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("nexts");
    QTest::newRow("empty plan") << 0 << 0;
    QTest::newRow("one sequence") << 1 << 0;
    QTest::newRow("three sequences") << 3 << 2;
}

void TestJobSequence::getNext_movesOnUntilTheLastSequence()
{
    QFETCH(int, length);
    QFETCH(int, nexts);
    Sequences plan;
    for (int i = 0; i < length; ++i)
        plan.sequences.append(Sequence(Address::Type::Device, data(128 + i)));
    QCOMPARE(plan.current() != nullptr, length > 0);
    for (int i = 1; i <= nexts; ++i) {
        const std::optional<Sequence> next = plan.getNext();
        QVERIFY(next);
        QCOMPARE(next->getCurrent()->command, PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND(128 + i));
        QCOMPARE(plan.cursor, i);
    }
    QCOMPARE(plan.getNext(), std::nullopt);
    QCOMPARE(plan.cursor, nexts);
}

QTEST_GUILESS_MAIN(TestJobSequence)
#include "tst_job_sequence.moc"
