#include "application/ProgressBarWidget.h"

#include "ui_ProgressBarWidget.h"

namespace Thg::Tilo::Components {

ProgressBarWidget::ProgressBarWidget(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::ProgressBarWidget>())
{
    ui->setupUi(this);
}

ProgressBarWidget::~ProgressBarWidget() = default;

int ProgressBarWidget::value() const
{
    return ui->progress->value();
}

void ProgressBarWidget::setValue(int value)
{
    ui->progress->setValue(value);
}

int ProgressBarWidget::maximum() const
{
    return ui->progress->maximum();
}

void ProgressBarWidget::setMaximum(int maximum)
{
    ui->progress->setMaximum(maximum);
}

QString ProgressBarWidget::statusText() const
{
    return ui->status->text();
}

void ProgressBarWidget::setStatusText(const QString &text)
{
    ui->status->setText(text);
}

} // namespace Thg::Tilo::Components
