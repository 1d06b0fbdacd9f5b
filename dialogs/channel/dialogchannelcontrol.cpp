#include "dialogchannelcontrol.h"
#include "ui_dialogchannelcontrol.h"

#include "cratesession.h"

#include <QCheckBox>
#include <QEvent>
#include <QPalette>

namespace {

// Display-only boxes are disabled, yet must read at a glance: they keep the
// colours of an enabled box. The "reserved" boxes stay dimmed.
void keepReadable(QCheckBox *box)
{
    QPalette palette = box->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::Base,
                                     QPalette::Button, QPalette::Window})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    box->setPalette(palette);
}

// One row of the status, event status and event mask groups: the status flag,
// the event (and mask) flag of the same name, by their declaration indices.
struct Row {
    QCheckBox *Ui::DialogChannelControl::*status;
    QCheckBox *Ui::DialogChannelControl::*event;
    QCheckBox *Ui::DialogChannelControl::*mask;
    int statusFlag;
    int eventFlag;
};

using U = Ui::DialogChannelControl;
const Row kRows[] = {
    {&U::chk_isVLIM, &U::chk_EVLIM, &U::chk_MEVLIM, ChannelStatus::F_isVLIM, ChannelEventStatus::F_EVLIM},
    {&U::chk_isILIM, &U::chk_EILIM, &U::chk_MEILIM, ChannelStatus::F_isCLIM, ChannelEventStatus::F_ECLIM},
    {&U::chk_isTRIP, &U::chk_ETRIP, &U::chk_METRIP, ChannelStatus::F_isTRIP, ChannelEventStatus::F_ETRIP},
    {&U::chk_isEINH, &U::chk_EEINH, &U::chk_MEEINH, ChannelStatus::F_isEINH, ChannelEventStatus::F_EEINH},
    {&U::chk_isVBNDs, &U::chk_EVBNDs, &U::chk_MEVBNDs, ChannelStatus::F_isVBNDs, ChannelEventStatus::F_EVBNDs},
    {&U::chk_isIBNDs, &U::chk_EIBNDs, &U::chk_MEIBNDs, ChannelStatus::F_isCBNDs, ChannelEventStatus::F_ECBNDs},
    {&U::chk_isCV, &U::chk_ECV, &U::chk_MECV, ChannelStatus::F_isCV, ChannelEventStatus::F_ECV},
    {&U::chk_isCC, &U::chk_ECC, &U::chk_MECC, ChannelStatus::F_isCC, ChannelEventStatus::F_ECC},
    {&U::chk_isEMCY, &U::chk_EEMCY, &U::chk_MEEMCY, ChannelStatus::F_isEMCY, ChannelEventStatus::F_EEMCY},
    {&U::chk_isRAMP, &U::chk_EEOR, &U::chk_MEEOR, ChannelStatus::F_isRAMP, ChannelEventStatus::F_EEOR},
    {&U::chk_isON, &U::chk_EON2OFF, &U::chk_MEON2OFF, ChannelStatus::F_isON, ChannelEventStatus::F_EON2OFF},
    {&U::chk_isIERR, &U::chk_EIERR, &U::chk_MEIERR, ChannelStatus::F_isIERR, ChannelEventStatus::F_EIERR},
};

// The control bits that have a box.
struct ControlBox {
    QCheckBox *Ui::DialogChannelControl::*box;
    int flag;
};
const ControlBox kControlBoxes[] = {
    {&U::chk_setEMCY, ChannelControl::F_setEMCY},
    {&U::chk_setON, ChannelControl::F_setON},
    {&U::chk_setAVBND, ChannelControl::F_setAVBND},
    {&U::chk_setAIBND, ChannelControl::F_setACBND},
    {&U::setRippleMeasurementOn, ChannelControl::F_setRipple},
    {&U::setExternalMeasurementOn, ChannelControl::F_setExternalMeas},
};

// The event mask has the layout of the event status, so one index serves both.
static_assert(int(ChannelEventMask::F_EVLIM) == int(ChannelEventStatus::F_EVLIM)
                  && int(ChannelEventMask::F_EIERR) == int(ChannelEventStatus::F_EIERR),
              "event status and event mask share their flag indices");

} // namespace

DialogChannelControl::DialogChannelControl(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogChannelControl)
{
    m_ui->setupUi(this);
    for (const Row &row : kRows) {
        keepReadable(m_ui->*row.status);
        keepReadable(m_ui->*row.event);
    }
}

DialogChannelControl::~DialogChannelControl()
{
    delete m_ui;
}

void DialogChannelControl::bind(CrateSession *session)
{
    using S = CrateSession;
    using D = DialogChannelControl;
    connect(session, &S::updateModuleControl, this, &D::updateModuleControl);
    connect(session, &S::updateChannelControl, this, &D::updateChannelControl);
    connect(session, &S::updateChannelStatus, this, &D::updateChannelStatus);
    connect(session, &S::updateChannelEventStatus, this, &D::updateChannelEventStatus);
    connect(session, &S::updateChannelEventMask, this, &D::updateChannelEventMask);
    connect(session, &S::updateChannelVoltageNominal, this, &D::updateChannelVoltageNominal);
    connect(session, &S::updateChannelCurrentNominal, this, &D::updateChannelCurrentNominal);
    connect(session, &S::updateModuleFirmwareName, this, &D::updateModuleFirmwareName);
    connect(session, &S::updateChannelVoltageHardwareNominal, this, &D::updateChannelVoltageHardwareNominal);
    connect(session, &S::updateChannelCurrentHardwareNominal, this, &D::updateChannelCurrentHardwareNominal);
    connect(session, &S::currentChannelChanged, this, &D::currentChannelChanged);
    connect(this, &D::clearChannelEvents, session, &S::clearChannelEvents);
    connect(this, &D::setChannelControl, session, &S::setChannelControl);
    connect(this, &D::setChannelEventMask, session, &S::setChannelEventMask);
    connect(this, &D::clearModuleEventChannelStatus, session, &S::clearModuleEventChannelStatus);
    connect(this, &D::setModuleEventChannelMask, session, &S::setModuleEventChannelMask);
    connect(this, &D::setChannelVoltageNominal, session, &S::setChannelVoltageNominal);
    connect(this, &D::setChannelCurrentNominal, session, &S::setChannelCurrentNominal);
}

