#include "dialogsetcurrent.h"
#include "ui_dialogsetcurrent.h"

DialogSetCurrent::DialogSetCurrent(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogSetCurrent)
{
    m_ui->setupUi(this);
    m_ui->chkRampDown->setChecked(true);
    renewPrompt();
    renewDelayedTrip();
}

DialogSetCurrent::~DialogSetCurrent()
{
    delete m_ui;
}

void DialogSetCurrent::setChannel(int channel)
{
    m_channel = channel;
    renewPrompt();
}

void DialogSetCurrent::setMaximum(double maximum)
{
    m_ui->sbValue->setMaximum(maximum);
    renewPrompt();
}

double DialogSetCurrent::maximum() const
{
    return m_ui->sbValue->maximum();
}

void DialogSetCurrent::setLowestMaximum(double lowestMaximum)
{
    m_lowestMaximum = lowestMaximum;
    renewPrompt();
}

void DialogSetCurrent::setUnit(const QString &unit)
{
    m_unit = unit;
    m_ui->lblUnit->setText(unit);
    renewPrompt();
}

void DialogSetCurrent::setDecimals(int decimals)
{
    m_ui->sbValue->setDecimals(decimals);
}

void DialogSetCurrent::setValue(double value)
{
    m_ui->sbValue->setValue(value);
}

double DialogSetCurrent::value() const
{
    return m_ui->sbValue->value();
}

void DialogSetCurrent::setDelay(int delay)
{
    m_ui->sbDelay->setValue(delay);
}

int DialogSetCurrent::delay() const
{
    return m_ui->sbDelay->value();
}

void DialogSetCurrent::setDelayedTrip(bool enabled)
{
    m_ui->chkDelayedTrip->setChecked(enabled);
}

bool DialogSetCurrent::delayedTrip() const
{
    return m_capable && m_ui->chkDelayedTrip->isChecked();
}

void DialogSetCurrent::setAction(int action)
{
    if (action == 2)
        m_ui->chkShutDown->setChecked(true);
    else if (action == 3)
        m_ui->chkShutDownAll->setChecked(true);
    else
        m_ui->chkRampDown->setChecked(true);
}

int DialogSetCurrent::action() const
{
    if (m_ui->chkShutDown->isChecked())
        return 2;
    if (m_ui->chkShutDownAll->isChecked())
        return 3;
    return 1;
}

void DialogSetCurrent::setDelayedTripCapable(bool capable)
{
    m_capable = capable;
    renewDelayedTrip();
}

void DialogSetCurrent::on_chkDelayedTrip_stateChanged(int)
{
    renewDelayedTrip();
}

void DialogSetCurrent::renewPrompt()
{
    const double maximum = m_ui->sbValue->maximum();
    QString prompt;
    if (m_channel < 0) {
        prompt = tr("Input a Set current (0...%L1 %2) for all channels:").arg(maximum).arg(m_unit);
        if (maximum > m_lowestMaximum)
            prompt += tr("\nNote: some channels will only allow %L1 %2.").arg(m_lowestMaximum).arg(m_unit);
    } else {
        prompt = tr("Input a Set current (0...%L1 %2) for channel %3:").arg(maximum).arg(m_unit).arg(m_channel);
    }
    m_ui->labelText->setText(prompt);
}

void DialogSetCurrent::renewDelayedTrip()
{
    m_ui->chkDelayedTrip->setEnabled(m_capable);
    if (m_capable) {
        m_ui->chkDelayedTrip->setToolTip(QString());
        m_ui->labelNote->setText(QString());
    } else {
        m_ui->chkDelayedTrip->setToolTip(tr("Delayed Trip is not available for this channel!"));
        m_ui->labelNote->setText(QStringLiteral("<font color=\"red\">")
                                 + tr("<b>Note</b>: Delayed Trip is not available because<br>the device has no "
                                      "constant current regulation."));
    }
    const bool active = m_capable && m_ui->chkDelayedTrip->isChecked();
    m_ui->sbDelay->setEnabled(active);
    m_ui->lblDelay->setEnabled(active);
    m_ui->grpDelayedTrip->setEnabled(active);
}
