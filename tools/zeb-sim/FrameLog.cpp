#include "tools/zeb-sim/FrameLog.h"

#include "protocol/parlink/PARLINK_FieldCodec.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

namespace ZebSim {

namespace {

// The fields a master puts into each request; everything else in a request map is a default.
QStringList requestFieldNames(int command)
{
    switch (command) {
    case 129:
        return {QStringLiteral("Baudrate")};
    case 130:
        return {QStringLiteral("Address"), QStringLiteral("BytesToRead")};
    case 131:
        return {QStringLiteral("Address"), QStringLiteral("BytesToWrite"), QStringLiteral("Bytes")};
    case 134:
        return {QStringLiteral("DiagCode")};
    case 143:
        return {QStringLiteral("Systemcommand"), QStringLiteral("Payload")};
    default:
        return {};
    }
}

bool isResponseField(int command, const QString &key, int variables)
{
    static const QStringList skipped{QStringLiteral("Error"), QStringLiteral("Databytes Master"),
                                     QStringLiteral("Databytes Slave")};
    if (skipped.contains(key) || requestFieldNames(command).contains(key))
        return false;
    if (command == 130 && (key == QStringLiteral("Address") || key == QStringLiteral("BytesToRead")))
        return false;
    if (command == 138 || command == 139) {
        // Only the variables the frame carries.
        static const QRegularExpression variable(QStringLiteral("^(Device|Burst)variable (\\d+)"));
        const auto match = variable.match(key);
        if (match.hasMatch())
            return match.captured(2).toInt() <= variables;
    }
    return true;
}

QString valueText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(value.toByteArray().toHex());
    if (value.typeId() == QMetaType::QString)
        return u'"' + value.toString() + u'"';
    return value.toString();
}

QString addressText(const QByteArray &frame)
{
    QStringList parts;
    for (int i = 1; i <= 5 && i < frame.size(); ++i)
        parts.append(QString::number(quint8(frame.at(i))));
    return parts.join(u'.');
}

} // namespace

QString FrameLog::describe(Direction direction, const QByteArray &frame, const QString &note)
{
    const int command = frame.size() > 6 ? quint8(frame.at(6)) : 0;
    // The codecs take the frame without its checksum.
    const QByteArray body = frame.left(frame.size() - 1);
    QStringList parts{direction == Direction::Received ? QStringLiteral("RX") : QStringLiteral("TX"),
                      QString::number(command), addressText(frame)};
    if (direction == Direction::Received) {
        const auto fields = PARLINK_FieldCodec::decodeRequestFrame(body);
        for (const QString &key : requestFieldNames(command))
            parts.append(key + u'=' + valueText(fields.value(key)));
    } else {
        const auto fields = PARLINK_FieldCodec::decodeResponseFrame(body);
        const int variables = fields.value(command == 138 ? QStringLiteral("Number of Devicevariables")
                                                          : QStringLiteral("Number of Burstvariables")).toInt();
        for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
            if (isResponseField(command, it.key(), variables))
                parts.append(it.key() + u'=' + valueText(it.value()));
        }
    }
    if (!note.isEmpty())
        parts.append(u'[' + note + u']');
    return parts.join(u' ');
}

bool FrameLog::open(const QString &path, QString *error)
{
    mFile.setFileName(path);
    if (!mFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("Cannot open log file %1: %2").arg(path, mFile.errorString());
        return false;
    }
    return true;
}

void FrameLog::record(Direction direction, const QByteArray &frame, const QString &note)
{
    if (mFile.isOpen())
        writeLine(describe(direction, frame, note));
}

void FrameLog::note(const QString &text)
{
    if (mFile.isOpen())
        writeLine(text);
}

void FrameLog::writeLine(const QString &text)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    mFile.write((stamp + u' ' + text + u'\n').toUtf8());
    mFile.flush();
}

} // namespace ZebSim
