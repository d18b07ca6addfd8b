#pragma once

#include <cstddef>
#include <string>

namespace Thg::Tilo::Components {

// Where the log file goes and when it rotates. The defaults are the program's; tests shrink them.
struct LoggerSettings {
    // Relative to the working directory.
    std::string fileName = "ZEB-Conduit.log";
    std::size_t maxFileSize = 10485760;
    // Rotated files kept beside the current one ("ZEB-Conduit.1.log", "ZEB-Conduit.2.log").
    std::size_t maxFiles = 2;
};

// Creates the program's asynchronous logger "default" (console and rotating file, level trace,
// flush at error and at least once a second) and makes it the logging library's default logger;
// does nothing while the logger is set up. A log file that cannot be opened costs only the file: the console still logs.
void initializeLogger(const LoggerSettings &settings = {});

} // namespace Thg::Tilo::Components
