#include "session_log.h"

#include <QFile>

#include "logfile/log_file.h"

#include <map>
#include <string>

namespace window {
namespace {

    std::map<std::int16_t, logfile::File> openFiles; // by number

} // namespace

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
