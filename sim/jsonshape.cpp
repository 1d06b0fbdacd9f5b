#include "jsonshape.h"


#include <QJsonArray>
#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr double Unbounded = std::numeric_limits<double>::infinity();
// Largest flash a simulated module may have; also bounds its synthetic image.
constexpr double MaxFlashBytes = 16.0 * 1024 * 1024;

class Checker
{
public:
    QString error;

    bool fail(const QString &path, const QString &what)
    {
        if (error.isEmpty())
            error = QStringLiteral("%1: %2").arg(path, what);
        return false;
    }

    static QString at(const QString &path, const QString &key)
    {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }

    // Optional keys: absent is fine, present must have the right type.
    bool number(const QJsonObject &o, const QString &path, const char *key, double min = -Unbounded,
                double max = Unbounded, bool integer = false)
    {
        const QString k = QLatin1String(key);
        if (!o.contains(k))
            return true;
        return numberValue(o.value(k), at(path, k), min, max, integer);
    }
    bool integer(const QJsonObject &o, const QString &path, const char *key, double min, double max)
    {
        return number(o, path, key, min, max, true);
    }
    bool numberValue(const QJsonValue &v, const QString &path, double min, double max, bool integer)
    {
        if (!v.isDouble())
            return fail(path, QStringLiteral("must be a number"));
        const double d = v.toDouble();
        if (integer && d != std::floor(d))
            return fail(path, QStringLiteral("must be a whole number"));
        if (!(d >= min && d <= max))
            return fail(path, QStringLiteral("must be %1 to %2").arg(min, 0, 'g', 15).arg(max, 0, 'g', 15));
        return true;
    }
    bool string(const QJsonObject &o, const QString &path, const char *key)
    {
        const QString k = QLatin1String(key);
        if (o.contains(k) && !o.value(k).isString())
            return fail(at(path, k), QStringLiteral("must be a string"));
        return true;
    }
    bool boolean(const QJsonObject &o, const QString &path, const char *key)
    {
        const QString k = QLatin1String(key);
        if (o.contains(k) && !o.value(k).isBool())
            return fail(at(path, k), QStringLiteral("must be true or false"));
        return true;
    }
    bool object(const QJsonObject &o, const QString &path, const char *key, QJsonObject *out = nullptr)
    {
        const QString k = QLatin1String(key);
        if (!o.contains(k))
            return true;
        if (!o.value(k).isObject())
            return fail(at(path, k), QStringLiteral("must be an object"));
        if (out)
            *out = o.value(k).toObject();
        return true;
    }
    // A number or an array of numbers.
    bool numbers(const QJsonObject &o, const QString &path, const char *key)
    {
        const QString k = QLatin1String(key);
        if (!o.contains(k))
            return true;
        const QJsonValue v = o.value(k);
        if (v.isDouble())
            return true;
        if (!v.isArray())
            return fail(at(path, k), QStringLiteral("must be a number or an array of numbers"));
        const QJsonArray a = v.toArray();
        for (int i = 0; i < a.size(); ++i)
            if (!numberValue(a.at(i), QStringLiteral("%1[%2]").arg(at(path, k)).arg(i), -Unbounded, Unbounded, false))
                return false;
        return true;
    }
    bool array(const QJsonObject &o, const QString &path, const char *key, QJsonArray *out, bool required)
    {
        const QString k = QLatin1String(key);
        if (!o.contains(k))
            return required ? fail(at(path, k), QStringLiteral("is missing")) : true;
        if (!o.value(k).isArray())
            return fail(at(path, k), QStringLiteral("must be an array"));
        *out = o.value(k).toArray();
        return true;
    }
    // Every element of an array or object must be an object; calls `each` on it.
    bool eachObject(const QJsonArray &a, const QString &path, const std::function<bool(const QJsonObject &, const QString &)> &each)
    {
        for (int i = 0; i < a.size(); ++i) {
            const QString p = QStringLiteral("%1[%2]").arg(path).arg(i);
            if (!a.at(i).isObject())
                return fail(p, QStringLiteral("must be an object"));
            if (!each(a.at(i).toObject(), p))
                return false;
        }
        return true;
    }
    bool eachObject(const QJsonObject &o, const QString &path, const std::function<bool(const QJsonObject &, const QString &)> &each)
    {
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString p = at(path, it.key());
            if (!it.value().isObject())
                return fail(p, QStringLiteral("must be an object"));
            if (!each(it.value().toObject(), p))
                return false;
        }
        return true;
    }

    bool can(const QJsonObject &c, const QString &path)
    {
        QJsonObject registers, events;
        if (!(string(c, path, "device") && string(c, path, "release") && integer(c, path, "serialNumber", 0, 4294967295.0)
              && boolean(c, path, "bootLoader") && string(c, path, "bootLoaderRelease")
              && integer(c, path, "bitRate", 10, 1000) && integer(c, path, "boards", 1, 3)
              && integer(c, path, "flashSize", 0x200, MaxFlashBytes) && object(c, path, "registers", &registers)
              && object(c, path, "eventMemory", &events)))
            return false;
        const double flash = c.value(QLatin1String("flashSize")).toDouble(0x200000);
        if (!integer(c, path, "imageSize", 0, flash))
            return false;
        QJsonArray records;
        return string(events, at(path, QStringLiteral("eventMemory")), "layout")
               && array(events, at(path, QStringLiteral("eventMemory")), "records", &records, false);
    }

    bool module(const QJsonObject &m, const QString &path)
    {
        QJsonObject canObject;
        if (!(integer(m, path, "slot", -Unbounded, Unbounded) && string(m, path, "vendor") && string(m, path, "type")
              && integer(m, path, "channels", -Unbounded, Unbounded)
              && integer(m, path, "serialNumber", 0, std::numeric_limits<int>::max())
              && string(m, path, "firmwareRelease") && string(m, path, "kind") && string(m, path, "polarity")
              && boolean(m, path, "currentRegulation") && number(m, path, "nominalVoltage", 0, 1e6)
              && number(m, path, "nominalCurrent", 0, 1e3) && number(m, path, "rampSpeedVoltage", 0, 1e6)
              && number(m, path, "rampSpeedCurrent", 0, 1e6) && number(m, path, "hardwareLimitVoltage", 0, 1e6)
              && number(m, path, "hardwareLimitCurrent", 0, 1e6) && number(m, path, "temperature", -300, 1e4)
              && numbers(m, path, "load") && numbers(m, path, "measuredInput") && boolean(m, path, "bootLoader")
              && object(m, path, "can", &canObject)))
            return false;
        return can(canObject, at(path, QStringLiteral("can")));
    }
};

} // namespace

