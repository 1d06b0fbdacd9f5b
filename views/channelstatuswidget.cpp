#include "channelstatuswidget.h"

#include "statuslabel.h"
#include "ui_channelstatuswidget.h"

#include <QTextDocumentFragment>

namespace {

// Sets a label to its name, green or red when the flag is set, gray otherwise.
void showFlag(QLabel *label, bool set, bool isFault, const QString &text)
{
    const QString prefix = !set ? StatusLabel::inactivePrefix()
                                : (isFault ? StatusLabel::badPrefix() : StatusLabel::goodPrefix());
    label->setText(prefix + text);
}

} // namespace

ChannelStatusWidget::ChannelStatusWidget(QWidget *parent) : QWidget(parent), m_ui(new Ui::ChannelStatusWidget)
{
    m_ui->setupUi(this);
    connect(m_ui->clearChannelEventsButton, &QPushButton::clicked, this, &ChannelStatusWidget::clearEventsClicked);
    updateStatus(ChannelStatus());
    updateEventStatus(ChannelEventStatus());
    const auto labels = findChildren<QLabel *>();
    for (QLabel *label : labels)
        StatusLabel::reserveWidth(label, {QTextDocumentFragment::fromHtml(label->text()).toPlainText()});
}

ChannelStatusWidget::~ChannelStatusWidget()
{
    delete m_ui;
}

void ChannelStatusWidget::updateStatus(ChannelStatus status)
{
    if (m_lowVoltageModule)
        return;
    showFlag(m_ui->channelStatusConstantVoltage, status.isCV(), false, tr("Constant Voltage"));
    showFlag(m_ui->channelStatusConstantCurrent, status.isCC(), false, tr("Constant Current"));
    showFlag(m_ui->channelStatusOn, status.isON(), false, tr("On"));
    showFlag(m_ui->channelStatusRamping, status.isRAMP(), false, tr("Ramping"));
    showFlag(m_ui->channelStatusVoltageLimit, status.isVLIM(), true, tr("Voltage Limit"));
    showFlag(m_ui->channelStatusCurrentLimit, status.isCLIM(), true, tr("Current Limit"));
    showFlag(m_ui->channelStatusVoltageBounds, status.isVBNDs(), true, tr("Voltage Bounds"));
    showFlag(m_ui->channelStatusCurrentBounds, status.isCBNDs(), true, tr("Current Bounds"));
    showFlag(m_ui->channelStatusCurrentTrip, status.isTRIP(), true, tr("Current Trip"));
    showFlag(m_ui->channelStatusEmergencyOff, status.isEMCY(), true, tr("Emergency Off"));
    showFlag(m_ui->channelStatusExternalInhibit, status.isEINH(), true, tr("External Inhibit"));
    showFlag(m_ui->channelStatusInputError, status.isIERR(), true, tr("Input Error"));
    showFlag(m_ui->channelStatusLowCurrentRange, status.isLCR(), false, tr("Low Current Range"));
}

void ChannelStatusWidget::updateEventStatus(ChannelEventStatus eventStatus)
{
    if (m_lowVoltageModule)
        return;
    showFlag(m_ui->channelEventConstantVoltage, eventStatus.ECV(), false, tr("Constant Voltage"));
    showFlag(m_ui->channelEventConstantCurrent, eventStatus.ECC(), false, tr("Constant Current"));
    showFlag(m_ui->channelEventOnToOff, eventStatus.EON2OFF(), false, tr("On to Off"));
    showFlag(m_ui->channelEventEndOfRamping, eventStatus.EEOR(), false, tr("End of Ramping"));
    showFlag(m_ui->channelEventVoltageLimit, eventStatus.EVLIM(), true, tr("Voltage Limit"));
    showFlag(m_ui->channelEventCurrentLimit, eventStatus.ECLIM(), true, tr("Current Limit"));
    showFlag(m_ui->channelEventVoltageBounds, eventStatus.EVBNDs(), true, tr("Voltage Bounds"));
    showFlag(m_ui->channelEventCurrentBounds, eventStatus.ECBNDs(), true, tr("Current Bounds"));
    showFlag(m_ui->channelEventCurrentTrip, eventStatus.ETRIP(), true, tr("Current Trip"));
    showFlag(m_ui->channelEventEmergencyOff, eventStatus.EEMCY(), true, tr("Emergency Off"));
    showFlag(m_ui->channelEventExternalInhibit, eventStatus.EEINH(), true, tr("External Inhibit"));
    showFlag(m_ui->channelEventInputError, eventStatus.EIERR(), true, tr("Input Error"));
}
