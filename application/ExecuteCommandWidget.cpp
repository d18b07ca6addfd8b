#include "application/ExecuteCommandWidget.h"

#include "application/Logger.h"
#include "application/TypeName.h"
#include "application/components/Command.h"

#include "ui_ExecuteCommandWidget.h"

#include <algorithm>

namespace Thg::Tilo::Components {

ExecuteCommandWidget::ExecuteCommandWidget(const QString &text, const QString &toolTip, Command *command,
                                           bool deferred)
    : QWidget(nullptr), ui(std::make_unique<Ui::ExecuteCommandWidget>()), mCommand(command), mDeferred(deferred)
{
    ui->setupUi(this);
    ui->warning->clear();
    ui->execute->setText(text);
    ui->execute->setToolTip(toolTip);
    ui->progress->setMaximum(mCommand->hasDetailedProgress() ? 100 : int(mCommand->getCount()));

    connect(ui->execute, &QPushButton::clicked, this, &ExecuteCommandWidget::requestExecution);
    mCommand->setParent(this);
    connect(mCommand, &Command::progressUpdated, this, &ExecuteCommandWidget::showProgress);
    connect(mCommand, &Command::finished, this, &ExecuteCommandWidget::handleFinished);
    connect(mCommand, &Command::warningOccurred, this, &ExecuteCommandWidget::handleWarning);
    connect(mCommand, &Command::errorOccurred, this, &ExecuteCommandWidget::handleError);
}

ExecuteCommandWidget::~ExecuteCommandWidget()
{
    if (mCommand->isRunning())
        mCommand->cancel();
    disconnect(mCommand, nullptr, this, nullptr);
}

ProgressBarWidget *ExecuteCommandWidget::progress() const
{
    return ui->progress;
}

void ExecuteCommandWidget::startCommand()
{
    emit executionStarted();
    mCommand->execute();
}

void ExecuteCommandWidget::clearWarning()
{
    ui->warning->clear();
}

void ExecuteCommandWidget::showProgress(std::uint32_t value, const QString &text)
{
    const auto maximum = std::uint32_t(std::max(ui->progress->maximum(), 0));
    ui->progress->setValue(int(std::min(value, maximum)));
    ui->progress->setStatusText(text);
}

void ExecuteCommandWidget::setButtonEnabled(bool enabled)
{
    ui->execute->setEnabled(enabled);
}

QString ExecuteCommandWidget::warningText() const
{
    return ui->warning->text();
}

void ExecuteCommandWidget::requestExecution()
{
    ui->progress->setValue(0);
    ui->progress->setStatusText(tr("Waiting for user"));
    ui->warning->clear();
    ui->execute->setEnabled(false);
    mPending = true;

    Logger::info("Requested execution of {}", runtimeTypeName(*mCommand));
    emit executionRequested();

    // A receiver of executionRequested may have started or dropped the execution already.
    if (!mDeferred && mPending) {
        mPending = false;
        startCommand();
    }
}

void ExecuteCommandWidget::handleFinished()
{
    ui->execute->setEnabled(true);
    ui->progress->setValue(ui->progress->maximum());
    ui->progress->setStatusText(tr("Success"));
    emit finished();
}

void ExecuteCommandWidget::handleWarning(const QString &message)
{
    ui->warning->setText(message);
}

void ExecuteCommandWidget::handleError(const QString &message, System system, bool disconnected)
{
    ui->execute->setEnabled(true);
    emit errorOccurred(message, system, disconnected);
}

} // namespace Thg::Tilo::Components
