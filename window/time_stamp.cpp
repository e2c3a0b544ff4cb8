#include "time_stamp.h"

#include <QRegularExpression>

namespace window {

QString TimeStampText(const QTime& time)
{
    return QString("%1:%2:%3.%4")
        .arg(time.hour())
        .arg(time.minute())
        .arg(time.second())
        .arg(time.msec());
}

QString TimeStamp() { return TimeStampText(QTime::currentTime()); }

QString StartStampText(const QDateTime& when, const QLocale& locale)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    const QTime t = when.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return date;
    // Qt's long time format names the time zone; the log line is date and time only.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression("\\s*\\bt+\\b"));
    return date + " " + locale.toString(t, format.trimmed());
}

} // namespace window
