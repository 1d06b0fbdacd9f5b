#include "ipv4validator.h"

#include <QStringList>

IpV4Validator::IpV4Validator(QObject *parent) : QValidator(parent) {}

QValidator::State IpV4Validator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos)
    return check(input);
}

QValidator::State IpV4Validator::check(const QString &input)
{
    if (input.isEmpty())
        return Intermediate;
    if (input.contains(QLatin1Char(' ')))
        return Invalid;
    const QStringList parts = input.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() > 4)
        return Invalid;
    bool complete = parts.size() == 4;
    for (const QString &part : parts) {
        if (part.isEmpty()) {
            complete = false;
            continue;
        }
        // Digits only: a sign, white space or a non-ASCII digit is never part of
        // an address, even where a number conversion would accept it.
        int value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
            value = value * 10 + (c.unicode() - '0');
            if (value > 255)
                return Invalid;
        }
    }
    return complete ? Acceptable : Intermediate;
}

QString IpV4Validator::normalized(const QString &address)
{
    QStringList parts = address.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    for (QString &part : parts) {
        while (part.size() > 1 && part.startsWith(QLatin1Char('0')))
            part.remove(0, 1);
    }
    return parts.join(QLatin1Char('.'));
}
