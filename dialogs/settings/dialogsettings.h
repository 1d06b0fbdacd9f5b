#pragma once
// Display format of a module's values: units and precisions for voltage,
// current and low current, and the scope they are stored for (every module,
// every module with the current module's firmware name, or this module only).
// OK stores them through Resolution; modules pick the stored format up when
// they load their display settings again.

#include <QDialog>
#include <QString>

class CrateSession;
class QComboBox;
class Resolution;

namespace Ui {
class DialogSettings;
}

class DialogSettings : public QDialog
{
    Q_OBJECT

public:
    explicit DialogSettings(QWidget *parent = nullptr);
    ~DialogSettings() override;

    // A saved format makes the session's modules load theirs again.
    void bind(CrateSession *session);

    // Fills every field from a loaded Resolution: the module's identity, the
    // values, and the scope they were found at.
    void setResolution(const Resolution &resolution);

    void setUseControllerUnits(bool on);
    bool useControllerUnits() const;
    void setFirmwareName(const QString &firmwareName);
    QString firmwareName() const { return m_firmwareName; }
    void setSerialNumber(int serialNumber);
    int serialNumber() const { return m_serialNumber; }
    // 0 all modules, 1 modules with the firmware name, 2 this module.
    void setScope(int scope);
    int scope() const;

    // Exact, case-sensitive match; an empty unit selects "Exp".
    void setVoltageUnit(const QString &unit);
    void setCurrentUnit(const QString &unit);
    void setLowCurrentUnit(const QString &unit);
    QString voltageUnit() const;
    QString currentUnit() const;
    QString lowCurrentUnit() const;

    void setVoltagePrecision(int precision);
    void setCurrentPrecision(int precision);
    void setLowCurrentPrecision(int precision);
    int voltagePrecision() const;
    int currentPrecision() const;
    int lowCurrentPrecision() const;

public slots:
    void accept() override;

signals:
    // The format was stored for this module at this scope; whoever owns the
    // modules lets them load their display settings again.
    void resolutionSaved(int serialNumber, int scope);

private slots:
    void on_controllerSettings_clicked();
    void on_userSettings_clicked();

private:
    // A unit text the combo does not offer selects the unit the module falls back to.
    static void selectUnit(QComboBox *combo, const QString &unit, const QString &fallback);
    void setFormatGroupsEnabled(bool enabled);

    Ui::DialogSettings *m_ui;
    QString m_firmwareName;
    int m_serialNumber = 0;
};
