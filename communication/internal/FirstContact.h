#pragma once

#include "communication/Comport.h"
#include "communication/Device.h"
#include "communication/internal/Default.h"
#include "communication/internal/Port.h"
#include "communication/internal/Sequence.h"

#include <array>
#include <cstdint>

namespace Thg::Tilo::Communication::Internal {

// Finds the device on a port: asks for its address with 137 to the all-zero address, raises the line
// to the fastest rate the device offers (128, 129), and reads version, revision and name of the device
// and of its sub-device (135, 136, 141). Without identification it reports a device in boot-loader
// mode and sends nothing.
class FirstContact : public Default {
    Q_OBJECT
public:
    // The rates of the bits of "BaudrateBitmask", bit 0 first.
    static constexpr std::array<std::uint32_t, 10> BaudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200,
                                                             230400, 460800};

    FirstContact(QObject *parent, PARLINK *facade, Port *port, Thg::Tilo::Communication::ClosePortWhenFinished closePort,
                 int responseTimeoutMs = Session::DefaultResponseTimeoutMs);
    ~FirstContact() override;

    // Ignored, without a word, while an identification runs.
    void start(const Thg::Tilo::Communication::Comport &comport, bool deviceIdentification,
               int openTimeoutMs = Port::DefaultOpenTimeoutMs);
    void reset();

    // The rate that 129 sets for a "BaudrateBitmask": that of the highest set bit from 9 down to 1,
    // else 1200.
    static std::uint32_t chosenBaudrate(std::uint32_t mask);

    const Sequences &plan() const { return mPlan; }
    const Thg::Tilo::Communication::Device &device() const { return mFound; }

signals:
    void foundDevice(const Thg::Tilo::Communication::Device &device);

public slots:
    void abort() override;

private:
    void portOpened();
    void portFailed();
    void replyReceived(PARLINK_Session *reply);
    void contactReply(const PARLINK_Session &reply);
    void sequenceReply(const PARLINK_Session &reply, const QMap<QString, QVariant> &fields);
    void sendCurrentSequence();
    void noResponse();
    // Builds the plan for the address of the 137 reply.
    void buildPlan(Address::Type type);
    std::uint32_t gatherDataCmd128(const QMap<QString, QVariant> &fields);
    void printCommandError(PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND received,
                           PARLINK_Session::PARLINK_ENUM_SESSION_COMMAND expected);
    // Log (when given), error, reset, port close: the end of every failure.
    void fail(const QString &logEntry, const QString &errorText);

    Sequences mPlan;
    Thg::Tilo::Communication::Device mFound;
    bool mDeviceIdentification = true;
};

} // namespace Thg::Tilo::Communication::Internal
