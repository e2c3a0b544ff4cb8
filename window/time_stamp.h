// Time texts of the session log.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace window {

// Hour:minute:second.milliseconds without leading zeros: 09:05:07.045 gives "9:5:7.45".
QString TimeStampText(const QTime& time);
QString TimeStamp();

// The locale's short date, a blank and its long time (without a time zone); at exactly
// midnight the date alone.
QString StartStampText(const QDateTime& when, const QLocale& locale);

} // namespace window
