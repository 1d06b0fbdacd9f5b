#pragma once
// Display of the current module's supplies, temperatures and hardware limits.

#include <QDialog>

class CrateSession;

namespace Ui {
class DialogSuppliesTempLimits;
}

class DialogSuppliesTempLimits : public QDialog
{
    Q_OBJECT

public:
    explicit DialogSuppliesTempLimits(QWidget *parent = nullptr);
    ~DialogSuppliesTempLimits() override;

    void bind(CrateSession *session);

public slots:
    void updateModuleSupplyP5(int serialNumber, float p5);
    void updateModuleSupplyP12(int serialNumber, float p12);
    void updateModuleSupplyN12(int serialNumber, float n12);
    void updateModuleVoltageHardwareLimit(int serialNumber, float vlimit);
    void updateModuleCurrentHardwareLimit(int serialNumber, float ilimit);
    void updateModuleTemperature(int serialNumber, int index, float temperature);

private:
    Ui::DialogSuppliesTempLimits *m_ui;
};