void DialogChannelControl::applyTitle()
{
    if (m_channel < 0)
        setWindowTitle(tr("Channel Status / Control"));
    else
        setWindowTitle(tr("%1: Channel %2 Status / Control").arg(m_serialNumber).arg(m_channel));
}

void DialogChannelControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        applyTitle();
    }
    QDialog::changeEvent(event);
}

void DialogChannelControl::currentChannelChanged(int serialNumber, int channel)
{
    const bool otherChannel = serialNumber != m_serialNumber || channel != m_channel;
    m_serialNumber = serialNumber;
    m_channel = channel;
    applyTitle();
    if (otherChannel)
        forgetShownChannel();
}

void DialogChannelControl::forgetShownChannel()
{
    // Nothing of the previous channel may stay on screen, and boxes ticked for
    // it but not sent must not be sent to this one: the next control word is
    // shown whatever it is.
    for (const Row &row : kRows) {
        (m_ui->*row.status)->setChecked(false);
        (m_ui->*row.event)->setChecked(false);
        (m_ui->*row.mask)->setChecked(false);
    }
    m_control = ChannelControl();
    m_controlKnown = false;
    showControl();
}

void DialogChannelControl::updateChannelStatus(int, int channel, ChannelStatus status)
{
    if (channel != m_channel)
        return;
    for (const Row &row : kRows)
        (m_ui->*row.status)->setChecked(status.flag(row.statusFlag));
}

void DialogChannelControl::updateChannelEventStatus(int, int channel, ChannelEventStatus eventStatus)
{
    if (channel != m_channel)
        return;
    for (const Row &row : kRows)
        (m_ui->*row.event)->setChecked(eventStatus.flag(row.eventFlag));
}

void DialogChannelControl::updateChannelEventMask(int, int channel, ChannelEventMask eventMask)
{
    if (channel != m_channel)
        return;
    for (const Row &row : kRows)
        (m_ui->*row.mask)->setChecked(eventMask.flag(row.eventFlag));
}

void DialogChannelControl::updateChannelControl(int, int channel, ChannelControl control)
{
    // Every refresh repeats the control word; only a change may overwrite boxes
    // the operator has ticked but not yet sent.
    if (channel != m_channel || (m_controlKnown && control == m_control))
        return;
    m_control = control;
    m_controlKnown = true;
    showControl();
}

void DialogChannelControl::showControl()
{
    for (const ControlBox &entry : kControlBoxes)
        (m_ui->*entry.box)->setChecked(m_control.flag(entry.flag));
}

void DialogChannelControl::updateModuleControl(int, ModuleControl control)
{
    m_moduleControl = control;
}

void DialogChannelControl::updateModuleFirmwareName(int, QString firmwareName)
{
    // Only the measurement-type module has measurement switches.
    const bool measurement = firmwareName == QLatin1String("T25X0");
    m_ui->setRippleMeasurementOn->setEnabled(measurement);
    m_ui->setExternalMeasurementOn->setEnabled(measurement);
}

void DialogChannelControl::updateChannelVoltageNominal(int, int channel, float value, QString unit)
{
    if (channel != m_channel)
        return;
    m_voltageNominal = value;
    m_voltageUnit = unit;
}

void DialogChannelControl::updateChannelCurrentNominal(int, int channel, float value, QString unit)
{
    if (channel != m_channel)
        return;
    m_currentNominal = value;
    m_currentUnit = unit;
}

void DialogChannelControl::updateChannelVoltageHardwareNominal(int, int channel, float value, QString)
{
    if (channel == m_channel && value != m_voltageHardwareNominal)
        m_voltageHardwareNominal = value;
}

void DialogChannelControl::updateChannelCurrentHardwareNominal(int, int channel, float value, QString)
{
    if (channel == m_channel && value != m_currentHardwareNominal)
        m_currentHardwareNominal = value;
}

void DialogChannelControl::on_btnSetControl_clicked()
{
    // Bits without a box keep their last received value.
    ChannelControl control = m_control;
    for (const ControlBox &entry : kControlBoxes)
        control.setFlag(entry.flag, (m_ui->*entry.box)->isChecked());
    m_control = control;
    m_controlKnown = true;
    emit setChannelControl(m_serialNumber, m_channel, control);
}

void DialogChannelControl::on_btnClearEvents_clicked()
{
    emit clearChannelEvents(m_serialNumber, m_channel);
}

void DialogChannelControl::on_btnSetMask_clicked()
{
    ChannelEventMask mask;
    for (const Row &row : kRows)
        mask.setFlag(row.eventFlag, (m_ui->*row.mask)->isChecked());
    emit setChannelEventMask(m_serialNumber, m_channel, mask);
}
