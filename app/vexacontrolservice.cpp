// The main window's display-format, calibration and special-mode dialogs.

#include "vexacontrol.h"

#include "basemodule.h"
#include "dialogcalibrationcontrol.h"
#include "dialogsettings.h"
#include "dialogspecial.h"
#include "resolution.h"
#include "settings.h"

void VexaControl::on_actionSettings_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    Resolution resolution;
    resolution.setSerialNumber(module->serialNumber());
    resolution.setFirmwareName(module->firmwareName());
    resolution.load();
    auto *dialog = new DialogSettings(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setResolution(resolution);
    dialog->bind(m_session);
    dialog->open();
}

void VexaControl::on_actionCalibrationControl_triggered()
{
    if (!m_dialogCalibrationControl) {
        auto *dialog = new DialogCalibrationControl(this);
        dialog->bind(m_session);
        m_dialogCalibrationControl = dialog;
    }
    m_dialogCalibrationControl->show();
    m_dialogCalibrationControl->activateWindow();
}

void VexaControl::on_actionSpecialMode_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    auto *dialog = qobject_cast<DialogSpecial *>(m_dialogSpecial.data());
    if (!dialog) {
        dialog = new DialogSpecial(this);
        dialog->bind(m_session);
        m_dialogSpecial = dialog;
    }
    dialog->updateDeviceClass(quint16(module->deviceClass()));
    dialog->setHexFilename(
        Settings::operatorStore(m_application)->value(QStringLiteral("DefaultHexFileName")).toString());
    dialog->show();
    dialog->activateWindow();
}
