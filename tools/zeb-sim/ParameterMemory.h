#pragma once

#include <QByteArray>
#include <QMap>

#include <cstdint>
#include <optional>

namespace ZebSim {

// The device's non-volatile parameter memory, one 16-bit byte address space per address type
// (device, sub-device, both). Three images per space, as the device keeps them:
// - the stored image, written by memory writes (131) and read back by memory reads (130);
// - the working image, the values the device runs with, taken over from the stored image by 132
//   and on restart;
// - the factory defaults, which 143 stores and restores.
class ParameterMemory {
public:
    enum class Space : std::uint8_t { Device = 0, SubDevice = 1, DeviceAndSubDevice = 2 };

    static constexpr int size = 0x10000;

    ParameterMemory();

    // False (and nothing written) when the bytes would pass the end of the address space.
    bool write(Space space, std::uint16_t address, const QByteArray &bytes);
    // Empty when the range passes the end of the address space.
    std::optional<QByteArray> read(Space space, std::uint16_t address, int count) const;
    std::optional<QByteArray> readWorking(Space space, std::uint16_t address, int count) const;

    void takeOver(Space space);
    void storeAsFactoryDefaults(Space space);
    void restoreFactoryDefaults(Space space);
    void resetNvm(Space space);
    void restart();

    int takeOverCount(Space space) const;

private:
    struct Image {
        QByteArray stored;
        QByteArray working;
        QByteArray factory;
        int takeOvers = 0;
    };

    Image &image(Space space);
    const Image &image(Space space) const;
    static std::optional<QByteArray> slice(const QByteArray &from, std::uint16_t address, int count);

    QMap<Space, Image> mImages;
};

} // namespace ZebSim
