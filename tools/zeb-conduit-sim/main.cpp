// zeb-conduit-sim: ZEB-Conduit as it starts for a user, with the simulated ZEB device on a
// pseudo-terminal among its serial ports, so that the whole road can be watched without hardware.
//
// Usage: zeb-conduit-sim [zeb-sim options...]   (from the build folder, which holds "Resources" and
//        "translations", as scripts/run starts the program)
// The options go to zeb-sim (e.g. --wrong-read-back 2, --silent-after 5); see zeb-sim --help. The
// simulated line always echoes (--single-wire), as the half-duplex line of the description does.

#include "application/ZebConduit.h"

#include <QProcess>

#include <cstdio>
#include <memory>

namespace {

constexpr int SimStartMs = 5000;

} // namespace

int main(int argc, char *argv[])
{
    // Qt's system enumeration never lists a pseudo-terminal; the scanner's seam adds the simulated
    // device's one to whatever the system has.
    auto simulatedPort = std::make_shared<QString>();
    ZebConduit application(argc, argv, [simulatedPort] {
        Thg::Tilo::Communication::ComPortScanner::List ports =
            Thg::Tilo::Communication::QtComPortScanner::systemPorts();
        Thg::Tilo::Communication::Comport port;
        port.Number = *simulatedPort;
        port.Manufacturer = QStringLiteral("zeb-sim");
        ports.append(port);
        return ports;
    });

    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList simulatorArguments = QCoreApplication::arguments().mid(1);
    if (!simulatorArguments.contains(QStringLiteral("--single-wire")))
        simulatorArguments.prepend(QStringLiteral("--single-wire"));
    simulator.start(QStringLiteral(ZEB_SIM_PATH), simulatorArguments);
    if (!simulator.waitForStarted(SimStartMs) || !simulator.waitForReadyRead(SimStartMs) || !simulator.canReadLine()) {
        simulator.waitForFinished(SimStartMs);
        std::fprintf(stderr, "zeb-conduit-sim: the simulated device did not start (%s)\n",
                     qPrintable(simulator.errorString()));
        return 1;
    }
    *simulatedPort = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    std::printf("zeb-conduit-sim: the simulated ZEB device is on %s\n", qPrintable(*simulatedPort));
    std::fflush(stdout);

    setUpProcess(application);
    const int code = application.start();

    simulator.terminate();
    if (!simulator.waitForFinished(SimStartMs))
        simulator.kill();
    return code;
}
