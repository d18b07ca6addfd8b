#include "application/UiUtils.h"

#include <QMessageBox>

namespace Thg::Tilo::Components::UiUtils {

void showMessageBox(const QString &text, QWidget *parent)
{
    QMessageBox box(parent);
    box.setText(text);
    box.exec();
}

} // namespace Thg::Tilo::Components::UiUtils
