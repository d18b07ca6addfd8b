#pragma once

#include "application/components/System.h"

#include <QWidget>

#include <cstdint>
#include <memory>

namespace Thg::Tilo::Components {

class Command;
class ProgressBarWidget;

namespace Ui {
class ExecuteCommandWidget;
}

// A button that runs one command, with a progress bar and status line and a warning line fed by the
// command. With a deferred start the button only requests the execution: the owner prepares what
// the command needs and then starts it (isPending, clearPending, startCommand).
class ExecuteCommandWidget : public QWidget {
    Q_OBJECT
public:
    // Takes the command over as a child.
    ExecuteCommandWidget(const QString &text, const QString &toolTip, Command *command, bool deferred);
    // Cancels a running command before it goes with the widget.
    ~ExecuteCommandWidget() override;

    Command *getCommand() const { return mCommand; }
    ProgressBarWidget *progress() const;

    // An execution has been requested and not yet started.
    bool isPending() const { return mPending; }
    void clearPending() { mPending = false; }
    // Announces the start (executionStarted) and executes the command.
    void startCommand();

    // Shows a progress report: the value limited to the bar's maximum, and its text.
    void showProgress(std::uint32_t value, const QString &text);
    void setButtonEnabled(bool enabled);
    QString warningText() const;
    void clearWarning();

signals:
    void executionRequested();
    void executionStarted();
    void finished();
    void errorOccurred(const QString &message, Thg::Tilo::Components::System system, bool disconnected);

private:
    void requestExecution();
    void handleFinished();
    void handleWarning(const QString &message);
    void handleError(const QString &message, Thg::Tilo::Components::System system, bool disconnected);

    std::unique_ptr<Ui::ExecuteCommandWidget> ui;
    Command *mCommand;
    bool mDeferred;
    bool mPending = false;
};

} // namespace Thg::Tilo::Components
