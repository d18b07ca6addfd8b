#include "application/components/CompositeCommand.h"

#include "application/Logger.h"

#include <algorithm>

namespace Thg::Tilo::Components {

CompositeCommand::CompositeCommand(const std::vector<Command *> &commands, bool detailedProgress, QObject *parent)
    : Command(parent), mTimer(this), mDetailedProgress(detailedProgress)
{
    // Each child starts from the event loop, never inside the call chain of the previous child's
    // `finished`.
    mTimer.setSingleShot(true);
    mTimer.setTimerType(Qt::PreciseTimer);
    mTimer.setInterval(0);
    connect(&mTimer, &QTimer::timeout, this, &CompositeCommand::executeCurrent);

    for (auto it = commands.begin(); it != commands.end(); ++it) {
        if (std::find(commands.begin(), it, *it) != it) {
            Logger::warn(getDepth(), "Duplicate command {} is ignored", (*it)->typeName());
            continue;
        }
        addCommand(*it);
    }
}

CompositeCommand::~CompositeCommand()
{
    if (isRunning())
        cancel();
}

void CompositeCommand::addCommand(Command *command)
{
    if (!command || isRunning())
        return;
    if (std::find(mCommands.begin(), mCommands.end(), command) != mCommands.end())
        return;
    command->mParentCommand = this;
    command->mDepth = depthUnknown;
    command->setParent(this);
    mCommands.push_back(command);
}

std::uint32_t CompositeCommand::getCount() const
{
    return std::uint32_t(mCommands.size());
}

bool CompositeCommand::hasDetailedProgress() const
{
    return mDetailedProgress;
}

QString CompositeCommand::getDescription() const
{
    if (mIndex >= mCommands.size())
        return QString();
    return mCommands[mIndex]->getDescription();
}

void CompositeCommand::doConnect()
{
    for (Command *child : mCommands) {
        if (mDetailedProgress)
            connect(child, &Command::progressUpdated, this, &Command::progressUpdated);
        connect(child, &Command::finished, this, &CompositeCommand::finish);
        connect(child, &Command::warningOccurred, this, &Command::warningOccurred);
        connect(child, &Command::errorOccurred, this, &Command::error);
    }
}

void CompositeCommand::doDisconnect()
{
    for (Command *child : mCommands)
        disconnect(child, nullptr, this, nullptr);
}

void CompositeCommand::doExecute()
{
    if (mCommands.empty()) {
        Command::finish();
        return;
    }
    mStopRequested = false;
    mIndex = 0;
    mTimer.start();
}

void CompositeCommand::executeCurrent()
{
    if (mIndex >= mCommands.size())
        return;
    Logger::debug(getDepth(), "Executing command {}", unsigned(mIndex));
    mCommands[mIndex]->execute();
}

bool CompositeCommand::currentIsRunning() const
{
    return mIndex < mCommands.size() && mCommands[mIndex]->isRunning();
}

void CompositeCommand::finish()
{
    if (mCommands.empty()) {
        Command::finish();
        return;
    }
    ++mIndex;
    if (!mDetailedProgress) {
        const std::size_t described = std::min<std::size_t>(mIndex, mCommands.size() - 1);
        emit progressUpdated(mIndex, mCommands[described]->getDescription());
    }
    if (mIndex >= mCommands.size() || mStopRequested) {
        Command::finish();
        return;
    }
    mTimer.start();
}

void CompositeCommand::doStop()
{
    mStopRequested = true;
    mTimer.stop();
    if (!currentIsRunning()) {
        Command::finish();
        return;
    }
    Command *child = mCommands[mIndex];
    Logger::debug(child->depth(), "Stopping {}", child->typeName());
    child->doStop();
    // A child that ends at once has already finished this composite through its `finished`.
    if (!child->isRunning() && isRunning())
        Command::finish();
}

void CompositeCommand::doCancel()
{
    mStopRequested = true;
    mTimer.stop();
    if (currentIsRunning())
        mCommands[mIndex]->cancel();
}

} // namespace Thg::Tilo::Components
