#pragma once

#include "tests/support/PseudoTerminal.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// The far end of a serial line for tests: a pseudo-terminal pair whose slave side the code under test
// opens by portName(), while this object reads and writes the master side. A reader thread of its own
// collects what the program sends, so the peer works whatever thread or event loop the test and the
// code under test run on. With echo on, every received byte is sent straight back, as on a
// single-wire (half-duplex) line.
//
// What a pseudo-terminal cannot do: it has no DTR/RTS lines (setting them fails), and it keeps neither
// parity nor data bits. It does keep the baud rate, which lineSpeed() reports.
class PtyPeer : public QObject {
    Q_OBJECT
public:
    explicit PtyPeer(QObject *parent = nullptr);
    ~PtyPeer() override;

    // False when no pseudo-terminal could be opened; errorString() says why (tests skip with it).
    bool isOpen() const;
    QString errorString() const;
    // The path that the code under test opens as its serial port.
    QString portName() const;

    void setEcho(bool on);
    // Closes the far end of the line for good, as when an adapter is pulled out: the program's port is
    // hung up, and the peer reads and writes nothing more.
    void hangUp();
    // While paused nothing is read from the line, so the program's output backs up in the system.
    void setPaused(bool paused);
    // Sends bytes to the program; false when they could not all be written within 2 s.
    bool write(const QByteArray &data);

    // Everything received from the program so far (echoed bytes are not counted twice).
    QByteArray received() const;
    QByteArray takeReceived();
    // When the first byte that received() holds arrived; empty while it holds nothing.
    std::optional<std::chrono::steady_clock::time_point> firstReceivedAt() const;
    qsizetype receivedSize() const;
    // Waits until at least `count` bytes have been received, keeping the calling thread's events
    // flowing; false once `timeoutMs` has passed.
    bool waitForReceived(qsizetype count, int timeoutMs);

    // The baud rate that the program has set on the line; -1 when unknown.
    int lineSpeed() const;
    // Bytes written by the peer that wait in the line for the program to read them.
    int bytesPendingForProgram() const;

private:
    void readLoop();
    bool writeLocked(const QByteArray &data);

    PseudoTerminal mPty;
    mutable std::mutex mMutex;
    std::condition_variable mReceivedCondition;
    QByteArray mReceived;
    std::optional<std::chrono::steady_clock::time_point> mFirstReceivedAt;
    std::mutex mWriteMutex;
    std::atomic_bool mEcho = false;
    std::atomic_bool mPaused = false;
    std::atomic_bool mStop = false;
    std::thread mReader;
};
