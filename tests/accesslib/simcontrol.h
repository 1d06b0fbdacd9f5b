#pragma once
// A second, independent way into a running cratesim for the access-library
// tests: plain net-snmp requests by MIB name, to read back what the library
// wrote, to read the simulator's request counter and to provoke faults through
// CRATESIM-MIB. Needs the MIBs loaded (snmpInit does that).

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class SimControl
{
public:
    explicit SimControl(const QString &peer);
    ~SimControl();
    SimControl(const SimControl &) = delete;
    SimControl &operator=(const SimControl &) = delete;

    bool isOpen() const { return m_session != nullptr; }
    QString errorString() const { return m_error; }

    // GET of one instance by name ("WIENER-CRATE-MIB::outputVoltage.101");
    // floats come back as double, integers as qlonglong, octets as QByteArray.
    QVariant get(const QString &name);
    // SET with the write community. type: 'i' integer, 'f' opaque float, 's' octets.
    bool set(const QString &name, char type, const QVariant &value);
    // Requests the agent has answered so far.
    qlonglong requests();
    // Learns how many requests reading the counter itself adds (0 or 1,
    // depending on when the agent counts); -1 when the counter cannot be read.
    qlonglong measureCounterCost();
    // Requests the agent answered while `work` ran, without the counter reads.
    qlonglong requestsDuring(const std::function<void()> &work);
    // Raw GET of `count` instances of a column from `firstIndex`: true when
    // answered without error, false with tooBig (or any failure: see errorString).
    bool getColumn(const QString &column, int firstIndex, int count, bool *tooBig);

private:
    void *m_session = nullptr;
    QString m_error;
    qlonglong m_counterCost = 0;
};
