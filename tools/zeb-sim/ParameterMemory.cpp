#include "tools/zeb-sim/ParameterMemory.h"

namespace ZebSim {

namespace {
// Erased cells of the device's memory read as zero.
QByteArray blankImage()
{
    return QByteArray(ParameterMemory::size, '\0');
}
} // namespace

ParameterMemory::ParameterMemory()
{
    for (Space space : {Space::Device, Space::SubDevice, Space::DeviceAndSubDevice})
        mImages.insert(space, Image{blankImage(), blankImage(), blankImage(), 0});
}

bool ParameterMemory::write(Space space, std::uint16_t address, const QByteArray &bytes)
{
    if (int(address) + bytes.size() > size)
        return false;
    Image &img = image(space);
    std::copy(bytes.cbegin(), bytes.cend(), img.stored.begin() + address);
    return true;
}

std::optional<QByteArray> ParameterMemory::read(Space space, std::uint16_t address, int count) const
{
    return slice(image(space).stored, address, count);
}

std::optional<QByteArray> ParameterMemory::readWorking(Space space, std::uint16_t address, int count) const
{
    return slice(image(space).working, address, count);
}

void ParameterMemory::takeOver(Space space)
{
    Image &img = image(space);
    img.working = img.stored;
    ++img.takeOvers;
}

void ParameterMemory::storeAsFactoryDefaults(Space space)
{
    Image &img = image(space);
    img.factory = img.stored;
}

void ParameterMemory::restoreFactoryDefaults(Space space)
{
    Image &img = image(space);
    img.stored = img.factory;
    img.working = img.factory;
}

void ParameterMemory::resetNvm(Space space)
{
    Image &img = image(space);
    img.stored = blankImage();
    img.working = blankImage();
}

// A restart loads every working image from the stored one, as the device's start-up does.
void ParameterMemory::restart()
{
    for (Image &img : mImages)
        img.working = img.stored;
}

int ParameterMemory::takeOverCount(Space space) const
{
    return image(space).takeOvers;
}

ParameterMemory::Image &ParameterMemory::image(Space space)
{
    return mImages[space];
}

const ParameterMemory::Image &ParameterMemory::image(Space space) const
{
    return *mImages.constFind(space);
}

std::optional<QByteArray> ParameterMemory::slice(const QByteArray &from, std::uint16_t address, int count)
{
    if (count < 0 || int(address) + count > size)
        return std::nullopt;
    return from.mid(address, count);
}

} // namespace ZebSim
