#include "tools/zeb-sim/MeasuredValues.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace ZebSim {

namespace {

std::optional<std::uint8_t> parseByte(const QString &text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 0);
    if (!ok || value > 255)
        return std::nullopt;
    return std::uint8_t(value);
}

} // namespace

// NaN equals NaN here: a configured NaN is the same configuration.
bool Variable::operator==(const Variable &other) const
{
    const bool sameValue = value == other.value || (std::isnan(value) && std::isnan(other.value));
    return unit == other.unit && sameValue;
}

std::optional<Variable> parseVariable(const QString &text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 2)
        return std::nullopt;
    const auto unit = parseByte(parts[0]);
    if (!unit)
        return std::nullopt;
    const QString valueText = parts[1].trimmed();
    if (valueText.compare(QLatin1String("nan"), Qt::CaseInsensitive) == 0)
        return Variable{*unit, std::numeric_limits<float>::quiet_NaN()};
    bool ok = false;
    const float value = valueText.toFloat(&ok);
    if (!ok)
        return std::nullopt;
    return Variable{*unit, value};
}

std::optional<Sample> parseSample(const QString &text)
{
    Sample sample;
    QString list = text;
    if (const qsizetype slash = text.indexOf(u'/'); slash >= 0) {
        const auto status = parseByte(text.left(slash));
        if (!status)
            return std::nullopt;
        sample.status = *status;
        list = text.mid(slash + 1);
    }
    if (list.trimmed().isEmpty())
        return sample;
    for (const QString &item : list.split(u',')) {
        const auto variable = parseVariable(item);
        if (!variable)
            return std::nullopt;
        sample.variables.append(*variable);
    }
    return sample;
}

std::optional<std::pair<int, QString>> parseStatusText(const QString &text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    bool ok = false;
    const int number = text.left(colon).toInt(&ok);
    const QString statusText = text.mid(colon + 1);
    if (!ok || number < 1 || number > 8 || statusText.size() > 16 || statusText.toLatin1() != statusText.toUtf8())
        return std::nullopt;
    return std::pair{number, statusText};
}

} // namespace ZebSim
