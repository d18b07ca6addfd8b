#pragma once

#include "communication/LogLevel.h"

#include <QMainWindow>
#include <QThread>

#include <optional>

class Ui_MainWindow;

namespace Thg::Tilo::Communication {
class DeviceService;
}

namespace Thg::Tilo::Components {
class CopyrightDialog;
class DeviceConnector;
class DeviceWithSettingsContext;
class LocalizedFileOpener;
} // namespace Thg::Tilo::Components

// The program's one window: a fixed-size frame around the parameterize page, with a toolbar for the
// About dialog, the help manual and the viscosity table. It owns "DeviceThread", on which the device
// service runs, and keeps its geometry and state in the settings.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The four objects outlive the window.
    MainWindow(Thg::Tilo::Components::DeviceWithSettingsContext &context,
               Thg::Tilo::Communication::DeviceService &service, Thg::Tilo::Components::DeviceConnector &connector,
               Thg::Tilo::Components::LocalizedFileOpener &fileOpener);
    // Saves the geometry and state, then stops "DeviceThread" and waits for it.
    ~MainWindow() override;

    // Writes one line of the device service's log at its level; a level outside Trace to Critical
    // is dropped. Runs on the service's thread.
    static void forwardServiceLog(Thg::Tilo::Communication::LogLevel level, const QString &entry);

    static constexpr const char *uiGroup = "Ui/";
    static constexpr const char *windowGeometryKey = "Geometry";
    static constexpr const char *windowStateKey = "State";

private:
    void showAbout();
    void showHelp();
    void showViscosities();
    void openDocument(const QString &name, std::optional<char> separator, const QString &extension);

    Ui_MainWindow *ui;
    Thg::Tilo::Components::CopyrightDialog *mAbout;
    QThread mDeviceThread;
    Thg::Tilo::Components::LocalizedFileOpener &mFileOpener;
};
