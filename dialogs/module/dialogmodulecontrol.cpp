#include "dialogmodulecontrol.h"
#include "ui_dialogmodulecontrol.h"

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

using U = Ui::DialogModuleControl;
using Box = QCheckBox *U::*;

struct FlagBox {
    Box box;
    int flag;
};

// Status boxes; the module model has no source for interlock out, special
// mode and command complete, so those three stay clear.
const FlagBox kStatusBoxes[] = {
    {&U::chk_isKILLena, ModuleStatus::F_isKILena}, {&U::chk_isTEMPgd, ModuleStatus::F_isTMPgd},
    {&U::chk_isSPLYgd, ModuleStatus::F_isSPLYgd},  {&U::chk_isMODgd, ModuleStatus::F_isMODgd},
    {&U::chk_isEVNTact, ModuleStatus::F_isEVNTact}, {&U::chk_isSFLPgd, ModuleStatus::F_isSFLPgd},
    {&U::chk_isnoRAMP, ModuleStatus::F_isnoRAMP},  {&U::chk_isnoSERR, ModuleStatus::F_isnoSERR},
    {&U::chk_isCCMPL, ModuleStatus::F_isCCMPL},    {&U::chk_isSPMD, ModuleStatus::F_isSPMD},
    {&U::chk_isIERR, ModuleStatus::F_isIERR},      {&U::chk_isSRVC, ModuleStatus::F_isSrvc},
    {&U::chk_isSTOP, ModuleStatus::F_isSTOP},      {&U::chk_isILKO, ModuleStatus::F_isILKO},
    {&U::chk_isADJ, ModuleStatus::F_isADJ},
};

// "Event Live Insertion" is not among them: no update sets it.
const FlagBox kEventBoxes[] = {
    {&U::chk_EPF, ModuleEventStatus::F_EPWRFAIL},      {&U::chk_ERSTA, ModuleEventStatus::F_ERESTART},
    {&U::chk_ESRVC, ModuleEventStatus::F_ESrvc},       {&U::chk_EIERR, ModuleEventStatus::F_EIERR},
    {&U::chk_ESFLPngd, ModuleEventStatus::F_ESFLPngd}, {&U::chk_ESPLYngd, ModuleEventStatus::F_ESPLYngd},
    {&U::chk_ETEMPngd, ModuleEventStatus::F_ETMPngd},
};

const FlagBox kMaskBoxes[] = {
    {&U::chk_MERSTA, ModuleEventMask::F_ERESTART},     {&U::chk_MESRVC, ModuleEventMask::F_ESrvc},
    {&U::chk_MEIERR, ModuleEventMask::F_EIERR},        {&U::chk_MESFLPngd, ModuleEventMask::F_ESFLPngd},
    {&U::chk_MESPLYngd, ModuleEventMask::F_ESPLYngd},  {&U::chk_METEMPngd, ModuleEventMask::F_ETMPngd},
};

const FlagBox kControlBoxes[] = {
    {&U::chk_setSPMD, ModuleControl::F_bit0},       {&U::chk_doRCSV, ModuleControl::F_bit1},
    {&U::chk_setSTOP, ModuleControl::F_setSTOP},    {&U::chk_setAON, ModuleControl::F_bit3},
    {&U::chk_doCLEAR, ModuleControl::F_doCLEAR},    {&U::chk_setILVL2, ModuleControl::F_bit8},
    {&U::chk_setILVL1, ModuleControl::F_bit9},      {&U::chk_setILVL0, ModuleControl::F_bit10},
    {&U::chk_setADJ, ModuleControl::F_setADJ},      {&U::chk_setKILLena, ModuleControl::F_setKILena},
    {&U::chk_doSVSV, ModuleControl::F_DoSaveSetValues},
};

// Shared by every instance for the whole run: reopening the dialog continues
// where the last "Select All" / "Unselect All" left off.
bool s_selectAllChannels = false;
bool s_selectAllGroups = false;

} // namespace

DialogModuleControl::DialogModuleControl(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogModuleControl)
{
    m_ui->setupUi(this);
    const char *prefixes[BitGroupCount] = {"chk_ECS", "chk_ECM", "chk_EGS", "chk_EGM"};
    for (int group = 0; group < BitGroupCount; ++group)
        for (int bit = 0; bit < 32; ++bit)
            m_bits[group][bit] = findChild<QCheckBox *>(QLatin1String(prefixes[group]) + QString::number(bit));
    for (const FlagBox &entry : kStatusBoxes)
        keepReadable(m_ui->*entry.box);
    for (const FlagBox &entry : kEventBoxes)
        keepReadable(m_ui->*entry.box);
    keepReadable(m_ui->chk_ELIVE);
    for (int bit = 0; bit < 32; ++bit) {
        keepReadable(m_bits[ChannelStatusBits][bit]);
        keepReadable(m_bits[GroupStatusBits][bit]);
    }
    m_ui->btnSetRestartTime->setEnabled(false);
    labelSelectButtons();
}

