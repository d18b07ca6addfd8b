#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <cstdint>

class QTimer;

// A boot-loader client for one target family. It runs on a thread of its own and talks to the target
// through a serial port that it borrows: bytes leave through writeDataToInterface and arrive in
// newDataReadyFromInterface. It reports numeric states and errors only; BootloaderHandler turns them
// into texts.
class Bootloader : public QObject {
    Q_OBJECT
public:
    enum BLSTATE {
        BLSTATE_UNDEF = 0,
        BLSTATE_CONNECTION_STARTED = 2,
        BLSTATE_CONNECTED = 3,
        BLSTATE_UPLOAD_STARTED = 4,
        BLSTATE_UPLOAD_SUCCESSFULL = 5,
        BLSTATE_DOWNLOAD_STARTED = 6,
        BLSTATE_DOWNLOAD_SUCCESSFULL = 7,
        BLSTATE_ERROR = 255,
    };
    Q_ENUM(BLSTATE)

    enum BLERROR {
        BLERROR_NOERROR = 0,
        BLERROR_INTERFACE_CANT_OPEN = 1,
        BLERROR_INTERFACE_IS_NOT_OPEN = 2,
        BLERROR_INTERFACE_COM_ERROR = 3,
        BLERROR_INTERFACE_MISC = 4,
        BLERROR_CHECKSUM = 5,
        BLERROR_NO_RESPONSE_FROM_DEVICE = 6,
        BLERROR_TIMEOUT = 7,
        BLERROR_RX_BUFFER_EMPTY = 8,
        BLERROR_CANT_PARSE_FILE = 9,
        BLERROR_FILE_CONTAINS_BL = 10,
    };
    Q_ENUM(BLERROR)

    enum BLACTION {
        BLACTION_UNDEF = 0,
        BLACTION_DOWNLOAD = 1,
        BLACTION_UPLOAD = 2,
    };
    Q_ENUM(BLACTION)

    // The serial settings that a client needs; the numbers are those of FSerialPort's enumerations.
    struct InterfaceSettings {
        bool release = false; // the handler may disconnect client and port when the transfer ends
        qint32 baudrate = 0;
        qint32 dataBits = 0;
        qint32 parity = 0;
        qint32 stopBits = 0;
        qint32 flowControl = 0;
        bool halfDuplex = false; // passed with every writeDataToInterface
    };

    explicit Bootloader(QObject *parent = nullptr);
    ~Bootloader() override;

    // Registers BLSTATE, BLERROR and uint8_t for queued connections; the constructor calls it.
    static void registerMetaTypes();

    // The client error for an error of the serial port; BLERROR_NOERROR for NoError, which is ignored.
    static BLERROR errorForSerialPortError(QSerialPort::SerialPortError error);

    virtual InterfaceSettings getInterfaceSettings() const;

    BLACTION currentAction() const { return mAction; }
    BLSTATE currentState() const { return mState; }
    BLERROR currentError() const { return mError; }

public slots:
    // Reads the target's firmware back; no client of this system carries out a transfer for it.
    virtual void upload(QString fileName) = 0;
    // Writes the TI-TXT file into the target.
    virtual void download(QString fileName) = 0;
    virtual void newDataReadyFromInterface(QByteArray data) = 0;
    virtual void errorOccurredOnInterface(QSerialPort::SerialPortError error) = 0;
    virtual void dataWrittenToInterface() = 0;

signals:
    void writeDataToInterface(QByteArray data, bool halfDuplex);
    // A blocking request to change the baud rate; no client of this system sends it.
    void setNewBaudrate(uint baudrate, bool *success);
    void error(Bootloader::BLERROR error);
    void state(Bootloader::BLSTATE state);
    void progress(uint8_t percentage);
    void log(QString msg);

protected:
    // The line both families' boot loaders speak: 8 data bits, even parity, one stop bit, no flow
    // control, half duplex; the port is released when the transfer ends.
    static InterfaceSettings uartSettings(qint32 baudrate);

    // Firmware files are TI-TXT files whose name holds ".txt", in this case, anywhere.
    static bool isFirmwareFileName(const QString &fileName);
    // Stores the state and reports it only when it changes.
    void changeState(BLSTATE state);
    // A precise timer of this client's, named so that tests find it.
    QTimer *makeTimer(const char *name, int intervalMs, bool singleShot);

    BLACTION mAction = BLACTION_UNDEF;
    BLSTATE mState = BLSTATE_UNDEF;
    BLERROR mError = BLERROR_NOERROR;
    InterfaceSettings mSettings;
};

Q_DECLARE_METATYPE(Bootloader::BLSTATE)
Q_DECLARE_METATYPE(Bootloader::BLERROR)
