#include "logfile/log_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace logfile {

Opened OpenAppend(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd < 0 ? Opened { kNoFile, errno } : Opened { fd, 0 };
}

int Write(File file, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(int(file), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += std::size_t(n);
    }
    return 0;
}

void Close(File file) { ::close(int(file)); }

std::string ErrorText(int code) { return std::strerror(code); }

int NotOpenError() { return EBADF; }

void PrepareProcess() { std::signal(SIGXFSZ, SIG_IGN); }

} // namespace logfile
