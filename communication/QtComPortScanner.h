#pragma once

#include "communication/ComPortScanner.h"

#include <QThread>
#include <QTimer>

#include <functional>

namespace Thg::Tilo::Communication {

// The scanner over the system's serial ports: polls on a thread of its own, "ComPortScanner", while
// its timer ticks on the thread that built it.
//
// The enumeration is a seam: the system's list never holds a pseudo-terminal, so a program that
// wants to offer one (a simulated device, for instance) passes its own enumeration, which may add to
// systemPorts(). It runs on the scanner's thread; of each port it lists, the name, the manufacturer
// and the USB ids are taken.
class QtComPortScanner : public ComPortScanner {
    Q_OBJECT
public:
    using Enumeration = std::function<ComPortScanner::List()>;

    // Scans every `interval` ms, the first time one interval from now.
    explicit QtComPortScanner(int interval, Enumeration enumerate = &QtComPortScanner::systemPorts);
    ~QtComPortScanner() override;

    // The ports Qt lists, with their names, manufacturers and USB ids.
    static ComPortScanner::List systemPorts();
    // Whether two lists hold the same ports, in whatever order.
    static bool sameSet(const ComPortScanner::List &a, const ComPortScanner::List &b);

private:
    void scan();

    Enumeration mEnumerate;
    ComPortScanner::List mLastPorts;
    QTimer mTimer;
    QThread mThread;
};

} // namespace Thg::Tilo::Communication
