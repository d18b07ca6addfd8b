#pragma once

#include <QApplication>

namespace Thg::Tilo::Components {

// The Qt application object of a ZEB program. An exception that escapes the delivery of an event
// is logged and ends the process; `start` holds everything between set-up and tear-down.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    // Uninstalls the Qt message handler and forgets the one it replaced.
    ~Application() override;

    // Delivers the event. An exception from it is logged, the logger is shut down, Qt's critical
    // message is emitted and the process aborts: Qt cannot carry an exception through its event
    // delivery, and one rethrown from a nested event loop (a message box's exec) could be caught by
    // code that then runs on without a logger.
    bool notify(QObject *receiver, QEvent *event) override;

    // Runs the program; the result is the exit code.
    virtual int start() = 0;
};

} // namespace Thg::Tilo::Components
