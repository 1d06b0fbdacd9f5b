#include "basemodule.h"

#include <QMutexLocker>

namespace {

struct DeviceClassEntry {
    const char *typeCode;
    int deviceClass;
};

// Type code to class. "T16X0" shares class 21 with "T15X0"; the reverse direction
// names the class "T15X0".
const DeviceClassEntry deviceClassTable[] = {
    {"T13X0", 20}, {"T15X0", 21},  {"T16X0", 21}, {"T18X0R", 22}, {"T19X0R", 23}, {"T01X0", 24},
    {"T02X0", 25}, {"T03X0", 26},  {"T04X0", 27}, {"T05X0", 28},  {"T21X0", 29},  {"T06X0", 30},
    {"T07X0", 31}, {"T08X0", 32},  {"T09X0", 35}, {"T10X0", 36},  {"T11X0", 37},  {"T22X0", 38},
    {"T12X0", 39}, {"T23R", 40},   {"T24R", 41},  {"T20X0R", 60}, {"T17X0R", 61}, {"T14X0", 70},
    {"T25X0", 90},
};

const DeviceClassEntry typeCodeTable[] = {
    {"T13X0", 20}, {"T15X0", 21},  {"T18X0R", 22}, {"T19X0R", 23}, {"T01X0", 24}, {"T02X0", 25},
    {"T03X0", 26}, {"T04X0", 27},  {"T05X0", 28},  {"T21X0", 29},  {"T06X0", 30}, {"T07X0", 31},
    {"T08X0", 32}, {"T09X0", 35},  {"T10X0", 36},  {"T11X0", 37},  {"T22X0", 38}, {"T12X0", 39},
    {"T23R", 40},  {"T24R", 41},   {"T20X0R", 60}, {"T17X0R", 61}, {"T14X0", 70}, {"T25X0", 90},
};

const QChar microSign(0x00B5);

// 2^23 / 100 and its inverse, both as the single-precision values the modules use
// for their percent scale.
constexpr float percentUserToSi = 83886.0703125f;
constexpr float percentSiToUser = 1.1920930774067529e-5f;

float convert(float value, float factor)
{
    // Single-precision factor applied in double precision, rounded once at the end.
    return float(double(value) * double(factor));
}

} // namespace

BaseModule::BaseModule(QObject *parent) : QObject(parent) {}

BaseModule::~BaseModule() = default;

// ----- tables -----

int BaseModule::deviceClassForTypeCode(const QString &typeCode)
{
    for (const DeviceClassEntry &entry : deviceClassTable)
        if (typeCode == QLatin1String(entry.typeCode))
            return entry.deviceClass;
    return -1;
}

QString BaseModule::typeCodeForDeviceClass(int deviceClass)
{
    for (const DeviceClassEntry &entry : typeCodeTable)
        if (entry.deviceClass == deviceClass)
            return QString::fromLatin1(entry.typeCode);
    return QString();
}

QString BaseModule::voltageUnitText(int code)
{
    switch (code) {
    case VoltageKV:
        return QStringLiteral("kV");
    case VoltagePercent:
        return QStringLiteral("%");
    case VoltageExp:
        return QStringLiteral("Exp");
    default:
        return QStringLiteral("V");
    }
}

int BaseModule::voltageUnitCode(const QString &unit)
{
    if (unit == QLatin1String("Exp"))
        return VoltageExp;
    if (unit == QLatin1String("kV"))
        return VoltageKV;
    if (unit == QLatin1String("%"))
        return VoltagePercent;
    return VoltageV;
}

QString BaseModule::currentUnitText(int code)
{
    switch (code) {
    case CurrentNA:
        return QStringLiteral("nA");
    case CurrentUA:
        return QString(microSign) + QLatin1Char('A');
    case CurrentMA:
        return QStringLiteral("mA");
    case CurrentPercent:
        return QStringLiteral("%");
    case CurrentExp:
        return QStringLiteral("Exp");
    default:
        return QStringLiteral("A");
    }
}

