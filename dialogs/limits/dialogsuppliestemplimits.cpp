#include "dialogsuppliestemplimits.h"
#include "ui_dialogsuppliestemplimits.h"

#include "cratesession.h"

DialogSuppliesTempLimits::DialogSuppliesTempLimits(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogSuppliesTempLimits)
{
    m_ui->setupUi(this);
}

DialogSuppliesTempLimits::~DialogSuppliesTempLimits()
{
    delete m_ui;
}

void DialogSuppliesTempLimits::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateModuleSupplyP5, this, &DialogSuppliesTempLimits::updateModuleSupplyP5);
    connect(session, &CrateSession::updateModuleSupplyP12, this, &DialogSuppliesTempLimits::updateModuleSupplyP12);
    connect(session, &CrateSession::updateModuleSupplyN12, this, &DialogSuppliesTempLimits::updateModuleSupplyN12);
    connect(session, &CrateSession::updateModuleTemperature, this, &DialogSuppliesTempLimits::updateModuleTemperature);
    connect(session, &CrateSession::updateModuleVoltageHardwareLimit, this,
            &DialogSuppliesTempLimits::updateModuleVoltageHardwareLimit);
    connect(session, &CrateSession::updateModuleCurrentHardwareLimit, this,
            &DialogSuppliesTempLimits::updateModuleCurrentHardwareLimit);
}

void DialogSuppliesTempLimits::updateModuleSupplyP5(int, float p5)
{
    m_ui->lcdP5->display(double(p5));
}

void DialogSuppliesTempLimits::updateModuleSupplyP12(int, float p12)
{
    m_ui->lcdP12->display(double(p12));
}

void DialogSuppliesTempLimits::updateModuleSupplyN12(int, float n12)
{
    m_ui->lcdN12->display(double(n12));
}

void DialogSuppliesTempLimits::updateModuleVoltageHardwareLimit(int, float vlimit)
{
    m_ui->lcdVmax->display(double(vlimit));
}

void DialogSuppliesTempLimits::updateModuleCurrentHardwareLimit(int, float ilimit)
{
    m_ui->lcdImax->display(double(ilimit));
}

void DialogSuppliesTempLimits::updateModuleTemperature(int, int index, float temperature)
{
    switch (index) {
    case 1:
        m_ui->lcdTemp1->display(double(temperature));
        break;
    case 2:
        m_ui->lcdTemp2->display(double(temperature));
        break;
    case 3:
        m_ui->lcdTemp3->display(double(temperature));
        break;
    default:
        m_ui->lcdTemp0->display(double(temperature));
        break;
    }
}
