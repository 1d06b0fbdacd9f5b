#include "dialogflexgroups.h"
#include "ui_dialogflexgroups.h"

#include "cratesession.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTimer>

bool DialogFlexGroups::s_selectAll = false;

namespace {
struct Choice {
    const char *name;
    int code;
};

// Function codes of a set group (bits 7-4).
const Choice kCopyChoices[] = {{"chkCopyVset", 1},    {"chkCopyIset", 2},   {"chkCopyVIlkMax", 4},
                               {"chkCopyIIlkMax", 5}, {"chkCopyVIlkMin", 6}, {"chkCopyIIlkMin", 7},
                               {"chkCopySetON", 10},  {"chkCopySetEMCY", 11}, {"chkCopyAll", 15}};
// Channel status bit numbers evaluated by status and monitoring groups (bits 7-4).
const Choice kStatusChoices[] = {{"chk_StatIsON", 3},    {"chk_StatIsRAMP", 4},  {"chk_StatIsCC", 6},
                                 {"chk_StatIsCV", 7},    {"chk_StatIsIBND", 10}, {"chk_StatIsVBND", 11},
                                 {"chk_StatIsEINH", 12}, {"chk_StatIsTRIP", 13}, {"chk_StatIsILIM", 14},
                                 {"chk_StatIsVLIM", 15}};
const Choice kMonitorChoices[] = {{"chk_isON", 3},    {"chk_isRAMP", 4},  {"chk_isCC", 6},   {"chk_isCV", 7},
                                  {"chk_isIBND", 10}, {"chk_isVBND", 11}, {"chk_isEINH", 12}, {"chk_isTRIP", 13},
                                  {"chk_isILIM", 14}, {"chk_isVLIM", 15}};
// Actions of monitoring and timeout groups (bits 13-12).
const Choice kMonitorActions[] = {
    {"chkMonNoAction", 0}, {"chkMonRampDown", 1}, {"chkMonSwitchOffGroup", 2}, {"chkMonSwitchOffModule", 3}};
const Choice kTimeoutActions[] = {
    {"chkNoAction", 0}, {"chkRampDown", 1}, {"chkSwitchOffGroup", 2}, {"chkSwitchOffModule", 3}};

constexpr quint32 kKindShift = 14;
constexpr quint32 kKindMask = 0x3u << kKindShift;
constexpr quint32 kCodeShift = 4;
constexpr quint32 kCodeMask = 0xFu << kCodeShift;
constexpr quint32 kFlagBit = 1u << 8; // permanent (set group), MOD0 (monitoring group)
constexpr quint32 kActionShift = 12;
constexpr quint32 kActionMask = 0x3u << kActionShift;
constexpr quint32 kMasterMask = 0xFu;
constexpr quint32 kTimeoutMask = 0xFFFu;
constexpr quint32 kExtendedMasterShift = 16;
constexpr quint32 kExtendedMasterMask = 0x1Fu << kExtendedMasterShift;
constexpr quint32 kHighHalfMask = 0xFFFF0000u;

template <size_t N> int checkedCode(const QWidget *parent, const Choice (&choices)[N], int fallback)
{
    for (const Choice &choice : choices) {
        auto *button = parent->findChild<QRadioButton *>(QLatin1String(choice.name));
        if (button && button->isChecked())
            return choice.code;
    }
    return fallback;
}

template <size_t N> void checkCode(QWidget *parent, const Choice (&choices)[N], int code)
{
    const Choice *pick = &choices[0];
    for (const Choice &choice : choices)
        if (choice.code == code)
            pick = &choice;
    if (auto *button = parent->findChild<QRadioButton *>(QLatin1String(pick->name)))
        button->setChecked(true);
}
} // namespace

