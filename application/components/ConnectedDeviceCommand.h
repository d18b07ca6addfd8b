#pragma once

#include "application/components/Command.h"
#include "application/components/ConnectedDeviceContext.h"

namespace Thg::Tilo::Components {

// A command that needs a connected device. It shares Command's meta-object, so its texts are
// translated in Command's context.
class ConnectedDeviceCommand : public Command {
public:
    ConnectedDeviceCommand(ConnectedDeviceContext &context, QObject *parent = nullptr);

protected:
    bool checkPreconditions() override;

    ConnectedDeviceContext &mContext;
};

} // namespace Thg::Tilo::Components
