// The main window: its fixed size and flags, the toolbar, the stored geometry and state, the About
// dialog opened once, the documents beside the program with their fallback and failure box, the
// device service's log lines by level, and "DeviceThread".

#include "application/CopyrightDialog.h"
#include "application/LocalizedFileOpener.h"
#include "application/MainWindow.h"
#include "application/ParameterizeWidget.h"
#include "application/components/DeviceConnector.h"
#include "application/components/DeviceWithSettingsContext.h"

#include "support/FakeDeviceService.h"
#include "support/LogRecorder.h"
#include "tests/application/ProgramTestSupport.h"
#include "support/MessageBoxCloser.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QStatusBar>
#include <QSettings>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QToolBar>
#include <QtTest>

#include <algorithm>
#include <memory>

using Thg::Tilo::Communication::LogLevel;
using Thg::Tilo::Components::CopyrightDialog;
using Thg::Tilo::Components::DeviceConnector;
using Thg::Tilo::Components::DeviceWithSettingsContext;

namespace {

constexpr int TimeoutMs = 5000;

// The window and what it is built on; the objects outlive the window, as in the program.
struct Window {
    Window() { window = std::make_unique<MainWindow>(context, service, connector, opener); }
    ~Window() { window.reset(); }

    QAction *action(const char *name) const { return window->findChild<QAction *>(name); }

    MessageBoxCloser boxes;
    DeviceWithSettingsContext context;
    FakeDeviceService service;
    DeviceConnector connector{context, service};
    FakeOpener opener;
    std::unique_ptr<MainWindow> window;
};

// A document beside the test program for as long as it lives.
struct DocumentBesideProgram {
    explicit DocumentBesideProgram(const QString &name)
        : path(QDir(QCoreApplication::applicationDirPath()).filePath(name))
    {
        QFile file(path);
        created = file.open(QIODevice::WriteOnly);
    }
    ~DocumentBesideProgram() { QFile::remove(path); }

    QString path;
    bool created = false;
};

QString besideProgram(const QString &name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void window_hasAFixedSizeAndNoMaximiseButton();
    void toolbar_holdsTheThreeActionsRightToLeft_data();
    void toolbar_holdsTheThreeActionsRightToLeft();
    void settings_storeGeometryAndStateUnderUiMainWindow();
    void settings_restoreThePosition();
    void info_opensTheAboutDialogOnce();
    void help_fallsBackToTheNeutralManual();
    void documents_missingOrNotOpened_showTheBox_data();
    void documents_missingOrNotOpened_showTheBox();
    void serviceLog_forwardedAtItsLevelOnDeviceThread_data();
    void serviceLog_forwardedAtItsLevelOnDeviceThread();
    void serviceLog_levelsOutsideTheTableAreDropped();
    void deviceThread_runsTheServiceUntilTheWindowGoes();
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("ZEB-Conduit tests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_mainwindow"));
    QThread::currentThread()->setObjectName(QStringLiteral("main"));
    Thg::Tilo::Components::registerMetaTypes();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestMainWindow::init()
{
    QSettings().clear();
}

void TestMainWindow::cleanupTestCase()
{
    QSettings().clear();
}

void TestMainWindow::window_hasAFixedSizeAndNoMaximiseButton()
{
    Window w;
    QCOMPARE(w.window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w.window->windowTitle(), QStringLiteral("ZEB-Conduit V1.6.0 (260728)"));
    QCOMPARE(w.window->size(), QSize(425, 225));
    QCOMPARE(w.window->minimumSize(), QSize(425, 225));
    QCOMPARE(w.window->maximumSize(), QSize(425, 225));
    const Qt::WindowFlags flags = w.window->windowFlags();
    for (const Qt::WindowType flag : {Qt::Window, Qt::MSWindowsFixedSizeDialogHint, Qt::WindowMinimizeButtonHint,
                                      Qt::WindowCloseButtonHint, Qt::WindowTitleHint, Qt::WindowSystemMenuHint})
        QVERIFY2(flags.testFlag(flag), qPrintable(QString::number(int(flag), 16)));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(int(flags) & ~int(Qt::WindowTitleHint | Qt::WindowSystemMenuHint), 0x08004101);
    QVERIFY(qobject_cast<ParameterizeWidget *>(w.window->centralWidget()));
    QCOMPARE(w.window->menuBar()->actions().size(), 0);
    // A window that cannot be resized offers nothing to drag.
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QVERIFY(!w.window->statusBar()->isSizeGripEnabled());
    const QList<QSizeGrip *> grips = w.window->findChildren<QSizeGrip *>();
    QVERIFY(std::none_of(grips.begin(), grips.end(), [](QSizeGrip *grip) { return grip->isVisible(); }));
}

void TestMainWindow::toolbar_holdsTheThreeActionsRightToLeft_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("info") << 0 << "actionInfo" << "Info" << "About the application";
    QTest::newRow("help") << 1 << "actionHelp" << "Help" << "Show help";
    QTest::newRow("viscosities") << 2 << "actionViscosities" << "Viscosities" << "Show kinematic viscosities";
}

