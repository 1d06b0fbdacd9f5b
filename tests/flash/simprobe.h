#pragma once
// A small SNMP client for the tests: reads and writes the simulator's control
// and inspection objects (CRATESIM-CAN-MIB) by name, with its own session.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// One CAN node of the simulated crate as the simulator reports it.
struct SimNode
{
    int base = 0;
    quint32 serialNumber = 0;
    QString device;
    int release = 0; // "05.12" → 512
    bool bootLoader = false;
};

class SimProbe
{
public:
    explicit SimProbe(const QString &address);
    ~SimProbe();
    SimProbe(const SimProbe &) = delete;
    SimProbe &operator=(const SimProbe &) = delete;

    // Loads the simulator's MIB modules (after the flash tool started the library).
    static bool loadSimulatorMibs();

    bool isOpen() const { return m_session != nullptr; }
    // Integer value of an object, or `fallback` when it cannot be read.
    qint64 getInt(const QString &name, qint64 fallback = -999999);
    QByteArray getBytes(const QString &name);
    bool setInt(const QString &name, int value);
    bool setBytes(const QString &name, const QByteArray &value);
    // Every node behind the tunnel, in ascending base order (asks the 27 bases).
    QList<SimNode> nodes();
    // "cratesimCanNode<Column>.<base>"
    static QString node(const char *column, int base);

private:
    QVariant get(const QString &name);
    bool set(const QString &name, char type, const QByteArray &value);

    void *m_session = nullptr;
};
