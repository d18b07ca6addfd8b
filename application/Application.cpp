#include "application/Application.h"

#include "application/Logger.h"
#include "application/TypeName.h"

#include <cstdlib>
#include <exception>
#include <string>

namespace Thg::Tilo::Components {

namespace {

std::string objectNameOf(const QObject *receiver)
{
    return receiver ? receiver->objectName().toStdString() : std::string();
}

std::string typeNameOf(const QObject *receiver)
{
    return receiver ? runtimeTypeName(*receiver) : std::string();
}

std::string typeNameOf(const QEvent *event)
{
    return event ? runtimeTypeName(*event) : std::string();
}

} // namespace

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

Application::~Application()
{
    uninstallMessageHandler();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        Logger::error("Closing application, exception sending event {} to object {} ({}): {}", typeNameOf(event),
                      objectNameOf(receiver), typeNameOf(receiver), e.what());
        Logger::shutdown();
        qCritical("Error occurred, closing application");
    } catch (...) {
        Logger::error("Closing application, unknown error sending event {} to object {} ({})", typeNameOf(event),
                      objectNameOf(receiver), typeNameOf(receiver));
        Logger::shutdown();
        qCritical("Unknown error occurred, closing application");
    }
    std::abort();
}

} // namespace Thg::Tilo::Components
