// The execution widget: starting a command at once or deferred, the bar's maximum and clamping, the
// end states on success and error, the warning line and its colours, and cancelling on destruction.

#include "application/ExecuteCommandWidget.h"
#include "application/ProgressBarWidget.h"
#include "application/components/Command.h"

#include "support/LogRecorder.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using Thg::Tilo::Components::Command;
using Thg::Tilo::Components::ExecuteCommandWidget;
using Thg::Tilo::Components::System;

namespace {

// A command whose end the test decides.
class ScriptedCommand : public Command {
public:
    ScriptedCommand(std::uint32_t count, bool detailed) : mCount(count), mDetailed(detailed) {}

    std::uint32_t getCount() const override { return mCount; }
    bool hasDetailedProgress() const override { return mDetailed; }
    QString getDescription() const override { return QStringLiteral("Scripted"); }

    void report(std::uint32_t value, const QString &text) { emit progressUpdated(value, text); }
    void warn(const QString &text) { emit warningOccurred(text); }
    void succeed() { finish(); }
    void fail(const QString &message) { error(message, System::Device, true); }

    int executions = 0;
    bool *cancelled = nullptr;

protected:
    void doExecute() override { ++executions; }
    void doCancel() override
    {
        if (cancelled)
            *cancelled = true;
    }

private:
    std::uint32_t mCount;
    bool mDetailed;
};

struct Fixture {
    explicit Fixture(bool deferred, std::uint32_t count = 1, bool detailed = true)
        : command(new ScriptedCommand(count, detailed)),
          widget(QStringLiteral("Parameterize"), QStringLiteral("Parameterize the device"), command, deferred)
    {
    }

    QPushButton *button() const { return widget.findChild<QPushButton *>("execute"); }
    QProgressBar *bar() const { return widget.findChild<QProgressBar *>("progress"); }
    QLabel *status() const { return widget.findChild<QLabel *>("status"); }
    QLabel *warning() const { return widget.findChild<QLabel *>("warning"); }

    ScriptedCommand *command;
    ExecuteCommandWidget widget;
};

} // namespace

class TestExecuteCommandWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void construction_showsTheGivenTextsAndNoWarning();
    void press_startsAtOnceOrOnlyRequests_data();
    void press_startsAtOnceOrOnlyRequests();
    void press_notStartedWhenAReceiverTookThePendingMark();
    void press_resetsTheDisplaysAndLogs();
    void progress_isLimitedToTheBarsMaximum_data();
    void progress_isLimitedToTheBarsMaximum();
    void finished_leavesAFullBarAndSuccess();
    void warning_setsAndClearsTheLine();
    void error_enablesTheButtonAndKeepsTheDisplays();
    void warningColours_perPaletteState_data();
    void warningColours_perPaletteState();
    void destruction_cancelsARunningCommand();
};

void TestExecuteCommandWidget::initTestCase()
{
    QThread::currentThread()->setObjectName(QStringLiteral("main"));
}

void TestExecuteCommandWidget::construction_showsTheGivenTextsAndNoWarning()
{
    Fixture f(true);
    QCOMPARE(f.widget.objectName(), QStringLiteral("ExecuteCommandWidget"));
    QCOMPARE(f.widget.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(f.button()->text(), QStringLiteral("Parameterize"));
    QCOMPARE(f.button()->toolTip(), QStringLiteral("Parameterize the device"));
    QVERIFY(f.button()->isEnabled());
    QCOMPARE(f.warning()->text(), QString());
    QCOMPARE(f.status()->text(), QStringLiteral("Waiting for user"));
    QCOMPARE(f.bar()->value(), 0);
    QCOMPARE(f.command->parent(), &f.widget);
    QCOMPARE(f.command->getParentCommand(), nullptr);
}

void TestExecuteCommandWidget::press_startsAtOnceOrOnlyRequests_data()
{
    QTest::addColumn<bool>("deferred");
    QTest::addColumn<QStringList>("signalOrder");
    QTest::addColumn<int>("executions");
    QTest::addColumn<bool>("pending");

    QTest::newRow("immediate") << false << QStringList{"executionRequested", "executionStarted"} << 1 << false;
    QTest::newRow("deferred") << true << QStringList{"executionRequested"} << 0 << true;
}

void TestExecuteCommandWidget::press_startsAtOnceOrOnlyRequests()
{
    QFETCH(bool, deferred);
    Fixture f(deferred);
    QStringList order;
    int executionsWhenRequested = -1;
    connect(&f.widget, &ExecuteCommandWidget::executionRequested, this, [&] {
        order << "executionRequested";
        executionsWhenRequested = f.command->executions;
    });
    connect(&f.widget, &ExecuteCommandWidget::executionStarted, this, [&] { order << "executionStarted"; });

    QTest::mouseClick(f.button(), Qt::LeftButton);

    QTEST(order, "signalOrder");
    QCOMPARE(executionsWhenRequested, 0);
    QTEST(f.command->executions, "executions");
    QTEST(f.widget.isPending(), "pending");
    QVERIFY(!f.button()->isEnabled());
}

void TestExecuteCommandWidget::press_notStartedWhenAReceiverTookThePendingMark()
{
    Fixture f(false);
    connect(&f.widget, &ExecuteCommandWidget::executionRequested, this, [&] { f.widget.clearPending(); });
    QSignalSpy started(&f.widget, &ExecuteCommandWidget::executionStarted);
    QTest::mouseClick(f.button(), Qt::LeftButton);
    QCOMPARE(started.count(), 0);
    QCOMPARE(f.command->executions, 0);
}

void TestExecuteCommandWidget::press_resetsTheDisplaysAndLogs()
{
    LogRecorder log;
    Fixture f(true, 1, true);
    f.widget.showProgress(60, QStringLiteral("Writing parameters"));
    f.command->warn(QStringLiteral("Careful"));

    QTest::mouseClick(f.button(), Qt::LeftButton);

    QCOMPARE(f.bar()->value(), 0);
    QCOMPARE(f.status()->text(), QStringLiteral("Waiting for user"));
    QCOMPARE(f.warning()->text(), QString());
    QVERIFY(!f.button()->isEnabled());
    QCOMPARE(log.linesWith("Requested execution"), QStringList{"[info] [main] Requested execution of N12_GLOBAL__N_115ScriptedCommandE"});
}

void TestExecuteCommandWidget::progress_isLimitedToTheBarsMaximum_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("detailed");
    QTest::addColumn<int>("report");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("shown");

    QTest::newRow("percent") << 1 << true << 42 << 100 << 42;
    QTest::newRow("percent above 100") << 1 << true << 250 << 100 << 100;
    QTest::newRow("steps") << 4 << false << 3 << 4 << 3;
    QTest::newRow("steps above the count") << 4 << false << 7 << 4 << 4;
    QTest::newRow("detailed ignores the count") << 4 << true << 7 << 100 << 7;
}

