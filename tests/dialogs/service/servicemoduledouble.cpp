#include "servicemoduledouble.h"

#include <QTimer>

ServiceModuleDouble::ServiceModuleDouble(int serial, QObject *parent)
    : QObject(parent)
    , serialNumber(serial)
    , m_pump(new QTimer(this))
{
    connect(m_pump, &QTimer::timeout, this, &ServiceModuleDouble::report);
}

QByteArray ServiceModuleDouble::sRecord(char type, quint32 address, const QByteArray &data)
{
    const int addressBytes = (type == '2' || type == '8') ? 3 : (type == '3' || type == '7') ? 4 : 2;
    QByteArray bytes;
    bytes.append(char(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.append(char((address >> (8 * i)) & 0xFF));
    bytes.append(data);
    quint8 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    bytes.append(char(0xFF - sum));
    return QByteArray("S") + type + bytes.toHex().toUpper();
}

bool ServiceModuleDouble::checksumOk(const QByteArray &line)
{
    if (line.size() < 4 || line.at(0) != 'S' || (line.size() % 2) != 0)
        return false;
    const QByteArray bytes = QByteArray::fromHex(line.mid(2));
    if (bytes.size() * 2 != line.size() - 2 || quint8(bytes.at(0)) != bytes.size() - 1)
        return false;
    quint8 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    return sum == 0xFF;
}

void ServiceModuleDouble::startReporting(int interval)
{
    m_pump->start(interval);
}

void ServiceModuleDouble::stopReporting()
{
    m_pump->stop();
}

void ServiceModuleDouble::report()
{
    ModuleStatus moduleStatus;
    moduleStatus.setIsSPMD(specialMode);
    emit updateModuleStatus(serialNumber, moduleStatus);
    emit updateModuleSpecialControlStatus(serialNumber, control, status);
}

void ServiceModuleDouble::setModuleControl(int, ModuleControl moduleControl)
{
    controls.append(moduleControl);
    specialMode = takesSpecialMode && moduleControl.bit0();
}

void ServiceModuleDouble::startPass(Pass pass, quint32 command)
{
    // Asked again before the first line: the same pass, from its start.
    control = command;
    m_pass = pass;
    m_index = 0;
    if (command == 3)
        m_written.clear();
    status = 0x81;
}

void ServiceModuleDouble::setSpecialControl(int, quint32 command)
{
    commands.append(command);
    switch (command) {
    case 1:
        control = 1;
        if (m_pass != NoPass && !(stickyChecksumError && status == 0x92))
            status = 0x81;
        break;
    case 3:
        startPass(WritePass, command);
        break;
    case 4:
        startPass(ComparePass, command);
        break;
    case 5:
        // Verifying compares against what the write pass left.
        flash = m_written;
        startPass(ComparePass, command);
        break;
    case 6:
        control = 6;
        m_pass = NoPass;
        status = 0;
        break;
    case 7:
        control = 7;
        m_pass = NoPass;
        status = 0;
        break;
    default:
        control = command;
        break;
    }
}

void ServiceModuleDouble::sendHexLine(int, QByteArray line)
{
    received.append(line);
    if (m_pass == NoPass)
        return;
    if (m_index == swallowLine) {
        swallowLine = -1;
        return;
    }
    if (!checksumOk(line) || rejections.value(m_index) > 0) {
        if (rejections.value(m_index) > 0)
            rejections[m_index] -= 1;
        status = 0x92;
        return;
    }
    if (m_pass == WritePass) {
        m_written.append(line);
    } else if (m_index >= flash.size() || flash.at(m_index) != line) {
        status = 0x96;
        return;
    }
    ++m_index;
    status = 0x84;
}
