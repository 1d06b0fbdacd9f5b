#include "objecttable.h"

namespace crateflash {

ObjectTable &ObjectTable::instance()
{
    static ObjectTable table;
    return table;
}

QStringList ObjectTable::names()
{
    static const char *const scalars[ScalarCount] = {
        "sysMainSwitch.0",      "sysStatus.0",        "sysVmeSysReset.0",  "outputNumber.0",
        "groupsNumber.0",       "ipStaticAddress.0",  "psSerialNumber.0",  "psOperatingTime.0",
        "psDirectAccess.0",     "sensorNumber.0",     "fanSerialNumber.0", "fanOperatingTime.0",
        "fanAirTemperature.0",  "fanSwitchOffDelay.0", "fanNominalSpeed.0", "fanNumberOfFans.0",
        "canBitRateHv.0",       "canReceiveHv.0",     "canTransmitHv.0"};
    static const char *const channelObjects[ChannelObjects] = {
        "outputName",
        "outputIndex",
        "outputGroup",
        "outputStatus",
        "outputMeasurementSenseVoltage",
        "outputMeasurementTerminalVoltage",
        "outputMeasurementCurrent",
        "outputMeasurementTemperature",
        "outputSwitch",
        "outputVoltage",
        "outputCurrent",
        "outputVoltageRiseRate",
        "outputVoltageFallRate",
        "outputCurrentRiseRate",
        "outputCurrentFallRate",
        "outputSupervisionBehavior",
        "outputSupervisionMinSenseVoltage",
        "outputSupervisionMaxSenseVoltage",
        "outputSupervisionMaxTerminalVoltage",
        "outputSupervisionMaxCurrent",
        "outputConfigMaxSenseVoltage",
        "outputConfigMaxTerminalVoltage",
        "outputSupervisionMaxPower",
        "outputConfigMaxCurrent"};
    static const char *const sensorObjects[3] = {"sensorTemperature", "sensorWarningThreshold",
                                                 "sensorFailureThreshold"};

    static QStringList list;
    if (!list.isEmpty())
        return list;
    list.reserve(Size);
    for (const char *name : scalars)
        list << QString::fromLatin1(name);
    const auto indexed = [](const char *name, int index) {
        return QStringLiteral("%1.%2").arg(QLatin1String(name)).arg(index);
    };
    for (int slot = 0; slot < Slots; ++slot)
        for (int channel = 0; channel < ChannelsPerSlot; ++channel)
            for (const char *name : channelObjects)
                list << indexed(name, slot * 100 + channel + 1);
    for (int sensor = 1; sensor <= Sensors; ++sensor)
        for (const char *name : sensorObjects)
            list << indexed(name, sensor);
    for (int i = 1; i <= Communities; ++i)
        list << indexed("snmpCommunityName", i);
    for (int i = 1; i <= Fans; ++i)
        list << indexed("fanSpeed", i);
    return list;
}

} // namespace crateflash
