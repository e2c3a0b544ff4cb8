#include "log_dir.h"

#include <QRegularExpression>

std::string Normalised(const std::string& log)
{
    QString text = QString::fromLatin1(log);
    text.replace(QRegularExpression(
                     "^[^\\r\\n]*\\r\\nSTART Quillet V2.0", QRegularExpression::MultilineOption),
        "DATE\r\nSTART Quillet V2.0");
    text.replace(QRegularExpression(
                     "^\\d{1,2}:\\d{1,2}:\\d{1,2}\\.\\d{1,3}", QRegularExpression::MultilineOption),
        "T");
    return text.toLatin1().toStdString();
}
