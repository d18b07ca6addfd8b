#pragma once

class QString;
class QWidget;

namespace Thg::Tilo::Components::UiUtils {

// Shows a plain modal message box over the parent and returns when the user has closed it.
void showMessageBox(const QString &text, QWidget *parent);

} // namespace Thg::Tilo::Components::UiUtils