QString JsonShape::checkCrate(const QJsonObject &root)
{
    Checker c;
    QJsonObject crate;
    QJsonArray modules;
    const QString p = QStringLiteral("crate");
    if (c.object(root, QString(), "crate", &crate) && c.integer(crate, p, "serialNumber", 0, std::numeric_limits<int>::max())
        && c.string(crate, p, "firmware") && c.string(crate, p, "psSerialNumber") && c.string(crate, p, "fanSerialNumber")
        && c.string(crate, p, "ipStaticAddress") && c.integer(crate, p, "fanNominalSpeed", -Unbounded, Unbounded)
        && c.number(crate, p, "airTemperature", -100, 200) && c.number(crate, p, "bootMs", 0, 3.6e6)
        && c.boolean(crate, p, "mainSwitch") && c.number(crate, p, "noise")
        && c.array(root, QString(), "modules", &modules, false))
        c.eachObject(modules, QStringLiteral("modules"),
                     [&c](const QJsonObject &m, const QString &path) { return c.module(m, path); });
    return c.error;
}

QString JsonShape::checkState(const QJsonObject &root)
{
    Checker c;
    QJsonObject crate, modules, can, nodes;
    const QString p = QStringLiteral("crate");
    if (!(c.object(root, QString(), "crate", &crate) && c.integer(crate, p, "ipStaticAddress", 0, 4294967295.0)
          && c.integer(crate, p, "fanNominalSpeed", 0, 3600) && c.integer(crate, p, "fanSwitchOffDelay", 0, 900)
          && c.object(root, QString(), "modules", &modules) && c.object(root, QString(), "can", &can)
          && c.integer(can, QStringLiteral("can"), "tunnelBitRate", 10000, 1000000)
          && c.object(can, QStringLiteral("can"), "nodes", &nodes)))
        return c.error;
    const bool modulesOk = c.eachObject(modules, QStringLiteral("modules"), [&c](const QJsonObject &m, const QString &path) {
        QJsonArray channels;
        return c.integer(m, path, "serialNumber", 0, std::numeric_limits<int>::max())
               && c.number(m, path, "rampSpeedVoltage", 0, 1e6) && c.number(m, path, "rampSpeedCurrent", 0, 1e6)
               && c.array(m, path, "channels", &channels, false)
               && c.eachObject(channels, Checker::at(path, QStringLiteral("channels")),
                               [&c](const QJsonObject &ch, const QString &cp) {
                                   return c.number(ch, cp, "voltageSet") && c.number(ch, cp, "currentSet")
                                          && c.number(ch, cp, "riseRate", 0, 1e9) && c.number(ch, cp, "fallRate", 0, 1e9)
                                          && c.integer(ch, cp, "behaviour", 0, 0xFFFF)
                                          && c.integer(ch, cp, "tripTimeMs", 0, 4000)
                                          && c.number(ch, cp, "maxTerminalVoltage", 0, 1e6)
                                          && c.number(ch, cp, "maxCurrent", 0, 1e3)
                                          && c.integer(ch, cp, "group", -1e9, 1e9);
                               });
    });
    if (!modulesOk)
        return c.error;
    c.eachObject(nodes, QStringLiteral("can.nodes"), [&c](const QJsonObject &n, const QString &path) {
        if (!(c.boolean(n, path, "bootLoader") && c.integer(n, path, "bitRate", 10, 1000) && c.string(n, path, "normalMemory")
              && c.string(n, path, "internalMemory")))
            return false;
        const QJsonValue flash = n.value(QLatin1String("flash"));
        const QString fp = Checker::at(path, QStringLiteral("flash"));
        double bytes = 0;
        if (flash.isArray()) {
            const QJsonArray runs = flash.toArray();
            for (int i = 0; i < runs.size(); ++i) {
                const QJsonArray run = runs.at(i).toArray();
                const QString rp = QStringLiteral("%1[%2]").arg(fp).arg(i);
                if (run.size() != 2 || !run.at(0).isDouble() || !run.at(1).isString())
                    return c.fail(rp, QStringLiteral("must be [address, \"hex bytes\"]"));
                const double start = run.at(0).toDouble();
                const double length = run.at(1).toString().size() / 2.0;
                if (!(start >= 0 && start + length <= MaxFlashBytes))
                    return c.fail(rp, QStringLiteral("lies outside the largest flash"));
                bytes += length;
            }
        } else if (flash.isObject()) {
            const QJsonObject runs = flash.toObject();
            for (auto it = runs.begin(); it != runs.end(); ++it) {
                bool ok = false;
                const double start = it.key().toUInt(&ok, 16);
                if (!ok || !it.value().isString())
                    return c.fail(Checker::at(fp, it.key()), QStringLiteral("must be a hexadecimal address with a string of bytes"));
                if (start + it.value().toString().size() / 2.0 > MaxFlashBytes)
                    return c.fail(Checker::at(fp, it.key()), QStringLiteral("lies outside the largest flash"));
            }
        } else if (n.contains(QLatin1String("flash"))) {
            return c.fail(fp, QStringLiteral("must be an array of runs"));
        }
        return true;
    });
    return c.error;
}
