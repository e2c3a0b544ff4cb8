// The Win32 comm calls on POSIX termios.
#include "serial/comm_mode.h"
#include "serial/comm_timing.h"
#include "serial/posix/device_path.h"
#include "serial/posix/open_failure.h"
#include "serial/pseudo_terminal.h"
#include "serial/win32_comm.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace comm {
namespace {

    struct Port
    {
        int fd = -1;
        CommTimeouts timeouts {};
        // Set once the device has gone away: every later call fails at once instead of
        // polling a hung-up descriptor in a loop.
        bool gone = false;
        // A pseudo-terminal carries bytes with no framing: the kernel drops any parity asked.
        bool pty = false;
    };

    // Handles are never reused, so a stale handle can reach no later port or file.
    std::map<Handle, Port> ports;
    Handle nextHandle = 0x100;
    thread_local Dword lastError = 0;
    // What the last failed open found, for OpenFailureHint.
    thread_local int openErrno = 0;
    thread_local std::string openPath;

    Bool fail(Dword code)
    {
        lastError = code;
        return 0;
    }

    Dword codeOf(int err)
    {
        switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return kErrorFileNotFound;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK:
            return kErrorAccessDenied;
        case ENOTTY:
            return kErrorNotSupported;
        case EINVAL:
            return kErrorInvalidParameter;
        case EBADF:
            return kErrorInvalidHandle;
        default:
            return kErrorGenFailure;
        }
    }

    Port* find(Handle h)
    {
        const auto it = ports.find(h);
        return it == ports.end() ? nullptr : &it->second;
    }

    std::int64_t nowUs()
    {
        timespec ts {};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    }

    // Waits for events on fd for at most waitUs (nullopt: no bound). Returns revents, 0 on
    // time-out, -1 on failure.
    int waitFor(int fd, short events, std::optional<std::int64_t> waitUs)
    {
        pollfd pfd { fd, events, 0 };
        timespec ts {};
        if (waitUs) {
            ts.tv_sec = *waitUs / 1000000;
            ts.tv_nsec = (*waitUs % 1000000) * 1000;
        }
        const int rc = ppoll(&pfd, 1, waitUs ? &ts : nullptr, nullptr);
        if (rc < 0)
            return errno == EINTR ? 0 : -1;
        return rc == 0 ? 0 : pfd.revents;
    }

    bool hungUp(int revents, short wanted)
    {
        return revents < 0 || ((revents & (POLLHUP | POLLERR | POLLNVAL)) && !(revents & wanted));
    }

    // The loop a read and a write share: retry on EINTR, wait while the descriptor would block
    // and the time-outs allow, and remember a hang-up so that later calls fail at once.
    // step(fd, done, left) moves bytes like read/write; waitUs is ReadWaitUs-shaped.
    template <typename Step, typename Wait>
    Dword transferLoop(Port& p, Dword n, short events, Step step, Wait waitUs)
    {
        const std::int64_t start = nowUs();
        std::optional<std::int64_t> lastByte;
        Dword count = 0;
        while (count < n) {
            const ssize_t r = step(p.fd, count, n - count);
            if (r > 0) {
                count += Dword(r);
                lastByte = nowUs();
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r == 0 || errno != EAGAIN) { // end of file, EIO, ENXIO: the device is gone
                p.gone = true;
                break;
            }
            const std::int64_t now = nowUs();
            const auto wait = waitUs(p.timeouts, n, now - start,
                lastByte ? std::optional(now - *lastByte) : std::nullopt);
            if (wait && *wait == 0)
                break; // timed out: the count says how much moved
            if (hungUp(waitFor(p.fd, events, wait), events)) {
                p.gone = true;
                break;
            }
        }
        return count;
    }

    template <typename Step, typename Wait>
    Bool transfer(Handle h, Dword n, Dword* moved, short events, Step step, Wait waitUs)
    {
        if (moved)
            *moved = 0;
        Port* p = find(h);
        if (!p)
            return fail(kErrorInvalidHandle);
        if (p->gone)
            return fail(kErrorGenFailure);
        const Dword count = transferLoop(*p, n, events, step, waitUs);
        if (moved)
            *moved = count;
        // Bytes that moved before the hang-up are delivered; the next call reports it.
        return p->gone && count == 0 ? fail(kErrorGenFailure) : 1;
    }

    // Raw 8-bit: no echo, no signals, no translation, no flow control of either kind.
    bool makeRaw(int fd)
    {
        termios tio {};
        if (tcgetattr(fd, &tio) != 0)
            return false;
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~CRTSCTS;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        return tcsetattr(fd, TCSANOW, &tio) == 0;
    }

    Handle refuse(Dword code)
    {
        lastError = code;
        return kInvalidHandle;
    }

    // Look before opening: opening some devices has effects of its own, and a regular file
    // must never be touched. 0 when path names a character device.
    Dword checkDevice(const std::string& path)
    {
        struct stat st
        {
        };
        if (path.empty())
            return kErrorFileNotFound;
        if (stat(path.c_str(), &st) != 0) {
            openErrno = errno; // a missing device is said in words
            return codeOf(errno);
        }
        return S_ISCHR(st.st_mode) ? 0 : kErrorNotSupported;
    }

    // Both locks: flock keeps out programs that honour it, TIOCEXCL every later open. On
    // failure neither is left set.
    bool lockExclusive(int fd)
    {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0)
            return false;
        if (ioctl(fd, TIOCEXCL) == 0)
            return true;
        flock(fd, LOCK_UN);
        return false;
    }

    void release(int fd)
    {
        // TIOCEXCL outlives the descriptor: clear it so the port is not left locked.
        ioctl(fd, TIOCNXCL);
        flock(fd, LOCK_UN);
        close(fd);
    }

    speed_t speedOf(Dword baud)
    {
        static constexpr std::pair<Dword, speed_t> kSpeeds[] = {
            { 110, B110 },
            { 300, B300 },
            { 600, B600 },
            { 1200, B1200 },
            { 2400, B2400 },
            { 4800, B4800 },
            { 9600, B9600 },
            { 19200, B19200 },
            { 38400, B38400 },
            { 57600, B57600 },
            { 115200, B115200 },
            { 230400, B230400 },
            { 460800, B460800 },
            { 921600, B921600 },
        };
        for (const auto& [rate, speed] : kSpeeds)
            if (rate == baud)
                return speed;
        return B0;
    }

    tcflag_t lineFlags(const Dcb& dcb)
    {
        static constexpr tcflag_t kSizes[] = { CS5, CS6, CS7, CS8 };
        tcflag_t flags = kSizes[dcb.ByteSize - 5];
        if (dcb.Parity != kNoParity)
            flags |= PARENB;
        if (dcb.Parity == kOddParity || dcb.Parity == kMarkParity)
            flags |= PARODD;
        if (dcb.Parity == kMarkParity || dcb.Parity == kSpaceParity)
            flags |= CMSPAR;
        if (dcb.StopBits == kTwoStopBits)
            flags |= CSTOPB;
        return flags;
    }

    constexpr tcflag_t kLineMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    // What a pty keeps of the line settings: it clears parity and forces 8 bits on every set.
    constexpr tcflag_t kPtyLineMask = CSTOPB;

    // The slave side of a Unix 98 pseudo-terminal (character devices of majors 136 to 143).
    bool isPtySlave(int fd)
    {
        struct stat st
        {
        };
        return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136
            && major(st.st_rdev) <= 143;
    }

} // namespace

