#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

namespace Thg::Tilo::Components {

// Ties the user interface to a connection target: connects it, reports the outcome, disconnects it.
class Connector : public QObject {
    Q_OBJECT
public:
    explicit Connector(QObject *parent = nullptr);

    virtual bool isTargetConnected() const = 0;
    virtual void doDisconnectTarget(bool notify) = 0;
    // Forgets the target without talking to it.
    virtual void clear() = 0;

    // From the start of a connection until its outcome is known.
    bool isBusy() const { return mBusy; }

signals:
    void progressUpdated(std::uint8_t progress, const QString &description);
    void errorOccurred(const QString &message);
    void targetDisconnected();

protected:
    void setBusy(bool busy) { mBusy = busy; }

private:
    bool mBusy = false;
};

} // namespace Thg::Tilo::Components
