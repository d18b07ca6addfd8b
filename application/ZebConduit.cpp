#include "application/ZebConduit.h"

#include "application/DesktopLocalizedFileOpener.h"
#include "application/Logger.h"
#include "application/LoggerSetup.h"
#include "application/MainWindow.h"
#include "application/ProductInfo.h"
#include "application/components/DeviceConnector.h"
#include "application/components/DeviceWithSettingsContext.h"
#include "application/components/System.h"

#include "communication/ParLinkDeviceService.h"

#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <string>
#include <utility>

using Thg::Tilo::Components::Logger;
namespace Product = Thg::Tilo::Components::Product;

ZebConduit::ZebConduit(int &argc, char **argv,
                       Thg::Tilo::Communication::QtComPortScanner::Enumeration portEnumeration)
    : Application(argc, argv), mPortEnumeration(std::move(portEnumeration))
{
}

int ZebConduit::start()
{
    if (!Logger::mInitialized)
        Thg::Tilo::Components::initializeLogger();
    Logger::info("Starting {}", std::string(PRODUCT_SHORT_NAME));
    installTranslator();
    Thg::Tilo::Components::registerMetaTypes();

    int code = 0;
    {
        // Built in this order and destroyed in the reverse one; the window stops "DeviceThread"
        // before the service goes.
        Thg::Tilo::Components::DeviceWithSettingsContext context;
        Thg::Tilo::Communication::ParLinkDeviceService service;
        Thg::Tilo::Communication::QtComPortScanner scanner(portScanIntervalMs, mPortEnumeration);
        Thg::Tilo::Components::DeviceConnector connector(context, service);
        connect(&scanner, &Thg::Tilo::Communication::ComPortScanner::foundNewPorts, &connector,
                &Thg::Tilo::Components::ComPortConnector::updatePorts);
        Thg::Tilo::Components::DesktopLocalizedFileOpener fileOpener;
        MainWindow window(context, service, connector, fileOpener);

        window.show();
        code = exec();

        Logger::info("Closing {}, return code {}", std::string(Product::applicationName), std::to_string(code));
        // What the objects log while they are taken down is not part of the run.
        Logger::shutdown();
    }
    return code;
}

void ZebConduit::installTranslator()
{
    auto *translator = new QTranslator(this);
    const QLocale locale;
    if (!translator->load(locale, QString::fromLatin1(Product::applicationName), QStringLiteral("_"),
                          QStringLiteral("translations"))) {
        Logger::warn("Could not load translation files for locale {}", locale.name().toStdString());
        translator->deleteLater();
        return;
    }
    if (!QCoreApplication::installTranslator(translator)) {
        Logger::warn("Could not install translator");
        translator->deleteLater();
    }
}

void setUpProcess(ZebConduit &application)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(Product::organizationName));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(Product::organizationDomain));
    QCoreApplication::setApplicationName(QString::fromLatin1(Product::applicationName));
    application.thread()->setObjectName(QStringLiteral("main"));
    Thg::Tilo::Components::installMessageHandler();
    QApplication::setStyle(QStringLiteral("fusion"));
}
