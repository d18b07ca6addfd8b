#include "communication/QtComPortScanner.h"

#include <QSerialPortInfo>

namespace Thg::Tilo::Communication {

QtComPortScanner::QtComPortScanner(int interval, Enumeration enumerate) : mEnumerate(std::move(enumerate))
{
    mThread.setObjectName(QStringLiteral("ComPortScanner"));
    mThread.start(QThread::InheritPriority);
    moveToThread(&mThread);
    connect(&mTimer, &QTimer::timeout, this, &QtComPortScanner::scan);
    mTimer.start(interval);
}

QtComPortScanner::~QtComPortScanner()
{
    mTimer.stop();
    mThread.quit();
    mThread.wait();
}

ComPortScanner::List QtComPortScanner::systemPorts()
{
    ComPortScanner::List ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        Comport port;
        port.Number = info.portName();
        port.Manufacturer = info.manufacturer();
        port.Pid = info.productIdentifier();
        port.Vid = info.vendorIdentifier();
        ports.append(port);
    }
    return ports;
}

// A multiset comparison: each port of `a` is matched with one equal port of `b` not matched before.
bool QtComPortScanner::sameSet(const ComPortScanner::List &a, const ComPortScanner::List &b)
{
    if (a.size() != b.size())
        return false;
    QList<bool> matched(b.size(), false);
    for (const Comport &port : a) {
        qsizetype i = 0;
        while (i < b.size() && (matched[i] || !(b[i] == port)))
            ++i;
        if (i == b.size())
            return false;
        matched[i] = true;
    }
    return true;
}

void QtComPortScanner::scan()
{
    ComPortScanner::List found;
    for (const Comport &port : mEnumerate ? mEnumerate() : ComPortScanner::List()) {
        // Only what the system lists; the line settings come from the device description later.
        Comport listed;
        listed.Number = port.Number;
        listed.Manufacturer = port.Manufacturer;
        listed.Pid = port.Pid;
        listed.Vid = port.Vid;
        found.append(listed);
    }
    if (sameSet(found, mLastPorts))
        return;
    mLastPorts = found;
    emit foundNewPorts(mLastPorts);
}

} // namespace Thg::Tilo::Communication
