#pragma once

// What the firmware update tests of the device service share: the images and their files, the
// simulated device with a boot loader, and an upload waited for.

#include "communication/internal/Bootloader.h"
#include "tests/protocol/bootloader/BootloaderTestSupport.h"
#include "tests/support/ServiceHarness.h"

#include "tools/boot-sim/BootTarget.h"

#include <QtTest>

namespace FirmwareTest {

using BootloaderTest::pattern;
using BootloaderTest::section;
using Family = ZebSim::BootLoaderPlan::Family;
using Thg::Tilo::Communication::Address;
using Thg::Tilo::Communication::BootloaderType;
using Thg::Tilo::Communication::Device;
using Thg::Tilo::Communication::ParLinkDeviceService;

// The time every job waits for each reply.
constexpr int ResponseTimeoutMs = 3000;
// The longest an update may take here: a client's reply time-out, the hand-over and the transfer.
constexpr int UpdateWaitMs = 20000;

// 200 bytes at 0x4000 for the Tiva target; three blocks from 0 for the MSP432 target.
inline QByteArray tivaImage()
{
    return pattern(200);
}
constexpr quint32 TivaAddress = 0x4000;
inline QByteArray msp432Image()
{
    return pattern(0x211, 3);
}
constexpr quint32 Msp432Address = 0;

inline QByteArray imageOf(Family family)
{
    return family == Family::Tiva ? tivaImage() : msp432Image();
}
inline quint32 addressOf(Family family)
{
    return family == Family::Tiva ? TivaAddress : Msp432Address;
}
inline BootloaderType typeOf(Family family)
{
    return family == Family::Tiva ? BootloaderType::TIVA : BootloaderType::MSP432;
}

// The image of `family` as a TI-TXT file in `files`.
inline QString writeImage(BootloaderTest::FirmwareFiles &files, Family family)
{
    return files.write(family == Family::Tiva ? QStringLiteral("tiva.txt") : QStringLiteral("msp432.txt"),
                       section(addressOf(family), imageOf(family)) + "q\r\n");
}

// Starts an upload and waits for its end; false when neither success nor error came.
inline bool upload(ServiceHarness &h, const Device &dev, BootloaderType type, const QString &fileName,
                   bool rescueMode = false, bool leavePortOpenOnError = false)
{
    const qsizetype seen = h.recorder().events().size();
    h.call([=](ParLinkDeviceService *s) {
        s->upload(Address::Type::DeviceAndSubDevice, dev, type, fileName, rescueMode, leavePortOpenOnError);
    });
    return h.recorder().waitForAnyAfter(seen, {QStringLiteral("success"), QStringLiteral("error")}, UpdateWaitMs);
}

// How often the device was asked to start its boot loader.
inline qsizetype requestsFor133(const ServiceHarness &h)
{
    return h.device()->commandsReceived().count(133);
}

// The log entries from the first one equal to `entry` on; empty when there is none.
inline QStringList logFrom(ServiceRecorder &recorder, const QString &entry)
{
    const QStringList all = recorder.logEntries();
    const qsizetype at = all.indexOf(entry);
    return at < 0 ? QStringList() : all.mid(at);
}

} // namespace FirmwareTest

// The boot loader a test's simulated device runs, as a column of data-driven tests.
Q_DECLARE_METATYPE(ZebSim::BootLoaderPlan)
