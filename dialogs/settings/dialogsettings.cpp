#include "dialogsettings.h"
#include "ui_dialogsettings.h"

#include "cratesession.h"
#include "resolution.h"

#include <QComboBox>

DialogSettings::DialogSettings(QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::DialogSettings)
{
    m_ui->setupUi(this);
    setFirmwareName(QString());
    setSerialNumber(0);
    setUseControllerUnits(true);
    setScope(Resolution::DefaultScope);
}

DialogSettings::~DialogSettings()
{
    delete m_ui;
}

void DialogSettings::bind(CrateSession *session)
{
    connect(this, &DialogSettings::resolutionSaved, session, &CrateSession::reloadResolution);
}

void DialogSettings::setResolution(const Resolution &resolution)
{
    setFirmwareName(resolution.firmwareName());
    setSerialNumber(resolution.serialNumber());
    setUseControllerUnits(resolution.useControllerUnits() != 0);
    setVoltageUnit(resolution.voltageUnit());
    setVoltagePrecision(resolution.voltagePrecision());
    setCurrentUnit(resolution.currentUnit());
    setCurrentPrecision(resolution.currentPrecision());
    setLowCurrentUnit(resolution.lowCurrentUnit());
    setLowCurrentPrecision(resolution.lowCurrentPrecision());
    setScope(resolution.scope());
}

void DialogSettings::setFormatGroupsEnabled(bool enabled)
{
    m_ui->grpVoltageFormat->setEnabled(enabled);
    m_ui->grpCurrentFormat->setEnabled(enabled);
    m_ui->grpLowCurrentFormat->setEnabled(enabled);
}

void DialogSettings::setUseControllerUnits(bool on)
{
    if (on)
        m_ui->controllerSettings->setChecked(true);
    else
        m_ui->userSettings->setChecked(true);
    setFormatGroupsEnabled(!on);
}

bool DialogSettings::useControllerUnits() const
{
    return m_ui->controllerSettings->isChecked();
}

void DialogSettings::on_controllerSettings_clicked()
{
    setFormatGroupsEnabled(false);
}

void DialogSettings::on_userSettings_clicked()
{
    setFormatGroupsEnabled(true);
}

void DialogSettings::setFirmwareName(const QString &firmwareName)
{
    m_firmwareName = firmwareName;
    m_ui->modulesWithFirmwareName->setText(tr("All modules with firmware name %1").arg(firmwareName));
    // Without a firmware name there is no group to store the format under.
    m_ui->modulesWithFirmwareName->setEnabled(!firmwareName.isEmpty());
    if (firmwareName.isEmpty() && m_ui->modulesWithFirmwareName->isChecked())
        m_ui->moduleWithSerialNumber->setChecked(true);
}

void DialogSettings::setSerialNumber(int serialNumber)
{
    m_serialNumber = serialNumber;
    m_ui->moduleWithSerialNumber->setText(tr("Selected module (serial number %1)").arg(serialNumber));
}

void DialogSettings::setScope(int scope)
{
    if (scope == Resolution::SerialNumberScope
        || (scope == Resolution::FirmwareScope && m_firmwareName.isEmpty()))
        m_ui->moduleWithSerialNumber->setChecked(true);
    else if (scope == Resolution::FirmwareScope)
        m_ui->modulesWithFirmwareName->setChecked(true);
    else
        m_ui->allModules->setChecked(true);
}

int DialogSettings::scope() const
{
    if (m_ui->allModules->isChecked())
        return Resolution::DefaultScope;
    if (m_ui->modulesWithFirmwareName->isChecked())
        return Resolution::FirmwareScope;
    return Resolution::SerialNumberScope;
}

void DialogSettings::selectUnit(QComboBox *combo, const QString &unit, const QString &fallback)
{
    int index = combo->findText(unit.isEmpty() ? QStringLiteral("Exp") : unit, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        index = combo->findText(fallback, Qt::MatchExactly | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(index);
}

void DialogSettings::setVoltageUnit(const QString &unit)
{
    selectUnit(m_ui->voltageUnit, unit, QStringLiteral("V"));
}

void DialogSettings::setCurrentUnit(const QString &unit)
{
    // A stored "uA" stands for the micro sign the combo shows.
    selectUnit(m_ui->currentUnit, Resolution::displayUnit(unit), QStringLiteral("A"));
}

void DialogSettings::setLowCurrentUnit(const QString &unit)
{
    selectUnit(m_ui->lowCurrentUnit, Resolution::displayUnit(unit), QStringLiteral("A"));
}

QString DialogSettings::voltageUnit() const
{
    return m_ui->voltageUnit->currentText();
}

QString DialogSettings::currentUnit() const
{
    return m_ui->currentUnit->currentText();
}

QString DialogSettings::lowCurrentUnit() const
{
    return m_ui->lowCurrentUnit->currentText();
}

void DialogSettings::setVoltagePrecision(int precision)
{
    m_ui->voltagePrecision->setValue(precision);
}

void DialogSettings::setCurrentPrecision(int precision)
{
    m_ui->currentPrecision->setValue(precision);
}

void DialogSettings::setLowCurrentPrecision(int precision)
{
    m_ui->lowCurrentPrecision->setValue(precision);
}

int DialogSettings::voltagePrecision() const
{
    return m_ui->voltagePrecision->value();
}

int DialogSettings::currentPrecision() const
{
    return m_ui->currentPrecision->value();
}

int DialogSettings::lowCurrentPrecision() const
{
    return m_ui->lowCurrentPrecision->value();
}

void DialogSettings::accept()
{
    Resolution resolution;
    resolution.setFirmwareName(m_firmwareName);
    resolution.setSerialNumber(m_serialNumber);
    // Loading first tells where this module's format is stored now, so that
    // saving at a wider scope empties the narrower group instead of leaving it
    // to override what was just saved.
    resolution.load();
    resolution.setUseControllerUnits(useControllerUnits() ? 1 : 0);
    resolution.setVoltageUnit(voltageUnit());
    resolution.setVoltagePrecision(voltagePrecision());
    resolution.setCurrentUnit(currentUnit());
    resolution.setCurrentPrecision(currentPrecision());
    resolution.setLowCurrentUnit(lowCurrentUnit());
    resolution.setLowCurrentPrecision(lowCurrentPrecision());
    const int target = scope();
    // One scope at a time: each step down empties the group it leaves, so from
    // the serial-number group to "default" the firmware group goes as well.
    for (int step = resolution.scope() - 1; step > target; --step)
        resolution.save(step);
    resolution.save(target);
    emit resolutionSaved(m_serialNumber, target);
    QDialog::accept();
}
