#pragma once

#include <QtGlobal>
#include <QtMessageHandler>

#include <spdlog/spdlog.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace Thg::Tilo::Components {

// The one front of the program's log. Every message starts with the calling thread's name in
// brackets; the command framework adds its nesting depth as blanks after it.
//
// Other threads (the device thread, the serial port thread, the port scanner) go on logging while
// the logger is shut down at the end of the program, so the flag is atomic, and a message that
// slipped past it finds no default logger and is dropped.
class Logger {
public:
    Logger() = delete;

    static std::atomic_bool mInitialized;
    static constexpr const char *multiArgFormat = "[{}] ";
    static constexpr const char *multiArgIndentFormat = "[{}] {:{}}";

    template <typename... Args>
    static void debug(const char *format, const Args &...args)
    {
        log(spdlog::level::debug, 0, format, args...);
    }
    template <typename... Args>
    static void debug(std::uint8_t indentation, const char *format, const Args &...args)
    {
        log(spdlog::level::debug, indentation, format, args...);
    }
    template <typename... Args>
    static void info(const char *format, const Args &...args)
    {
        log(spdlog::level::info, 0, format, args...);
    }
    template <typename... Args>
    static void info(std::uint8_t indentation, const char *format, const Args &...args)
    {
        log(spdlog::level::info, indentation, format, args...);
    }
    template <typename... Args>
    static void warn(const char *format, const Args &...args)
    {
        log(spdlog::level::warn, 0, format, args...);
    }
    template <typename... Args>
    static void warn(std::uint8_t indentation, const char *format, const Args &...args)
    {
        log(spdlog::level::warn, indentation, format, args...);
    }
    template <typename... Args>
    static void error(const char *format, const Args &...args)
    {
        log(spdlog::level::err, 0, format, args...);
    }
    template <typename... Args>
    static void error(std::uint8_t indentation, const char *format, const Args &...args)
    {
        log(spdlog::level::err, indentation, format, args...);
    }

    // Any level, for callers that choose it at run time (the Qt message handler, the service log).
    template <typename... Args>
    static void log(spdlog::level::level_enum level, std::uint8_t indentation, const char *format,
                    const Args &...args)
    {
        if (!mInitialized.load(std::memory_order_acquire))
            return;
        const std::shared_ptr<spdlog::logger> logger = spdlog::default_logger();
        if (!logger || !logger->should_log(level))
            return;
        if (indentation == 0) {
            logger->log(level, fmt::runtime(std::string(multiArgFormat) + format), qtThreadName(), args...);
        } else {
            // A blank padded to the width: "[main] " followed by `indentation` more blanks.
            logger->log(level, fmt::runtime(std::string(multiArgIndentFormat) + format), qtThreadName(), ' ',
                        unsigned(indentation), args...);
        }
    }

    // The object name of the current thread; empty for a thread nobody named.
    static std::string qtThreadName();

    // Writes out every queued message and drops every logger. Only the first of several callers,
    // whatever thread it is on, does so; every later log call is dropped.
    static void shutdown();
};

// The Qt message handler that was installed before messageHandler; it gets every message after us.
extern QtMessageHandler defaultMessageHandler;

// Feeds Qt's messages into the log at the matching level, then hands them to defaultMessageHandler.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Installs messageHandler and keeps the handler it replaces in defaultMessageHandler.
void installMessageHandler();
// Restores Qt's default handler and forgets the previous one.
void uninstallMessageHandler();

} // namespace Thg::Tilo::Components
