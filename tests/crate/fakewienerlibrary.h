#pragma once
// An in-process stand-in for the crate access library: every one of its functions
// records the call (name and arguments, handle left out) and answers from a small
// crate state that a test sets up. Bound through SnmpController's table
// constructor, it lets a test pin the exact call sequence of the device model.

#include "wienersnmpfunctions.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

namespace FakeWiener {

struct State {
    int initResult = 1;
    QByteArray lastError;
    bool openFails = false;
    QByteArray psSerialNumber = "4711";
    QByteArray sysDescr;
    int mainSwitch = 1;
    int fanSpeed = 0;
    double auxVoltage4 = 0.0;
    QMap<int, QByteArray> moduleDescriptions; // by slot
    QMap<int, int> moduleStatus;              // by slot
    QMap<int, int> moduleEventStatus;         // by slot
    QMap<int, double> moduleDouble;           // any module value by slot (supplies, limits, ramps)
    // Channel values by library index (slot * 100 + channel).
    QMap<int, int> channelStatus;
    QMap<int, int> switches;
    QMap<int, int> tripTimes;
    QMap<int, int> behaviours;
    QMap<int, double> voltageSet;
    QMap<int, double> voltageMeasure;
    QMap<int, double> voltageNominal;
    QMap<int, double> currentSet;
    QMap<int, double> currentMeasure;
    QMap<int, double> currentNominal;
    QMap<int, double> channelDouble; // single-channel reads (rise and fall rates)
    QMap<int, double> maxTerminalVoltage;
    QMap<int, double> maxCurrent;
    // Most values a multiple read delivers (-1: as many as asked for).
    int recordLimit = -1;
    // Calls as "name(arg,arg,...)"; records as [v,v,...].
    QStringList calls;
    // Called (on the calling thread) after each call is recorded: a test can
    // hold the caller there.
    std::function<void(const QString &call)> afterCall;
};

State &state();
// Back to a fresh state with no calls recorded.
void reset();
// The table with all functions of the fake.
WienerSnmpFunctions functions();
// Recorded calls whose name starts with one of the prefixes (all when empty).
QStringList calls(const QStringList &namePrefixes = QStringList());
void clearCalls();

} // namespace FakeWiener
