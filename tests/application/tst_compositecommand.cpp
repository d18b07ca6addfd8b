#include "application/components/CompositeCommand.h"

#include "tests/support/LogRecorder.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using Thg::Tilo::Components::Command;
using Thg::Tilo::Components::CompositeCommand;
using Thg::Tilo::Components::System;

// A child the test finishes, fails and inspects by hand. Outside any namespace, so that its type
// name reads "13ManualCommand".
class ManualCommand : public Command {
public:
    explicit ManualCommand(QString description, QObject *parent = nullptr)
        : Command(parent), mDescription(std::move(description))
    {
    }

    QString getDescription() const override { return mDescription; }

    void succeed() { finish(); }
    void fail(const QString &message, bool disconnected) { error(message, System::Device, disconnected); }
    void report(std::uint32_t percent) { emit progressUpdated(percent, mDescription); }

    int executions = 0;
    int stops = 0;
    int cancels = 0;
    // A child that can end at once when asked to stop.
    bool finishOnStop = false;
    // Counts cancels even after this child is gone.
    std::shared_ptr<int> cancelCounter = std::make_shared<int>(0);

protected:
    void doExecute() override { ++executions; }
    void doStop() override
    {
        ++stops;
        if (finishOnStop)
            finish();
    }
    void doCancel() override
    {
        ++cancels;
        ++*cancelCounter;
    }

private:
    QString mDescription;
};

namespace {

const QString compositeType = QStringLiteral("N3Thg4Tilo10Components16CompositeCommandE");

} // namespace

class TestCompositeCommand : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogRecorder> mLog;

