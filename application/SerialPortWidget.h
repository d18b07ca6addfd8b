#pragma once

#include "application/components/ComPortConnector.h"
#include "communication/Comport.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>

class QSpacerItem;

namespace Thg::Tilo::Components {

namespace Ui {
class SerialPortWidget;
}

// The list of serial ports, fed by a connector, with a connect button and a progress bar. It hands
// the chosen port to the connector. Disabled until its owner enables it; a connection request
// disables it again until the owner says otherwise.
class SerialPortWidget : public QWidget {
    Q_OBJECT
public:
    explicit SerialPortWidget(QWidget *parent = nullptr);
    ~SerialPortWidget() override;

    // Follows this connector's port list and progress from now on; it outlives the widget.
    void setConnector(ComPortConnector &connector);
    ComPortConnector *getConnector() const { return mConnector.data(); }
    bool hasConnector() const { return mConnector != nullptr; }

    // Only the port list: no connect button, no progress bar, no spacers.
    void makeCompact();
    bool isCompact() const { return mCompact; }

    // The owner's enabling: the port list, and the connect button while there is a port to connect.
    void enableConnection();
    void disableConnection();
    bool isConnectionEnabled() const { return mEnabled; }

    QString currentPort() const;

public slots:
    void connectTarget();

signals:
    void connectionStarted();

private:
    void updatePorts(const QList<Thg::Tilo::Communication::Comport> &ports);
    void updateProgress(std::uint8_t percent, const QString &text);
    void updateConnectButton();

    std::unique_ptr<Ui::SerialPortWidget> ui;
    // Someone else's; a connector that goes first is not touched again.
    QPointer<ComPortConnector> mConnector;
    bool mEnabled = false;
    bool mCompact = false;
    // Taken out of the layout by the compact form, so owned here.
    std::unique_ptr<QSpacerItem> mLeadingSpacer;
    std::unique_ptr<QSpacerItem> mTrailingSpacer;
};

} // namespace Thg::Tilo::Components
