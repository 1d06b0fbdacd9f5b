#pragma once
// A small synchronous SNMP v2c client for the simulator tests, on the net-snmp
// single-session API. Names are resolved from our MIB modules.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

struct SnmpAnswer {
    bool ok = false;        // an answer arrived
    long errorStatus = 0;   // SNMP error status of the answer
    long errorIndex = 0;
    struct Binding {
        QString name;       // numeric OID as text
        int type = 0;       // ASN type of the value (or exception)
        QVariant value;     // long, double, QByteArray
    };
    QList<Binding> bindings;

    int type(int i = 0) const { return i < bindings.size() ? bindings[i].type : -1; }
    double real(int i = 0) const { return i < bindings.size() ? bindings[i].value.toDouble() : qQNaN(); }
    long integer(int i = 0) const { return i < bindings.size() ? long(bindings[i].value.toLongLong()) : -1; }
    QByteArray bytes(int i = 0) const { return i < bindings.size() ? bindings[i].value.toByteArray() : QByteArray(); }
    // Library-form word of a BITS value (octet i = byte i).
    quint32 word(int i = 0) const;
};

class SnmpClient
{
public:
    // peer "udp:127.0.0.x:161"
    SnmpClient(const QString &peer, const QByteArray &community, int timeoutMs = 1000, int retries = 1);
    ~SnmpClient();
    SnmpClient(const SnmpClient &) = delete;
    SnmpClient &operator=(const SnmpClient &) = delete;

    // Loads WIENER-CRATE-MIB and CRATESIM-MIB once per process.
    static bool initialiseLibrary();
    static bool resolve(const QString &name, QList<quint32> *oid);

    struct Set {
        QString name;
        char type;        // 'i' INTEGER, 'F' opaque float, 's' OCTET STRING, 'a' IpAddress, 'u' Unsigned32
        QVariant value;
    };

    SnmpAnswer get(const QStringList &names);
    SnmpAnswer getNext(const QStringList &names);
    SnmpAnswer getBulk(const QStringList &names, int nonRepeaters, int maxRepetitions);
    SnmpAnswer set(const QList<Set> &values);

    // Shorthands that fail with a message in the test log.
    double real(const QString &name);
    long integer(const QString &name);
    QByteArray bytes(const QString &name);
    quint32 word(const QString &name);
    bool setInteger(const QString &name, long value);
    bool setReal(const QString &name, double value);

private:
    SnmpAnswer request(int command, const QStringList &names, const QList<Set> &values, int nonRepeaters = 0,
                       int maxRepetitions = 0);
    void *m_session = nullptr;
    QByteArray m_peer;
    QByteArray m_community;
};