int BaseModule::currentUnitCode(const QString &unit)
{
    if (unit == QLatin1String("Exp"))
        return CurrentExp;
    if (unit == QLatin1String("nA"))
        return CurrentNA;
    if (unit == QLatin1String("uA") || unit == QString(microSign) + QLatin1Char('A'))
        return CurrentUA;
    if (unit == QLatin1String("mA"))
        return CurrentMA;
    if (unit == QLatin1String("%"))
        return CurrentPercent;
    return CurrentA;
}

float BaseModule::voltageUserToSiFactor(int code)
{
    switch (code) {
    case VoltageKV:
        return 1000.0f;
    case VoltagePercent:
        return percentUserToSi;
    default:
        return 1.0f;
    }
}

float BaseModule::voltageSiToUserFactor(int code)
{
    switch (code) {
    case VoltageKV:
        return 0.001f;
    case VoltagePercent:
        return percentSiToUser;
    default:
        return 1.0f;
    }
}

float BaseModule::currentUserToSiFactor(int code)
{
    switch (code) {
    case CurrentNA:
        return 1e-9f;
    case CurrentUA:
        return 1e-6f;
    case CurrentMA:
        return 0.001f;
    case CurrentPercent:
        return percentUserToSi;
    default:
        return 1.0f;
    }
}

float BaseModule::currentSiToUserFactor(int code)
{
    switch (code) {
    case CurrentNA:
        return 1e9f;
    case CurrentUA:
        return 1e6f;
    case CurrentMA:
        return 1000.0f;
    case CurrentPercent:
        return percentSiToUser;
    default:
        return 1.0f;
    }
}

quint64 BaseModule::channelMask(const QList<int> &channels)
{
    quint64 mask = 0;
    for (int channel : channels)
        if (channel >= 0 && channel < 64)
            mask |= quint64(1) << channel;
    return mask;
}

int BaseModule::voltageUnitCode() const { return m_voltageUnit; }

int BaseModule::currentUnitCode() const { return m_currentUnit; }

int BaseModule::lowCurrentUnitCode() const { return m_lowCurrentUnit; }

// ----- identity -----

QString BaseModule::firmwareName()
{
    QMutexLocker locker(&m_fieldMutex);
    return m_firmwareName;
}

bool BaseModule::isVexaHighVoltage() { return true; }

bool BaseModule::isWienerLowVoltage() { return !isVexaHighVoltage(); }

void BaseModule::setFirmwareName(int deviceClass)
{
    QMutexLocker locker(&m_fieldMutex);
    if (deviceClass == 0 || !m_firmwareName.isEmpty())
        return;
    const QString typeCode = typeCodeForDeviceClass(deviceClass);
    m_firmwareName = typeCode.isEmpty() ? tr("Device Class %1").arg(deviceClass) : typeCode;
}

void BaseModule::setTypeCode(const QString &typeCode)
{
    QMutexLocker locker(&m_fieldMutex);
    m_firmwareName = typeCode;
}

int BaseModule::deviceClass() { return m_deviceClass; }

void BaseModule::setDeviceClass(QString firmwareName) { m_deviceClass = deviceClassForTypeCode(firmwareName); }

ModuleConnectionState BaseModule::connectionState() { return m_connectionState; }

void BaseModule::setConnectionState(ModuleConnectionState value) { m_connectionState = value; }

bool BaseModule::currentControl()
{
    const int dc = deviceClass();
    return dc != 21 && dc != 28 && dc != 29;
}

bool BaseModule::isDelayedTripCapable() { return currentControl() || deviceClass() == 28; }

quint16 BaseModule::baseAddress() { return 0; }

void BaseModule::setBaseAddress(quint16 baseAddress) { Q_UNUSED(baseAddress) }

float BaseModule::maximumVoltageRampSpeed()
{
    return firmwareName() == QLatin1String("T20X0R") ? 1000.0f : 100.0f;
}

bool BaseModule::fineAdjustment() { return true; }

