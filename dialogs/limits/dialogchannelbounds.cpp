#include "dialogchannelbounds.h"
#include "ui_dialogchannelbounds.h"

#include "cratesession.h"

#include <QSignalBlocker>

#include <cmath>

namespace {
// Nominal current (amperes) in a display unit; units the dialog does not
// know are taken as amperes.
double scaledCurrent(double amperes, const QString &unit)
{
    if (unit == QLatin1String("mA"))
        return amperes * 1000.0;
    if (unit == QString(QChar(0x00B5)) + QLatin1Char('A'))
        return amperes * 1e6;
    if (unit == QLatin1String("nA"))
        return amperes * 1e9;
    return amperes;
}
} // namespace

DialogChannelBounds::DialogChannelBounds(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogChannelBounds)
{
    m_ui->setupUi(this);
    setWindowTitle(tr("Channel Voltage / Current Bounds"));
    setAsymmetricCapable(false);
    renewMinEnabled();
    renewLabels();
}

DialogChannelBounds::~DialogChannelBounds()
{
    delete m_ui;
}

void DialogChannelBounds::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateChannelVoltageNominal, this,
            &DialogChannelBounds::updateChannelVoltageNominal);
    connect(session, &CrateSession::updateChannelCurrentNominal, this,
            &DialogChannelBounds::updateChannelCurrentNominal);
    connect(session, &CrateSession::updateChannelControl, this, &DialogChannelBounds::updateChannelControl);
    connect(session, &CrateSession::updateChannelVoltageInterlockMinSet, this,
            &DialogChannelBounds::updateChannelVoltageInterlockMinSet);
    connect(session, &CrateSession::updateChannelVoltageInterlockMaxSet, this,
            &DialogChannelBounds::updateChannelVoltageInterlockMaxSet);
    connect(session, &CrateSession::updateChannelCurrentInterlockMinSet, this,
            &DialogChannelBounds::updateChannelCurrentInterlockMinSet);
    connect(session, &CrateSession::updateChannelCurrentInterlockMaxSet, this,
            &DialogChannelBounds::updateChannelCurrentInterlockMaxSet);
    connect(session, &CrateSession::currentChannelChanged, this, &DialogChannelBounds::currentChannelChanged);
    connect(this, &DialogChannelBounds::setChannelBounds, session, &CrateSession::setChannelBounds);
    connect(this, &DialogChannelBounds::setChannelControl, session, &CrateSession::setChannelControl);
}

void DialogChannelBounds::setAsymmetricCapable(bool capable)
{
    m_asymmetricCapable = capable;
    m_ui->chkAVBND->setEnabled(capable);
    m_ui->chkACBND->setEnabled(capable);
}

void DialogChannelBounds::setVoltageDecimals(int decimals)
{
    QSignalBlocker max(m_ui->spbVoltageIlkMax);
    QSignalBlocker min(m_ui->spbVoltageIlkMin);
    m_ui->spbVoltageIlkMax->setDecimals(decimals);
    m_ui->spbVoltageIlkMin->setDecimals(decimals);
}

void DialogChannelBounds::setCurrentDecimals(int decimals)
{
    QSignalBlocker max(m_ui->spbCurrentIlkMax);
    QSignalBlocker min(m_ui->spbCurrentIlkMin);
    m_ui->spbCurrentIlkMax->setDecimals(decimals);
    m_ui->spbCurrentIlkMin->setDecimals(decimals);
}

void DialogChannelBounds::currentChannelChanged(int serialNumber, int channel)
{
    if (serialNumber == m_serialNumber && channel == m_channel)
        return;
    m_serialNumber = serialNumber;
    m_channel = channel;
    setWindowTitle(tr("Channel %1 Voltage and Current Bounds").arg(channel));
    m_ui->lblChannel->setText(tr("Voltage and Current Bounds for Channel %1").arg(channel));
    // Edits made for the previous channel must not be sent to this one: show
    // this channel's values again, and its control word as soon as it comes.
    setFollowing(true);
    m_controlKnown = false;
}

void DialogChannelBounds::renewLabels()
{
    const bool avbnd = m_ui->chkAVBND->isChecked();
    const bool acbnd = m_ui->chkACBND->isChecked();
    m_ui->lblVoltageIlkMax->setText(avbnd ? tr("Voltage Interlock Max Set (%1)").arg(m_voltageUnit)
                                          : tr("Voltage Bounds (%1)").arg(m_voltageUnit));
    m_ui->lblVoltageIlkMin->setText(tr("Voltage Interlock Min Set (%1)").arg(m_voltageUnit));
    m_ui->lblCurrentIlkMax->setText(acbnd ? tr("Current Interlock Max Set (%1)").arg(m_currentUnit)
                                          : tr("Current Bounds (%1)").arg(m_currentUnit));
    m_ui->lblCurrentIlkMin->setText(tr("Current Interlock Min Set (%1)").arg(m_currentUnit));
}