int LastOpenErrno() { return openErrno; }
const std::string& LastOpenPath() { return openPath; }

Handle CreateFileA(const char* lpFileName, Dword, Dword, void*, Dword, Dword, Handle)
{
    const std::string path = lpFileName ? DevicePath(lpFileName) : std::string();
    openErrno = 0;
    openPath = path;
    if (const Dword code = checkDevice(path))
        return refuse(code);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openErrno = errno;
        return refuse(codeOf(errno));
    }
    if (!isatty(fd)) {
        close(fd);
        return refuse(kErrorNotSupported);
    }
    if (!lockExclusive(fd)) {
        openErrno = EBUSY;
        close(fd);
        return refuse(kErrorAccessDenied); // no sharing: another holder has the port
    }
    if (!makeRaw(fd) || tcflush(fd, TCIOFLUSH) != 0) {
        const Dword code = codeOf(errno);
        release(fd);
        return refuse(code);
    }
    const Handle h = nextHandle++;
    ports[h].fd = fd;
    ports[h].pty = isPtySlave(fd);
    return h;
}

Bool SetCommTimeouts(Handle hFile, const CommTimeouts* lpCommTimeouts)
{
    Port* p = find(hFile);
    if (!p)
        return fail(kErrorInvalidHandle);
    if (!lpCommTimeouts)
        return fail(kErrorInvalidParameter);
    p->timeouts = *lpCommTimeouts;
    return 1;
}