void BaseModule::setFineAdjustment(bool on) { Q_UNUSED(on) }

// ----- groups -----

void BaseModule::setSelectedChannelsOn(QList<int> channels) { setSelectedChannelsOn(channelMask(channels)); }

void BaseModule::setSelectedChannelsOff(QList<int> channels) { setSelectedChannelsOff(channelMask(channels)); }

void BaseModule::setSelectedChannelsEmergencyOff(QList<int> channels)
{
    setSelectedChannelsEmergencyOff(channelMask(channels));
}

void BaseModule::clearSelectedChannelsEmergencyOff(QList<int> channels)
{
    clearSelectedChannelsEmergencyOff(channelMask(channels));
}

void BaseModule::setAllChannelsDelayedTripAction(OutputSupervisionAction action, int delay)
{
    Q_UNUSED(action)
    Q_UNUSED(delay)
}

void BaseModule::setAllChannelsInhibitAction(OutputSupervisionAction action) { Q_UNUSED(action) }

void BaseModule::setChannelExternalMeasurementEnabled(int channel, bool enabled)
{
    Q_UNUSED(channel)
    Q_UNUSED(enabled)
}

void BaseModule::setChannelRippleMeasurementEnabled(int channel, bool enabled)
{
    Q_UNUSED(channel)
    Q_UNUSED(enabled)
}

void BaseModule::setChannelBothMeasurementsEnabled(int channel, bool enabled)
{
    Q_UNUSED(channel)
    Q_UNUSED(enabled)
}

void BaseModule::doMultiplex() {}

bool BaseModule::canSetResistor() { return false; }

void BaseModule::setResistor(LoadResistor resistor) { Q_UNUSED(resistor) }

LoadResistor BaseModule::resistor() { return LoadResistor::NoResistor; }

// ----- channels -----

void BaseModule::clearChannelEventStatus(int channel)
{
    setChannelEventStatus(channel, ChannelEventStatus::allSet());
}

void BaseModule::refreshAllDelayedTripActions() {}

bool BaseModule::channelDelayedTripEnabled(int channel)
{
    Q_UNUSED(channel)
    return false;
}

bool BaseModule::channelDelayedTripRampDown(int channel)
{
    Q_UNUSED(channel)
    return false;
}

int BaseModule::channelDelayedTripTime(int channel)
{
    Q_UNUSED(channel)
    return 0;
}

OutputSupervisionAction BaseModule::channelDelayedTripAction(int channel)
{
    Q_UNUSED(channel)
    return OutputSupervisionAction(0);
}

void BaseModule::setChannelDelayedTripAction(int channel, OutputSupervisionAction action, int delay)
{
    Q_UNUSED(channel)
    Q_UNUSED(action)
    Q_UNUSED(delay)
}

void BaseModule::refreshAllInhibitActions() {}

OutputSupervisionAction BaseModule::channelInhibitAction(int channel)
{
    Q_UNUSED(channel)
    return OutputSupervisionAction(0);
}

void BaseModule::setChannelInhibitAction(int channel, OutputSupervisionAction action)
{
    Q_UNUSED(channel)
    Q_UNUSED(action)
}

bool BaseModule::canSetAsymmetricBounds() { return false; }

float BaseModule::channelVoltageRiseRate(int channel)
{
    Q_UNUSED(channel)
    return 0.0f;
}

float BaseModule::channelVoltageFallRate(int channel)
{
    Q_UNUSED(channel)
    return 0.0f;
}

void BaseModule::setChannelVoltageRiseRate(int channel, float voltageRiseRate)
{
    Q_UNUSED(channel)
    Q_UNUSED(voltageRiseRate)
}

void BaseModule::setChannelVoltageFallRate(int channel, float voltageFallRate)
{
    Q_UNUSED(channel)
    Q_UNUSED(voltageFallRate)
}

// ----- units and formatting -----

bool BaseModule::useControllerUnits() { return false; }

void BaseModule::setUseControllerUnits(bool controllerUnits) { Q_UNUSED(controllerUnits) }

