#pragma once
// Calibration work: switches the current measurement range of the current module.

#include <QDialog>

#include "vexatypes.h"

class CrateSession;

namespace Ui {
class DialogCalibrationControl;
}

class DialogCalibrationControl : public QDialog
{
    Q_OBJECT

public:
    // The two ranges the module offers for calibration.
    static constexpr CurrentMeasurementRange HighRange = CurrentMeasurementRange(0);
    static constexpr CurrentMeasurementRange LowRange = CurrentMeasurementRange(1);

    explicit DialogCalibrationControl(QWidget *parent = nullptr);
    ~DialogCalibrationControl() override;

    void bind(CrateSession *session);

signals:
    void setCurrentMeasurementRange(CurrentMeasurementRange range);

private slots:
    void on_buttonHighRange_clicked();
    void on_buttonLowRange_clicked();

private:
    Ui::DialogCalibrationControl *m_ui;
};
