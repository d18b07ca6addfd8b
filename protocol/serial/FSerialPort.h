#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;

// The serial port of the protocol stack and the boot loaders. One instance lives on the link layer's
// I/O thread; every slot is reached through queued connections, setNewBaudrate through a blocking
// queued one. A write is confirmed once its line time has passed. In single-wire (half-duplex)
// operation the port also hears its own transmission, and the echo is removed from what is received.
class FSerialPort : public QObject {
    Q_OBJECT
public:
    // The values are Qt's own and are passed to QSerialPort unchanged.
    enum DataBits { Data5 = 5, Data6 = 6, Data7 = 7, Data8 = 8 };
    Q_ENUM(DataBits)
    enum Parity { NoParity = 0, EvenParity = 2, OddParity = 3, SpaceParity = 4, MarkParity = 5 };
    Q_ENUM(Parity)
    enum StopBits { OneStop = 1, OneAndHalfStop = 3, TwoStop = 2 };
    Q_ENUM(StopBits)
    enum FlowControl { NoFlowControl = 0, HardwareControl = 1, SoftwareControl = 2 };
    Q_ENUM(FlowControl)

    // The outcome of one port scan against the list kept from the previous one.
    struct PortListComparison {
        QStringList stored;  // the list to keep for the next scan
        QStringList ports;   // the list to report
        bool changed = false;
    };

    FSerialPort();
    ~FSerialPort() override;

    // Registers the enumerations as "FSerialPort::DataBits" and so on for queued connections.
    // The constructor calls it; calling it again is harmless.
    static void registerMetaTypes();

    // Line bits of one character: start bit, data bits, parity bit, stop bits.
    static int bitsPerCharacter(QSerialPort::DataBits dataBits, QSerialPort::Parity parity,
                                QSerialPort::StopBits stopBits);
    // Time on the line of `bytes` characters, with 5 % margin, in microseconds; 0 without a baud rate.
    static qint64 transmissionTimeUs(qint64 bytes, int bitsPerCharacter, quint32 baudRate);
    // Compares a fresh scan with the stored list of port names (the rules of getAvailablePorts).
    static PortListComparison comparePortLists(const QStringList &stored, const QStringList &scanned);

signals:
    void newDataReadyFromPort(QByteArray data);
    void finishedOpenPort(bool open);
    void availablePorts(QStringList Ports, bool DataChanged);
    void putPortOutputToLog(QByteArray data, bool bOut);
    void errorOccuredOnPort(QSerialPort::SerialPortError error);
    void rtsSet();
    void dtrSet();
    void dataWrittenToPort();
    void settingsChanged();
    void log(QString message);

public slots:
    void openPort(QString PortToOpen, int BaudRate, FSerialPort::DataBits dataBits, FSerialPort::Parity parity,
                  FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow);
    void closePort();
    void writeDataToPort(QByteArray data, bool bSingleWireTransmission);
    void writeDataToPort(QByteArray data);
    void writeDataToPortContinuously(QByteArray data, bool stop, int msIntervall);
    void getAvailablePorts();
    void setDTRPin(bool high);
    void setRTSPin(bool high);
    void getCurrentBaudrate(quint32 *ulBaudrate);
    void setNewBaudrate(uint ulBaudrate, bool *bSuccess);
    void changeSettings(int BaudRate, FSerialPort::DataBits dataBits, FSerialPort::Parity parity,
                        FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow);

private slots:
    void dataReady();
    void sendData();
    void errorOccurred(QSerialPort::SerialPortError error);

private:
    // A fresh QSerialPort with our connections in place of the current one (closed).
    void replacePort();
    bool setControlLine(const std::function<bool()> &set);
    bool applySettings(int baudRate, DataBits dataBits, Parity parity, StopBits stopBits, FlowControl flow);
    int currentBitsPerCharacter() const;
    bool writeAll(const QByteArray &data);
    bool waitForTransmission(qint64 bytes, int bitsPerCharacter, bool singleWire);
    void waitForPendingOutput(qint64 lineUs);
    void takeInputArrivedBeforeWrite();
    void dropStaleReadReadiness();
    void closeIfOpen();

    QSerialPort *mPort = nullptr;
    QStringList mPortList;
    QTimer *mRepeatTimer = nullptr;
    QByteArray mRepeatBuffer;
    quint32 mBaudrate = 0;
    QString mPortName;
    qint64 mEchoBytesPending = 0;
    QSerialPort::SerialPortError mLastError = QSerialPort::NoError;
    bool mOpen = false;
    bool mControlLineChange = false;
    bool mPollingInput = false;
    // Set by a resource error of the port, cleared when it is opened or closed.
    bool mPortLost = false;
    // While a write waits for its bytes to leave, what is read waits with it.
    bool mHoldingInput = false;
    QByteArray mHeldInput;
};

Q_DECLARE_METATYPE(FSerialPort::DataBits)
Q_DECLARE_METATYPE(FSerialPort::Parity)
Q_DECLARE_METATYPE(FSerialPort::StopBits)
Q_DECLARE_METATYPE(FSerialPort::FlowControl)
