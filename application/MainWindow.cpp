#include "application/MainWindow.h"

#include "application/CopyrightDialog.h"
#include "application/LocalizedFileOpener.h"
#include "application/Logger.h"
#include "application/ParameterizeWidget.h"
#include "application/ProductInfo.h"
#include "application/UiUtils.h"

#include "communication/DeviceService.h"

#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

using Thg::Tilo::Communication::LogLevel;
using Thg::Tilo::Components::Logger;

namespace {

constexpr int windowStateVersion = 0;

// Device service levels to the log's levels; the values agree, the names do not.
std::optional<spdlog::level::level_enum> logLevelOf(LogLevel level)
{
    switch (level) {
    case LogLevel::Trace:
        return spdlog::level::trace;
    case LogLevel::Debug:
        return spdlog::level::debug;
    case LogLevel::Info:
        return spdlog::level::info;
    case LogLevel::Warning:
        return spdlog::level::warn;
    case LogLevel::Error:
        return spdlog::level::err;
    case LogLevel::Critical:
        return spdlog::level::critical;
    }
    return std::nullopt;
}

} // namespace

MainWindow::MainWindow(Thg::Tilo::Components::DeviceWithSettingsContext &context,
                       Thg::Tilo::Communication::DeviceService &service,
                       Thg::Tilo::Components::DeviceConnector &connector,
                       Thg::Tilo::Components::LocalizedFileOpener &fileOpener)
    : QMainWindow(nullptr), ui(new Ui_MainWindow), mAbout(new Thg::Tilo::Components::CopyrightDialog(this)),
      mFileOpener(fileOpener)
{
    ui->setupUi(this);
    setWindowTitle(QString::fromLatin1(PRODUCT_SHORT_NAME));
    // A fixed-size window: no maximise button.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    {
        QSettings settings;
        settings.beginGroup(QString::fromLatin1(uiGroup));
        settings.beginGroup(objectName());
        restoreGeometry(settings.value(QString::fromLatin1(windowGeometryKey)).toByteArray());
    }
    {
        QSettings settings;
        settings.beginGroup(QString::fromLatin1(uiGroup));
        settings.beginGroup(objectName());
        restoreState(settings.value(QString::fromLatin1(windowStateKey)).toByteArray(), windowStateVersion);
    }

    // The page wires itself to the service while both still live on this thread.
    setCentralWidget(new ParameterizeWidget(context, service, connector, this));

    service.moveToThread(&mDeviceThread);
    mDeviceThread.setObjectName(QStringLiteral("DeviceThread"));
    mDeviceThread.start(QThread::InheritPriority);

    // With the service as context the forwarding runs on "DeviceThread", whose name its lines carry.
    connect(&service, &Thg::Tilo::Communication::DeviceService::log, &service, &MainWindow::forwardServiceLog);

    connect(ui->actionViscosities, &QAction::triggered, this, &MainWindow::showViscosities);
    connect(ui->actionHelp, &QAction::triggered, this, &MainWindow::showHelp);
    connect(ui->actionInfo, &QAction::triggered, this, &MainWindow::showAbout);
}

MainWindow::~MainWindow()
{
    {
        QSettings settings;
        settings.beginGroup(QString::fromLatin1(uiGroup));
        settings.beginGroup(objectName());
        settings.setValue(QString::fromLatin1(windowGeometryKey), saveGeometry());
    }
    {
        QSettings settings;
        settings.beginGroup(QString::fromLatin1(uiGroup));
        settings.beginGroup(objectName());
        settings.setValue(QString::fromLatin1(windowStateKey), saveState(windowStateVersion));
    }
    mDeviceThread.quit();
    mDeviceThread.wait();
    delete ui;
}

void MainWindow::forwardServiceLog(LogLevel level, const QString &entry)
{
    const std::optional<spdlog::level::level_enum> logLevel = logLevelOf(level);
    if (!logLevel)
        return;
    Logger::log(*logLevel, 0, "{}", entry.toStdString());
}

void MainWindow::showAbout()
{
    if (!mAbout->isVisible())
        mAbout->open();
}

void MainWindow::showHelp()
{
    openDocument(QString::fromLatin1(Thg::Tilo::Components::Product::applicationName), '_', QStringLiteral(".pdf"));
}

void MainWindow::showViscosities()
{
    openDocument(QStringLiteral("Viscosities"), std::nullopt, QStringLiteral(".xlsx"));
}

void MainWindow::openDocument(const QString &name, std::optional<char> separator, const QString &extension)
{
    if (mFileOpener.openFile(QDir(QCoreApplication::applicationDirPath()), name, separator, extension))
        return;
    Thg::Tilo::Components::UiUtils::showMessageBox(tr("Could not open file %1.").arg(mFileOpener.getLastPath()),
                                                   this);
}
