#include "modulestatuswidget.h"

#include "statuslabel.h"
#include "ui_modulestatuswidget.h"

using namespace StatusLabel;

ModuleStatusWidget::ModuleStatusWidget(QWidget *parent) : QWidget(parent), m_ui(new Ui::ModuleStatusWidget)
{
    m_ui->setupUi(this);
    connect(m_ui->clearModuleEventsButton, &QPushButton::clicked, this, &ModuleStatusWidget::clearEventsClicked);

    reserveWidth(m_ui->moduleStatusModuleGood, {tr("Module is good"), tr("Module is bad")});
    reserveWidth(m_ui->moduleStatusTemperature, {tr("Temperature is good"), tr("Temperature is too high")});
    reserveWidth(m_ui->moduleStatusSafetyLoop, {tr("Safety Loop is closed"), tr("Safety Loop is open")});
    reserveWidth(m_ui->moduleStatusSupply, {tr("Supply is good"), tr("Supply is bad")});
    reserveWidth(m_ui->moduleStatusService, {tr("Service is needed")});
    reserveWidth(m_ui->moduleStatusEventActive, {tr("Event Active"), tr("No Event Active")});
    reserveWidth(m_ui->moduleStatusNoSumError, {tr("No Sum Error"), tr("Sum Error")});
    reserveWidth(m_ui->moduleStatusInputError, {tr("Input Error"), tr("No Input Error")});
    reserveWidth(m_ui->moduleStatusAdjustment, {tr("Adjustment is on"), tr("Adjustment is off")});
    reserveWidth(m_ui->moduleStatusKillEnable, {tr("Kill is enabled"), tr("Kill is disabled")});
    reserveWidth(m_ui->moduleStatusNoRamp, {tr("No Ramp"), tr("Ramping")});
    reserveWidth(m_ui->moduleStatusHighVoltageOn, {tr("High Voltage On")});
    reserveWidth(m_ui->moduleEventTemperature, {tr("Temperature was too high.")});
    reserveWidth(m_ui->moduleEventSafetyLoop, {tr("Safety Loop was open.")});
    reserveWidth(m_ui->moduleEventSupply, {tr("Supply was bad.")});
    reserveWidth(m_ui->moduleEventService, {tr("Service is needed.")});
    reserveWidth(m_ui->moduleEventInputError, {tr("Input Error")});
    reserveWidth(m_ui->moduleEventStop, {tr("Stop"), tr("Live Insert")});
    reserveWidth(m_ui->moduleEventPowerFail, {tr("Power Fail")});
    reserveWidth(m_ui->moduleEventRestart, {tr("Restart")});
}

ModuleStatusWidget::~ModuleStatusWidget()
{
    delete m_ui;
}

void ModuleStatusWidget::setStopWording(bool stop)
{
    m_stopWording = stop;
    // Rewrite a stop event already shown so it uses the new word at once.
    if (m_lastEventStatus.ESTOP() && !m_lowVoltageModule)
        m_ui->moduleEventStop->setText(badPrefix() + (stop ? tr("Stop") : tr("Live Insert")));
}

void ModuleStatusWidget::updateStatus(ModuleStatus status)
{
    if (m_lowVoltageModule)
        return;
    // Writes a label from its set and clear forms and returns what it wrote.
    auto show = [](QLabel *label, bool set, const QString &setText, const QString &setPrefix,
                   const QString &clearText, const QString &clearPrefix) {
        const QString text = set ? setPrefix + setText : (clearText.isEmpty() ? QString() : clearPrefix + clearText);
        label->setText(text);
        return text;
    };

    // The summary is the last of these checks that finds something bad.
    QString summary;
    const QString moduleText = show(m_ui->moduleStatusModuleGood, status.isMODgd(), tr("Module is good"),
                                    goodPrefix(), tr("Module is bad"), badPrefix());
    if (!status.isMODgd())
        summary = moduleText;
    const QString temperatureText = show(m_ui->moduleStatusTemperature, status.isTMPgd(), tr("Temperature is good"),
                                         goodPrefix(), tr("Temperature is too high"), badPrefix());
    if (!status.isTMPgd())
        summary = temperatureText;
    const QString safetyLoopText = show(m_ui->moduleStatusSafetyLoop, status.isSFLPgd(), tr("Safety Loop is closed"),
                                        goodPrefix(), tr("Safety Loop is open"), badPrefix());
    if (!status.isSFLPgd())
        summary = safetyLoopText;
    const QString supplyText = show(m_ui->moduleStatusSupply, status.isSPLYgd(), tr("Supply is good"), goodPrefix(),
                                    tr("Supply is bad"), badPrefix());
    if (!status.isSPLYgd())
        summary = supplyText;
    const QString serviceText = show(m_ui->moduleStatusService, status.isSrvc(), tr("Service is needed"),
                                     badPrefix(), QString(), QString());
    if (status.isSrvc())
        summary = serviceText;
    m_summaryText = summary;

    show(m_ui->moduleStatusEventActive, status.isEVNTact(), tr("Event Active"), badPrefix(), tr("No Event Active"),
         goodPrefix());
    show(m_ui->moduleStatusNoSumError, status.isnoSERR(), tr("No Sum Error"), goodPrefix(), tr("Sum Error"),
         badPrefix());
    show(m_ui->moduleStatusInputError, status.isIERR(), tr("Input Error"), badPrefix(), tr("No Input Error"),
         goodPrefix());
    show(m_ui->moduleStatusAdjustment, status.isADJ(), tr("Adjustment is on"), goodPrefix(), tr("Adjustment is off"),
         inactivePrefix());
    show(m_ui->moduleStatusKillEnable, status.isKILena(), tr("Kill is enabled"), goodPrefix(), tr("Kill is disabled"),
         inactivePrefix());
    show(m_ui->moduleStatusNoRamp, status.isnoRAMP(), tr("No Ramp"), goodPrefix(), tr("Ramping"), inactivePrefix());
    show(m_ui->moduleStatusHighVoltageOn, status.isHVON(), tr("High Voltage On"), goodPrefix(), QString(), QString());
}

void ModuleStatusWidget::updateEventStatus(ModuleEventStatus eventStatus)
{
    if (m_lowVoltageModule)
        return;
    m_lastEventStatus = eventStatus;
    auto show = [](QLabel *label, bool set, const QString &text) { label->setText(set ? badPrefix() + text : QString()); };
    show(m_ui->moduleEventTemperature, eventStatus.ETMPngd(), tr("Temperature was too high."));
    show(m_ui->moduleEventSafetyLoop, eventStatus.ESFLPngd(), tr("Safety Loop was open."));
    show(m_ui->moduleEventSupply, eventStatus.ESPLYngd(), tr("Supply was bad."));
    show(m_ui->moduleEventService, eventStatus.ESrvc(), tr("Service is needed."));
    show(m_ui->moduleEventInputError, eventStatus.EIERR(), tr("Input Error"));
    show(m_ui->moduleEventStop, eventStatus.ESTOP(), m_stopWording ? tr("Stop") : tr("Live Insert"));
    show(m_ui->moduleEventPowerFail, eventStatus.EPWRFAIL(), tr("Power Fail"));
    show(m_ui->moduleEventRestart, eventStatus.ERESTART(), tr("Restart"));
}

void ModuleStatusWidget::enableClearButton(bool enable)
{
    m_ui->clearModuleEventsButton->setEnabled(enable);
}
