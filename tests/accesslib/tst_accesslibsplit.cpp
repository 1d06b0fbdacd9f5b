// A crate guarantees only small SNMP messages while modules have up to 64
// channels: a multiple read or write the agent refuses as tooBig is split into
// the fewest requests that fit, and the session keeps that size.

#include "cratesimprocess.h"
#include "simcontrol.h"
#include "testenv.h"
#include "wiener_snmp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

class TestAccessLibSplit : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SimControl> m_control;
    HSNMP m_handle = nullptr;
    int m_fit = 0; // most float varbinds one answer may carry

    qlonglong requestsFor(const std::function<void()> &work) { return m_control->requestsDuring(work); }

    static int requestsNeeded(int values, int perRequest) { return (values + perRequest - 1) / perRequest; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QJsonObject crate{{"serialNumber", 480124}, {"psSerialNumber", "PS-64"}, {"mainSwitch", true}};
        QJsonArray modules;
        modules.append(QJsonObject{{"slot", 3},
                                   {"type", "T08X0"},
                                   {"channels", 64},
                                   {"serialNumber", 5300303},
                                   {"firmwareRelease", "05.30"},
                                   {"nominalVoltage", 500.0},
                                   {"nominalCurrent", 0.001}});
        QFile file(m_dir.filePath(QStringLiteral("crate64.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"crate", crate}, {"modules", modules}}).toJson());
        file.close();

        CrateSimProcess::Options options;
        options.crateFile = file.fileName();
        options.maxMessageSize = 484; // the least every SNMP agent must accept
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        QCOMPARE(snmpInit(), 1);
        m_handle = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY(m_handle);
        m_control = std::make_unique<SimControl>(m_sim->peer());
        QVERIFY2(m_control->measureCounterCost() >= 0, qPrintable(m_control->errorString()));

        // What fits, found independently of the library.
        bool tooBig = false;
        for (int k = 64; k >= 1 && !m_fit; --k) {
            if (m_control->getColumn(QStringLiteral("WIENER-CRATE-MIB::outputVoltage"), 301, k, &tooBig))
                m_fit = k;
            else
                QVERIFY2(tooBig, qPrintable(m_control->errorString()));
        }
        qInfo("an answer carries at most %d float values", m_fit);
        QVERIFY(m_fit > 1);
        QVERIFY2(m_fit < 64, "the message size limit does not bite");
    }

    void cleanupTestCase()
    {
        if (m_handle)
            snmpClose(m_handle);
    }

    void readArrivesWhole()
    {
        SnmpDoubleRecord first{};
        first = *getMultipleOutputConfigMaxTerminalVoltages(m_handle, 300, 64);
        QCOMPARE(first.count, 64);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(first.value[i], 500.0);

        // From now on the session knows the size: the fewest requests that fit.
        SnmpDoubleRecord again{};
        QCOMPARE(requestsFor([&] { again = *getMultipleOutputVoltages(m_handle, 300, 64); }),
                 qlonglong(requestsNeeded(64, m_fit)));
        QCOMPARE(again.count, 64);
        for (int i : {0, m_fit - 1, m_fit, 63})
            QCOMPARE(float(again.value[i]), float(m_control->get(QStringLiteral("WIENER-CRATE-MIB::outputVoltage.%1").arg(301 + i)).toDouble()));

        // Smaller requests are not split at all.
        QCOMPARE(requestsFor([&] { QCOMPARE(getMultipleMeasurementCurrents(m_handle, 300, m_fit)->count, m_fit); }), 1);
        // Statuses are smaller values; the session learns their own size.
        int statusFit = 0;
        bool tooBig = false;
        for (int k = 64; k >= 1 && !statusFit; --k)
            if (m_control->getColumn(QStringLiteral("WIENER-CRATE-MIB::outputStatus"), 301, k, &tooBig))
                statusFit = k;
        qInfo("an answer carries at most %d channel statuses", statusFit);
        QVERIFY(statusFit >= m_fit);
        QCOMPARE(getMultipleChannelStatuses(m_handle, 300, 64)->count, 64);
        QCOMPARE(requestsFor([&] { QCOMPARE(getMultipleChannelStatuses(m_handle, 300, 64)->count, 64); }),
                 qlonglong(requestsNeeded(64, statusFit)));
        // and that did not change what floats get
        QCOMPARE(requestsFor([&] { QCOMPARE(getMultipleOutputVoltages(m_handle, 300, 64)->count, 64); }),
                 qlonglong(requestsNeeded(64, m_fit)));
    }

    void writeArrivesWhole()
    {
        SnmpDoubleRecord values{};
        values.count = 64;
        for (int i = 0; i < 64; ++i)
            values.value[i] = 100.0 + i;
        SnmpDoubleRecord answer{};
        const qlonglong requests = requestsFor([&] { answer = *setMultipleOutputVoltages(m_handle, 300, &values); });
        QCOMPARE(answer.count, 64);
        QVERIFY2(requests <= requestsNeeded(64, m_fit), qPrintable(QString::number(requests)));
        for (int i = 0; i < 64; ++i)
            QCOMPARE(float(m_control->get(QStringLiteral("WIENER-CRATE-MIB::outputVoltage.%1").arg(301 + i)).toDouble()),
                     float(100.0 + i));

        SnmpIntRecord switches{};
        switches.count = 64;
        for (int i = 0; i < 64; ++i)
            switches.value[i] = i % 2;
        QCOMPARE(setMultipleOutputSwitches(m_handle, 300, &switches)->count, 64);
        const SnmpIntRecord *read = getMultipleOutputSwitches(m_handle, 300, 64);
        QCOMPARE(read->count, 64);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(read->value[i], i % 2);
    }

    void aFreshSessionLearnsAgain()
    {
        HSNMP other = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY(other);
        // learning costs a few refused requests once, and everything still arrives
        const qlonglong learning = requestsFor([&] { QCOMPARE(getMultipleOutputCurrents(other, 300, 64)->count, 64); });
        QVERIFY(learning > requestsNeeded(64, m_fit));
        QVERIFY2(learning <= requestsNeeded(64, m_fit) + 8, qPrintable(QString::number(learning)));
        QCOMPARE(requestsFor([&] { QCOMPARE(getMultipleOutputCurrents(other, 300, 64)->count, 64); }),
                 qlonglong(requestsNeeded(64, m_fit)));
        snmpClose(other);
    }
};

VEXA_TEST_GUILESS_MAIN(TestAccessLibSplit)
#include "tst_accesslibsplit.moc"
