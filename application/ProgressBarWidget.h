#pragma once

#include <QWidget>

#include <memory>

namespace Thg::Tilo::Components {

namespace Ui {
class ProgressBarWidget;
}

// A progress bar with a status line under it; its owners set both.
class ProgressBarWidget : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBarWidget(QWidget *parent = nullptr);
    ~ProgressBarWidget() override;

    int value() const;
    void setValue(int value);
    int maximum() const;
    void setMaximum(int maximum);
    QString statusText() const;
    void setStatusText(const QString &text);

private:
    std::unique_ptr<Ui::ProgressBarWidget> ui;
};

} // namespace Thg::Tilo::Components
