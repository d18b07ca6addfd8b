#pragma once

#include "protocol/serial/FSerialPort.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <array>

// One PARLINK session: the role, the five-byte device address, a queue of commands and, for every
// command 128..143, one map of named fields that holds the request's values before sending and the
// decoded response afterwards. The device service hands sessions to the stack; the link layer writes
// state and error into the session that is running.
class PARLINK_Session : public QObject {
    Q_OBJECT
public:
    enum PARLINK_ENUM_ADAPTER_STATE {
        PARLINK_ENUM_ADAPTER_STATE_COMMUNICATION = 0,
        PARLINK_ENUM_ADAPTER_STATE_BYPASS = 1,
        PARLINK_ENUM_ADAPTER_STATE_OFF = 2,
    };
    Q_ENUM(PARLINK_ENUM_ADAPTER_STATE)

    enum PARLINK_ENUM_SESSION_ERROR {
        PARLINK_ENUM_SESSION_NO_ERROR = 0,
        PARLINK_ENUM_SESSION_ERROR_NO_PREAMBEL = 1,
        PARLINK_ENUM_SESSION_ERROR_TOO_FEW_PREAMBELS = 2,
        PARLINK_ENUM_SESSION_ERROR_TOO_MANY_PREAMBELS = 3,
        PARLINK_ENUM_SESSION_ERROR_WRONG_ADDRESS = 4,
        PARLINK_ENUM_SESSION_ERROR_WRONG_CHECKSUM = 5,
        PARLINK_ENUM_SESSION_ERROR_DATA_OVERRUN = 6,
        PARLINK_ENUM_SESSION_ERROR_FRAMING = 7,
        PARLINK_ENUM_SESSION_ERROR_TIMEOUT = 8,
        PARLINK_ENUM_SESSION_ERROR_TIMEOUT_BURSTMODE = 9,
        PARLINK_ENUM_SESSION_ERROR_PARITY = 10,
        PARLINK_ENUM_SESSION_ERROR_WRONG_COMMAND = 11,
        PARLINK_ENUM_SESSION_ERROR_SESSION_NOT_FINISHED = 12,
        PARLINK_ENUM_SESSION_ERROR_CANT_START_SESSION = 13,
        PARLINK_ENUM_SESSION_ERROR_CANT_OPEN_COMPORT = 14,
        PARLINK_ENUM_SESSION_ERROR_COMPORT = 15,
        PARLINK_ENUM_SESSION_ERROR_NO_DATA_IN_SESSION = 16,
        PARLINK_ENUM_SESSION_ERROR_BURST_ACK = 17,
        PARLINK_ENUM_SESSION_ERROR_BAUDRATE_CHANGE = 18,
        PARLINK_ENUM_SESSION_ERROR_DMA = 19,
        PARLINK_ENUM_SESSION_ERROR_BTLE = 20,
        PARLINK_ENUM_SESSION_ERROR_UNKNOWN = 255,
    };
    Q_ENUM(PARLINK_ENUM_SESSION_ERROR)

    enum PARLINK_ENUM_SESSION_TYPE {
        PARLINK_ENUM_SESSION_TYPE_SLAVE = 0,
        PARLINK_ENUM_SESSION_TYPE_MASTER = 1,
        PARLINK_ENUM_SESSION_TYPE_BURST = 2,
    };
    Q_ENUM(PARLINK_ENUM_SESSION_TYPE)

    enum PARLINK_ENUM_SESSION_STATE {
        PARLINK_ENUM_SESSION_STATE_INACTIVE = 0,
        PARLINK_ENUM_SESSION_STATE_SENDING = 1,
        PARLINK_ENUM_SESSION_STATE_SENDING_DONE = 2,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_FIRST_RECIEVE_BYTE = 3,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_COUNT_PREAMBELS = 4,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_CHECK_ADRESS = 5,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_COMMAND = 6,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD_COUNT = 7,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_STATUS_BYTES = 8,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_READ_PAYLOAD = 9,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_DONE = 10,
        PARLINK_ENUM_SESSION_STATE_RECIEVING_WAIT_FOR_BURST_ACK = 11,
        PARLINK_ENUM_SESSION_STATE_SESSION_DATA_READY = 12,
        PARLINK_ENUM_SESSION_STATE_ERROR = 13,
        PARLINK_ENUM_SESSION_STATE_UNKNOWN = 255,
    };
    Q_ENUM(PARLINK_ENUM_SESSION_STATE)

