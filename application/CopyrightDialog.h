#pragma once

#include <QDialog>

#include <memory>

namespace Thg::Tilo::Components {

namespace Ui {
class CopyrightDialog;
}

// The About dialog: product, version and build, the copyright, and the licences of the open-source
// components the program links. It has no buttons; the window's close button closes it.
class CopyrightDialog : public QDialog {
    Q_OBJECT
public:
    explicit CopyrightDialog(QWidget *parent = nullptr);
    ~CopyrightDialog() override;

    // The application's name, its version with the source revision, and the build number.
    static QString fullVersionText();

private:
    std::unique_ptr<Ui::CopyrightDialog> ui;
};

} // namespace Thg::Tilo::Components
