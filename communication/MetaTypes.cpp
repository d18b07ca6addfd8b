#include "communication/MetaTypes.h"

#include "communication/ComPortScanner.h"

#include <QMetaType>

namespace Thg::Tilo::Communication {

void registerMetaTypes()
{
    qRegisterMetaType<Device>("Thg::Tilo::Communication::Device");
    qRegisterMetaType<Comport>("Thg::Tilo::Communication::Comport");
    qRegisterMetaType<QList<Comport>>("QList<Thg::Tilo::Communication::Comport>");
    qRegisterMetaType<ComPortScanner::List>("Thg::Tilo::Communication::ComPortScanner::List");
    qRegisterMetaType<Address::Type>("Thg::Tilo::Communication::Address::Type");
    qRegisterMetaType<LogLevel>("Thg::Tilo::Communication::LogLevel");
    qRegisterMetaType<BootloaderType>("Thg::Tilo::Communication::BootloaderType");
    qRegisterMetaType<Slots>("Thg::Tilo::Communication::Slots");
    qRegisterMetaType<QList<Slots>>("QList<Thg::Tilo::Communication::Slots>");
    qRegisterMetaType<std::vector<Thg::Tilo::Device::Parameter>>("std::vector<Thg::Tilo::Device::Parameter>");
    qRegisterMetaType<std::vector<Thg::Tilo::Device::ParameterSetting>>(
        "std::vector<Thg::Tilo::Device::ParameterSetting>");
    qRegisterMetaType<std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>>>(
        "std::vector<std::reference_wrapper<const Thg::Tilo::Device::Parameter>>");
    qRegisterMetaType<std::uint8_t>("std::uint8_t");
    qRegisterMetaType<std::uint16_t>("std::uint16_t");
    qRegisterMetaType<std::uint32_t>("std::uint32_t");
}

} // namespace Thg::Tilo::Communication