    // The values are the command bytes on the wire.
    enum PARLINK_ENUM_SESSION_COMMAND {
        PARLINK_ENUM_SESSION_NO_COMMAND = 255,
        PARLINK_ENUM_SESSION_COMMAND_128 = 128,
        PARLINK_ENUM_SESSION_COMMAND_129 = 129,
        PARLINK_ENUM_SESSION_COMMAND_130 = 130,
        PARLINK_ENUM_SESSION_COMMAND_131 = 131,
        PARLINK_ENUM_SESSION_COMMAND_132 = 132,
        PARLINK_ENUM_SESSION_COMMAND_133 = 133,
        PARLINK_ENUM_SESSION_COMMAND_134 = 134,
        PARLINK_ENUM_SESSION_COMMAND_135 = 135,
        PARLINK_ENUM_SESSION_COMMAND_136 = 136,
        PARLINK_ENUM_SESSION_COMMAND_137 = 137,
        PARLINK_ENUM_SESSION_COMMAND_138 = 138,
        PARLINK_ENUM_SESSION_COMMAND_139 = 139,
        PARLINK_ENUM_SESSION_COMMAND_140 = 140,
        PARLINK_ENUM_SESSION_COMMAND_141 = 141,
        PARLINK_ENUM_SESSION_COMMAND_142 = 142,
        PARLINK_ENUM_SESSION_COMMAND_143 = 143,
    };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND)

    // The value of the field "Universal Error".
    enum PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_ERROR {
        PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_NO_ERROR = 0,
        PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_ERROR_TOO_FEW_PAYLOAD_BYTES = 1,
        PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_ERROR_TOO_MANY_PAYLOAD_BYTES = 2,
        PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_ERROR_NOT_EXECUTED = 255,
    };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_UNIVERSAL_ERROR)

    // The values of each command's field "Error"; nothing assigns another value than 0.
    enum PARLINK_ENUM_SESSION_COMMAND_128_ERROR { PARLINK_ENUM_SESSION_COMMAND_128_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_128_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_129_ERROR { PARLINK_ENUM_SESSION_COMMAND_129_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_129_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_130_ERROR { PARLINK_ENUM_SESSION_COMMAND_130_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_130_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_131_ERROR { PARLINK_ENUM_SESSION_COMMAND_131_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_131_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_132_ERROR { PARLINK_ENUM_SESSION_COMMAND_132_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_132_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_133_ERROR { PARLINK_ENUM_SESSION_COMMAND_133_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_133_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_134_ERROR { PARLINK_ENUM_SESSION_COMMAND_134_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_134_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_135_ERROR { PARLINK_ENUM_SESSION_COMMAND_135_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_135_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_136_ERROR { PARLINK_ENUM_SESSION_COMMAND_136_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_136_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_137_ERROR { PARLINK_ENUM_SESSION_COMMAND_137_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_137_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_138_ERROR { PARLINK_ENUM_SESSION_COMMAND_138_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_138_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_139_ERROR { PARLINK_ENUM_SESSION_COMMAND_139_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_139_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_140_ERROR { PARLINK_ENUM_SESSION_COMMAND_140_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_140_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_141_ERROR { PARLINK_ENUM_SESSION_COMMAND_141_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_141_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_142_ERROR { PARLINK_ENUM_SESSION_COMMAND_142_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_142_ERROR)
    enum PARLINK_ENUM_SESSION_COMMAND_143_ERROR { PARLINK_ENUM_SESSION_COMMAND_143_NO_ERROR = 0 };
    Q_ENUM(PARLINK_ENUM_SESSION_COMMAND_143_ERROR)

    enum PARLINK_HW { PARLINK_HW_UART = 0, PARLINK_HW_BTLE = 1 };
    Q_ENUM(PARLINK_HW)

    enum BTLE_STATE {
        DISCONNECTED = 0,
        SCANNING = 1,
        NEW_DEVICES = 2,
        CONNECTING = 3,
        CONNECTED = 4,
        HW_ERROR = 255,
    };
    Q_ENUM(BTLE_STATE)

    // The serial settings of one port open. A default-constructed value is all false, zero and empty.
    struct InterfaceSettings {
        bool dtrRun = false;
        bool dtrClose = false;
        bool dtrPowerDown = false;
        bool rtsRun = false;
        bool rtsClose = false;
        bool rtsPowerDown = false;
        bool singleWire = false;
        int baudRate = 0;
        FSerialPort::DataBits dataBits = FSerialPort::DataBits(0);
        FSerialPort::Parity parity = FSerialPort::NoParity;
        FSerialPort::StopBits stopBits = FSerialPort::StopBits(0);
        FSerialPort::FlowControl flowControl = FSerialPort::NoFlowControl;
        QString portName;
        bool powerCycle = false;
        int powerDownMs = 0;  // how long the power-down levels are held
        int startupMs = 0;    // from the run levels to the wake-up string

        bool operator==(const InterfaceSettings &) const = default;
    };

    using FieldMap = QMap<QString, QVariant>;

    static constexpr int QueueCapacity = 100;
    static constexpr int AddressSize = 5;

    explicit PARLINK_Session(QObject *parent = nullptr);
    // A fresh session without parent that takes over maps, raw frame, command, error, state, role,
    // address and the whole queue of `other`.
    PARLINK_Session(const PARLINK_Session &other);
    PARLINK_Session &operator=(const PARLINK_Session &) = delete;
    ~PARLINK_Session() override = default;

    // Registers the session's value types and pointers for queued connections; harmless to repeat.
    static void registerMetaTypes();

    void getDefaultDataForCommand(PARLINK_ENUM_SESSION_COMMAND command, FieldMap *data) const;
    void getDataForCommand(PARLINK_ENUM_SESSION_COMMAND command, FieldMap *data) const;
    void setDataForCommand(PARLINK_ENUM_SESSION_COMMAND command, const FieldMap &data);
    // Puts every command's field map back to its standard layout, so that no field of an earlier
    // request or reply is left in the session.
    void clearData();
    void setBuffer(const QByteArray &buffer);
    QByteArray getBuffer() const;

    // "128" .. "143" for the sixteen commands, "0" for any other value: the key of both maps.
    static QString getCommandStringForCommandMap(int command);
    QMap<QString, FieldMap> getDataMapStandardLayout() const;
    FieldMap getDataStandardLayoutForCommand(const QString &key) const;

    PARLINK_ENUM_SESSION_COMMAND getCommand() const;
    void setCommand(PARLINK_ENUM_SESSION_COMMAND command);
    PARLINK_ENUM_SESSION_ERROR getError() const;
    void setError(PARLINK_ENUM_SESSION_ERROR error);
    PARLINK_ENUM_SESSION_STATE getState() const;
    void setState(PARLINK_ENUM_SESSION_STATE state);
    PARLINK_ENUM_SESSION_TYPE getType() const;
    void setType(PARLINK_ENUM_SESSION_TYPE type);

    // The five address bytes in frame order: vendor ID, slave high, slave low, subslave high,
    // subslave low. setAddress takes the first five bytes and fills missing ones with zero.
    QByteArray getAddress() const;
    void setAddress(const QByteArray &address);
    quint8 getAddressByte(int index) const;

    // The command queue; the front entry is sent next. Appending fails (false, nothing changed)
    // when 100 commands are queued or the repeat count is 0.
    bool appendCommandToQueue(PARLINK_ENUM_SESSION_COMMAND command, quint8 repeatCount = 1);
    // Counts down the front entry's repeats and returns its command, removing the entry when its
    // count reaches 0; PARLINK_ENUM_SESSION_NO_COMMAND when the queue is empty.
    PARLINK_ENUM_SESSION_COMMAND takeCommandFromQueue();
    void clearQueue();
    int getQueueLength() const;
    // Entries 0..99; freed slots hold command 255, never-used ones 0.
    quint32 getQueuedCommand(int index) const;
    quint8 getQueuedRepeatCount(int index) const;

private:
    PARLINK_ENUM_SESSION_COMMAND mCommand = PARLINK_ENUM_SESSION_NO_COMMAND;
    PARLINK_ENUM_SESSION_ERROR mError = PARLINK_ENUM_SESSION_NO_ERROR;
    PARLINK_ENUM_SESSION_STATE mState = PARLINK_ENUM_SESSION_STATE_INACTIVE;
    PARLINK_ENUM_SESSION_TYPE mType = PARLINK_ENUM_SESSION_TYPE_SLAVE;
    std::array<quint32, QueueCapacity> mQueueCommands{};
    std::array<quint8, QueueCapacity> mQueueRepeatCounts{};
    quint8 mQueueLength = 0;
    QByteArray mBuffer;
    std::array<quint8, AddressSize> mAddress{};
    QMap<QString, FieldMap> mDataMap;
    QMap<QString, FieldMap> mDefaultMap;
};

Q_DECLARE_METATYPE(PARLINK_Session)
Q_DECLARE_METATYPE(PARLINK_Session::InterfaceSettings)
