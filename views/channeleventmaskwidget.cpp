#include "channeleventmaskwidget.h"

#include "ui_channeleventmaskwidget.h"

ChannelEventMask ChannelEventMaskWidget::s_lastMask;

ChannelEventMaskWidget::ChannelEventMaskWidget(QWidget *parent)
    : QWidget(parent), m_ui(new Ui::ChannelEventMaskWidget)
{
    m_ui->setupUi(this);
    // A widget made after a mask was shown starts from it; otherwise an equal
    // mask would never reach its boxes.
    showBoxes(s_lastMask);
}

ChannelEventMaskWidget::~ChannelEventMaskWidget()
{
    delete m_ui;
}

ChannelEventMask ChannelEventMaskWidget::lastMask()
{
    return s_lastMask;
}

void ChannelEventMaskWidget::setMask(ChannelEventMask mask)
{
    if (mask.toWord() == s_lastMask.toWord())
        return;
    s_lastMask = mask;
    showBoxes(mask);
}

void ChannelEventMaskWidget::showBoxes(ChannelEventMask mask)
{
    m_ui->channelEventMaskConstantVoltage->setChecked(mask.ECV());
    m_ui->channelEventMaskConstantCurrent->setChecked(mask.ECC());
    m_ui->channelEventMaskExternalInhibit->setChecked(mask.EEINH());
    m_ui->channelEventMaskOn->setChecked(mask.EON2OFF());
    m_ui->channelEventMaskCurrentTrip->setChecked(mask.ETRIP());
    m_ui->channelEventMaskCurrentLimit->setChecked(mask.ECLIM());
    m_ui->channelEventMaskInputError->setChecked(mask.EIERR());
    m_ui->channelEventMaskVoltageLimit->setChecked(mask.EVLIM());
    m_ui->channelEventMaskCurrentBounds->setChecked(mask.ECBNDs());
    m_ui->channelEventMaskEmergencyOff->setChecked(mask.EEMCY());
    m_ui->channelEventMaskVoltageBounds->setChecked(mask.EVBNDs());
    m_ui->channelEventMaskEndOfRamp->setChecked(mask.EEOR());
}

ChannelEventMask ChannelEventMaskWidget::boxMask() const
{
    ChannelEventMask mask;
    mask.setECV(m_ui->channelEventMaskConstantVoltage->isChecked());
    mask.setECC(m_ui->channelEventMaskConstantCurrent->isChecked());
    mask.setEEINH(m_ui->channelEventMaskExternalInhibit->isChecked());
    mask.setEON2OFF(m_ui->channelEventMaskOn->isChecked());
    mask.setETRIP(m_ui->channelEventMaskCurrentTrip->isChecked());
    mask.setECLIM(m_ui->channelEventMaskCurrentLimit->isChecked());
    mask.setEIERR(m_ui->channelEventMaskInputError->isChecked());
    mask.setEVLIM(m_ui->channelEventMaskVoltageLimit->isChecked());
    mask.setECBNDs(m_ui->channelEventMaskCurrentBounds->isChecked());
    mask.setEEMCY(m_ui->channelEventMaskEmergencyOff->isChecked());
    mask.setEVBNDs(m_ui->channelEventMaskVoltageBounds->isChecked());
    mask.setEEOR(m_ui->channelEventMaskEndOfRamp->isChecked());
    return mask;
}

void ChannelEventMaskWidget::enableButton(bool enable)
{
    m_ui->setChannelEventMaskButton->setEnabled(enable);
}

void ChannelEventMaskWidget::on_setChannelEventMaskButton_clicked()
{
    emit channelEventMaskChanged(boxMask());
}
