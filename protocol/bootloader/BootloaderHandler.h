#pragma once

#include "protocol/bootloader/Bootloader.h"
#include "protocol/serial/FSerialPort.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QThread;
class QTimer;

// The front end of a firmware update. It owns the boot-loader client of the chosen family and the
// thread "BootloaderThread" it runs on, lends it the serial port of the PARLINK link layer, turns the
// client's numeric states and errors into texts, and cuts client and port apart when the transfer
// ends. Giving the port back to the link layer is its caller's work.
//
// The handler lives on its creator's thread, the client on "BootloaderThread" and the port on the
// link layer's I/O thread; everything between them goes through queued connections.
class BootloaderHandler : public QObject {
    Q_OBJECT
public:
    enum BLFAMILY {
        FAMILY_UNDEF = 0,
        FAMILY_MSP432 = 1,
        FAMILY_TIVA = 2,
    };
    Q_ENUM(BLFAMILY)

    enum BLINTERFACE {
        INTERFACE_UNDEF = 0,
        INTERFACE_UART = 1,
    };
    Q_ENUM(BLINTERFACE)

    // After a successful transfer the client still gets the target's last bytes for this long.
    static constexpr int ReleaseDelayMs = 250;

    // The client's state texts, shown as they are.
    static constexpr std::array<std::pair<Bootloader::BLSTATE, const char *>, 7> StateTexts{{
        {Bootloader::BLSTATE_CONNECTION_STARTED, "Connection started"},
        {Bootloader::BLSTATE_CONNECTED, "Connected"},
        {Bootloader::BLSTATE_UPLOAD_STARTED, "Upload started"},
        {Bootloader::BLSTATE_UPLOAD_SUCCESSFULL, "Upload successful"},
        {Bootloader::BLSTATE_DOWNLOAD_STARTED, "Download started"},
        {Bootloader::BLSTATE_DOWNLOAD_SUCCESSFULL, "Download successful"},
        {Bootloader::BLSTATE_ERROR, "Error occurred"},
    }};

    // The client's error texts, translated in the context "BootloaderHandler".
    static constexpr std::array<std::pair<Bootloader::BLERROR, const char *>, 10> ErrorTexts{{
        {Bootloader::BLERROR_INTERFACE_CANT_OPEN, QT_TRANSLATE_NOOP("BootloaderHandler", "Could not open interface")},
        {Bootloader::BLERROR_INTERFACE_IS_NOT_OPEN, QT_TRANSLATE_NOOP("BootloaderHandler", "Interface is not open")},
        {Bootloader::BLERROR_INTERFACE_COM_ERROR,
         QT_TRANSLATE_NOOP("BootloaderHandler", "Interface communication error")},
        {Bootloader::BLERROR_INTERFACE_MISC, QT_TRANSLATE_NOOP("BootloaderHandler", "Misc interface error")},
        {Bootloader::BLERROR_CHECKSUM, QT_TRANSLATE_NOOP("BootloaderHandler", "Checksum incorrect")},
        {Bootloader::BLERROR_NO_RESPONSE_FROM_DEVICE,
         QT_TRANSLATE_NOOP("BootloaderHandler", "No response from device")},
        {Bootloader::BLERROR_TIMEOUT, QT_TRANSLATE_NOOP("BootloaderHandler", "Device did not answer in time")},
        {Bootloader::BLERROR_RX_BUFFER_EMPTY, QT_TRANSLATE_NOOP("BootloaderHandler", "No data received from device")},
        {Bootloader::BLERROR_CANT_PARSE_FILE, QT_TRANSLATE_NOOP("BootloaderHandler", "File is invalid")},
        {Bootloader::BLERROR_FILE_CONTAINS_BL,
         QT_TRANSLATE_NOOP("BootloaderHandler", "File must not contain bootloader update")},
    }};

    static std::optional<const char *> stateText(Bootloader::BLSTATE state);
    // The untranslated text.
    static std::optional<const char *> errorText(Bootloader::BLERROR error);
    // The untranslated text of an error text as `error` carries it, translated; none for any other text.
    static std::optional<const char *> sourceErrorText(const QString &translated);

    // Why the client of `family` would refuse to download the firmware file (BLERROR_CANT_PARSE_FILE
    // or BLERROR_FILE_CONTAINS_BL); BLERROR_NOERROR when it takes the file or there is no such client.
    // The check is the client's own, so a caller can refuse a file before the target is sent to its
    // boot loader.
    static Bootloader::BLERROR checkFirmwareFile(BLFAMILY family, const QString &fileName);

    // The port is borrowed, never owned; it may be null.
    BootloaderHandler(QObject *parent, FSerialPort *serialPort);
    ~BootloaderHandler() override;

    // Creates the client of a family. The same family, or FAMILY_UNDEF, keeps the client in place; a
    // client that another family replaces is cut off and deleted on its own thread.
    void setFamily(BLFAMILY family);
    // With INTERFACE_UART and download set: lends the port to the client and has the port take the
    // client's settings; once the port has applied them, the client's download of fileName begins.
    // Otherwise only the interface is stored.
    void setInterface(BLINTERFACE iface, bool download, const QString &fileName = QString());

    BLFAMILY currentFamily() const { return mFamily; }
    BLINTERFACE currentInterface() const { return mInterface; }
    // Set when the port was handed over for a download, cleared when a download succeeds: a failed
    // update leaves the target in its boot loader.
    bool isDownloadPending() const { return mDownloadPending; }
    QString fileName() const { return mFileName; }
    Bootloader *client() const { return mClient.get(); }
    FSerialPort *serialPort() const { return mSerialPort; }
    QThread *bootloaderThread() const { return mThread; }
    Bootloader::InterfaceSettings interfaceSettings() const;

signals:
    void actionProgress(uint8_t percentage);
    void error(QString error);
    void state(QString state);
    void openUART(QString PortToOpen, int BaudRate, FSerialPort::DataBits dataBits, FSerialPort::Parity parity,
                  FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow);
    void clearUARTData();
    void closeUART();
    void changeUARTSettings(int BaudRate, FSerialPort::DataBits dataBits, FSerialPort::Parity parity,
                            FSerialPort::StopBits stopBits, FSerialPort::FlowControl flow);
    void downloadFamily(QString fileName);
    void uploadFamily(QString fileName);
    void setDTRPin(bool high);
    void setRTSPin(bool high);
    void log(QString msg);

public slots:
    void progressFamily(uint8_t percentage);
    void stateFamily(Bootloader::BLSTATE state);
    void errorFamily(Bootloader::BLERROR error);

protected:
    // The client for a family, or none for a family without one.
    virtual std::unique_ptr<Bootloader> createClient(BLFAMILY family);

private:
    void wirePortToClient();
    void disconnectClient(Bootloader *client);
    void removePortConnections();
    void releasePort();

    BLINTERFACE mInterface = INTERFACE_UNDEF;
    BLFAMILY mFamily = FAMILY_UNDEF;
    std::unique_ptr<Bootloader> mClient;
    QPointer<FSerialPort> mSerialPort;
    QThread *mThread = nullptr;
    mutable QMutex mSettingsMutex;
    Bootloader::InterfaceSettings mSettings;
    bool mDownloadPending = false;
    QString mFileName;
    QTimer *mReleaseTimer = nullptr;
};
