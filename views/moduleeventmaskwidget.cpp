#include "moduleeventmaskwidget.h"

#include "ui_moduleeventmaskwidget.h"

ModuleEventMaskWidget::ModuleEventMaskWidget(QWidget *parent)
    : QWidget(parent), m_ui(new Ui::ModuleEventMaskWidget)
{
    m_ui->setupUi(this);
    setStopWording(true);
}

ModuleEventMaskWidget::~ModuleEventMaskWidget()
{
    delete m_ui;
}

void ModuleEventMaskWidget::setMask(ModuleEventMask mask)
{
    if (mask.toWord() == m_lastMask.toWord())
        return;
    m_lastMask = mask;
    showBoxes(mask);
}

void ModuleEventMaskWidget::showBoxes(ModuleEventMask mask)
{
    m_ui->moduleMaskSafetyLoop->setChecked(mask.ESFLPngd());
    m_ui->moduleMaskTemperature->setChecked(mask.ETMPngd());
    m_ui->moduleMaskSupply->setChecked(mask.ESPLYngd());
    m_ui->moduleMaskService->setChecked(mask.ESrvc());
    m_ui->moduleMaskRestart->setChecked(mask.ERESTART());
    m_ui->moduleMaskPowerFail->setChecked(mask.EPWRFAIL());
    m_ui->moduleMaskStop->setChecked(mask.ESTOP());
    m_ui->moduleMaskInputError->setChecked(mask.EIERR());
}

ModuleEventMask ModuleEventMaskWidget::boxMask() const
{
    ModuleEventMask mask;
    mask.setESFLPngd(m_ui->moduleMaskSafetyLoop->isChecked());
    mask.setETMPngd(m_ui->moduleMaskTemperature->isChecked());
    mask.setESPLYngd(m_ui->moduleMaskSupply->isChecked());
    mask.setESrvc(m_ui->moduleMaskService->isChecked());
    mask.setERESTART(m_ui->moduleMaskRestart->isChecked());
    mask.setEPWRFAIL(m_ui->moduleMaskPowerFail->isChecked());
    mask.setESTOP(m_ui->moduleMaskStop->isChecked());
    mask.setEIERR(m_ui->moduleMaskInputError->isChecked());
    return mask;
}

void ModuleEventMaskWidget::setStopWording(bool stop)
{
    m_stopWording = stop;
    m_ui->moduleMaskStop->setText(stop ? tr("Stop") : tr("Live Insert"));
}

void ModuleEventMaskWidget::enableButton(bool enable)
{
    m_ui->setModuleEventMaskButton->setEnabled(enable);
}

void ModuleEventMaskWidget::on_setModuleEventMaskButton_clicked()
{
    emit moduleEventMaskChanged(boxMask());
}
