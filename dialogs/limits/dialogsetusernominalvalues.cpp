#include "dialogsetusernominalvalues.h"
#include "ui_dialogsetusernominalvalues.h"

DialogSetUserNominalValues::DialogSetUserNominalValues(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogSetUserNominalValues)
{
    m_ui->setupUi(this);
}

DialogSetUserNominalValues::~DialogSetUserNominalValues()
{
    delete m_ui;
}

// Callers set the maximum before the value: a value above the old maximum
// would otherwise be cut.
void DialogSetUserNominalValues::setVoltageNominal(double value)
{
    m_ui->userVoltageNominal->setValue(value);
}

void DialogSetUserNominalValues::setVoltageMaximum(double maximum)
{
    m_ui->userVoltageNominal->setMaximum(maximum);
}

void DialogSetUserNominalValues::setVoltageDecimals(int decimals)
{
    m_ui->userVoltageNominal->setDecimals(decimals);
}

double DialogSetUserNominalValues::voltageNominal() const
{
    return m_ui->userVoltageNominal->value();
}

void DialogSetUserNominalValues::setCurrentNominal(double value)
{
    m_ui->userCurrentNominal->setValue(value);
}

void DialogSetUserNominalValues::setCurrentMaximum(double maximum)
{
    m_ui->userCurrentNominal->setMaximum(maximum);
}

void DialogSetUserNominalValues::setCurrentDecimals(int decimals)
{
    m_ui->userCurrentNominal->setDecimals(decimals);
}

double DialogSetUserNominalValues::currentNominal() const
{
    return m_ui->userCurrentNominal->value();
}

void DialogSetUserNominalValues::setVoltageUnit(const QString &unit)
{
    m_ui->voltageUnit->setText(unit);
}

void DialogSetUserNominalValues::setCurrentUnit(const QString &unit)
{
    m_ui->currentUnit->setText(unit);
}
