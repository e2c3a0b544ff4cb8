#include "session_log.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>

namespace window {
namespace {

    std::map<std::int16_t, int> openFiles; // number -> descriptor

} // namespace

QString LogFileName(const QString& portText)
{
    QString part = portText.left(4);
    for (QChar& c : part) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'_';
    }
    return "Quillet_log_" + part + ".txt";
}

namespace LogFiles {

    std::int16_t FreeFile()
    {
        std::int16_t n = 1;
        while (openFiles.count(n))
            ++n;
        return n;
    }

    int OpenAppend(std::int16_t number, const QString& fileName)
    {
        const QByteArray path = QFile::encodeName(fileName);
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return errno;
        if (const auto old = openFiles.find(number); old != openFiles.end())
            ::close(old->second);
        openFiles[number] = fd;
        return 0;
    }

    int Write(std::int16_t number, std::string_view bytes, bool lineEnd)
    {
        const auto it = openFiles.find(number);
        if (it == openFiles.end())
            return EBADF;
        std::string piece(bytes);
        if (lineEnd)
            piece += "\r\n";
        std::size_t done = 0;
        while (done < piece.size()) {
            const ssize_t n = ::write(it->second, piece.data() + done, piece.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : EIO;
            done += std::size_t(n);
        }
        return 0;
    }

    void CloseAll()
    {
        for (const auto& [number, fd] : openFiles)
            ::close(fd);
        openFiles.clear();
    }

} // namespace LogFiles
} // namespace window
