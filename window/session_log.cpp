#include "session_log.h"

#include <QFile>
#include <QStringList>

#include "logfile/log_file.h"
#include "serial/port_name.h"

#include <algorithm>
#include <map>
#include <string>

namespace window {
namespace {

    std::map<std::int16_t, logfile::File> openFiles; // by number

    // Keeps "Quillet_log_" + part + ".txt" under 200 bytes.
    constexpr qsizetype kMaxNamePart = 180;

    // The device a text that names no COM port stands for, as the port layer reads it (a path,
    // or a name under /dev/): its base name, joined by its folder where the base name alone
    // says little, as a pty's "/dev/pts/3" does.
    QString deviceName(const QString& portText)
    {
        QStringList parts = portText.split(u'/', Qt::SkipEmptyParts);
        parts.removeAll(".");
        if (!portText.contains(u'/'))
            parts.prepend("dev");
        if (parts.isEmpty())
            return "_";
        QString name = parts.takeLast();
        const bool saysLittle = std::none_of(name.begin(), name.end(),
            [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
        return saysLittle && !parts.isEmpty() ? parts.last() + "_" + name : name;
    }

    // Letters, digits, ".", "-" and "_" stay; anything else, path separators and control
    // characters included, becomes "_", so the file stays in the current directory.
    QString safeFilePart(QString text)
    {
        for (QChar& c : text) {
            const char16_t u = c.unicode();
            const bool kept = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')
                || (u >= u'0' && u <= u'9') || u == u'.' || u == u'-' || u == u'_';
            if (!kept)
                c = u'_';
        }
        return text;
    }

} // namespace

QString LogFileName(const QString& portText)
{
    const std::string typed = portText.toStdString();
    const std::string_view name = comm::WithoutDevicePrefix(typed);
    const QString port = QString::fromUtf8(name.data(), qsizetype(name.size()));
    if (comm::ComPortNumber(name))
        return "Quillet_log_" + port.left(4) + ".txt";
    return "Quillet_log_" + safeFilePart(deviceName(port)).right(kMaxNamePart) + ".txt";
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
        const logfile::Opened opened = logfile::OpenAppend(fileName.toStdString());
        if (opened.error != 0)
            return opened.error;
        if (const auto old = openFiles.find(number); old != openFiles.end())
            logfile::Close(old->second);
        openFiles[number] = opened.file;
        return 0;
    }

    int Write(std::int16_t number, std::string_view bytes, bool lineEnd)
    {
        const auto it = openFiles.find(number);
        if (it == openFiles.end())
            return logfile::NotOpenError();
        std::string piece(bytes);
        if (lineEnd)
            piece += "\r\n";
        return logfile::Write(it->second, piece);
    }

    void CloseAll()
    {
        for (const auto& [number, file] : openFiles)
            logfile::Close(file);
        openFiles.clear();
    }

    QString ErrorText(int code) { return QString::fromStdString(logfile::ErrorText(code)); }

} // namespace LogFiles
} // namespace window
