// The session log's file name for the port box's text: logfile::LogFileName over its UTF-8.
#pragma once

#include "logfile/log_file_name.h"

#include <QString>

namespace window {

inline QString LogFileName(const QString& portText)
{
    return QString::fromStdString(logfile::LogFileName(portText.toStdString()));
}

} // namespace window
