#include "dialogcalibrationcontrol.h"
#include "ui_dialogcalibrationcontrol.h"

#include "cratesession.h"

DialogCalibrationControl::DialogCalibrationControl(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogCalibrationControl)
{
    m_ui->setupUi(this);
}

DialogCalibrationControl::~DialogCalibrationControl()
{
    delete m_ui;
}

void DialogCalibrationControl::bind(CrateSession *session)
{
    connect(this, &DialogCalibrationControl::setCurrentMeasurementRange, session,
            &CrateSession::setFactoryCurrentMeasurementRange);
}

void DialogCalibrationControl::on_buttonHighRange_clicked()
{
    emit setCurrentMeasurementRange(HighRange);
}

void DialogCalibrationControl::on_buttonLowRange_clicked()
{
    emit setCurrentMeasurementRange(LowRange);
}
