// crateprobe loads WIENER_SNMP as cratectl does; it is also the way to see what
// snmpInit reports in a fresh process: a missing MIB or a missing object.

#include "cratesimprocess.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <QDir>
#include <QLockFile>

class TestCrateProbe : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };

    Run probe(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VEXA_BUILD_BINDIR "/crateprobe"), args);
        Run run;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return run;
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(p.readAllStandardError());
        return run;
    }

    // An environment in which neither the system nor our folders hold the MIB,
    // except `mibDir` when given.
    QProcessEnvironment mibEnvironment(const QString &mibDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString empty = m_dir.filePath(QStringLiteral("no-mibs"));
        QDir().mkpath(empty);
        env.insert(QStringLiteral("MIBDIRS"), empty);
        env.insert(QStringLiteral("VEXA_MIBDIR"), mibDir.isEmpty() ? empty : mibDir);
        return env;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void usage()
    {
        const Run run = probe({});
        QCOMPARE(run.exitCode, 64);
        QVERIFY(run.err.contains(QLatin1String("Usage: crateprobe <address> [slot]")));
        QCOMPARE(probe({QStringLiteral("127.0.0.1"), QStringLiteral("12")}).exitCode, 64);
    }

    void missingMibIsNamed()
    {
        const Run run = probe({QStringLiteral("127.0.0.1")}, mibEnvironment(QString()));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("snmpInit failed")), qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("WIENER-CRATE-MIB")), qPrintable(run.err));
        QVERIFY2(run.err.contains(m_dir.filePath(QStringLiteral("no-mibs"))), qPrintable(run.err)); // where it looked
    }

    void missingObjectIsNamed_data()
    {
        QTest::addColumn<QString>("object");
        QTest::newRow("moduleDoClear") << "moduleDoClear";
        QTest::newRow("outputTripTimeMaxCurrent") << "outputTripTimeMaxCurrent";
        QTest::newRow("psSerialNumber") << "psSerialNumber";
    }
    void missingObjectIsNamed()
    {
        QFETCH(QString, object);
        QFile source(QStringLiteral(VEXA_SOURCE_MIBDIR "/WIENER-CRATE-MIB.txt"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QString text = QString::fromLatin1(source.readAll());
        const QRegularExpression definition(QStringLiteral("\\n%1 OBJECT-TYPE.*?::= \\{[^}]*\\}").arg(object),
                                            QRegularExpression::DotMatchesEverythingOption);
        QVERIFY(text.contains(definition));
        text.remove(definition);
        const QString dir = m_dir.filePath(QStringLiteral("without-") + object);
        QVERIFY(QDir().mkpath(dir));
        QFile broken(dir + QStringLiteral("/WIENER-CRATE-MIB.txt"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(text.toLatin1());
        broken.close();

        const Run run = probe({QStringLiteral("127.0.0.1")}, mibEnvironment(dir));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(object) && run.err.contains(QLatin1String("WIENER-CRATE-MIB")), qPrintable(run.err));
    }

    // The address carries no port: net-snmp's defaultPort setting decides.
    void defaultPortSettingApplies()
    {
        QJsonObject crate{{"serialNumber", 480126}, {"psSerialNumber", "PS-PORT"}, {"mainSwitch", true}};
        QFile file(m_dir.filePath(QStringLiteral("port.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"crate", crate}, {"modules", QJsonArray()}}).toJson());
        file.close();
        CrateSimProcess::Options options;
        options.crateFile = file.fileName();
        options.port = 1161;
        CrateSimProcess sim(options);
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));

        const QString home = m_dir.filePath(QStringLiteral("home-port"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/.snmp")));
        QFile conf(home + QStringLiteral("/.snmp/snmp.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("defaultPort 1161\n");
        conf.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("SNMPCONFPATH"), home + QStringLiteral("/.snmp")); // only this configuration
        const Run run = probe({sim.address()}, env);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.contains(QLatin1String("Serial number: PS-PORT")));

        // without the setting the library's default port 161 is asked, where nobody listens
        env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home-plain")));
        env.insert(QStringLiteral("SNMPCONFPATH"), m_dir.filePath(QStringLiteral("home-plain")));
        QCOMPARE(probe({sim.address()}, env).exitCode, 2);
        // an explicit port always wins
        QCOMPARE(probe({sim.address() + QStringLiteral(":1161")}, env).exitCode, 0);
    }

    void printsTheCrate()
    {
        QJsonObject crate{{"serialNumber", 480125}, {"firmware", "MPOD 2.1.4.9"}, {"psSerialNumber", "PS-PROBE"}, {"mainSwitch", true}};
        QJsonArray modules;
        modules.append(QJsonObject{{"slot", 2}, {"type", "T03X0"}, {"channels", 4}, {"serialNumber", 5200202},
                                   {"firmwareRelease", "05.21"}, {"nominalVoltage", 3000.0}, {"nominalCurrent", 0.003}});
        QFile file(m_dir.filePath(QStringLiteral("probe.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonObject{{"crate", crate}, {"modules", modules}}).toJson());
        file.close();
        CrateSimProcess::Options options;
        options.crateFile = file.fileName();
        CrateSimProcess sim(options);
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));

        const Run run = probe({sim.address()});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.contains(QLatin1String("Main switch: on (1)")));
        QVERIFY(run.out.contains(QLatin1String("Serial number: PS-PROBE")));
        QVERIFY(run.out.contains(QLatin1String("(480125,")));
        QVERIFY(run.out.contains(QLatin1String("Slot 0: empty")));
        QVERIFY(run.out.contains(QLatin1String("Slot 2: vexa, T03X0, 4, 5200202, 05.21")));
        QVERIFY2(run.out.contains(QLatin1String("Slot 2, 4 channels:")), qPrintable(run.out));
        // one line per channel, with the nominal set values of a fresh module
        const QStringList lines = run.out.split(QLatin1Char('\n'));
        int channelLines = 0;
        for (const QString &line : lines)
            if (QRegularExpression(QStringLiteral("^\\s+[0-3] ")).match(line).hasMatch())
                ++channelLines;
        QCOMPARE(channelLines, 4);

        // an address nobody answers on: says so and fails, within the time-out
        sim.kill();
        QElapsedTimer timer;
        timer.start();
        const Run dead = probe({sim.address()});
        QCOMPARE(dead.exitCode, 2);
        QVERIFY2(dead.err.contains(QLatin1String("no answer")) && dead.err.contains(sim.address()), qPrintable(dead.err));
        QVERIFY(timer.elapsed() < 5000);
    }

    // A description claiming 99,999,999 channels shows at most 100; a slot
    // whose description read times out is named and fails the run.
    void distrustsDescriptions()
    {
        QString address;
        std::unique_ptr<QLockFile> lock;
        const QString dir = QDir::tempPath() + QStringLiteral("/vexa-test-addresses");
        QDir().mkpath(dir);
        for (int n = 250; n >= 2 && address.isEmpty(); --n) {
            auto candidate = std::make_unique<QLockFile>(dir + QStringLiteral("/127.0.0.%1.lock").arg(n));
            candidate->setStaleLockTime(0);
            if (candidate->tryLock(0)) {
                lock = std::move(candidate);
                address = QStringLiteral("127.0.0.%1").arg(n);
            }
        }
        QVERIFY(!address.isEmpty());
        QProcess agent;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VEXA_MIBDIR"), QStringLiteral(VEXA_SOURCE_MIBDIR));
        env.insert(QStringLiteral("FAKEAGENT_MODE"), QStringLiteral("probe"));
        agent.setProcessEnvironment(env);
        agent.start(QStringLiteral(VEXA_BUILD_BINDIR "/../tests/fakeagent"), {address});
        QVERIFY(agent.waitForStarted(5000));
        QByteArray output;
        QElapsedTimer waited;
        waited.start();
        while (!output.contains("fakeagent: ready") && agent.state() == QProcess::Running && waited.elapsed() < 10000) {
            agent.waitForReadyRead(100);
            output += agent.readAllStandardOutput();
        }
        QVERIFY2(output.contains("fakeagent: ready"), (output + agent.readAllStandardError()).constData());

        QProcessEnvironment probeEnv = QProcessEnvironment::systemEnvironment();
        probeEnv.insert(QStringLiteral("VEXA_SNMP_TIMEOUT_MS"), QStringLiteral("100"));
        probeEnv.insert(QStringLiteral("VEXA_SNMP_RETRIES"), QStringLiteral("0"));
        const Run run = probe({address}, probeEnv);
        agent.terminate();
        agent.waitForFinished(5000);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.out.contains(QLatin1String("Slot 1: did not answer")), qPrintable(run.out.left(1500) + run.err));
        QVERIFY2(run.err.contains(QLatin1String("slot 1 did not answer")), qPrintable(run.err));
        QVERIFY(run.out.contains(QLatin1String("Slot 2: empty")));
        QVERIFY2(run.out.contains(QLatin1String("Slot 0, 100 channels:")), qPrintable(run.out.left(2000)));
        QVERIFY(run.out.count(QLatin1Char('\n')) < 200);
    }
};

VEXA_TEST_GUILESS_MAIN(TestCrateProbe)
#include "tst_crateprobe.moc"
