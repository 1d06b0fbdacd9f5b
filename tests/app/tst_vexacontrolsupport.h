#pragma once
// Helpers shared by the main-window tests: crate files written at run time,
// reading and writing simulator objects with the net-snmp command-line tools,
// and finding the window's widgets by their object names.

#include "cratesimprocess.h"
#include "testenv.h"
#include "vexacontrol.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "basemodule.h"
#include "channeltable.h"
#include "settings.h"

namespace VexaTest {

inline QJsonObject crateObject(bool mainSwitch = true)
{
    return QJsonObject{{"serialNumber", 4242},    {"firmware", "2.1.3.4"},    {"psSerialNumber", "PS-TEST-1"},
                       {"fanSerialNumber", "FT-TEST-1"}, {"ipStaticAddress", "0.0.0.0"}, {"fanNominalSpeed", 1800},
                       {"airTemperature", 23},     {"bootMs", 500},            {"mainSwitch", mainSwitch}};
}

inline QJsonObject hvModule(int slot, const QString &type, int channels, int serial, double nominalVoltage,
                            bool bipolar = false, double nominalCurrent = 0.001)
{
    return QJsonObject{{"slot", slot},
                       {"vendor", "vexa"},
                       {"type", type},
                       {"channels", channels},
                       {"serialNumber", serial},
                       {"firmwareRelease", "05.12"},
                       {"polarity", bipolar ? "bipolar" : "positive"},
                       {"nominalVoltage", nominalVoltage},
                       {"nominalCurrent", nominalCurrent},
                       {"rampSpeedVoltage", 20},
                       {"temperature", 30.0}};
}

// Writes a crate file into dir and returns its path.
inline QString writeCrate(const QTemporaryDir &dir, const QString &name, const QJsonArray &modules)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(QJsonObject{{"crate", crateObject()}, {"modules", modules}}).toJson());
    return path;
}

// Runs snmpget/snmpset against the simulator; returns the value printed (-Oqv).
inline QString snmp(const CrateSimProcess &sim, const QString &tool, const QStringList &arguments)
{
    QProcess process;
    QStringList args = {QStringLiteral("-v2c"), QStringLiteral("-c"),
                        tool == QLatin1String("snmpset") ? QStringLiteral("mavo") : QStringLiteral("kestra"),
                        QStringLiteral("-M"), QStringLiteral("+") + CrateSimProcess::mibDir(), QStringLiteral("-m"),
                        QStringLiteral("+WIENER-CRATE-MIB:CRATESIM-MIB"), QStringLiteral("-Oqv"), QStringLiteral("-t"),
                        QStringLiteral("2"), QStringLiteral("-r"), QStringLiteral("1"), sim.peer()};
    args += arguments;
    process.start(tool, args);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
}

inline double snmpNumber(const CrateSimProcess &sim, const QString &object)
{
    const QString text = snmp(sim, QStringLiteral("snmpget"), {object});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?")).match(text);
    return m.hasMatch() ? m.captured(0).toDouble() : qQNaN();
}

// The simulator's value of a channel object, e.g. "outputVoltage".
inline double channelValue(const CrateSimProcess &sim, const QString &object, int slot, int channel)
{
    return snmpNumber(sim, QStringLiteral("WIENER-CRATE-MIB::%1.%2").arg(object).arg(slot * 100 + channel + 1));
}

// Sets one object of the simulator; false when snmpset printed nothing.
inline bool simSet(const CrateSimProcess &sim, const QString &object, const char *type, const QString &value)
{
    return !snmp(sim, QStringLiteral("snmpset"), {object, QLatin1String(type), value}).isEmpty();
}

// Sets a channel's voltage and switches it on.
inline bool switchChannelOn(const CrateSimProcess &sim, int slot, int channel, double volts)
{
    const int index = slot * 100 + channel + 1;
    return simSet(sim, QStringLiteral("outputVoltage.%1").arg(index), "F", QString::number(volts))
        && simSet(sim, QStringLiteral("outputSwitch.%1").arg(index), "i", QStringLiteral("1"));
}

inline bool setModuleResponding(const CrateSimProcess &sim, int slot, bool responding)
{
    const QString out = snmp(sim, QStringLiteral("snmpset"),
                             {QStringLiteral("CRATESIM-MIB::cratesimModuleResponding.%1").arg(slot + 1),
                              QStringLiteral("i"), responding ? QStringLiteral("1") : QStringLiteral("0")});
    return !out.isEmpty();
}

inline QAction *action(VexaControl &w, const char *name)
{
    return w.findChild<QAction *>(QLatin1String(name));
}

inline ChannelTable *table(VexaControl &w)
{
    return w.findChild<ChannelTable *>(QStringLiteral("table"));
}

inline QListWidget *moduleList(VexaControl &w)
{
    return w.findChild<QListWidget *>(QStringLiteral("lstModules"));
}

// Selects exactly the given rows of the channel table; the first becomes current.
inline void selectRows(VexaControl &w, const QList<int> &rows)
{
    ChannelTable *t = table(w);
    t->clearSelection();
    if (rows.isEmpty())
        return;
    t->setCurrentCell(rows.first(), 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (int row : rows)
        t->selectionModel()->select(t->model()->index(row, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Waits until the current module is connected and its table is set up.
inline bool waitConnected(VexaControl &w, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        BaseModule *m = w.currentModule();
        if (m && m->connectionState() == ModuleConnectionState::Connected && table(w)->rowCount() == m->channelNumber()
            && table(w)->rowCount() > 0)
            return true;
        QTest::qWait(50);
    }
    return false;
}

// Writes a lock of another (invented) process for the address into the lock store.
inline void holdAddressForOtherProcess(const QString &address)
{
    QSettings store(Settings::storeFileName(QStringLiteral("addresslock")), QSettings::IniFormat);
    store.setValue(address, qint64(999999999));
    store.sync();
}

inline qint64 lockHolder(const QString &address)
{
    QSettings store(Settings::storeFileName(QStringLiteral("addresslock")), QSettings::IniFormat);
    return store.value(address, -1).toLongLong();
}

inline void setCloseBehavior(int value)
{
    QSettings s(Settings::storeFileName(QStringLiteral("vexacontrol")), QSettings::IniFormat);
    s.setValue(QStringLiteral("CloseBehavior"), value);
    s.sync();
}

} // namespace VexaTest