Bool BuildCommDCBA(const char* lpDef, Dcb* lpDCB)
{
    const auto parsed = lpDef ? ParseCommMode(lpDef) : std::nullopt;
    if (!parsed || !lpDCB)
        return fail(kErrorInvalidParameter);
    lpDCB->DCBlength = sizeof(Dcb);
    lpDCB->BaudRate = parsed->BaudRate;
    lpDCB->ByteSize = parsed->ByteSize;
    lpDCB->Parity = parsed->Parity;
    lpDCB->StopBits = parsed->StopBits;
    return 1;
}

Bool SetCommState(Handle hFile, const Dcb* lpDCB)
{
    Port* p = find(hFile);
    if (!p)
        return fail(kErrorInvalidHandle);
    if (!lpDCB || lpDCB->ByteSize < 5 || lpDCB->ByteSize > 8 || lpDCB->StopBits == kOne5StopBits
        || lpDCB->Parity > kSpaceParity || speedOf(lpDCB->BaudRate) == B0)
        return fail(kErrorInvalidParameter);
    termios tio {};
    if (tcgetattr(p->fd, &tio) != 0)
        return fail(codeOf(errno));
    const speed_t speed = speedOf(lpDCB->BaudRate);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    // A pty carries bytes with no framing and drops any parity it is given (glibc then calls
    // the set a failure): it is asked only for what it keeps, so parity is accepted there.
    const tcflag_t flags = p->pty ? (lineFlags(*lpDCB) & kPtyLineMask) | CS8 : lineFlags(*lpDCB);
    tio.c_cflag = (tio.c_cflag & ~kLineMask) | flags;
    if (tcsetattr(p->fd, TCSANOW, &tio) != 0)
        return fail(codeOf(errno));
    // tcsetattr succeeds when any one change took; read back to be sure all did.
    termios back {};
    if (tcgetattr(p->fd, &back) != 0 || cfgetospeed(&back) != speed
        || (back.c_cflag & kLineMask) != flags)
        return fail(kErrorInvalidParameter);
    return 1;
}

Dword GetLastError() { return lastError; }

bool IsPseudoTerminal(Handle hFile)
{
    const Port* p = find(hFile);
    return p && p->pty;
}

Bool ReadFile(Handle hFile, void* lpBuffer, Dword n, Dword* lpNumberOfBytesRead, void*)
{
    auto* out = static_cast<unsigned char*>(lpBuffer);
    const auto step
        = [out](int fd, Dword done, Dword left) { return ::read(fd, out + done, left); };
    return transfer(hFile, n, lpNumberOfBytesRead, POLLIN, step, ReadWaitUs);
}

Bool WriteFile(Handle hFile, const void* lpBuffer, Dword n, Dword* lpNumberOfBytesWritten, void*)
{
    const auto* in = static_cast<const unsigned char*>(lpBuffer);
    const auto step = [in](int fd, Dword done, Dword left) { return ::write(fd, in + done, left); };
    // A write's time-out runs from its start only; the time since the last byte plays no part.
    const auto wait
        = [](const CommTimeouts& t, Dword count, std::int64_t sinceStartUs,
              std::optional<std::int64_t>) { return WriteWaitUs(t, count, sinceStartUs); };
    return transfer(hFile, n, lpNumberOfBytesWritten, POLLOUT, step, wait);
}

Bool FlushFileBuffers(Handle hFile)
{
    Port* p = find(hFile);
    if (!p)
        return fail(kErrorInvalidHandle);
    if (p->gone)
        return fail(kErrorGenFailure);
    // Called on every poll: skip the drain call when nothing waits to go out.
    int queued = 0;
    if (ioctl(p->fd, TIOCOUTQ, &queued) == 0 && queued == 0)
        return 1;
    while (tcdrain(p->fd) != 0) {
        if (errno != EINTR) {
            p->gone = errno == EIO || errno == ENXIO;
            return fail(codeOf(errno));
        }
    }
    return 1;
}

Bool CloseHandle(Handle hFile)
{
    const auto it = ports.find(hFile);
    if (it == ports.end())
        return fail(kErrorInvalidHandle);
    release(it->second.fd);
    ports.erase(it);
    return 1;
}

} // namespace comm
