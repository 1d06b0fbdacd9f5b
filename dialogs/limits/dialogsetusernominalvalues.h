#pragma once
// Asks for a module's user nominal voltage and current (only possible while
// the module is in STOP). Modal; the caller fills it and reads it back.

#include <QDialog>

namespace Ui {
class DialogSetUserNominalValues;
}

class DialogSetUserNominalValues : public QDialog
{
    Q_OBJECT

public:
    explicit DialogSetUserNominalValues(QWidget *parent = nullptr);
    ~DialogSetUserNominalValues() override;

    void setVoltageNominal(double value);
    void setVoltageMaximum(double maximum);
    void setVoltageDecimals(int decimals);
    double voltageNominal() const;
    void setCurrentNominal(double value);
    void setCurrentMaximum(double maximum);
    void setCurrentDecimals(int decimals);
    double currentNominal() const;
    void setVoltageUnit(const QString &unit);
    void setCurrentUnit(const QString &unit);

private:
    Ui::DialogSetUserNominalValues *m_ui;
};
