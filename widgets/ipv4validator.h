#pragma once
// Validator for dotted IPv4 text as the operator types it: partial input
// ("192.168.1.") is Intermediate, impossible input ("1.2.3.256", a fifth part,
// a space, a sign) is Invalid and cannot be typed at all.

#include <QValidator>

class IpV4Validator : public QValidator
{
    Q_OBJECT

public:
    explicit IpV4Validator(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    // The same rules without a validator object.
    static State check(const QString &input);
    static bool isAcceptable(const QString &input) { return check(input) == Acceptable; }
    // Strips leading zeros of every part: "192.168.001.010" -> "192.168.1.10".
    static QString normalized(const QString &address);
};
