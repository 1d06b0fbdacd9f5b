// The main window's display-format, calibration and special-mode dialogs.

#include "vexacontrol.h"

#include "basemodule.h"
#include "dialogcalibrationcontrol.h"
#include "dialogsettings.h"
#include "dialogspecial.h"
#include "resolution.h"
#include "settings.h"

namespace {
void loadResolution(Resolution &resolution, BaseModule *module)
{
    resolution.setSerialNumber(module->serialNumber());
    resolution.setFirmwareName(module->firmwareName());
    resolution.load();
}
} // namespace

void VexaControl::on_actionSettings_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    auto *dialog = new DialogSettings(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    Resolution resolution;
    loadResolution(resolution, module);
    dialog->setResolution(resolution);
    connect(dialog, &DialogSettings::resolutionSaved, this, &VexaControl::reloadResolution);
    dialog->open();
}

void VexaControl::reloadResolution()
{
    for (BaseModule *module : std::as_const(m_modules)) {
        Resolution resolution;
        loadResolution(resolution, module);
        module->setVoltageUnit(resolution.voltageUnit());
        module->setVoltagePrecision(resolution.voltagePrecision());
        module->setCurrentUnit(resolution.currentUnit());
        module->setCurrentPrecision(resolution.currentPrecision());
        module->setLowCurrentUnit(resolution.lowCurrentUnit());
        module->setLowCurrentPrecision(resolution.lowCurrentPrecision());
    }
    // Back to its first connection: the next tick sets the table up with the new units.
    BaseModule *current = currentModule();
    if (current && current->connectionState() == ModuleConnectionState::Connected)
        current->setConnectionState(ModuleConnectionState::Connecting);
}

void VexaControl::on_actionCalibrationControl_triggered()
{
    auto *dialog = qobject_cast<DialogCalibrationControl *>(m_dialogCalibrationControl.data());
    if (!dialog) {
        dialog = new DialogCalibrationControl(this);
        m_dialogCalibrationControl = dialog;
        connect(dialog, &DialogCalibrationControl::setCurrentMeasurementRange, this,
                &VexaControl::setFactoryCurrenMeasurementRange);
    }
    dialog->show();
    dialog->activateWindow();
}

void VexaControl::setSpecialReportsEnabled(bool enabled)
{
    m_specialReports = enabled;
}

void VexaControl::on_actionSpecialMode_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    auto *dialog = qobject_cast<DialogSpecial *>(m_dialogSpecial.data());
    if (!dialog) {
        dialog = new DialogSpecial(this);
        m_dialogSpecial = dialog;
        connect(this, &VexaControl::updateModuleControl, dialog, &DialogSpecial::updateModuleControl);
        connect(this, &VexaControl::updateModuleStatus, dialog, &DialogSpecial::updateModuleStatus);
        connect(this, &VexaControl::updateModuleSpecialControlStatus, dialog,
                &DialogSpecial::updateModuleSpecialControlStatus);
        connect(dialog, &DialogSpecial::setModuleControl, this, &VexaControl::setModuleControl);
        connect(dialog, &DialogSpecial::setSpecialControl, this, &VexaControl::setSpecialControl);
        connect(dialog, &DialogSpecial::sendHexLine, this, &VexaControl::sendHexLine);
        connect(dialog, &DialogSpecial::specialReportsWanted, this, &VexaControl::setSpecialReportsEnabled);
    }
    dialog->updateDeviceClass(quint16(module->deviceClass()));
    dialog->setHexFilename(Settings::operatorStore(m_application)->value(QStringLiteral("DefaultHexFileName")).toString());
    dialog->show();
    dialog->activateWindow();
}
