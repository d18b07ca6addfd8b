#include "application/LoggerSetup.h"

#include "application/Logger.h"

#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>

#include <chrono>
#include <memory>
#include <vector>

namespace Thg::Tilo::Components {

namespace {

constexpr std::size_t queueSize = 8192;
constexpr std::size_t workerThreads = 1;
constexpr const char *linePattern = "[%Y-%m-%d %H:%M:%S.%f] [%^%l%$] %v";
// The log is read on Windows machines.
constexpr const char *lineEnd = "\r\n";
// Below error level, lines wait in the file sink's buffer; a program that is killed would lose them,
// and the log is what support asks for.
constexpr std::chrono::seconds flushInterval{1};

} // namespace

void initializeLogger(const LoggerSettings &settings)
{
    if (Logger::mInitialized.load(std::memory_order_acquire))
        return;

    spdlog::init_thread_pool(queueSize, workerThreads);

    std::vector<spdlog::sink_ptr> sinks;
    sinks.push_back(std::make_shared<spdlog::sinks::stdout_color_sink_mt>());
    std::string fileError;
    try {
        sinks.push_back(std::make_shared<spdlog::sinks::rotating_file_sink_mt>(settings.fileName, settings.maxFileSize,
                                                                               settings.maxFiles, false));
    } catch (const spdlog::spdlog_ex &e) {
        fileError = e.what();
    }

    // Overwriting the oldest message keeps a burst of messages from ever blocking a caller.
    auto logger = std::make_shared<spdlog::async_logger>("default", sinks.begin(), sinks.end(), spdlog::thread_pool(),
                                                         spdlog::async_overflow_policy::overrun_oldest);
    logger->set_formatter(
        std::make_unique<spdlog::pattern_formatter>(linePattern, spdlog::pattern_time_type::local, lineEnd));
    logger->set_level(spdlog::level::trace);
    logger->flush_on(spdlog::level::err);
    spdlog::set_default_logger(std::move(logger));
    // Stopped by the shut-down of the logging library.
    spdlog::flush_every(flushInterval);
    Logger::mInitialized.store(true, std::memory_order_release);

    if (!fileError.empty())
        Logger::error("Could not open log file {}: {}", settings.fileName, fileError);
}

} // namespace Thg::Tilo::Components
