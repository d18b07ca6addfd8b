// zeb-sim: a simulated ZEB device on a pseudo-terminal. See --help.

#include "tools/zeb-sim/SimConfig.h"
#include "tools/zeb-sim/ZebSimDevice.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zeb-sim"));

    const ZebSim::ParsedOptions options = ZebSim::parseOptions(QCoreApplication::arguments());
    if (!options.helpText.isEmpty()) {
        std::fputs(qPrintable(options.helpText), stdout);
        return 0;
    }
    if (!options.config) {
        std::fprintf(stderr, "zeb-sim: %s\nTry 'zeb-sim --help'.\n", qPrintable(options.error));
        return 2;
    }

    // Ctrl+C and kill end the event loop, so that the link placed with --link is removed.
    if (::pipe(signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    ZebSim::ZebSimDevice device(*options.config);
    QString error;
    if (!device.start(&error)) {
        std::fprintf(stderr, "zeb-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(device.portPath()));
    std::fflush(stdout);
    return app.exec();
}
