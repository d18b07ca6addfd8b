#include "application/components/Command.h"

#include "application/Logger.h"

#include <algorithm>
#include <typeinfo>

namespace Thg::Tilo::Components {

Command::Command(QObject *parent) : QObject(nullptr), mParentCommand(qobject_cast<Command *>(parent))
{
    setParent(parent);
}

Command::~Command()
{
    if (mRunning)
        cancel();
}

std::uint32_t Command::getCount() const
{
    return 1;
}

bool Command::hasDetailedProgress() const
{
    return true;
}

void Command::execute()
{
    if (mRunning)
        return;
    Logger::debug(depth(), "Executing {} ({})", typeName(), getDescription().toStdString());
    emit progressUpdated(0, getDescription());
    if (!checkPreconditions())
        return;
    mRunning = true;
    doConnect();
    doExecute();
}

void Command::cancel()
{
    if (!mRunning)
        return;
    Logger::debug(depth(), "Canceling {}", typeName());
    doCancel();
    doDisconnect();
    mRunning = false;
}

void Command::stop()
{
    if (!mRunning)
        return;
    Logger::debug(depth(), "Stopping {}", typeName());
    doStop();
}

std::uint8_t Command::getDepth(bool) const
{
    return std::uint8_t(depth() + 1);
}

void Command::error(const QString &message, System system, bool disconnected)
{
    doDisconnect();
    Logger::debug(depth(), "Error in {}", typeName());
    mRunning = false;
    emit errorOccurred(message, system, disconnected);
}

bool Command::checkPreconditions()
{
    return true;
}

void Command::doConnect() {}

void Command::doDisconnect() {}

void Command::doStop() {}

void Command::doCancel() {}

void Command::finish()
{
    doDisconnect();
    Logger::debug(depth(), "Finished {}", typeName());
    mRunning = false;
    emit finished();
}

std::string Command::typeName() const
{
    std::string name = typeid(*this).name();
    if (!name.empty() && name.front() == '*')
        name.erase(0, 1);
    return name;
}

std::uint8_t Command::depth() const
{
    if (mDepth == depthUnknown) {
        // 254 at most: 255 stands for "not yet known".
        mDepth = mParentCommand ? std::uint8_t(std::min(mParentCommand->depth() + 2, 254)) : 0;
    }
    return mDepth;
}

} // namespace Thg::Tilo::Components