DialogModuleControl::~DialogModuleControl()
{
    delete m_ui;
}

void DialogModuleControl::bind(CrateSession *session)
{
    using S = CrateSession;
    using D = DialogModuleControl;
    connect(session, &S::currentModuleChanged, this, &D::currentModuleChanged);
    connect(session, &S::updateModuleControl, this, &D::updateModuleControl);
    connect(session, &S::updateModuleStatus, this, &D::updateModuleStatus);
    connect(session, &S::updateModuleEventStatus, this, &D::updateModuleEventStatus);
    connect(session, &S::updateModuleEventMask, this, &D::updateModuleEventMask);
    connect(session, &S::updateModuleRestartTime, this, &D::updateModuleRestartTime);
    connect(session, &S::updateModuleEventChannelStatus, this, &D::updateModuleEventChannelStatus);
    connect(session, &S::updateModuleEventChannelMask, this, &D::updateModuleEventChannelMask);
    connect(session, &S::updateModuleEventGroupStatus, this, &D::updateModuleEventGroupStatus);
    connect(session, &S::updateModuleEventGroupMask, this, &D::updateModuleEventGroupMask);
    connect(this, &D::clearModuleEvents, session, &S::clearModuleEvents);
    connect(this, &D::setModuleControl, session, &S::setModuleControl);
    connect(this, &D::setModuleEventMask, session, &S::setModuleEventMask);
    connect(this, &D::clearModuleEventChannelStatus, session, &S::clearModuleEventChannelStatus);
    connect(this, &D::setModuleEventChannelMask, session, &S::setModuleEventChannelMask);
    connect(this, &D::clearModuleEventGroupStatus, session, &S::clearModuleEventGroupStatus);
    connect(this, &D::setModuleEventGroupMask, session, &S::setModuleEventGroupMask);
    connect(this, &D::setRestartTime, session, &S::setRestartTime);
    session->addViewer(CrateSession::ModuleWordsFeed, this);
}

void DialogModuleControl::resetSelectToggles()
{
    s_selectAllChannels = false;
    s_selectAllGroups = false;
}

void DialogModuleControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        labelSelectButtons();
    }
    QDialog::changeEvent(event);
}

void DialogModuleControl::labelSelectButtons()
{
    m_ui->btnSelectECM->setText(s_selectAllChannels ? tr("Unselect All") : tr("Select All"));
    m_ui->btnSelectEGM->setText(s_selectAllGroups ? tr("Unselect All") : tr("Select All"));
}

void DialogModuleControl::showBits(BitGroup group, quint32 value)
{
    for (int bit = 0; bit < 32; ++bit)
        m_bits[group][bit]->setChecked((value >> bit) & 1u);
}

quint32 DialogModuleControl::readBits(BitGroup group) const
{
    quint32 value = 0;
    for (int bit = 0; bit < 32; ++bit)
        if (m_bits[group][bit]->isChecked())
            value |= 1u << bit;
    return value;
}

void DialogModuleControl::setChannelNumber(int channels)
{
    // Channel counts come in steps; each step brings its block of channel bits.
    struct Step {
        int minimum;
        int first;
        int last;
    };
    static const Step steps[] = {{4, 0, 3}, {8, 4, 7}, {12, 8, 11}, {16, 12, 15}, {24, 16, 23}, {32, 24, 31}};
    for (const Step &step : steps) {
        const bool reached = step.minimum == 32 ? channels == 32 : channels >= step.minimum;
        if (!reached)
            continue;
        for (int bit = step.first; bit <= step.last; ++bit)
            m_bits[ChannelMaskBits][bit]->setEnabled(true);
    }
}

void DialogModuleControl::updateModuleStatus(int, ModuleStatus status)
{
    for (const FlagBox &entry : kStatusBoxes)
        (m_ui->*entry.box)->setChecked(status.flag(entry.flag));
    // The restart time can only be changed while the module is stopped.
    m_ui->btnSetRestartTime->setEnabled(status.isSTOP());
    m_ui->spbRestartTime->setEnabled(status.isSTOP());
}

void DialogModuleControl::updateModuleEventStatus(int, ModuleEventStatus eventStatus)
{
    for (const FlagBox &entry : kEventBoxes)
        (m_ui->*entry.box)->setChecked(eventStatus.flag(entry.flag));
}

