// A program whose slot throws, for tst_application: notify_helper <log file> <case>.
// Cases: "exception" (a std::exception from a queued slot), "unknown" (an int from a queued slot),
// "nested" (a std::exception from a slot run by a nested event loop, as inside a message box).

#include "application/Application.h"
#include "application/Logger.h"
#include "application/LoggerSetup.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <stdexcept>

using Thg::Tilo::Components::Logger;

class Thrower : public QObject {
    Q_OBJECT
public:
    explicit Thrower(const QString &mode) : mMode(mode) { setObjectName(QStringLiteral("thrower")); }

public slots:
    void explode()
    {
        if (mMode == QLatin1String("unknown"))
            throw 42;
        throw std::runtime_error("boom");
    }

    void openNestedLoop()
    {
        QEventLoop loop;
        QMetaObject::invokeMethod(this, "explode", Qt::QueuedConnection);
        loop.exec();
        Logger::info("Nested loop returned");
    }

private:
    QString mMode;
};

class HelperApplication : public Thg::Tilo::Components::Application {
public:
    using Application::Application;

    int start() override
    {
        const QStringList arguments = QCoreApplication::arguments();
        Thg::Tilo::Components::LoggerSettings settings;
        settings.fileName = arguments.at(1).toStdString();
        Thg::Tilo::Components::initializeLogger(settings);
        Logger::info("Helper running");

        Thrower thrower(arguments.at(2));
        QMetaObject::invokeMethod(&thrower, arguments.at(2) == QLatin1String("nested") ? "openNestedLoop" : "explode",
                                  Qt::QueuedConnection);
        const int code = exec();
        Logger::info("Event loop returned {}", std::to_string(code));
        Logger::shutdown();
        return code;
    }
};

int main(int argc, char *argv[])
{
    HelperApplication app(argc, argv);
    app.thread()->setObjectName(QStringLiteral("main"));
    Thg::Tilo::Components::installMessageHandler();
    try {
        return app.start();
    } catch (...) {
        // Reached only if an exception got out of the event loop: the program would run on here.
        std::puts("caught in main");
        return 3;
    }
}

#include "notify_helper.moc"
