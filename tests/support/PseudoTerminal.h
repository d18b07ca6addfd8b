#pragma once

// A pseudo-terminal pair opened by the process itself, to stand in for a serial line: a program opens
// the slave side by its path as if it were a serial port, and whoever holds the master side plays the
// far end of the line. Header-only and Qt-free, so that a simulated device can use it as well as the
// tests. POSIX only.
//
// The pair keeps a descriptor of the slave side open for its whole life. The master side then never
// sees a hang-up when the program closes its port, and the line settings that the program sets (the
// baud rate in particular) can be read back from that descriptor.

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

class PseudoTerminal {
public:
    // How long a write waits for room in a full buffer, in milliseconds.
    static constexpr int WriteWaitMs = 200;

    PseudoTerminal()
    {
        mMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (mMaster < 0 || ::grantpt(mMaster) != 0 || ::unlockpt(mMaster) != 0) {
            fail("cannot open a pseudo-terminal");
            return;
        }
        char path[128] = {};
        if (::ptsname_r(mMaster, path, sizeof path) != 0) {
            fail("cannot name the pseudo-terminal");
            return;
        }
        mSlavePath = path;
        mSlave = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (mSlave < 0) {
            fail("cannot open the pseudo-terminal's slave side");
            return;
        }
        // Raw from the start: the line discipline must neither echo nor edit what passes before the
        // program has opened and configured its side.
        termios settings{};
        if (::tcgetattr(mSlave, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(mSlave, TCSANOW, &settings);
        }
        const int flags = ::fcntl(mMaster, F_GETFL);
        ::fcntl(mMaster, F_SETFL, flags | O_NONBLOCK);
    }

    ~PseudoTerminal() { closeAll(); }

    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return mMaster >= 0 && mSlave >= 0; }

    // Closes the master side, as when the far end of a line goes (an adapter pulled out): the system
    // hangs up every open descriptor of the slave side, the program's too.
    void hangUp()
    {
        if (mMaster >= 0)
            ::close(mMaster);
        mMaster = -1;
    }

    const std::string &errorText() const { return mError; }

    // The master side, non-blocking.
    int masterFd() const { return mMaster; }
    // The path by which a program opens the slave side, e.g. "/dev/pts/3".
    const std::string &slavePath() const { return mSlavePath; }

    // The output speed currently set on the line, in baud; -1 for a rate outside the standard table.
    int lineSpeed() const
    {
        termios settings{};
        if (mSlave < 0 || ::tcgetattr(mSlave, &settings) != 0)
            return -1;
        return baudFromSpeed(::cfgetospeed(&settings));
    }

    // Everything the master side can read now, without waiting, in any container of bytes that
    // appends (const char *, length): std::string, QByteArray.
    template <typename Bytes = std::string>
    Bytes readAvailable() const
    {
        Bytes data;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(mMaster, buffer, sizeof buffer);
            if (n > 0) {
                data.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return data;
        }
    }

    // Writes all of `bytes` (anything with data() and size()) to the master side, waiting up to
    // WriteWaitMs for room each time the buffer is full. False when the rest was dropped: nobody reads
    // the slave side, as on a line without a listener.
    template <typename Bytes>
    bool writeAll(const Bytes &bytes) const
    {
        const char *data = bytes.data();
        const std::size_t size = std::size_t(bytes.size());
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(mMaster, data + done, size - done);
            if (n > 0) {
                done += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd p{mMaster, POLLOUT, 0};
                if (::poll(&p, 1, WriteWaitMs) > 0)
                    continue;
            }
            return false;
        }
        return true;
    }

    // Bytes that the master side has written and the slave side has not read yet.
    int bytesPendingForSlave() const
    {
        int pending = 0;
        if (mSlave < 0 || ::ioctl(mSlave, FIONREAD, &pending) != 0)
            return -1;
        return pending;
    }

    static int baudFromSpeed(speed_t speed)
    {
        struct Entry {
            speed_t speed;
            int baud;
        };
        static constexpr Entry table[] = {
            {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
            {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},
            {B1800, 1800},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
            {B38400, 38400},   {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
            {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
        };
        for (const Entry &entry : table) {
            if (entry.speed == speed)
                return entry.baud;
        }
        return -1;
    }

private:
    void fail(const char *what)
    {
        mError = std::string(what) + ": " + std::strerror(errno);
        closeAll();
    }

    void closeAll()
    {
        if (mSlave >= 0)
            ::close(mSlave);
        if (mMaster >= 0)
            ::close(mMaster);
        mSlave = -1;
        mMaster = -1;
    }

    int mMaster = -1;
    int mSlave = -1;
    std::string mSlavePath;
    std::string mError;
};