void DialogModuleControl::updateModuleEventMask(int, ModuleEventMask eventMask)
{
    for (const FlagBox &entry : kMaskBoxes)
        (m_ui->*entry.box)->setChecked(eventMask.flag(entry.flag));
}

void DialogModuleControl::currentModuleChanged(int)
{
    m_control.reset();
    m_restartTime.reset();
    m_eventChannelStatus.reset();
    m_eventChannelMask.reset();
    m_eventGroupStatus.reset();
    m_eventGroupMask.reset();
    for (QCheckBox *box : findChildren<QCheckBox *>())
        box->setChecked(false);
    m_ui->spbRestartTime->setValue(0);
}

void DialogModuleControl::updateModuleControl(int, ModuleControl control)
{
    // A repeated word must not undo boxes the operator has not sent yet.
    if (m_control == control)
        return;
    m_control = control;
    showControl();
}

void DialogModuleControl::showControl()
{
    for (const FlagBox &entry : kControlBoxes)
        (m_ui->*entry.box)->setChecked(control().flag(entry.flag));
}

void DialogModuleControl::updateModuleRestartTime(int, quint32 restartTime)
{
    const quint16 value = quint16(qMin<quint32>(restartTime, 0xFFFF));
    if (m_restartTime == value)
        return;
    m_restartTime = value;
    m_ui->spbRestartTime->setValue(value);
}

void DialogModuleControl::updateModuleEventChannelStatus(int, quint32 status)
{
    if (m_eventChannelStatus == status)
        return;
    m_eventChannelStatus = status;
    showBits(ChannelStatusBits, status);
}

void DialogModuleControl::updateModuleEventChannelMask(int, quint32 mask)
{
    if (m_eventChannelMask == mask)
        return;
    m_eventChannelMask = mask;
    showBits(ChannelMaskBits, mask);
}

void DialogModuleControl::updateModuleEventGroupStatus(int, quint32 status)
{
    if (m_eventGroupStatus == status)
        return;
    m_eventGroupStatus = status;
    showBits(GroupStatusBits, status);
}

void DialogModuleControl::updateModuleEventGroupMask(int, quint32 mask)
{
    if (m_eventGroupMask == mask)
        return;
    m_eventGroupMask = mask;
    showBits(GroupMaskBits, mask);
}

void DialogModuleControl::on_btnClearEvents_clicked()
{
    emit clearModuleEvents(m_serialNumber);
}

void DialogModuleControl::on_btnSetMask_clicked()
{
    ModuleEventMask mask;
    for (const FlagBox &entry : kMaskBoxes)
        mask.setFlag(entry.flag, (m_ui->*entry.box)->isChecked());
    emit setModuleEventMask(m_serialNumber, mask);
}

void DialogModuleControl::on_btnSetControl_clicked()
{
    ModuleControl control = this->control();
    for (const FlagBox &entry : kControlBoxes)
        control.setFlag(entry.flag, (m_ui->*entry.box)->isChecked());
    m_control = control;
    emit setModuleControl(m_serialNumber, control);
}

void DialogModuleControl::on_btnSetRestartTime_clicked()
{
    emit setRestartTime(m_serialNumber, quint32(m_ui->spbRestartTime->value()));
}

void DialogModuleControl::on_btnClearECS_clicked()
{
    emit clearModuleEventChannelStatus(m_serialNumber);
}

void DialogModuleControl::on_btnSetECM_clicked()
{
    m_eventChannelMask = readBits(ChannelMaskBits);
    emit setModuleEventChannelMask(m_serialNumber, *m_eventChannelMask);
}

void DialogModuleControl::on_btnSelectECM_clicked()
{
    s_selectAllChannels = !s_selectAllChannels;
    // The first four channels exist on every module; beyond them only the
    // boxes the module's channel count enabled.
    for (int bit = 0; bit < 32; ++bit)
        if (bit < 4 || m_bits[ChannelMaskBits][bit]->isEnabled())
            m_bits[ChannelMaskBits][bit]->setChecked(s_selectAllChannels);
    labelSelectButtons();
}

void DialogModuleControl::on_btnClearEGS_clicked()
{
    emit clearModuleEventGroupStatus(m_serialNumber);
}

void DialogModuleControl::on_btnSetEGM_clicked()
{
    m_eventGroupMask = readBits(GroupMaskBits);
    emit setModuleEventGroupMask(m_serialNumber, *m_eventGroupMask);
}

void DialogModuleControl::on_btnSelectEGM_clicked()
{
    s_selectAllGroups = !s_selectAllGroups;
    for (int bit = 0; bit < 32; ++bit)
        m_bits[GroupMaskBits][bit]->setChecked(s_selectAllGroups);
    labelSelectButtons();
}
