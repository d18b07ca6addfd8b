#include "application/components/Connector.h"

namespace Thg::Tilo::Components {

Connector::Connector(QObject *parent) : QObject(parent) {}

} // namespace Thg::Tilo::Components
