#pragma once

#include "tools/zeb-sim/FrameLog.h"
#include "tools/zeb-sim/FrameTracker.h"
#include "tools/zeb-sim/SimConfig.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>

#include <memory>

class PseudoTerminal;
class QSocketNotifier;
class QTimer;

namespace BootSim {
class BootTarget;
}

namespace ZebSim {

// The serial line between a program and the simulated device. Two pseudo-terminal pairs: the program
// opens one as its serial port, the device's own PARLINK stack opens the other, and the line carries
// the bytes between their master sides. On the way it plays the line and the device's faults: it
// echoes the program's bytes on a single-wire line, drops the wake-up string, keeps requests for
// commands outside 128 to 143 from the device, tells the device which of its addresses a request is
// for before the stack checks it, and alters the device's frames as the fault plan says. Every frame
// in both directions goes to the frame log.
class SimLine : public QObject {
    Q_OBJECT
public:
    SimLine(const SimConfig &config, FrameLog *log, QObject *parent = nullptr);
    ~SimLine() override;

    bool open(QString *error);

    // The side that a program opens as its serial port (or the link placed to it).
    QString programPortPath() const;
    // The side that the device's own stack opens.
    QString devicePortPath() const;
    // The baud rate the program has set on its side; -1 when it is not a standard rate.
    int programLineSpeed() const;
    int deviceLineSpeed() const;

    int framesReceived() const { return mFromProgram.framesSeen(); }
    int framesSent() const { return mFromDevice.framesSeen(); }
    int wakeUpsReceived() const { return mWakeUp.wakeUpsSeen(); }
    int burstAcknowledgesReceived() const { return mAcknowledges; }

    // From now on the line carries the program's bytes to `target` (not owned) and brings back their
    // echo followed by the target's answer, until the target has been told to restart; then the
    // device's PARLINK again.
    void startBootLoader(BootSim::BootTarget *target);
    bool inBootLoader() const { return mBootTarget != nullptr; }

signals:
    // The five address bytes of a request, before the device's stack receives them (direct only).
    void requestAddressSeen(const QByteArray &address);
    void frameReceived(const QByteArray &frame);
    void frameSent(const QByteArray &frame);
    // The boot loader has restarted: the device runs its firmware again.
    void bootLoaderLeft();

private:
    void readProgramSide();
    void playBootLoader();
    void readDeviceSide();
    QByteArray faultsOnDeviceByte(const FrameTracker::Step &step, char byte, QString *note);
    QByteArray extraVariableOnDeviceBytes(const FrameTracker::Step &step, const QByteArray &bytes, QString *note);
    static bool isDeviceCommand(std::uint8_t command);
    // Pacing: the line is one wire that carries a character in 11 bit times at the program's rate.
    qint64 characterNs() const;
    void occupyLine(qsizetype characters);
    void sendPaced(const QByteArray &data);
    void deliverDue();

    SimConfig mConfig;
    FrameLog *mLog;
    BootSim::BootTarget *mBootTarget = nullptr;
    int mBootTargetResets = 0;
    std::unique_ptr<PseudoTerminal> mProgramSide;
    std::unique_ptr<PseudoTerminal> mDeviceSide;
    QSocketNotifier *mProgramNotifier = nullptr;
    QSocketNotifier *mDeviceNotifier = nullptr;
    FrameTracker mFromProgram;
    FrameTracker mFromDevice;
    WakeUpFilter mWakeUp;
    // The preamble, delimiter and address of the request under way, until its command is known.
    QByteArray mHeldRequest;
    // The request under way is for no command of the device; the rest of it is dropped.
    bool mIgnoringRequest = false;
    int mAcknowledges = 0;
    // The device frame under way is a 138 or 139 answer that gets the extra variable; the checksum
    // changes by the XOR of the bytes altered so far.
    bool mExtending = false;
    std::uint8_t mChecksumDelta = 0;
    bool mLinkPlaced = false;
    QString mSentNote;

    struct PacedByte {
        qint64 dueNs;
        char byte;
    };
    QElapsedTimer mLineClock;
    qint64 mLineFreeNs = 0;
    QList<PacedByte> mPaced;
    QTimer *mPacer = nullptr;
};

} // namespace ZebSim
