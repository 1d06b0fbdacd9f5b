#pragma once
#include <QValidator>

// Accepts ramp speeds typed with either the locale's decimal separator or a
// point; the text handed on always uses a point, so the locale-independent
// conversion of the main window reads it.
class RampInputValidator : public QValidator
{
    Q_OBJECT
public:
    explicit RampInputValidator(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