void TestExecuteCommandWidget::progress_isLimitedToTheBarsMaximum()
{
    QFETCH(int, count);
    QFETCH(bool, detailed);
    QFETCH(int, report);
    Fixture f(false, std::uint32_t(count), detailed);
    QTest::mouseClick(f.button(), Qt::LeftButton);

    f.command->report(std::uint32_t(report), QStringLiteral("Restarting device"));

    QTEST(f.bar()->maximum(), "maximum");
    QTEST(f.bar()->value(), "shown");
    QCOMPARE(f.status()->text(), QStringLiteral("Restarting device"));
}

void TestExecuteCommandWidget::finished_leavesAFullBarAndSuccess()
{
    Fixture f(false, 4, false);
    QSignalSpy finished(&f.widget, &ExecuteCommandWidget::finished);
    QTest::mouseClick(f.button(), Qt::LeftButton);
    f.command->report(1, QStringLiteral("Writing parameters"));

    f.command->succeed();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(f.bar()->value(), 4);
    QCOMPARE(f.status()->text(), QStringLiteral("Success"));
    QVERIFY(f.button()->isEnabled());
}

void TestExecuteCommandWidget::warning_setsAndClearsTheLine()
{
    Fixture f(false);
    f.command->warn(QStringLiteral("The parameters for the connected device version are empty"));
    QCOMPARE(f.warning()->text(), QStringLiteral("The parameters for the connected device version are empty"));
    f.command->warn(QString());
    QCOMPARE(f.warning()->text(), QString());
}

void TestExecuteCommandWidget::error_enablesTheButtonAndKeepsTheDisplays()
{
    Fixture f(false);
    QSignalSpy errors(&f.widget, &ExecuteCommandWidget::errorOccurred);
    QSignalSpy finished(&f.widget, &ExecuteCommandWidget::finished);
    QTest::mouseClick(f.button(), Qt::LeftButton);
    f.command->report(30, QStringLiteral("Writing parameters"));
    f.command->warn(QStringLiteral("Careful"));

    f.command->fail(QStringLiteral("Could not open com port!"));

    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Could not open com port!"));
    QCOMPARE(errors.at(0).at(1).value<System>(), System::Device);
    QCOMPARE(errors.at(0).at(2).toBool(), true);
    QCOMPARE(finished.count(), 0);
    QVERIFY(f.button()->isEnabled());
    QCOMPARE(f.bar()->value(), 30);
    QCOMPARE(f.status()->text(), QStringLiteral("Writing parameters"));
    QCOMPARE(f.warning()->text(), QStringLiteral("Careful"));
}

void TestExecuteCommandWidget::warningColours_perPaletteState_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("active") << int(QPalette::Active) << QColor(224, 27, 36);
    QTest::newRow("inactive") << int(QPalette::Inactive) << QColor(0, 0, 0);
    QTest::newRow("disabled") << int(QPalette::Disabled) << QColor(190, 190, 190);
}

void TestExecuteCommandWidget::warningColours_perPaletteState()
{
    QFETCH(int, group);
    Fixture f(false);
    QTEST(f.warning()->palette().color(QPalette::ColorGroup(group), QPalette::WindowText), "colour");
}

void TestExecuteCommandWidget::destruction_cancelsARunningCommand()
{
    bool cancelled = false;
    QPointer<Command> command;
    {
        Fixture f(false);
        f.command->cancelled = &cancelled;
        command = f.command;
        QTest::mouseClick(f.button(), Qt::LeftButton);
        QVERIFY(f.command->isRunning());
    }
    QVERIFY(cancelled);
    QVERIFY(command.isNull());
}

QTEST_MAIN(TestExecuteCommandWidget)
#include "tst_executecommandwidget.moc"
