#pragma once
// Display units and precisions of one module's values, kept in the store
// "resolution" at one of three scopes: the module's serial number, its firmware
// name, or the group "default". Loading falls back from the most specific group
// to the least specific one key by key.

#include <QObject>
#include <QString>

class QSettings;

class Resolution : public QObject
{
    Q_OBJECT

public:
    enum Scope {
        DefaultScope = 0,
        FirmwareScope = 1,
        SerialNumberScope = 2,
    };

    explicit Resolution(QObject *parent = nullptr);

    // Fills all seven values from the store (serial number, firmware, default, built-in).
    void load();
    // Writes all seven values into the group of the scope; going to a lower scope
    // first removes the keys of the group being left.
    void save(int scope);

    QString organisation() const { return m_organisation; }
    QString application() const { return m_application; }
    QString defaultGroupName() const { return m_defaultGroupName; }
    QString firmwareName() const { return m_firmwareName; }
    int serialNumber() const { return m_serialNumber; }
    int scope() const { return m_scope; }

    int useControllerUnits() const { return m_useControllerUnits; }
    QString voltageUnit() const { return m_voltageUnit; }
    int voltagePrecision() const { return m_voltagePrecision; }
    // The current units show "uA" as micro sign + "A".
    QString currentUnit() const { return displayUnit(m_currentUnit); }
    int currentPrecision() const { return m_currentPrecision; }
    QString lowCurrentUnit() const { return displayUnit(m_lowCurrentUnit); }
    int lowCurrentPrecision() const { return m_lowCurrentPrecision; }

    void setUseControllerUnits(int value) { m_useControllerUnits = value; }
    void setVoltageUnit(const QString &value) { m_voltageUnit = storedUnit(value); }
    void setVoltagePrecision(int value) { m_voltagePrecision = value; }
    void setCurrentUnit(const QString &value) { m_currentUnit = storedUnit(value); }
    void setCurrentPrecision(int value) { m_currentPrecision = value; }
    void setLowCurrentUnit(const QString &value) { m_lowCurrentUnit = storedUnit(value); }
    void setLowCurrentPrecision(int value) { m_lowCurrentPrecision = value; }

    // The micro sign never reaches the store: "µA" is kept as "uA" and shown as "µA".
    static QString storedUnit(const QString &unit);
    static QString displayUnit(const QString &unit);

    // The seven keys, in load order.
    static QStringList keys();

public slots:
    void setSerialNumber(int value);
    void setFirmwareName(QString value);

private:
    QString groupOf(int scope) const;
    QString readKey(QSettings &store, const QString &key, int *foundScope) const;

    QString m_organisation;
    QString m_application;
    QString m_defaultGroupName;
    QString m_firmwareName;
    int m_serialNumber = 0;
    int m_scope = DefaultScope;
    int m_useControllerUnits = 1;
    QString m_voltageUnit;
    int m_voltagePrecision = 2;
    QString m_currentUnit;
    int m_currentPrecision = 3;
    QString m_lowCurrentUnit;
    int m_lowCurrentPrecision = 4;
};
