#pragma once

#include "communication/Device.h"
#include "communication/internal/Default.h"
#include "communication/internal/Sequence.h"

#include <QList>
#include <QMetaType>
#include <QTimer>

#include <cstdint>

namespace Thg::Tilo::Communication::Internal {

// Sends the system commands of PARLINK command 143 (factory defaults, NVM reset, restart), one
// session per command, and reports the last one done. A device in boot-loader mode gets nothing and
// is reported done at once.
class SysCommand : public Default {
    Q_OBJECT
public:
    // The value of the field "Systemcommand".
    enum class Command : std::uint8_t {
        SetCurrentAsFactoryDefaults = 0,
        ResetToFactoryDefaults = 1,
        ResetNvm = 2,
        RestartDevice = 3,
    };
    Q_ENUM(Command)

    // Pause after the reply to SetCurrentAsFactoryDefaults while the device writes its memory.
    static constexpr int FactoryDefaultsWaitMs = 500;
    // A ResetNvm counts as done this long after its start, answered or not.
    static constexpr int ResetNvmMs = 800;

    SysCommand(QObject *parent, PARLINK *facade, Port *port, Thg::Tilo::Communication::ClosePortWhenFinished closePort,
               int responseTimeoutMs = Session::DefaultResponseTimeoutMs);
    ~SysCommand() override;

    // One command; refused with "Current operation not finished!" while a start runs.
    void systemCommand(Thg::Tilo::Communication::Address::Type type, const Thg::Tilo::Communication::Device &device,
                       Thg::Tilo::Communication::Internal::SysCommand::Command cmd);
    // The commands in order, one session each; refused like systemCommand while busy.
    void startSystemCommand(Thg::Tilo::Communication::Address::Type type,
                            const Thg::Tilo::Communication::Device &device,
                            const QList<Thg::Tilo::Communication::Internal::SysCommand::Command> &commands);

    bool isBusy() const { return mState != 0; }

    // The request of one command 143.
    static Session::Data request(Command cmd);

signals:
    void success(Thg::Tilo::Communication::Internal::SysCommand::Command cmd);

public slots:
    void abort() override;

private:
    void replyReceived(PARLINK_Session *reply);
    void sendNextSequence();
    void noResponse();
    void resetNvmDone();
    void finish();
    void fail(const QString &logEntry, const QString &errorText);
    void stopTimers();

    std::int32_t mState = 0;
    Sequences mPlan;
    Thg::Tilo::Communication::Device mDevice;
    QList<Command> mPending;
    Command mCurrent = Command::SetCurrentAsFactoryDefaults;
    QTimer mResetNvmTimer;
    // The ResetNvm of this start ends the start: its replies do not.
    bool mEndsByResetNvmTimer = false;
};

} // namespace Thg::Tilo::Communication::Internal
