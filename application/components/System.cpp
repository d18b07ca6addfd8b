#include "application/components/System.h"

#include "communication/MetaTypes.h"

namespace Thg::Tilo::Components {

void registerMetaTypes()
{
    Thg::Tilo::Communication::registerMetaTypes();
    qRegisterMetaType<System>("Thg::Tilo::Components::System");
}

} // namespace Thg::Tilo::Components
