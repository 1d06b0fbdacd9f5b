#include "rampinputvalidator.h"

#include <QLocale>

RampInputValidator::RampInputValidator(QObject *parent) : QValidator(parent)
{
}

QValidator::State RampInputValidator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos)
    if (input.isEmpty())
        return Intermediate;
    const QString decimalPoint = locale().decimalPoint();
    if (!decimalPoint.isEmpty() && decimalPoint != QLatin1String("."))
        input.replace(decimalPoint, QLatin1String("."));
    bool ok = false;
    input.toFloat(&ok); // QString::toFloat is locale-independent
    return ok ? Acceptable : Invalid;
}
