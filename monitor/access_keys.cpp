#include "access_keys.h"

#include <QAbstractButton>
#include <QLabel>
#include <QRegularExpression>

namespace monitor {
namespace {

    // The letter after a single '&', lower case; none when the text has no key.
    QChar keyOf(const QString& text)
    {
        static const QRegularExpression key("&([^&])");
        const QRegularExpressionMatch found = key.match(text);
        return found.hasMatch() ? found.captured(1).at(0).toLower() : QChar();
    }

} // namespace

QString AccessKeysIn(const QWidget* window)
{
    QString taken;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        QChar key;
        if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            key = keyOf(button->text());
        else if (const auto* label = qobject_cast<const QLabel*>(w);
                 label && label->buddy() && !label->property(kKeyedAsShown).toBool())
            key = keyOf(label->text());
        if (!key.isNull() && !taken.contains(key))
            taken += key;
    }
    return taken;
}

QString WithFreeAccessKey(QString text, QString& taken)
{
    text.remove('&');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar letter = text.at(i).toLower();
        if (letter.isLetter() && letter.unicode() < 128 && !taken.contains(letter)) {
            taken += letter;
            return text.insert(i, '&');
        }
    }
    return text;
}

} // namespace monitor
