#include "communication/Device.h"

namespace Thg::Tilo::Communication {

namespace {

// Ends the current item's line; the next item starts at the beginning of a line.
void endLine(QDebug &debug)
{
    debug.nospace() << '\n';
    debug.space();
}

} // namespace

QDebug operator<<(QDebug debug, const Device &device)
{
    const QList<QString> bytes = device.address.getAddressAsString(device.address.asArray(Address::Type::None));
    const Address::Type type = device.address.getType();
    const bool hasSub = type == Address::Type::SubDevice || type == Address::Type::DeviceAndSubDevice;

    QDebugStateSaver saver(debug);
    debug.space();
    debug << "Name:" << device.Name;
    endLine(debug);
    debug << "Version:" << device.Version;
    endLine(debug);
    debug << "Revision:" << device.Revision;
    endLine(debug);
    debug << "Vendor:" << device.Vendor;
    endLine(debug);
    debug << "Address:";
    endLine(debug);
    debug.noquote() << "Vendor:" << bytes[0];
    endLine(debug);
    debug << "Device:" << bytes[1] << bytes[2];
    endLine(debug);
    debug << "SubDevice:" << bytes[3] << bytes[4];
    endLine(debug);
    endLine(debug);
    debug.quote() << "has Sub:" << hasSub;
    endLine(debug);
    debug << "Sub Name:" << device.SubName;
    endLine(debug);
    debug << "Sub Version:" << device.SubVersion;
    endLine(debug);
    debug << "Sub Revision:" << device.SubRevision;
    return debug;
}

} // namespace Thg::Tilo::Communication
