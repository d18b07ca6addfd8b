#include "application/Logger.h"

#include <QString>
#include <QThread>

namespace Thg::Tilo::Components {

std::atomic_bool Logger::mInitialized = false;
QtMessageHandler defaultMessageHandler = nullptr;

std::string Logger::qtThreadName()
{
    return QThread::currentThread()->objectName().toStdString();
}

void Logger::shutdown()
{
    if (!mInitialized.exchange(false, std::memory_order_acq_rel))
        return;
    spdlog::shutdown();
}

namespace {

spdlog::level::level_enum levelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return spdlog::level::debug;
    case QtInfoMsg:
        return spdlog::level::info;
    case QtWarningMsg:
        return spdlog::level::warn;
    case QtCriticalMsg:
        return spdlog::level::err;
    case QtFatalMsg:
        return spdlog::level::critical;
    }
    return spdlog::level::critical;
}

} // namespace

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (Logger::mInitialized.load(std::memory_order_acquire)) {
        const std::string text = qFormatLogMessage(type, context, message).toStdString();
        Logger::log(levelOf(type), 0, "{}", text);
        // Qt aborts once the handlers return, and the asynchronous logger has only queued the line
        // (its flush at error level is queued as well): drain the queue now or the line is lost.
        if (type == QtFatalMsg)
            Logger::shutdown();
    }
    if (const QtMessageHandler previous = defaultMessageHandler)
        previous(type, context, message);
}

void installMessageHandler()
{
    // Installed twice, the handler would become its own previous handler and call itself forever.
    const QtMessageHandler previous = qInstallMessageHandler(messageHandler);
    if (previous != messageHandler)
        defaultMessageHandler = previous;
}

void uninstallMessageHandler()
{
    qInstallMessageHandler(nullptr);
    defaultMessageHandler = nullptr;
}

} // namespace Thg::Tilo::Components
