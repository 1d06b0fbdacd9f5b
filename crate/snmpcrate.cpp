#include "snmpcrate.h"

#include "cratelog.h"
#include "snmpcontroller.h"

#include <QRegularExpression>

SnmpCrate::SnmpCrate(SnmpController *controller, const QString &address)
    : m_controller(controller), m_address(address)
{
    const QString description =
        m_controller ? m_controller->callText(&WienerSnmpFunctions::getSysDescr) : QString();
    m_firmwareRelease = firmwareReleaseFromDescription(description);
    m_serialNumber = serialNumberFromDescription(description);
    qCDebug(lcCrate).noquote() << "crate" << address << "serial" << m_serialNumber << "firmware"
                               << m_firmwareRelease;
}

SnmpCrate::~SnmpCrate() = default;

int SnmpCrate::serialNumberFromDescription(const QString &description)
{
    static const QRegularExpression pattern(QStringLiteral("\\((\\d+),"));
    const QRegularExpressionMatch match = pattern.match(description);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString SnmpCrate::firmwareReleaseFromDescription(const QString &description)
{
    static const QRegularExpression pattern(QStringLiteral("MPOD \\d+\\.\\d+\\.\\d+\\.\\d+"));
    const QRegularExpressionMatch match = pattern.match(description);
    return match.hasMatch() ? match.captured(0) : QString();
}

float SnmpCrate::supply5V() { return 0.0f; }

float SnmpCrate::supply24V()
{
    return float(m_controller->call(&WienerSnmpFunctions::getPsAuxVoltage, 4));
}

float SnmpCrate::battery24V() { return 0.0f; }

float SnmpCrate::temperatureBackPlane() { return 0.0f; }

float SnmpCrate::temperaturePowerSupply() { return 0.0f; }

float SnmpCrate::fanSpeed() { return float(m_controller->call(&WienerSnmpFunctions::getFanNominalSpeed)); }

void SnmpCrate::setFanSpeed(int speed) { m_controller->call(&WienerSnmpFunctions::setFanNominalSpeed, speed); }

float SnmpCrate::fanStageBackPlane() { return 0.0f; }

float SnmpCrate::fanStagePowerSupply() { return 0.0f; }

int SnmpCrate::status() { return 0; }

int SnmpCrate::eventStatus() { return 0; }

bool SnmpCrate::statusACLinePower() { return true; }

bool SnmpCrate::powerOn() { return m_controller->call(&WienerSnmpFunctions::getMainSwitch) != 0; }

void SnmpCrate::setPowerOn(bool on) { m_controller->call(&WienerSnmpFunctions::setMainSwitch, on ? 1 : 0); }

int SnmpCrate::serialNumber() { return m_serialNumber; }

QString SnmpCrate::firmwareRelease() { return m_firmwareRelease; }

QString SnmpCrate::address() { return m_address; }

int SnmpCrate::bitRate() { return 125; }

bool SnmpCrate::alive() { return true; }

bool SnmpCrate::alarmFlag() { return false; }

QString SnmpCrate::alarmInformation() { return QString(); }

float SnmpCrate::alarmValue() { return 0.0f; }

void SnmpCrate::doClear() {}
