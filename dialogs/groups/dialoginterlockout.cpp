#include "dialoginterlockout.h"
#include "ui_dialoginterlockout.h"

#include "cratesession.h"

#include <QCheckBox>

namespace {
// Bits of the control word the operator sets; the others keep their value.
constexpr quint32 kControlBits = (1u << 15) | (1u << 14) | (0x1Fu << 5) | 0xFu;
// The channel masks carry channels 0 to 11.
constexpr quint32 kChannelBits = 0x0FFFu;

// Display-only boxes keep their normal look but take no clicks or focus.
void makeDisplayOnly(QCheckBox *box)
{
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
}
} // namespace

DialogInterlockOut::DialogInterlockOut(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogInterlockOut)
{
    m_ui->setupUi(this);

    bindBox(m_status, 15, "chkIsIlkEna");
    bindBox(m_status, 14, "chkIsIlkAct");
    bindBox(m_status, 13, "chkIsIlkStby");
    for (int bit = 0; bit < 4; ++bit)
        bindBox(m_status, bit, QStringLiteral("chkIsIlkTestLoops%1").arg(bit).toLatin1().constData());

    bindBox(m_lastTrigger, 14, "chkIsIlkTest");
    bindBox(m_lastTrigger, 9, "chkIsIlkIBnds");
    bindBox(m_lastTrigger, 8, "chkIsIlkVlim");
    bindBox(m_lastTrigger, 7, "chkIsIlkVBnds");
    bindBox(m_lastTrigger, 6, "chkIsIlkIlim");
    bindBox(m_lastTrigger, 5, "chkIsIlkIset");
    for (int bit = 0; bit < 5; ++bit)
        bindBox(m_lastTrigger, bit, QStringLiteral("chkChannel%1").arg(bit).toLatin1().constData());

    bindBox(m_control, 15, "chkSetIlkEna");
    bindBox(m_control, 14, "chkClrIlkRegs");
    bindBox(m_control, 9, "chkSetIlkIbnds");
    bindBox(m_control, 8, "chkSetlIlkVlim");
    bindBox(m_control, 7, "chkSetIlkVbnds");
    bindBox(m_control, 6, "chkSetIlkIlim");
    bindBox(m_control, 5, "chkSetIlkIset");
    for (int bit = 0; bit < 4; ++bit)
        bindBox(m_control, bit, QStringLiteral("chkDoIlkTestLoops%1").arg(bit).toLatin1().constData());

    bindChannelBoxes(m_actualActive, "chk_ICAA");
    bindChannelBoxes(m_everTriggered, "chk_ICET");

    // Everything but the settable control bits is display only; reserved
    // control bits cannot be set.
    for (QCheckBox *box : findChildren<QCheckBox *>()) {
        bool settable = false;
        for (int bit = 0; bit < 16; ++bit)
            settable = settable || (box == m_control.boxes[bit] && (kControlBits & (1u << bit)));
        if (!settable)
            makeDisplayOnly(box);
        if (box->objectName().startsWith(QLatin1String("chkControlReserved")))
            box->setEnabled(false);
    }
}

DialogInterlockOut::~DialogInterlockOut()
{
    delete m_ui;
}

void DialogInterlockOut::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateInterlockStatus, this, &DialogInterlockOut::updateInterlockStatus);
    connect(session, &CrateSession::updateInterlockControl, this, &DialogInterlockOut::updateInterlockControl);
    connect(session, &CrateSession::updateInterlockCount, this, &DialogInterlockOut::updateInterlockCount);
    connect(session, &CrateSession::updateInterlockLastTrigger, this, &DialogInterlockOut::updateInterlockLastTrigger);
    connect(session, &CrateSession::updateInterlockChannelActualActive, this,
            &DialogInterlockOut::updateInterlockChannelActualActive);
    connect(session, &CrateSession::updateInterlockChannelEverTriggered, this,
            &DialogInterlockOut::updateInterlockChannelEverTriggered);
    connect(this, &DialogInterlockOut::setInterlockControl, session, &CrateSession::setInterlockOutControl);
    session->addViewer(CrateSession::InterlockFeed, this);
}

void DialogInterlockOut::bindBox(Word &word, int bit, const char *name)
{
    word.boxes[bit] = findChild<QCheckBox *>(QLatin1String(name));
}

void DialogInterlockOut::bindChannelBoxes(Word &word, const char *prefix)
{
    for (int bit = 0; bit < 16; ++bit)
        word.boxes[bit] = findChild<QCheckBox *>(QLatin1String(prefix) + QString::number(bit));
}

void DialogInterlockOut::showWord(Word &word, quint32 value, quint32 bits)
{
    value &= bits;
    if (word.shown && value == word.last)
        return;
    word.last = value;
    word.shown = true;
    for (int bit = 0; bit < 16; ++bit)
        if (word.boxes[bit])
            word.boxes[bit]->setChecked(value & (1u << bit));
}

void DialogInterlockOut::updateInterlockStatus(int, quint32 status)
{
    showWord(m_status, status);
}

void DialogInterlockOut::updateInterlockControl(int serialNumber, quint32 control)
{
    m_serialNumber = serialNumber;
    showWord(m_control, control);
}

void DialogInterlockOut::updateInterlockCount(int, quint32 count)
{
    m_ui->txtInterlockCount->setText(QString::number(count));
}

void DialogInterlockOut::updateInterlockLastTrigger(int, quint32 lastTrigger)
{
    showWord(m_lastTrigger, lastTrigger);
}

void DialogInterlockOut::updateInterlockChannelActualActive(int, quint32 channelActive)
{
    showWord(m_actualActive, channelActive, kChannelBits);
}

void DialogInterlockOut::updateInterlockChannelEverTriggered(int, quint32 channelTriggered)
{
    showWord(m_everTriggered, channelTriggered, kChannelBits);
}

void DialogInterlockOut::on_btnSetInterlockControl_clicked()
{
    quint32 control = m_control.last;
    for (int bit = 0; bit < 16; ++bit) {
        const quint32 mask = 1u << bit;
        if (!(kControlBits & mask) || !m_control.boxes[bit])
            continue;
        control = m_control.boxes[bit]->isChecked() ? (control | mask) : (control & ~mask);
    }
    m_control.last = control;
    emit setInterlockControl(m_serialNumber, control);
}
