#include "resolution.h"

#include "applog.h"
#include "product.h"
#include "settings.h"

#include <QSettings>
#include <QStringList>

namespace
{
const QString microAmpere = QStringLiteral("\u00B5A");
const QString storedMicroAmpere = QStringLiteral("uA");
} // namespace

Resolution::Resolution(QObject *parent)
    : QObject(parent), m_organisation(QString::fromLatin1(Product::Organisation)),
      m_application(QString::fromLatin1(Product::ResolutionStore)),
      m_defaultGroupName(QStringLiteral("default")), m_voltageUnit(QStringLiteral("V")),
      m_currentUnit(QStringLiteral("mA")), m_lowCurrentUnit(storedMicroAmpere)
{
}

QStringList Resolution::keys()
{
    return {QStringLiteral("useControllerUnits"), QStringLiteral("voltageUnit"),
            QStringLiteral("voltagePrecision"),   QStringLiteral("currentUnit"),
            QStringLiteral("currentPrecision"),   QStringLiteral("lowCurrentUnit"),
            QStringLiteral("lowCurrentPrecision")};
}

QString Resolution::storedUnit(const QString &unit)
{
    return unit == microAmpere ? storedMicroAmpere : unit;
}

QString Resolution::displayUnit(const QString &unit)
{
    return unit == storedMicroAmpere ? microAmpere : unit;
}

void Resolution::setSerialNumber(int value)
{
    m_serialNumber = value;
}

void Resolution::setFirmwareName(QString value)
{
    m_firmwareName = value;
}

QString Resolution::groupOf(int scope) const
{
    switch (scope) {
    case SerialNumberScope:
        return QString::number(m_serialNumber);
    case FirmwareScope:
        return m_firmwareName;
    default:
        return m_defaultGroupName;
    }
}

QString Resolution::readKey(QSettings &store, const QString &key, int *foundScope) const
{
    for (int scope = SerialNumberScope; scope >= DefaultScope; --scope) {
        const QString group = groupOf(scope);
        // An empty firmware name is no group: reading it would read the top level.
        if (group.isEmpty())
            continue;
        const QString value = store.value(group + QLatin1Char('/') + key).toString();
        if (!value.isEmpty()) {
            *foundScope = scope;
            return value;
        }
    }
    *foundScope = DefaultScope;
    return QString();
}

void Resolution::load()
{
    auto store = Settings::store(m_application);
    int found = DefaultScope;
    const auto readInt = [&](const QString &key, int &field) {
        const QString text = readKey(*store, key, &found);
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        if (ok)
            field = value;
    };
    const auto readString = [&](const QString &key, QString &field) {
        const QString text = readKey(*store, key, &found);
        if (!text.isEmpty())
            field = storedUnit(text);
    };
    const QStringList k = keys();
    readInt(k[0], m_useControllerUnits);
    readString(k[1], m_voltageUnit);
    readInt(k[2], m_voltagePrecision);
    readString(k[3], m_currentUnit);
    readInt(k[4], m_currentPrecision);
    readString(k[5], m_lowCurrentUnit);
    readInt(k[6], m_lowCurrentPrecision);
    // The scope reflects the group the last key came from.
    m_scope = found;
}

void Resolution::save(int scope)
{
    scope = qBound(int(DefaultScope), scope, int(SerialNumberScope));
    const QString group = groupOf(scope);
    if (group.isEmpty()) {
        // Leave the scope and the group being left alone: removing them with
        // nothing written in their place would lose the module's values.
        qCWarning(lcApp) << "display settings not saved: the module has no firmware name to save them under";
        return;
    }
    auto store = Settings::store(m_application);
    if (scope < m_scope) {
        const QString leaving = groupOf(m_scope);
        if (!leaving.isEmpty()) {
            store->beginGroup(leaving);
            for (const QString &key : keys())
                store->remove(key);
            store->endGroup();
        }
    }
    m_scope = scope;
    store->beginGroup(group);
    const QStringList k = keys();
    store->setValue(k[0], m_useControllerUnits);
    store->setValue(k[1], storedUnit(m_voltageUnit));
    store->setValue(k[2], m_voltagePrecision);
    store->setValue(k[3], storedUnit(m_currentUnit));
    store->setValue(k[4], m_currentPrecision);
    store->setValue(k[5], storedUnit(m_lowCurrentUnit));
    store->setValue(k[6], m_lowCurrentPrecision);
    store->endGroup();
    store->sync();
}
