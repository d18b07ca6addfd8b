#include "communication/Comport.h"

namespace Thg::Tilo::Communication {

QDebug operator<<(QDebug debug, const Comport &port)
{
    QDebugStateSaver saver(debug);
    debug << "Number:" << port.Number << "Manufacturer:" << port.Manufacturer << "Pid:" << port.Pid
          << "Vid:" << port.Vid << "HalfDuplex:" << port.HalfDuplex << "Startup(ms):" << port.Startup
          << "PowerDown(ms):" << port.PowerDown;
    return debug;
}

} // namespace Thg::Tilo::Communication