void TestMainWindow::toolbar_holdsTheThreeActionsRightToLeft()
{
    QFETCH(int, index);
    Window w;
    auto *toolBar = w.window->findChild<QToolBar *>("toolBar");
    QVERIFY(toolBar);
    QCOMPARE(toolBar->layoutDirection(), Qt::RightToLeft);
    QVERIFY(!toolBar->isMovable());
    QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QCOMPARE(w.window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(toolBar->actions().size(), 3);
    QAction *action = toolBar->actions().at(index);
    QTEST(action->objectName(), "name");
    QTEST(action->text(), "text");
    QTEST(action->toolTip(), "toolTip");
    QCOMPARE(action->menuRole(), QAction::NoRole);
    QVERIFY(!action->icon().isNull());
}

void TestMainWindow::settings_storeGeometryAndStateUnderUiMainWindow()
{
    {
        Window w;
    }
    QSettings settings;
    QCOMPARE(settings.childGroups(), QStringList{"Ui"});
    settings.beginGroup(QStringLiteral("Ui"));
    QCOMPARE(settings.childGroups(), QStringList{"MainWindow"});
    settings.beginGroup(QStringLiteral("MainWindow"));
    QCOMPARE(settings.childKeys(), (QStringList{"Geometry", "State"}));
    QVERIFY(!settings.value("Geometry").toByteArray().isEmpty());
    QVERIFY(!settings.value("State").toByteArray().isEmpty());
}

void TestMainWindow::settings_restoreThePosition()
{
    {
        Window w;
        w.window->show();
        w.window->move(137, 89);
        QTRY_COMPARE_WITH_TIMEOUT(w.window->pos(), QPoint(137, 89), TimeoutMs);
    }
    Window w;
    // The frame is known only once the window is shown.
    w.window->show();
    QTRY_COMPARE_WITH_TIMEOUT(w.window->pos(), QPoint(137, 89), TimeoutMs);
    QCOMPARE(w.window->size(), QSize(425, 225));
}

void TestMainWindow::info_opensTheAboutDialogOnce()
{
    Window w;
    w.window->show();
    auto *about = w.window->findChild<CopyrightDialog *>();
    QVERIFY(about);
    QVERIFY(!about->isVisible());

    w.action("actionInfo")->trigger();
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowModality(), Qt::WindowModal);
    w.action("actionInfo")->trigger();

    QVERIFY(about->isVisible());
    QCOMPARE(w.window->findChildren<CopyrightDialog *>().size(), 1);
    about->close();
    w.action("actionInfo")->trigger();
    QVERIFY(about->isVisible());
}

void TestMainWindow::help_fallsBackToTheNeutralManual()
{
    const DocumentBesideProgram manual(QStringLiteral("ZEB-Conduit.pdf"));
    QVERIFY(manual.created);
    LogRecorder log;
    Window w;

    w.action("actionHelp")->trigger();

    QCOMPARE(w.opener.opened, QStringList{manual.path});
    QCOMPARE(log.linesWith("File "), QStringList{"[warning] [main] File ZEB-Conduit_de.pdf does not exist, trying fallback"});
    QCOMPARE(w.boxes.texts(), QStringList{});
}

