#include "cratefile.h"

#include "jsonshape.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QtEndian>

namespace {
// Module types without current regulation.
bool regulatesCurrent(const QString &type)
{
    return type != QLatin1String("T15X0") && type != QLatin1String("T16X0") && type != QLatin1String("T05X0")
           && type != QLatin1String("T21X0");
}

std::vector<double> numbers(const QJsonValue &value)
{
    std::vector<double> out;
    if (value.isArray()) {
        for (const QJsonValue &v : value.toArray())
            out.push_back(v.toDouble());
    } else if (value.isDouble()) {
        out.push_back(value.toDouble());
    }
    return out;
}
} // namespace

bool CrateFile::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool CrateFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read crate file %1: %2").arg(path, file.errorString()));
    if (!parse(file.readAll())) {
        m_error = QStringLiteral("crate file %1: %2").arg(path, m_error);
        return false;
    }
    return true;
}

bool CrateFile::parse(const QByteArray &json)
{
    m_modules.clear();
    m_crate = CrateModel::Config();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull())
        return fail(QStringLiteral("not valid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString()));
    if (!doc.isObject())
        return fail(QStringLiteral("the top level must be an object"));
    const QJsonObject root = doc.object();
    const QString shapeError = JsonShape::checkCrate(root);
    if (!shapeError.isEmpty())
        return fail(shapeError);

    const QJsonObject crate = root.value(QStringLiteral("crate")).toObject();
    m_crate.serialNumber = crate.value(QStringLiteral("serialNumber")).toInt(m_crate.serialNumber);
    m_crate.firmware = crate.value(QStringLiteral("firmware")).toString(m_crate.firmware);
    m_crate.psSerialNumber = crate.value(QStringLiteral("psSerialNumber")).toString(m_crate.psSerialNumber);
    m_crate.fanSerialNumber = crate.value(QStringLiteral("fanSerialNumber")).toString(m_crate.fanSerialNumber);
    m_crate.fanNominalSpeed = crate.value(QStringLiteral("fanNominalSpeed")).toInt(m_crate.fanNominalSpeed);
    m_crate.airTemperature = crate.value(QStringLiteral("airTemperature")).toDouble(m_crate.airTemperature);
    m_crate.bootMs = crate.value(QStringLiteral("bootMs")).toDouble(m_crate.bootMs);
    m_crate.mainSwitch = crate.value(QStringLiteral("mainSwitch")).toBool(m_crate.mainSwitch);
    m_crate.noise = crate.value(QStringLiteral("noise")).toDouble(m_crate.noise);
    if (!(m_crate.noise >= 0.0 && m_crate.noise <= 0.1))
        return fail(QStringLiteral("crate.noise must be 0 to 0.1"));
    if (m_crate.psSerialNumber.isEmpty())
        return fail(QStringLiteral("crate.psSerialNumber must not be empty"));
    if (m_crate.fanNominalSpeed != 0 && (m_crate.fanNominalSpeed < 1200 || m_crate.fanNominalSpeed > 3600))
        return fail(QStringLiteral("crate.fanNominalSpeed must be 0 or 1200 to 3600"));
    const QString ip = crate.value(QStringLiteral("ipStaticAddress")).toString(QStringLiteral("0.0.0.0"));
    QHostAddress address;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return fail(QStringLiteral("crate.ipStaticAddress \"%1\" is not an IPv4 address").arg(ip));
    // First octet in the lowest byte.
    m_crate.ipStaticAddress = qbswap(quint32(address.toIPv4Address()));

    // A crate file without its modules is a mistake, not an empty crate.
    if (!root.contains(QStringLiteral("modules")))
        return fail(QStringLiteral("modules: is missing"));
    QSet<int> usedSlots;
    const QJsonArray modules = root.value(QStringLiteral("modules")).toArray();
    for (int i = 0; i < modules.size(); ++i) {
        const QJsonObject m = modules.at(i).toObject();
        const QString where = QStringLiteral("modules[%1]").arg(i);
        SimModule::Config c;
        c.json = m;
        c.slot = m.value(QStringLiteral("slot")).toInt(-1);
        if (c.slot < 0 || c.slot >= CrateModel::SlotCount)
            return fail(QStringLiteral("%1: slot must be 0 to 9").arg(where));
        if (usedSlots.contains(c.slot))
            return fail(QStringLiteral("%1: slot %2 is used twice").arg(where).arg(c.slot));
        usedSlots.insert(c.slot);
        c.vendor = m.value(QStringLiteral("vendor")).toString(QStringLiteral("vexa"));
        c.typeCode = m.value(QStringLiteral("type")).toString();
        if (c.typeCode.isEmpty())
            return fail(QStringLiteral("%1: type is missing").arg(where));
        c.channels = m.value(QStringLiteral("channels")).toInt(0);
        if (c.channels < 1 || c.channels > MaxChannels)
            return fail(QStringLiteral("%1: channels must be 1 to %2").arg(where).arg(MaxChannels));
        c.serialNumber = m.value(QStringLiteral("serialNumber")).toInt(0);
        c.firmwareRelease = m.value(QStringLiteral("firmwareRelease")).toString(QStringLiteral("01.00"));
        const QString kind = m.value(QStringLiteral("kind")).toString(
            c.typeCode == QLatin1String("T25X0") ? QStringLiteral("measurement") : QStringLiteral("hv"));
        if (kind == QLatin1String("hv"))
            c.kind = SimModule::Kind::HighVoltage;
        else if (kind == QLatin1String("measurement"))
            c.kind = SimModule::Kind::Measurement;
        else if (kind == QLatin1String("lv"))
            c.kind = SimModule::Kind::LowVoltage;
        else
            return fail(QStringLiteral("%1: kind must be hv, measurement or lv").arg(where));
        const QString polarity = m.value(QStringLiteral("polarity")).toString(QStringLiteral("positive"));
        if (polarity != QLatin1String("positive") && polarity != QLatin1String("bipolar"))
            return fail(QStringLiteral("%1: polarity must be positive or bipolar").arg(where));
        c.bipolar = polarity == QLatin1String("bipolar");
        c.currentRegulation = m.value(QStringLiteral("currentRegulation")).toBool(regulatesCurrent(c.typeCode));
        c.nominalVoltage = m.value(QStringLiteral("nominalVoltage")).toDouble(0.0);
        c.nominalCurrent = m.value(QStringLiteral("nominalCurrent")).toDouble(0.0);
        if (!(c.nominalVoltage > 0.0) || !(c.nominalCurrent > 0.0))
            return fail(QStringLiteral("%1: nominalVoltage and nominalCurrent must be positive").arg(where));
        c.rampSpeedVoltage = m.value(QStringLiteral("rampSpeedVoltage")).toDouble(c.rampSpeedVoltage);
        c.rampSpeedCurrent = m.value(QStringLiteral("rampSpeedCurrent")).toDouble(c.rampSpeedCurrent);
        c.hardwareLimitVoltage = m.value(QStringLiteral("hardwareLimitVoltage")).toDouble(c.hardwareLimitVoltage);
        c.hardwareLimitCurrent = m.value(QStringLiteral("hardwareLimitCurrent")).toDouble(c.hardwareLimitCurrent);
        c.temperature = m.value(QStringLiteral("temperature")).toDouble(c.temperature);
        c.loads = numbers(m.value(QStringLiteral("load")));
        for (double ohm : c.loads)
            if (!(ohm > 0.0))
                return fail(QStringLiteral("%1: every load must be a positive resistance in ohm").arg(where));
        c.measuredInputs = numbers(m.value(QStringLiteral("measuredInput")));
        c.bootLoader = m.value(QStringLiteral("bootLoader")).toBool(false);
        m_modules.push_back(c);
    }
    return true;
}
