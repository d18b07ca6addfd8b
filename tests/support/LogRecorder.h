#pragma once

#include "application/Logger.h"

#include <QString>
#include <QStringList>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>

// Catches what the application logs, for tests that check log lines: while it lives, the facade
// writes to a synchronous logger whose lines are kept in memory as "[level] message" (the message
// with its "[thread] " prefix). Tests that use it name their main thread "main" themselves.
class LogRecorder {
public:
    LogRecorder()
    {
        mSink = std::make_shared<Sink>();
        auto logger = std::make_shared<spdlog::logger>("default", mSink);
        logger->set_level(spdlog::level::trace);
        spdlog::set_default_logger(std::move(logger));
        Thg::Tilo::Components::Logger::mInitialized = true;
    }

    ~LogRecorder()
    {
        Thg::Tilo::Components::Logger::mInitialized = false;
        spdlog::drop_all();
    }

    LogRecorder(const LogRecorder &) = delete;
    LogRecorder &operator=(const LogRecorder &) = delete;

    QStringList lines() const
    {
        const std::lock_guard lock(mSink->linesMutex);
        return mSink->recorded;
    }

    // The lines that contain `part`.
    QStringList linesWith(const QString &part) const { return lines().filter(part); }

    void clear()
    {
        const std::lock_guard lock(mSink->linesMutex);
        mSink->recorded.clear();
    }

private:
    struct Sink : spdlog::sinks::base_sink<std::mutex> {
        void sink_it_(const spdlog::details::log_msg &message) override
        {
            const std::lock_guard lock(linesMutex);
            const auto level = spdlog::level::to_string_view(message.level);
            recorded << QStringLiteral("[%1] %2")
                            .arg(QString::fromUtf8(level.data(), qsizetype(level.size())),
                                 QString::fromUtf8(message.payload.data(), qsizetype(message.payload.size())));
        }
        void flush_() override {}

        mutable std::mutex linesMutex;
        QStringList recorded;
    };

    std::shared_ptr<Sink> mSink;
};
