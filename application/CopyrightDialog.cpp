#include "application/CopyrightDialog.h"

#include "application/ProductInfo.h"
#include "application/SourceRevision.h"

#include "ui_CopyrightDialog.h"

#include <QFile>

namespace Thg::Tilo::Components {

namespace {

// Gathered at build time from the Debian copyright files of the components.
constexpr const char *licencesResource = ":/licences/licences.txt";

QString builtInLicences()
{
    QFile file(QString::fromLatin1(licencesResource));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

CopyrightDialog::CopyrightDialog(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::CopyrightDialog>())
{
    ui->setupUi(this);
    setWindowTitle(tr("About ") + QString::fromLatin1(Product::applicationName));
    ui->application->setText(fullVersionText());
    ui->licenses->setPlainText(builtInLicences());
}

CopyrightDialog::~CopyrightDialog() = default;

QString CopyrightDialog::fullVersionText()
{
    return QStringLiteral("%1 %2-%3 (%4)")
        .arg(QString::fromLatin1(Product::applicationName), QString::fromLatin1(Product::version),
             QString::fromLatin1(Product::sourceRevision), QString::fromLatin1(Product::buildNumber));
}

} // namespace Thg::Tilo::Components