void TestMainWindow::documents_missingOrNotOpened_showTheBox_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("present");
    QTest::addColumn<QString>("tried");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("no viscosity table") << "actionViscosities" << QString() << "Viscosities.xlsx"
                                        << "[warning] [main] File %1 does not exist";
    QTest::newRow("no manual") << "actionHelp" << QString() << "ZEB-Conduit.pdf"
                               << "[warning] [main] File %1 does not exist";
    QTest::newRow("table not opened") << "actionViscosities" << "Viscosities.xlsx" << "Viscosities.xlsx"
                                      << "[error] [main] Could not open file %1";
}

void TestMainWindow::documents_missingOrNotOpened_showTheBox()
{
    QFETCH(QString, action);
    QFETCH(QString, present);
    QFETCH(QString, tried);
    QFETCH(QString, logLine);
    std::unique_ptr<DocumentBesideProgram> document;
    if (!present.isEmpty())
        document = std::make_unique<DocumentBesideProgram>(present);
    const QString path = besideProgram(tried);
    LogRecorder log;
    Window w;
    w.opener.answer = false;

    w.action(qPrintable(action))->trigger();

    QCOMPARE(w.boxes.texts(), QStringList{QStringLiteral("Could not open file %1.").arg(path)});
    QCOMPARE(w.boxes.parents(), QList<QWidget *>{w.window.get()});
    QVERIFY2(log.lines().contains(logLine.arg(path)), qPrintable(log.lines().join('\n')));
}

void TestMainWindow::serviceLog_forwardedAtItsLevelOnDeviceThread_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("line");
    QTest::newRow("trace") << 0 << "[trace] [DeviceThread] Trying to open com port";
    QTest::newRow("debug") << 1 << "[debug] [DeviceThread] Trying to open com port";
    QTest::newRow("info") << 2 << "[info] [DeviceThread] Trying to open com port";
    QTest::newRow("warning") << 3 << "[warning] [DeviceThread] Trying to open com port";
    QTest::newRow("error") << 4 << "[error] [DeviceThread] Trying to open com port";
    QTest::newRow("critical") << 5 << "[critical] [DeviceThread] Trying to open com port";
}

void TestMainWindow::serviceLog_forwardedAtItsLevelOnDeviceThread()
{
    QFETCH(int, level);
    QFETCH(QString, line);
    LogRecorder log;
    Window w;
    log.clear();

    emit w.service.log(LogLevel(level), QStringLiteral("Trying to open com port"));

    QTRY_COMPARE_WITH_TIMEOUT(log.lines(), QStringList{line}, TimeoutMs);
}

void TestMainWindow::serviceLog_levelsOutsideTheTableAreDropped()
{
    LogRecorder log;
    Window w;
    log.clear();

    emit w.service.log(LogLevel(6), QStringLiteral("six"));
    emit w.service.log(LogLevel(255), QStringLiteral("two hundred fifty-five"));
    emit w.service.log(LogLevel::Info, QStringLiteral("marker"));

    // The lines are forwarded in order on one thread: once the marker is there, the others would be.
    QTRY_COMPARE_WITH_TIMEOUT(log.lines(), QStringList{"[info] [DeviceThread] marker"}, TimeoutMs);
}

void TestMainWindow::deviceThread_runsTheServiceUntilTheWindowGoes()
{
    QPointer<QThread> thread;
    {
        Window w;
        thread = w.service.thread();
        QVERIFY(thread != QThread::currentThread());
        QCOMPARE(thread->objectName(), QStringLiteral("DeviceThread"));
        QVERIFY(thread->isRunning());
        QCOMPARE(thread->priority(), QThread::InheritPriority);
    }
    // The thread was a member of the window.
    QVERIFY(thread.isNull());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
