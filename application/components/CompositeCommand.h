#pragma once

#include "application/components/Command.h"

#include <QTimer>

#include <cstdint>
#include <vector>

namespace Thg::Tilo::Components {

// Runs its children one after another in list order, each started from the event loop once the
// previous one has finished; the first error ends it. It owns its children (QObject children).
// It shares Command's meta-object.
class CompositeCommand : public Command {
public:
    CompositeCommand(const std::vector<Command *> &commands, bool detailedProgress, QObject *parent = nullptr);
    ~CompositeCommand() override;

    // Ignored while running and for a command that is already a child.
    void addCommand(Command *command);

    std::uint32_t getCount() const override;
    bool hasDetailedProgress() const override;
    // The current child's description; empty past the last child.
    QString getDescription() const override;

    const std::vector<Command *> &getCommands() const { return mCommands; }

protected:
    void doConnect() override;
    void doDisconnect() override;
    void doExecute() override;
    void doStop() override;
    void doCancel() override;
    void finish() override;

private:
    void executeCurrent();
    bool currentIsRunning() const;

    std::vector<Command *> mCommands;
    QTimer mTimer;
    std::uint8_t mIndex = 0;
    bool mDetailedProgress = false;
    bool mStopRequested = false;
};

} // namespace Thg::Tilo::Components
