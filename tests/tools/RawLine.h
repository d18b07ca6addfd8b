#pragma once

// What the tests of the simulated device's raw bytes share: bytes written out in hex, the preamble of
// a frame, and a request written on the program's side of the line with the answer collected.

#include <QByteArray>
#include <QSerialPort>
#include <QTest>

namespace RawLine {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// What a PARLINK frame starts with.
inline const QByteArray Preamble = hex("ffffffffff");

constexpr int AnswerWaitMs = 5000;
// The device answers within milliseconds; silence this long means no answer.
constexpr int SilenceMs = 500;

// Writes `request` and collects what comes back until `expected` bytes have arrived (or, for 0,
// until the line has been silent for a while). A short answer shows in the caller's comparison.
inline QByteArray transact(QSerialPort &port, const QByteArray &request, qsizetype expected)
{
    port.write(request);
    QByteArray received;
    const auto collect = [&] {
        received += port.readAll();
        return expected > 0 && received.size() >= expected;
    };
    if (expected == 0 || !QTest::qWaitFor(collect, AnswerWaitMs))
        QTest::qWait(SilenceMs);
    collect();
    return received;
}

} // namespace RawLine