DialogFlexGroups::DialogFlexGroups(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogFlexGroups)
    , m_timer(new QTimer(this))
{
    m_ui->setupUi(this);
    m_ui->txtHelp->setHtml(tr(
        "<p>1. Choose a group number from 0 to 31.</p>"
        "<p>2. Choose the member channels of the group.</p>"
        "<p>3. Choose the kind of the group: a <b>set group</b> copies a value of the master channel to its "
        "members, a <b>status group</b> evaluates one status bit over its members, a <b>monitoring group</b> acts "
        "when one status bit of a member changes, a <b>timeout group</b> acts after a time-out.</p>"
        "<p>A timeout group ramps down or shuts off channels after the programmed current has been exceeded for "
        "the time-out; it needs the module in mode \"Kill disable\".</p>"
        "<p>Actions: <b>No action</b>: all channels stay on. <b>Ramp down group</b>: the member channels ramp "
        "down with the programmed ramp speed. <b>Switch off group</b>: the member channels shut off without ramp. "
        "<b>Switch off module</b>: all channels of the module shut off without ramp.</p>"
        "<p>\"Set Group\" programs the group into the module; \"Erase Group\" resets the group definition.</p>"));
    m_ui->txtHelp->hide();
    for (int channel = 0; channel < GroupCount; ++channel)
        memberBox(channel)->setEnabled(false);
    m_ui->btnMemberSelection->setText(s_selectAll ? tr("Unselect &All") : tr("Select &All"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &DialogFlexGroups::timeout);
    setDeviceClass(-1);
}

DialogFlexGroups::~DialogFlexGroups()
{
    delete m_ui;
}

void DialogFlexGroups::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateModuleFlexGroups, this, &DialogFlexGroups::updateModuleFlexGroups);
    connect(this, &DialogFlexGroups::getFlexGroupData, session, &CrateSession::getFlexGroupData);
    connect(this, &DialogFlexGroups::setFlexGroup, session, &CrateSession::setFlexGroup);
}

QCheckBox *DialogFlexGroups::memberBox(int channel) const
{
    return findChild<QCheckBox *>(QStringLiteral("chkChannel%1").arg(channel, 2, 10, QLatin1Char('0')));
}

int DialogFlexGroups::groupNumber() const
{
    return m_ui->spbGroupNumber->value();
}

void DialogFlexGroups::setDeviceClass(int deviceClass)
{
    m_deviceClass = deviceClass;
    m_ui->spbTimeout->setMaximum(deviceClass == ExtendedDeviceClass ? 65535 : 4095);
}

void DialogFlexGroups::setChannelCount(int channels)
{
    // Member boxes come in blocks as modules come in sizes; a block once
    // enabled stays enabled.
    auto enable = [this](int first, int last) {
        for (int channel = first; channel <= last; ++channel)
            memberBox(channel)->setEnabled(true);
    };
    if (channels >= 4)
        enable(0, 3);
    if (channels >= 8)
        enable(4, 7);
    if (channels >= 12)
        enable(8, 11);
    if (channels >= 16)
        enable(12, 15);
    if (channels >= 24)
        enable(16, 23);
    if (channels == 32)
        enable(24, 31);
    m_ui->spbMasterChannel->setMaximum(qMax(0, channels - 1));
}

void DialogFlexGroups::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_typeShown = false;
    m_memberShown = false;
    m_ui->tabGroupKind->setCurrentWidget(m_ui->tabSet);
    m_ui->chkNoAction->setChecked(true);
    m_ui->chkMonNoAction->setChecked(true);
    m_ui->chk_isON->setChecked(true);
    m_ui->chk_StatIsON->setChecked(true);
    emit getFlexGroupData(m_serialNumber, groupNumber());
    m_timer->start();
}

void DialogFlexGroups::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    QDialog::hideEvent(event);
}

void DialogFlexGroups::timeout()
{
    emit getFlexGroupData(m_serialNumber, groupNumber());
}

void DialogFlexGroups::on_spbGroupNumber_valueChanged(int num)
{
    emit getFlexGroupData(m_serialNumber, num);
}

void DialogFlexGroups::updateModuleFlexGroups(int serialNumber, int group, quint32 member, quint32 type)
{
    m_serialNumber = serialNumber;
    if (group < 0 || group >= GroupCount || group != groupNumber())
        return;
    if (!m_memberShown || member != m_lastMember) {
        m_lastMember = member;
        m_memberShown = true;
        showMembers(member);
    }
    if (!m_typeShown || type != m_lastType) {
        m_lastType = type;
        m_typeShown = true;
        showType(type);
    }
}

void DialogFlexGroups::showMembers(quint32 member)
{
    for (int channel = 0; channel < GroupCount; ++channel)
        memberBox(channel)->setChecked(member & (1u << channel));
}