void DialogChannelBounds::renewMinEnabled()
{
    const bool avbnd = m_ui->chkAVBND->isChecked();
    const bool acbnd = m_ui->chkACBND->isChecked();
    m_ui->spbVoltageIlkMin->setEnabled(avbnd);
    m_ui->lblVoltageIlkMin->setEnabled(avbnd);
    m_ui->spbCurrentIlkMin->setEnabled(acbnd);
    m_ui->lblCurrentIlkMin->setEnabled(acbnd);
}

void DialogChannelBounds::setFollowing(bool follow)
{
    for (bool &flag : m_follow)
        flag = follow;
}

void DialogChannelBounds::updateChannelVoltageNominal(int, int channel, float vnominal, QString unit)
{
    if (channel != m_channel)
        return;
    if (!unit.isEmpty())
        m_voltageUnit = unit;
    const double nominal = std::fabs(double(vnominal));
    QSignalBlocker max(m_ui->spbVoltageIlkMax);
    QSignalBlocker min(m_ui->spbVoltageIlkMin);
    m_ui->spbVoltageIlkMax->setMaximum(nominal * 1.01);
    m_ui->spbVoltageIlkMin->setMaximum(nominal);
    renewLabels();
}

void DialogChannelBounds::updateChannelCurrentNominal(int, int channel, float inominal, QString unit)
{
    if (channel != m_channel)
        return;
    m_currentUnit = unit;
    const double scaled = scaledCurrent(double(inominal), unit);
    QSignalBlocker max(m_ui->spbCurrentIlkMax);
    QSignalBlocker min(m_ui->spbCurrentIlkMin);
    m_ui->spbCurrentIlkMax->setMaximum(scaled * 1.01);
    m_ui->spbCurrentIlkMin->setMaximum(scaled);
    renewLabels();
}

void DialogChannelBounds::updateChannelControl(int, int channel, ChannelControl control)
{
    if (channel != m_channel || (m_controlKnown && control == m_control))
        return;
    m_control = control;
    m_controlKnown = true;
    m_updating = true;
    m_ui->chkAVBND->setChecked(control.setAVBND());
    m_ui->chkACBND->setChecked(control.setACBND());
    m_updating = false;
    renewMinEnabled();
    renewLabels();
}

void DialogChannelBounds::updateChannelVoltageInterlockMaxSet(int, int channel, float value, QString)
{
    if (channel != m_channel || !m_follow[VoltageMax])
        return;
    QSignalBlocker block(m_ui->spbVoltageIlkMax);
    m_ui->spbVoltageIlkMax->setValue(double(value));
}

void DialogChannelBounds::updateChannelVoltageInterlockMinSet(int, int channel, float value, QString)
{
    if (channel != m_channel || !m_follow[VoltageMin])
        return;
    QSignalBlocker block(m_ui->spbVoltageIlkMin);
    m_ui->spbVoltageIlkMin->setValue(double(value));
}

void DialogChannelBounds::updateChannelCurrentInterlockMaxSet(int, int channel, float value, QString)
{
    if (channel != m_channel || !m_follow[CurrentMax])
        return;
    QSignalBlocker block(m_ui->spbCurrentIlkMax);
    m_ui->spbCurrentIlkMax->setValue(double(value));
}

void DialogChannelBounds::updateChannelCurrentInterlockMinSet(int, int channel, float value, QString)
{
    if (channel != m_channel || !m_follow[CurrentMin])
        return;
    QSignalBlocker block(m_ui->spbCurrentIlkMin);
    m_ui->spbCurrentIlkMin->setValue(double(value));
}

void DialogChannelBounds::on_chkAVBND_stateChanged(int state)
{
    renewMinEnabled();
    renewLabels();
    if (m_updating)
        return;
    m_control.setSetAVBND(state == Qt::Checked);
    emit setChannelControl(m_serialNumber, m_channel, m_control);
}

void DialogChannelBounds::on_chkACBND_stateChanged(int state)
{
    renewMinEnabled();
    renewLabels();
    if (m_updating)
        return;
    m_control.setSetACBND(state == Qt::Checked);
    emit setChannelControl(m_serialNumber, m_channel, m_control);
}

void DialogChannelBounds::on_spbVoltageIlkMax_valueChanged()
{
    m_follow[VoltageMax] = false;
}

void DialogChannelBounds::on_spbVoltageIlkMin_valueChanged()
{
    m_follow[VoltageMin] = false;
}

void DialogChannelBounds::on_spbCurrentIlkMax_valueChanged()
{
    m_follow[CurrentMax] = false;
}

void DialogChannelBounds::on_spbCurrentIlkMin_valueChanged()
{
    m_follow[CurrentMin] = false;
}

void DialogChannelBounds::on_btnSetBounds_clicked()
{
    emit setChannelBounds(m_serialNumber, m_channel, m_ui->chkAVBND->isChecked(),
                          float(m_ui->spbVoltageIlkMax->value()), float(m_ui->spbVoltageIlkMin->value()),
                          m_ui->chkACBND->isChecked(), float(m_ui->spbCurrentIlkMax->value()),
                          float(m_ui->spbCurrentIlkMin->value()));
    setFollowing(true);
}
