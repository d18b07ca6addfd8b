#include "tests/support/FakeDeviceService.h"

#include <QTimer>

using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::BootloaderType;
using Thg::Tilo::Communication::Comport;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Device::Parameter;
using Thg::Tilo::Device::ParameterSetting;
using ParameterRefs = std::vector<std::reference_wrapper<const Parameter>>;

FakeDeviceService::FakeDeviceService(QObject *parent) : DeviceService(parent) {}

void FakeDeviceService::setReply(const QString &slot, Reply reply, const QString &errorText)
{
    mAnswers[slot] = Answer{reply, errorText};
}

QStringList FakeDeviceService::callNames() const
{
    QStringList names;
    for (const Call &call : mCalls)
        names << call.slot;
    return names;
}

template <typename Success>
void FakeDeviceService::answer(Call call, Success succeed)
{
    const Answer answer = mAnswers.value(call.slot);
    mCalls << std::move(call);
    switch (answer.reply) {
    case Reply::Succeed:
        QTimer::singleShot(0, this, [this, succeed] {
            emit progress(50);
            emit progress(100);
            succeed();
        });
        break;
    case Reply::Fail:
        QTimer::singleShot(0, this, [this, text = answer.errorText] {
            emit progress(50);
            emit error(text);
        });
        break;
    case Reply::Silent:
        break;
    }
}

void FakeDeviceService::abort()
{
    answer(Call(QStringLiteral("abort")), [this] { emit successDisconnecting(); });
}

void FakeDeviceService::start(const Comport &comport, bool deviceIdentification)
{
    Call call{QStringLiteral("start")};
    call.comport = comport;
    call.flag = deviceIdentification;
    answer(std::move(call), [this] { emit foundDevice(mFoundDevice); });
}

void FakeDeviceService::restartDevice(Address::Type type, const Device &dev)
{
    answer(Call(QStringLiteral("restartDevice"), type, dev), [this] { emit successRestartDevice(); });
}

void FakeDeviceService::setCurrentAsFactoryDefaults(Address::Type type, const Device &dev)
{
    answer(Call(QStringLiteral("setCurrentAsFactoryDefaults"), type, dev),
           [this] { emit successSetCurrentAsFactoryDefaults(); });
}

void FakeDeviceService::resetToFactoryDefaults(Address::Type type, const Device &dev)
{
    answer(Call(QStringLiteral("resetToFactoryDefaults"), type, dev), [this] { emit successResetToFactoryDefaults(); });
}

void FakeDeviceService::write(const Device &dev, const std::vector<Parameter> &deviceParameters,
                              const std::vector<Parameter> &subdeviceParameters, bool readBack)
{
    Call call{QStringLiteral("write"), Address::Type::None, dev};
    call.flag = readBack;
    call.deviceParameters = deviceParameters;
    call.subdeviceParameters = subdeviceParameters;
    answer(std::move(call), [this] { emit successWriting(); });
}

namespace {

std::vector<ParameterSetting> settingsOf(const ParameterRefs &parameters)
{
    std::vector<ParameterSetting> settings;
    for (const Parameter &parameter : parameters) {
        const bool holdsNothing = parameter.currentValue.type == Thg::Tilo::Device::DataType::UNKNOWN;
        settings.push_back(
            {parameter.name, parameter.type, holdsNothing ? parameter.defaultValue : parameter.currentValue});
    }
    return settings;
}

std::vector<Parameter> copiesOf(const ParameterRefs &parameters)
{
    return std::vector<Parameter>(parameters.begin(), parameters.end());
}

} // namespace

void FakeDeviceService::read(const Device &dev, ParameterRefs deviceParameters, ParameterRefs subdeviceParameters)
{
    Call call{QStringLiteral("read"), Address::Type::None, dev};
    call.deviceParameters = copiesOf(deviceParameters);
    call.subdeviceParameters = copiesOf(subdeviceParameters);
    mReadDeviceParameters = std::move(deviceParameters);
    mReadSubdeviceParameters = std::move(subdeviceParameters);
    answer(std::move(call), [this] { answerRead(); });
}

void FakeDeviceService::answerRead()
{
    emit successReading(settingsOf(mReadDeviceParameters), settingsOf(mReadSubdeviceParameters));
    mReadDeviceParameters.clear();
    mReadSubdeviceParameters.clear();
    emit progress(100);
    emit successWriting();
}

void FakeDeviceService::readFixedBurstValues(Address::Type type, const Device &dev, std::uint32_t)
{
    answer(Call(QStringLiteral("readFixedBurstValues"), type, dev), [this] { emit finishedFixedSamples({}); });
}

void FakeDeviceService::accumulateBurstValues(Address::Type type, const Device &dev, std::uint32_t, std::uint8_t,
                                              std::uint16_t)
{
    answer(Call(QStringLiteral("accumulateBurstValues"), type, dev), [this] { emit finishedAccumulate({}); });
}

void FakeDeviceService::readFixedDeviceValues(Address::Type type, const Device &dev, std::uint32_t)
{
    answer(Call(QStringLiteral("readFixedDeviceValues"), type, dev), [this] { emit finishedFixedSamples({}); });
}

void FakeDeviceService::accumulateDeviceValues(Address::Type type, const Device &dev, std::uint32_t, std::uint8_t,
                                               std::uint16_t)
{
    answer(Call(QStringLiteral("accumulateDeviceValues"), type, dev), [this] { emit finishedAccumulate({}); });
}

void FakeDeviceService::readFixedDeviceAndBurstValues(Address::Type type, const Device &dev, std::uint32_t)
{
    answer(Call(QStringLiteral("readFixedDeviceAndBurstValues"), type, dev),
           [this] { emit finishedFixedSamples({}); });
}

void FakeDeviceService::upload(Address::Type type, const Device &dev, BootloaderType, const QString &, bool, bool)
{
    answer(Call(QStringLiteral("upload"), type, dev), [this] { emit success(); });
}
