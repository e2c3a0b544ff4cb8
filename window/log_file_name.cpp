#include "log_file_name.h"

#include "serial/port_name.h"

#include <QStringList>

#include <algorithm>
#include <string>

namespace window {
namespace {

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
    // Blanks alone name no device: the empty text's rule.
    if (portText.trimmed().isEmpty())
        return "Quillet_log_.txt";
    const std::string trimmed = portText.trimmed().toStdString();
    const std::string_view com = comm::WithoutDevicePrefix(trimmed);
    if (comm::ComPortNumber(com))
        return "Quillet_log_" + QString::fromUtf8(com.data(), qsizetype(com.size())).left(4)
            + ".txt";
    const std::string typed = portText.toStdString();
    const std::string_view name = comm::WithoutDevicePrefix(typed);
    const QString port = QString::fromUtf8(name.data(), qsizetype(name.size()));
    return "Quillet_log_" + safeFilePart(deviceName(port)).right(kMaxNamePart) + ".txt";
}

} // namespace window