private slots:
    void initTestCase()
    {
        QThread::currentThread()->setObjectName(QStringLiteral("main"));
        Thg::Tilo::Components::registerMetaTypes();
    }

    void init() { mLog = std::make_unique<LogRecorder>(); }
    void cleanup() { mLog.reset(); }

    void empty_finishesAtOnce()
    {
        CompositeCommand composite({}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        QSignalSpy progress(&composite, &CompositeCommand::progressUpdated);
        composite.execute();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(progress.count(), 1);
        QCOMPARE(progress.at(0), (QVariantList{0U, QString()}));
        QVERIFY(!composite.isRunning());
        QCOMPARE(composite.getCount(), 0U);
    }

    void duplicate_runsOnceAndIsLogged()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, a, b, a}, false);
        QCOMPARE(composite.getCount(), 2U);
        QCOMPARE(composite.getCommands(), (std::vector<Command *>{a, b}));
        QCOMPARE(mLog->lines(), (QStringList{QStringLiteral("[warning] [main]  Duplicate command 13ManualCommand is ignored"),
                                             QStringLiteral("[warning] [main]  Duplicate command 13ManualCommand is ignored")}));
        QCOMPARE(a->parent(), &composite);
        QCOMPARE(a->getParentCommand(), &composite);
    }

    void children_runOneAfterAnotherFromTheEventLoop()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        auto *c = new ManualCommand(QStringLiteral("C"));
        CompositeCommand composite({a, b, c}, false);
        QSignalSpy progress(&composite, &CompositeCommand::progressUpdated);
        QSignalSpy finished(&composite, &CompositeCommand::finished);

        composite.execute();
        QCOMPARE(composite.getDescription(), QStringLiteral("A"));
        QCOMPARE(a->executions, 0);
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        a->report(40);
        a->succeed();
        // The next child never starts inside the previous one's `finished`.
        QCOMPARE(b->executions, 0);
        QTRY_COMPARE_WITH_TIMEOUT(b->executions, 1, 5000);
        b->succeed();
        QTRY_COMPARE_WITH_TIMEOUT(c->executions, 1, 5000);
        QCOMPARE(finished.count(), 0);
        c->succeed();

        QCOMPARE(finished.count(), 1);
        QVERIFY(!composite.isRunning());
        QCOMPARE(composite.getDescription(), QString());
        // Without detailed progress: 0, then the number of finished children; the children's own
        // reports are not passed on.
        QCOMPARE(progress.count(), 4);
        QCOMPARE(progress.at(0), (QVariantList{0U, QStringLiteral("A")}));
        QCOMPARE(progress.at(1), (QVariantList{1U, QStringLiteral("B")}));
        QCOMPARE(progress.at(2), (QVariantList{2U, QStringLiteral("C")}));
        QCOMPARE(progress.at(3), (QVariantList{3U, QStringLiteral("C")}));
        QCOMPARE(a->executions + b->executions + c->executions, 3);
    }

    void detailedProgress_forwardsTheChildrensReports()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, b}, true);
        QVERIFY(composite.hasDetailedProgress());
        QSignalSpy progress(&composite, &CompositeCommand::progressUpdated);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        a->report(60);
        a->succeed();
        QTRY_COMPARE_WITH_TIMEOUT(b->executions, 1, 5000);
        b->report(100);
        b->succeed();
        QCOMPARE(progress.count(), 5);
        QCOMPARE(progress.at(0), (QVariantList{0U, QStringLiteral("A")}));
        QCOMPARE(progress.at(1), (QVariantList{0U, QStringLiteral("A")}));
        QCOMPARE(progress.at(2), (QVariantList{60U, QStringLiteral("A")}));
        QCOMPARE(progress.at(3), (QVariantList{0U, QStringLiteral("B")}));
        QCOMPARE(progress.at(4), (QVariantList{100U, QStringLiteral("B")}));
    }

    void warning_isForwarded()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        CompositeCommand composite({a}, false);
        QSignalSpy warnings(&composite, &CompositeCommand::warningOccurred);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        emit a->warningOccurred(QStringLiteral("careful"));
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.at(0).at(0).toString(), QStringLiteral("careful"));
        composite.cancel();
    }

    void errorOfSecondChild_endsTheComposite_data()
    {
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("device gone") << true;
        QTest::newRow("refused before sending") << false;
    }

    void errorOfSecondChild_endsTheComposite()
    {
        QFETCH(bool, disconnected);
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        auto *c = new ManualCommand(QStringLiteral("C"));
        CompositeCommand composite({a, b, c}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        QSignalSpy failed(&composite, &CompositeCommand::errorOccurred);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        a->succeed();
        QTRY_COMPARE_WITH_TIMEOUT(b->executions, 1, 5000);
        b->fail(QStringLiteral("Write failed"), disconnected);

        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("Write failed"));
        QCOMPARE(failed.at(0).at(1).value<System>(), System::Device);
        QCOMPARE(failed.at(0).at(2).toBool(), disconnected);
        QVERIFY(!composite.isRunning());
        QTest::qWait(50);
        QCOMPARE(c->executions, 0);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(mLog->linesWith(QStringLiteral("Error in")),
                 (QStringList{QStringLiteral("[debug] [main]   Error in 13ManualCommand"),
                              QStringLiteral("[debug] [main] Error in ") + compositeType}));
    }

    void cancel_cancelsOnlyTheCurrentChildAndIsSilent()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, b}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        QSignalSpy failed(&composite, &CompositeCommand::errorOccurred);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        composite.cancel();
        QCOMPARE(a->cancels, 1);
        QVERIFY(!a->isRunning());
        QCOMPARE(b->cancels, 0);
        QVERIFY(!composite.isRunning());
        QTest::qWait(50);
        QCOMPARE(b->executions, 0);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(failed.count(), 0);
        // Disconnected from its children: a late end of a child changes nothing.
        a->fail(QStringLiteral("late"), true);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(mLog->linesWith(QStringLiteral("Canceling")),
                 (QStringList{QStringLiteral("[debug] [main] Canceling ") + compositeType,
                              QStringLiteral("[debug] [main]   Canceling 13ManualCommand")}));
    }

    void cancelBetweenChildren_startsNoFurtherChild()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, b}, false);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        a->succeed();
        composite.cancel();
        QTest::qWait(50);
        QCOMPARE(b->executions, 0);
        QCOMPARE(a->cancels + b->cancels, 0);
    }

    void stop_letsTheChildEndThenFinishes()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, b}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        composite.stop();
        QCOMPARE(a->stops, 1);
        QVERIFY(a->isRunning());
        QVERIFY(composite.isRunning());
        QCOMPARE(finished.count(), 0);
        a->succeed();
        QCOMPARE(finished.count(), 1);
        QTest::qWait(50);
        QCOMPARE(b->executions, 0);
        QCOMPARE(mLog->linesWith(QStringLiteral("Stopping")),
                 (QStringList{QStringLiteral("[debug] [main] Stopping ") + compositeType,
                              QStringLiteral("[debug] [main]   Stopping 13ManualCommand")}));
    }

    void stop_childThatEndsAtOnce_finishesTheComposite()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        a->finishOnStop = true;
        CompositeCommand composite({a, b}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        composite.stop();
        QCOMPARE(finished.count(), 1);
        QTest::qWait(50);
        QCOMPARE(b->executions, 0);
    }

    void stopBetweenChildren_finishesAtOnce()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, b}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        a->succeed();
        composite.stop();
        QCOMPARE(finished.count(), 1);
        QTest::qWait(50);
        QCOMPARE(b->executions, 0);
        QCOMPARE(b->stops, 0);
    }

    void indentation_followsTheNesting()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        auto *inner = new CompositeCommand({b}, false);
        CompositeCommand composite({a, inner}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        composite.execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        a->succeed();
        QTRY_COMPARE_WITH_TIMEOUT(b->executions, 1, 5000);
        b->succeed();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(mLog->lines(),
                 (QStringList{QStringLiteral("[debug] [main] Executing ") + compositeType + QStringLiteral(" (A)"),
                              QStringLiteral("[debug] [main]  Executing command 0"),
                              QStringLiteral("[debug] [main]   Executing 13ManualCommand (A)"),
                              QStringLiteral("[debug] [main]   Finished 13ManualCommand"),
                              QStringLiteral("[debug] [main]  Executing command 1"),
                              QStringLiteral("[debug] [main]   Executing ") + compositeType + QStringLiteral(" (B)"),
                              QStringLiteral("[debug] [main]    Executing command 0"),
                              QStringLiteral("[debug] [main]     Executing 13ManualCommand (B)"),
                              QStringLiteral("[debug] [main]     Finished 13ManualCommand"),
                              QStringLiteral("[debug] [main]   Finished ") + compositeType,
                              QStringLiteral("[debug] [main] Finished ") + compositeType}));
        QCOMPARE(b->getDepth(true), std::uint8_t(5));
    }

    void addCommand_whileRunningOrKnown_isIgnored()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        CompositeCommand composite({}, false);
        composite.addCommand(a);
        composite.addCommand(a);
        QCOMPARE(composite.getCount(), 1U);
        composite.execute();
        auto late = std::make_unique<ManualCommand>(QStringLiteral("late"));
        composite.addCommand(late.get());
        QCOMPARE(composite.getCount(), 1U);
        QVERIFY(late->parent() == nullptr);
        composite.cancel();
    }

    void executeAgain_startsFromTheFirstChild()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        auto *b = new ManualCommand(QStringLiteral("B"));
        CompositeCommand composite({a, b}, false);
        QSignalSpy finished(&composite, &CompositeCommand::finished);
        for (int run = 1; run <= 2; ++run) {
            composite.execute();
            QTRY_COMPARE_WITH_TIMEOUT(a->executions, run, 5000);
            a->succeed();
            QTRY_COMPARE_WITH_TIMEOUT(b->executions, run, 5000);
            b->succeed();
            QCOMPARE(finished.count(), run);
        }
    }

    void runningCompositeDestroyed_cancelsItsCurrentChild()
    {
        auto *a = new ManualCommand(QStringLiteral("A"));
        const std::shared_ptr<int> cancels = a->cancelCounter;
        QPointer<ManualCommand> child = a;
        auto composite = std::make_unique<CompositeCommand>(std::vector<Command *>{a}, false);
        QSignalSpy failed(composite.get(), &CompositeCommand::errorOccurred);
        composite->execute();
        QTRY_COMPARE_WITH_TIMEOUT(a->executions, 1, 5000);
        composite.reset();
        QCOMPARE(*cancels, 1);
        QVERIFY(child.isNull());
        QCOMPARE(mLog->linesWith(QStringLiteral("Canceling")),
                 (QStringList{QStringLiteral("[debug] [main] Canceling ") + compositeType,
                              QStringLiteral("[debug] [main]   Canceling 13ManualCommand")}));
    }
};

QTEST_GUILESS_MAIN(TestCompositeCommand)
#include "tst_compositecommand.moc"
