#pragma once

#include "tools/zeb-sim/FrameLog.h"
#include "tools/zeb-sim/ParameterMemory.h"
#include "tools/zeb-sim/SimConfig.h"

#include "protocol/parlink/PARLINK_Session.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <memory>

class PARLINK;
class PARLINK_SessionInfo;
class QTimer;

namespace BootSim {
class BootTarget;
}

namespace ZebSim {

class SimLine;

// A simulated ZEB device: the device of the built-in description (address 19, 0, 4, 0, 1; firmware
// V02.11, sub-device V02.00) behind a pseudo-terminal, answering through our own PARLINK stack in the
// slave role. It keeps a parameter memory per address type that 131 writes, 130 reads back, 132 takes
// over and 143 acts on, streams measured values in burst mode, and injects the faults of its plan.
// With a boot loader in its plan, an acknowledged 133 hands the line to that boot loader until it
// restarts.
class ZebSimDevice : public QObject {
    Q_OBJECT
public:
    explicit ZebSimDevice(const SimConfig &config, QObject *parent = nullptr);
    ~ZebSimDevice() override;

    // Opens the line and the device's own port; ready() follows once the port is open.
    bool start(QString *error);

    // What a program opens as its serial port.
    QString portPath() const;

    ParameterMemory &memory() { return mMemory; }
    const SimConfig &config() const { return mConfig; }
    // The device's own faults from now on (read-backs, status answers), with the read-back counts
    // started afresh, so that one run can fail and the next pass on the same line. The line's faults
    // (checksums, silence, dropped bytes) stay as started.
    void setFaults(const FaultPlan &faults);
    // The baud rate the program has set on its side of the line (-1 for a non-standard rate).
    int programLineSpeed() const;
    // The baud rate the device's own stack has switched to (1200 after start).
    quint32 deviceBaudrate() const { return mDeviceBaudrate; }
    bool isBurstActive() const { return mBurstActive; }
    int framesReceived() const;
    int framesSent() const;
    int wakeUpsReceived() const;
    int burstAcknowledgesReceived() const;
    int restarts() const { return mRestarts; }
    QList<int> commandsReceived() const { return mCommands; }
    // The answers to 138 and 139 so far.
    int measuredAnswers() const { return mMeasuredAnswers; }
    // The boot loader of the plan (null without one), with the flash as written; and whether the
    // device runs it now, between an acknowledged 133 and the boot loader's restart.
    BootSim::BootTarget *bootTarget() const { return mBootTarget.get(); }
    bool inBootLoader() const;

signals:
    void ready();
    void requestReceived(int command);
    void bootLoaderStarted();
    void bootLoaderLeft();

private:
    void routeRequest(const QByteArray &address);
    void prepareReply(PARLINK_Session *request);
    void sessionInfoChanged(PARLINK_SessionInfo *info);
    void refreshMeasuredValues();
    std::optional<ParameterMemory::Space> spaceOf(const QByteArray &address) const;
    QByteArray addressFor(ParameterMemory::Space space) const;

    SimConfig mConfig;
    FrameLog mLog;
    ParameterMemory mMemory;
    SimLine *mLine = nullptr;
    std::unique_ptr<BootSim::BootTarget> mBootTarget;
    // The answer to an acknowledged 133 is under way; once it is out, the boot loader runs.
    bool mBootLoaderRequested = false;
    PARLINK *mStack = nullptr;
    PARLINK_Session *mReply = nullptr;
    QTimer *mMeasuring = nullptr;
    QElapsedTimer mClock;
    ParameterMemory::Space mSpace = ParameterMemory::Space::DeviceAndSubDevice;
    QHash<QString, int> mReadsOfChunk;
    quint32 mDeviceBaudrate = 1200;
    bool mBurstActive = false;
    int mRestarts = 0;
    int mMeasuredAnswers = 0;
    QList<int> mCommands;
};

} // namespace ZebSim
