#pragma once

#include "communication/Device.h"
#include "communication/internal/Default.h"
#include "communication/internal/Sequence.h"

#include <QObject>
#include <QString>

#include <cstdint>

class BootloaderHandler;
class PARLINK_LinkLayer;
class QTimer;

namespace Thg::Tilo::Communication::Internal {

// Updates a device's firmware. It asks the device to start its boot loader (command 133), takes the
// serial port away from the PARLINK link layer, lends it through the boot-loader handler to the
// client of the chosen family on "BootloaderThread", relays the client's progress, states and
// errors, and gives the port back to the link layer when the update has ended, either way.
//
// A transfer that failed after the hand-over leaves the target in its boot loader: the next start
// then skips 133, as a start in rescue mode does, since the boot loader would not understand it.
class Bootloader : public Default {
    Q_OBJECT
public:
    // The values are those of BootloaderHandler::BLFAMILY.
    enum class Type : std::uint8_t {
        Undefined = 0,
        MSP432 = 1,
        TIVA = 2,
    };
    Q_ENUM(Type)

    // The device answers 133 no sooner after the last traffic on the line.
    static constexpr int StartDelayMs = 200;
    // Time the device takes from its answer to 133 until its boot loader listens.
    static constexpr int HandOverMs = 1000;
    // The state text of the client's success.
    static constexpr const char *DownloadSuccessful = "Download successful";

    Bootloader(QObject *parent, PARLINK *facade, Port *port, int responseTimeoutMs = Session::DefaultResponseTimeoutMs);
    ~Bootloader() override;

    // Refused, in this order, while an update runs, without a file name, for a loader type other
    // than MSP432 and TIVA, and for a firmware file that the type's client would refuse.
    void start(Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &device,
               Thg::Tilo::Communication::Internal::Bootloader::Type blType, const QString &fileName, bool rescueMode,
               bool leavePortOpenOnError);

    bool isBusy() const { return mState != 0; }
    BootloaderHandler *handler() const { return mHandler; }

signals:
    void success();

public slots:
    void abort() override;

private:
    enum State : std::int32_t {
        Idle = 0,
        WaitingFor133 = 1,
        PortWithBootLoader = 2,
    };

    void replyReceived(PARLINK_Session *reply);
    void noResponse();
    void takePortFromLinkLayer();
    void handOver();
    void clientProgress(uint8_t percentage);
    void clientError(const QString &text);
    void clientState(const QString &text);
    void fail(const QString &logEntry, const QString &errorText);
    PARLINK_LinkLayer *linkLayer() const;

    std::int32_t mState = Idle;
    Sequences mPlan;
    Thg::Tilo::Communication::Device mDevice;
    QString mFileName;
    BootloaderHandler *mHandler = nullptr;
    QTimer *mHandOverTimer = nullptr;
    bool mLeavePortOpenOnError = false;
};

} // namespace Thg::Tilo::Communication::Internal