float BaseModule::userVoltageToSiVoltage(float value)
{
    return convert(value, voltageUserToSiFactor(voltageUnitCode()));
}

float BaseModule::siVoltageToUserVoltage(float value)
{
    return convert(value, voltageSiToUserFactor(voltageUnitCode()));
}

QString BaseModule::formatValue(double value, double factor, bool exponent, int precision) const
{
    return QStringLiteral("%L1").arg(value * factor, 0, exponent ? 'E' : 'f', precision, QLatin1Char(' '));
}

QString BaseModule::formatVoltage(double value)
{
    const int unit = m_voltageUnit;
    const int precision = m_voltagePrecision;
    return formatValue(value, voltageSiToUserFactor(unit), unit == VoltageExp, precision);
}

QString BaseModule::formatVoltageUnit(double value)
{
    return QStringLiteral("%1 %2").arg(formatVoltage(value), voltageUnit(0));
}

QString BaseModule::voltageUnit(int channel)
{
    Q_UNUSED(channel)
    return voltageUnitText(voltageUnitCode());
}

void BaseModule::setVoltageUnit(QString unit) { m_voltageUnit = voltageUnitCode(unit); }

int BaseModule::voltagePrecision() { return m_voltagePrecision; }

void BaseModule::setVoltagePrecision(int precision) { m_voltagePrecision = precision; }

float BaseModule::userCurrentToSiCurrent(float userCurrent)
{
    return convert(userCurrent, currentUserToSiFactor(currentUnitCode()));
}

float BaseModule::siCurrentToUserCurrent(float siCurrent)
{
    return convert(siCurrent, currentSiToUserFactor(currentUnitCode()));
}

float BaseModule::siCurrentToLowUserCurrent(float siCurrent)
{
    return convert(siCurrent, currentSiToUserFactor(lowCurrentUnitCode()));
}

QString BaseModule::formatCurrent(double value)
{
    const int unit = m_currentUnit;
    const int precision = m_currentPrecision;
    return formatValue(value, currentSiToUserFactor(unit), unit == CurrentExp, precision);
}

QString BaseModule::formatLowCurrent(double value)
{
    const int unit = m_lowCurrentUnit;
    const int precision = m_lowCurrentPrecision;
    return formatValue(value, currentSiToUserFactor(unit), unit == CurrentExp, precision);
}

QString BaseModule::formatCurrentUnit(double value, bool lowRange)
{
    if (lowRange)
        return formatLowCurrent(value) + QLatin1Char(' ') + lowCurrentUnit(0);
    return formatCurrent(value) + QLatin1Char(' ') + currentUnit(0);
}

QString BaseModule::currentUnit(int channel)
{
    Q_UNUSED(channel)
    return currentUnitText(currentUnitCode());
}

void BaseModule::setCurrentUnit(QString unit) { m_currentUnit = currentUnitCode(unit); }

QString BaseModule::lowCurrentUnit(int channel)
{
    Q_UNUSED(channel)
    return currentUnitText(lowCurrentUnitCode());
}

void BaseModule::setLowCurrentUnit(QString unit) { m_lowCurrentUnit = currentUnitCode(unit); }

int BaseModule::currentPrecision() { return m_currentPrecision; }

void BaseModule::setCurrentPrecision(int precision) { m_currentPrecision = precision; }

int BaseModule::lowCurrentPrecision() { return m_lowCurrentPrecision; }

void BaseModule::setLowCurrentPrecision(int precision) { m_lowCurrentPrecision = precision; }

// ----- factory -----

FactoryMode BaseModule::factoryMode() { return FactoryMode(0); }

void BaseModule::setFactoryMode(FactoryMode factoryMode) { Q_UNUSED(factoryMode) }

void BaseModule::setFactoryCurrentMeasurementRange(CurrentMeasurementRange range) { Q_UNUSED(range) }

float BaseModule::factoryInternalPositiveOpv() { return 0.0f; }

float BaseModule::factoryInternalNegativeOpv() { return 0.0f; }
