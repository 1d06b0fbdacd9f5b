#include "statefile.h"

#include "cratemodel.h"
#include "jsonshape.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

QJsonObject StateFile::capture(const CrateModel &crate, const QJsonObject &canState)
{
    QJsonObject c;
    c.insert(QStringLiteral("ipStaticAddress"), double(crate.ipStaticAddress));
    c.insert(QStringLiteral("fanNominalSpeed"), crate.fanNominalSpeed);
    c.insert(QStringLiteral("fanSwitchOffDelay"), crate.fanSwitchOffDelay);
    QJsonObject modules;
    for (int slot = 0; slot < CrateModel::SlotCount; ++slot) {
        const SimModule *m = crate.module(slot);
        if (!m)
            continue;
        QJsonObject mo;
        mo.insert(QStringLiteral("serialNumber"), m->config().serialNumber);
        mo.insert(QStringLiteral("rampSpeedVoltage"), m->rampSpeedVoltage());
        mo.insert(QStringLiteral("rampSpeedCurrent"), m->rampSpeedCurrent());
        QJsonArray channels;
        for (int n = 0; n < m->channelCount(); ++n) {
            const SimChannel &ch = m->channel(n);
            QJsonObject co;
            co.insert(QStringLiteral("voltageSet"), ch.voltageSet);
            co.insert(QStringLiteral("currentSet"), ch.currentSet);
            co.insert(QStringLiteral("riseRate"), ch.riseRate);
            co.insert(QStringLiteral("fallRate"), ch.fallRate);
            co.insert(QStringLiteral("behaviour"), ch.behaviour);
            co.insert(QStringLiteral("tripTimeMs"), ch.tripTimeMs);
            co.insert(QStringLiteral("maxTerminalVoltage"), ch.maxTerminalVoltage);
            co.insert(QStringLiteral("maxCurrent"), ch.maxCurrent);
            co.insert(QStringLiteral("group"), ch.group);
            channels.append(co);
        }
        mo.insert(QStringLiteral("channels"), channels);
        modules.insert(QString::number(slot), mo);
    }
    QJsonObject state;
    state.insert(QStringLiteral("crate"), c);
    state.insert(QStringLiteral("modules"), modules);
    state.insert(QStringLiteral("can"), canState);
    return state;
}

QJsonObject StateFile::apply(const QJsonObject &state, CrateModel &crate)
{
    const QJsonObject c = state.value(QStringLiteral("crate")).toObject();
    if (c.contains(QStringLiteral("ipStaticAddress")))
        crate.ipStaticAddress = quint32(c.value(QStringLiteral("ipStaticAddress")).toDouble());
    const int fan = c.value(QStringLiteral("fanNominalSpeed")).toInt(crate.fanNominalSpeed);
    if (fan == 0 || (fan >= 1200 && fan <= 3600))
        crate.fanNominalSpeed = fan;
    crate.fanSwitchOffDelay = qBound(0, c.value(QStringLiteral("fanSwitchOffDelay")).toInt(crate.fanSwitchOffDelay), 900);

    const QJsonObject modules = state.value(QStringLiteral("modules")).toObject();
    for (int slot = 0; slot < CrateModel::SlotCount; ++slot) {
        SimModule *m = crate.module(slot);
        const QJsonObject mo = modules.value(QString::number(slot)).toObject();
        // A module only takes back what it stored itself.
        if (!m || mo.value(QStringLiteral("serialNumber")).toInt(-1) != m->config().serialNumber)
            continue;
        m->setRampSpeedVoltage(mo.value(QStringLiteral("rampSpeedVoltage")).toDouble(m->rampSpeedVoltage()));
        m->setRampSpeedCurrent(mo.value(QStringLiteral("rampSpeedCurrent")).toDouble(m->rampSpeedCurrent()));
        const QJsonArray channels = mo.value(QStringLiteral("channels")).toArray();
        for (int n = 0; n < m->channelCount() && n < channels.size(); ++n) {
            SimChannel &ch = m->channel(n);
            const QJsonObject co = channels.at(n).toObject();
            const double vset = co.value(QStringLiteral("voltageSet")).toDouble(ch.voltageSet);
            if (vset >= ch.minimumVoltage() && vset <= ch.nominalVoltage())
                ch.voltageSet = vset;
            const double iset = co.value(QStringLiteral("currentSet")).toDouble(ch.currentSet);
            if (iset >= 0.0 && iset <= ch.nominalCurrent())
                ch.currentSet = iset;
            ch.riseRate = co.value(QStringLiteral("riseRate")).toDouble(ch.riseRate);
            ch.fallRate = co.value(QStringLiteral("fallRate")).toDouble(ch.fallRate);
            ch.behaviour = co.value(QStringLiteral("behaviour")).toInt(ch.behaviour) & 0xFFFF;
            ch.tripTimeMs = qBound(0, co.value(QStringLiteral("tripTimeMs")).toInt(ch.tripTimeMs), 4000);
            ch.maxTerminalVoltage = co.value(QStringLiteral("maxTerminalVoltage")).toDouble(ch.maxTerminalVoltage);
            ch.maxCurrent = co.value(QStringLiteral("maxCurrent")).toDouble(ch.maxCurrent);
            ch.group = co.value(QStringLiteral("group")).toInt(ch.group);
        }
    }
    return state.value(QStringLiteral("can")).toObject();
}

bool StateFile::save(const QString &path, const QJsonObject &state, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write state file %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(state).toJson());
    if (!file.commit()) {
        *error = QStringLiteral("cannot write state file %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool StateFile::read(const QString &path, QJsonObject *state, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *state = QJsonObject();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read state file %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (doc.isNull()) {
        *error = QStringLiteral("state file %1 is not valid JSON at offset %2: %3")
                     .arg(path)
                     .arg(parseError.offset)
                     .arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("state file %1: the top level must be an object").arg(path);
        return false;
    }
    const QString shapeError = JsonShape::checkState(doc.object());
    if (!shapeError.isEmpty()) {
        *error = QStringLiteral("state file %1: %2").arg(path, shapeError);
        return false;
    }
    *state = doc.object();
    return true;
}
