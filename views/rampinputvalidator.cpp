#include "rampinputvalidator.h"

#include <QLocale>
#include <QtNumeric>

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
    const float value = input.toFloat(&ok); // QString::toFloat is locale-independent
    // The conversion also takes "nan" and "inf"; no ramp speed is either, and
    // the main window sends whatever converts straight to the module.
    return ok && qIsFinite(value) ? Acceptable : Invalid;
}
