#pragma once

#include "application/Application.h"

#include "communication/QtComPortScanner.h"

// The ZEB-Conduit program: `start` sets up the logger and the translation, builds every long-lived
// object in a fixed order, runs the event loop and takes everything down again in reverse order.
class ZebConduit : public Thg::Tilo::Components::Application {
    Q_OBJECT
public:
    // The port enumeration is the scanner's seam: the program lists the system's serial ports;
    // developer tools offer a simulated device's pseudo-terminal as well.
    ZebConduit(int &argc, char **argv,
               Thg::Tilo::Communication::QtComPortScanner::Enumeration portEnumeration =
                   &Thg::Tilo::Communication::QtComPortScanner::systemPorts);

    // Returns the event loop's result.
    int start() override;

    static constexpr int portScanIntervalMs = 1000;

private:
    void installTranslator();

    Thg::Tilo::Communication::QtComPortScanner::Enumeration mPortEnumeration;
};

// The process-wide identity the entry function gives the application object before `start`:
// organisation and application names, the main thread's name "main", the Qt message handler that
// feeds the log, and the style.
void setUpProcess(ZebConduit &application);