void DialogFlexGroups::showType(quint32 type)
{
    const bool extended = m_deviceClass == ExtendedDeviceClass;
    const int code = int((type & kCodeMask) >> kCodeShift);
    const int action = int((type & kActionMask) >> kActionShift);
    switch ((type & kKindMask) >> kKindShift) {
    case SetGroup:
        m_ui->tabGroupKind->setCurrentWidget(m_ui->tabSet);
        m_ui->chkSetPermanent->setChecked(type & kFlagBit);
        m_ui->spbMasterChannel->setValue(
            extended ? int((type & kExtendedMasterMask) >> kExtendedMasterShift) : int(type & kMasterMask));
        checkCode(this, kCopyChoices, code);
        break;
    case StatusGroup:
        m_ui->tabGroupKind->setCurrentWidget(m_ui->tabStatus);
        checkCode(this, kStatusChoices, code);
        break;
    case MonitoringGroup:
        m_ui->tabGroupKind->setCurrentWidget(m_ui->tabMonitor);
        m_ui->chkMonMOD0->setChecked(type & kFlagBit);
        checkCode(this, kMonitorChoices, code);
        checkCode(this, kMonitorActions, action);
        break;
    default:
        m_ui->tabGroupKind->setCurrentWidget(m_ui->tabTimeout);
        m_ui->spbTimeout->setValue(extended ? int(type >> 16) : int(type & kTimeoutMask));
        checkCode(this, kTimeoutActions, action);
        break;
    }
}

quint32 DialogFlexGroups::memberMask() const
{
    quint32 mask = 0;
    for (int channel = 0; channel < GroupCount; ++channel)
        if (memberBox(channel)->isChecked())
            mask |= 1u << channel;
    return mask;
}

quint32 DialogFlexGroups::typeWord() const
{
    const bool extended = m_deviceClass == ExtendedDeviceClass;
    // Bits the current tab does not set keep what the module reported.
    quint32 type = m_typeShown ? m_lastType : 0;
    QWidget *tab = m_ui->tabGroupKind->currentWidget();
    if (tab == m_ui->tabSet) {
        type &= ~(kKindMask | kCodeMask | kFlagBit);
        type |= quint32(SetGroup) << kKindShift;
        const quint32 master = quint32(m_ui->spbMasterChannel->value());
        if (extended)
            type = (type & ~kExtendedMasterMask) | ((master << kExtendedMasterShift) & kExtendedMasterMask);
        else
            type = (type & ~kMasterMask) | (master & kMasterMask);
        if (m_ui->chkSetPermanent->isChecked())
            type |= kFlagBit;
        type |= quint32(checkedCode(this, kCopyChoices, 1)) << kCodeShift;
    } else if (tab == m_ui->tabStatus) {
        type &= ~(kKindMask | kCodeMask);
        type |= quint32(StatusGroup) << kKindShift;
        type |= quint32(checkedCode(this, kStatusChoices, 3)) << kCodeShift;
    } else if (tab == m_ui->tabMonitor) {
        type &= ~(kKindMask | kCodeMask | kFlagBit | kActionMask);
        type |= quint32(MonitoringGroup) << kKindShift;
        type |= quint32(checkedCode(this, kMonitorChoices, 3)) << kCodeShift;
        if (m_ui->chkMonMOD0->isChecked())
            type |= kFlagBit;
        type |= quint32(checkedCode(this, kMonitorActions, 0)) << kActionShift;
    } else {
        type &= ~(kKindMask | kActionMask);
        type |= quint32(TimeoutGroup) << kKindShift;
        const quint32 timeout = quint32(m_ui->spbTimeout->value());
        if (extended)
            type = (type & ~kHighHalfMask) | ((timeout & 0xFFFFu) << 16);
        else
            type = (type & ~kTimeoutMask) | (timeout & kTimeoutMask);
        type |= quint32(checkedCode(this, kTimeoutActions, 0)) << kActionShift;
    }
    return type;
}

void DialogFlexGroups::on_btnSet_clicked()
{
    emit setFlexGroup(m_serialNumber, groupNumber(), memberMask(), typeWord());
}

void DialogFlexGroups::on_btnErase_clicked()
{
    emit setFlexGroup(m_serialNumber, groupNumber(), 0, 0);
}

void DialogFlexGroups::on_btnMemberSelection_clicked()
{
    s_selectAll = !s_selectAll;
    for (int channel = 0; channel < GroupCount; ++channel) {
        QCheckBox *box = memberBox(channel);
        if (box->isEnabled())
            box->setChecked(s_selectAll);
    }
    m_ui->btnMemberSelection->setText(s_selectAll ? tr("Unselect &All") : tr("Select &All"));
}

void DialogFlexGroups::on_btnHelp_clicked()
{
    const bool show = m_ui->txtHelp->isHidden();
    m_ui->txtHelp->setVisible(show);
    m_ui->btnHelp->setText(show ? tr("&Help <<") : tr("&Help >>"));
}
