#include "tools/boot-sim/BootTarget.h"

namespace BootSim {

QByteArray BootTarget::flash(quint32 address, qsizetype length) const
{
    QByteArray bytes(length, char(0xFF));
    for (qsizetype i = 0; i < length; ++i) {
        const auto found = mFlash.find(quint32(address + quint64(i)));
        if (found != mFlash.end())
            bytes[i] = found->second;
    }
    return bytes;
}

void BootTarget::writeFlash(quint32 address, QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        mFlash[quint32(address + quint64(i))] = bytes[i];
}

void BootTarget::eraseFlash(quint32 address, quint64 length)
{
    const quint64 end = quint64(address) + length;
    auto it = mFlash.lower_bound(address);
    while (it != mFlash.end() && quint64(it->first) < end)
        it = mFlash.erase(it);
}

} // namespace BootSim
