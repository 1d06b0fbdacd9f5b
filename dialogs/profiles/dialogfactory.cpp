#include "dialogfactory.h"
#include "ui_dialogfactory.h"

#include "cratesession.h"

#include <QShowEvent>

DialogFactory::DialogFactory(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogFactory)
{
    m_ui->setupUi(this);
}

DialogFactory::~DialogFactory()
{
    delete m_ui;
}

void DialogFactory::bind(CrateSession *session)
{
    connect(session, &CrateSession::factoryResetDone, this, &DialogFactory::factoryResetDone);
    connect(session, &CrateSession::updateChannelVoltageNominal, this, &DialogFactory::updateChannelVoltageNominal);
    connect(session, &CrateSession::updateChannelCurrentNominal, this, &DialogFactory::updateChannelCurrentNominal);
    connect(session, &CrateSession::updateModuleControl, this, &DialogFactory::updateModuleControl);
    connect(session, &CrateSession::updateModuleStatus, this, &DialogFactory::updateModuleStatus);
    connect(session, &CrateSession::updateModuleEventMask, this, &DialogFactory::updateModuleEventMask);
    connect(session, &CrateSession::updateModuleEventChannelMask, this, &DialogFactory::updateModuleEventChannelMask);
    connect(session, &CrateSession::currentModuleChanged, this, &DialogFactory::setSerialNumber);
    connect(this, &DialogFactory::setModuleControl, session, &CrateSession::setModuleControl);
    connect(this, &DialogFactory::storeFactorySettings, session, &CrateSession::storeFactorySettings);
    connect(this, &DialogFactory::setModuleEventMask, session, &CrateSession::setModuleEventMask);
    connect(this, &DialogFactory::setModuleEventChannelMask, session, &CrateSession::setModuleEventChannelMask);
}

QString DialogFactory::logText() const
{
    return m_ui->txtLog->toPlainText();
}

void DialogFactory::log(const QString &line)
{
    m_ui->txtLog->appendPlainText(line);
}

void DialogFactory::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        m_state = Idle;
        m_attempts = 0;
        m_ui->txtLog->clear();
    }
    QDialog::showEvent(event);
}

void DialogFactory::setSerialNumber(int serialNumber)
{
    m_serialNumber = serialNumber;
}

void DialogFactory::setChannelNumber(int serialNumber, int channelNumber)
{
    if (isOurs(serialNumber))
        m_channelNumber = channelNumber;
}

void DialogFactory::updateModuleControl(int serialNumber, ModuleControl control)
{
    if (isOurs(serialNumber))
        m_control = control;
}

void DialogFactory::updateModuleStatus(int serialNumber, ModuleStatus status)
{
    if (isOurs(serialNumber))
        m_status = status;
}

void DialogFactory::on_btnVmeTest_clicked()
{
    m_state = EventMaskTest;
    log(tr("Starting Test..."));
    m_testValue = 1;
    m_attempts = 0;
    emit setModuleEventMask(m_serialNumber, ModuleEventMask(quint32(m_testValue)));
}

void DialogFactory::on_btnFactoryReset_clicked()
{
    m_state = WaitingForStop;
    log(tr("Setting Module to Mode STOP..."));
    m_control.setSetSTOP(true);
    emit setModuleControl(m_serialNumber, m_control);
}

void DialogFactory::updateModuleEventMask(int serialNumber, ModuleEventMask mask)
{
    if (!isOurs(serialNumber))
        return;
    switch (m_state) {
    case EventMaskTest:
        ++m_attempts;
        if (mask.toWord() == m_testValue) {
            log(tr("Module EventMask 0x%1 passed").arg(m_testValue, 4, 16, QLatin1Char('0')));
            m_testValue <<= 1;
            m_attempts = 0;
            emit setModuleEventMask(m_serialNumber, ModuleEventMask(quint32(m_testValue)));
        }
        if (m_testValue > 32768) {
            m_testValue = 1;
            emit setModuleEventChannelMask(m_serialNumber, quint32(m_testValue));
            m_state = EventChannelMaskTest;
        }
        break;
    case WaitingForStop:
        if (m_control.setSTOP() && m_status.isSTOP()) {
            log(tr("\nModule is now in Mode STOP."));
            log(tr("Resetting Module to Factory settings ..."));
            emit storeFactorySettings(m_serialNumber);
            m_state = ResetRequested;
        }
        break;
    case ResetRequested:
        if (m_control.setSTOP() && m_status.isSTOP())
            m_state = ResetSeen;
        break;
    case ResetSeen:
        m_state = Idle;
        break;
    default:
        break;
    }
}

void DialogFactory::updateModuleEventChannelMask(int serialNumber, quint32 mask)
{
    if (!isOurs(serialNumber) || m_state != EventChannelMaskTest)
        return;
    ++m_attempts;
    if (quint64(mask) == m_testValue) {
        log(tr("Module EventChannelMask 0x%1 passed").arg(m_testValue, 4, 16, QLatin1Char('0')));
        m_testValue <<= 1;
        m_attempts = 0;
        emit setModuleEventChannelMask(m_serialNumber, quint32(m_testValue));
    }
    // Kept in 64 bits: a 32-channel module ends after bit 31, where 2^32 would wrap to 0.
    if (m_testValue >= (quint64(1) << qBound(0, m_channelNumber, 63))) {
        log(tr("Test finished!"));
        m_state = Idle;
    }
}

void DialogFactory::updateChannelVoltageNominal(int serialNumber, int channel, float value, QString unit)
{
    if (isOurs(serialNumber) && m_state == WaitingForStop)
        log(tr("Channel %1: Voltage Hardware Nominal %2 %3").arg(channel).arg(double(value)).arg(unit));
}

void DialogFactory::updateChannelCurrentNominal(int serialNumber, int channel, float value, QString unit)
{
    if (isOurs(serialNumber) && m_state == WaitingForStop)
        log(tr("Channel %1: Current Hardware Nominal %2 %3").arg(channel).arg(double(value)).arg(unit));
}

void DialogFactory::factoryResetDone(int serialNumber)
{
    if (isOurs(serialNumber))
        log(tr("\nReset to Factory Settings done!"));
}
