#include "application/components/ConnectedDeviceCommand.h"

namespace Thg::Tilo::Components {

ConnectedDeviceCommand::ConnectedDeviceCommand(ConnectedDeviceContext &context, QObject *parent)
    : Command(parent), mContext(context)
{
}

bool ConnectedDeviceCommand::checkPreconditions()
{
    if (mContext.isDeviceConnected())
        return true;
    // The class shares Command's meta-object, and so its translation context.
    error(Command::tr("No device connected"), System::Device, true);
    return false;
}

} // namespace Thg::Tilo::Components
