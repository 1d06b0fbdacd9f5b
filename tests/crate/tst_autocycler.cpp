// The voltage cycler over modules of the in-process fake library: the turning
// rule, which channels each scope writes, the checks with their messages, the
// CSV line, and what happens when the log cannot be opened or written.

#include "autocycler.h"
#include "fakewienerlibrary.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
constexpr int kChannels = 4;
constexpr int kLibOn = 1 << 7;
constexpr int kLibCv = 1 << 23;
constexpr int kLibLowCurrentRange = 1 << 22;
const QString kTime = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");
const QString kDateTime = QStringLiteral("\\d{4}-\\d\\d-\\d\\d;\\d\\d:\\d\\d:\\d\\d\\.\\d{3}");
} // namespace

class TestAutoCycler : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SnmpController> m_controller;
    std::vector<std::unique_ptr<SnmpModule>> m_modules;
    std::unique_ptr<QTemporaryDir> m_dir;
    BaseModule *m_current = nullptr;
    int m_channel = 0;

    // Modules of four channels in slots 0 .. count-1; the first is current.
    void makeModules(int count)
    {
        m_modules.clear();
        for (int slot = 0; slot < count; ++slot) {
            FakeWiener::state().moduleDescriptions[slot] =
                "vexa, T03X0, " + QByteArray::number(kChannels) + ", " + QByteArray::number(7000 + slot) + ", 05.12";
            m_modules.push_back(std::make_unique<SnmpModule>(m_controller.get(), slot));
        }
        m_current = m_modules.front().get();
    }

    void attach(AutoCycler &cycler, int scope, double upper = 500, double lower = 300, double increment = 100,
                int checkType = AutoCycler::CheckVoltageSet)
    {
        cycler.setTargetSource([this] {
            AutoCycler::Target t;
            for (const auto &m : m_modules)
                t.modules.append(m.get());
            t.current = m_current;
            t.channel = m_channel;
            return t;
        });
        AutoCycler::Settings s;
        s.upper = upper;
        s.lower = lower;
        s.increment = increment;
        s.scope = scope;
        s.checkType = checkType;
        cycler.setSettings(s);
        cycler.setLogFileName(m_dir->filePath(QStringLiteral("autologfile.csv")));
    }

    static double vset(int slot, int channel) { return FakeWiener::state().voltageSet.value(slot * 100 + channel, -1); }

    static void setAll(int modules, double value)
    {
        for (int slot = 0; slot < modules; ++slot)
            for (int channel = 0; channel < kChannels; ++channel)
                FakeWiener::state().voltageSet[slot * 100 + channel] = value;
    }

    QStringList logLines() const
    {
        QFile file(m_dir->filePath(QStringLiteral("autologfile.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    }

private slots:
    void init()
    {
        FakeWiener::reset();
        m_controller = std::make_unique<SnmpController>(FakeWiener::functions());
        QVERIFY(m_controller->isBound());
        m_controller->connectTo(QStringLiteral("127.0.0.2"));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_channel = 0;
    }

    void cleanup()
    {
        m_modules.clear();
        m_controller.reset();
        m_dir.reset();
    }

    void demandsTurnAtTheLimits_data()
    {
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("increment");
        QTest::addColumn<double>("start");
        QTest::addColumn<QList<float>>("demands");
        QTest::newRow("down first, turn at both limits")
            << 500.0 << 300.0 << 100.0 << 500.0 << QList<float>{400, 300, 400, 500, 400, 300};
        QTest::newRow("a step past a limit stops on it")
            << 500.0 << 300.0 << 150.0 << 500.0 << QList<float>{350, 300, 450, 500, 350};
        QTest::newRow("below the lower limit goes to it and turns")
            << 500.0 << 300.0 << 100.0 << 50.0 << QList<float>{300, 400, 500, 400};
        QTest::newRow("millivolt steps") << 1.002 << 1.0 << 0.001 << 1.002 << QList<float>{1.001f, 1.0f, 1.001f, 1.002f};
    }

    void demandsTurnAtTheLimits()
    {
        QFETCH(double, upper);
        QFETCH(double, lower);
        QFETCH(double, increment);
        QFETCH(double, start);
        QFETCH(QList<float>, demands);
        makeModules(1);
        m_channel = 2;
        FakeWiener::state().voltageSet[2] = start;
        AutoCycler cycler;
        attach(cycler, AutoCycler::ScopeChannel, upper, lower, increment);
        for (float expected : demands) {
            QVERIFY(cycler.step());
            QCOMPARE(cycler.lastDemand(), expected);
            QCOMPARE(float(vset(0, 2)), expected);
        }
    }

    void scopeWritesItsChannelsOnly_data()
    {
        QTest::addColumn<int>("modules");
        QTest::addColumn<int>("scope");
        QTest::addColumn<QList<int>>("written"); // slot * 100 + channel
        QTest::newRow("selected channel") << 2 << int(AutoCycler::ScopeChannel) << QList<int>{1};
        QTest::newRow("selected module") << 2 << int(AutoCycler::ScopeModule) << QList<int>{0, 1, 2, 3};
        QTest::newRow("whole system") << 3 << int(AutoCycler::ScopeSystem)
                                      << QList<int>{0, 1, 2, 3, 100, 101, 102, 103, 200, 201, 202, 203};
        QTest::newRow("special with two modules") << 2 << int(AutoCycler::ScopeSpecial)
                                                  << QList<int>{0, 1, 2, 3, 100, 101, 102, 103};
        QTest::newRow("special with six modules: the first four")
            << 6 << int(AutoCycler::ScopeSpecial)
            << QList<int>{0, 1, 2, 3, 100, 101, 102, 103, 200, 201, 202, 203, 300, 301, 302, 303};
    }

    void scopeWritesItsChannelsOnly()
    {
        QFETCH(int, modules);
        QFETCH(int, scope);
        QFETCH(QList<int>, written);
        makeModules(modules);
        m_channel = 1;
        setAll(modules, 500);
        AutoCycler cycler;
        attach(cycler, scope);
        QVERIFY(cycler.step());
        for (int slot = 0; slot < modules; ++slot)
            for (int channel = 0; channel < kChannels; ++channel) {
                const int index = slot * 100 + channel;
                QCOMPARE(vset(slot, channel), written.contains(index) ? 400.0 : 500.0);
            }
        QCOMPARE(cycler.check(), 0);
    }

    void nothingHappensWithoutACurrentChannel()
    {
        makeModules(1);
        setAll(1, 500);
        m_channel = -1;
        AutoCycler cycler;
        attach(cycler, AutoCycler::ScopeModule);
        QSignalSpy stepped(&cycler, &AutoCycler::stepped);
        QVERIFY(!cycler.step());
        QCOMPARE(stepped.count(), 0);
        QCOMPARE(vset(0, 0), 500.0);
        m_current = nullptr;
        m_channel = 0;
        QVERIFY(!cycler.step());
        QCOMPARE(cycler.check(), 0);
    }

    void channelsThatMissTheDemandAreReported_data()
    {
        QTest::addColumn<int>("scope");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("selected channel") << int(AutoCycler::ScopeChannel) << 2
                                          << QStringList{kTime + QStringLiteral(": Slot 0\\.2\\.VSet = 123\\.5 \\(demand was 400\\)")};
        QTest::newRow("whole system")
            << int(AutoCycler::ScopeSystem) << 0
            << QStringList{kTime + QStringLiteral(": Slot 0\\.2\\.VSet = 123\\.5 \\(demand was 400\\)"),
                           kTime + QStringLiteral(": Slot 1\\.3\\.VSet = 399\\.99 \\(demand was 400\\)")};
        QTest::newRow("selected module, with the date")
            << int(AutoCycler::ScopeModule) << 0
            << QStringList{kDateTime + QStringLiteral(": Slot 0\\.2\\.VSet = 123\\.5 \\(demand was 400\\)")};
    }

    void channelsThatMissTheDemandAreReported()
    {
        QFETCH(int, scope);
        QFETCH(int, channel);
        QFETCH(QStringList, messages);
        makeModules(2);
        m_channel = channel;
        setAll(2, 500);
        AutoCycler cycler;
        attach(cycler, scope);
        QSignalSpy log(&cycler, &AutoCycler::log);
        QSignalSpy checked(&cycler, &AutoCycler::checked);
        QVERIFY(cycler.step());
        // Channel 0.2 refused the demand; 1.3 is 10 mV off; 1.1 is off by less than a millivolt.
        FakeWiener::state().voltageSet[2] = 123.5;
        FakeWiener::state().voltageSet[103] = 399.99;
        FakeWiener::state().voltageSet[101] = 400.0004;
        QCOMPARE(cycler.check(), messages.size());
        QCOMPARE(checked.count(), 1);
        QCOMPARE(checked.at(0).at(0).toInt(), messages.size());
        QCOMPARE(log.count(), messages.size());
        for (int i = 0; i < messages.size(); ++i) {
            const QString text = log.at(i).at(0).toString();
            QVERIFY2(QRegularExpression(QLatin1Char('^') + messages.at(i) + QLatin1Char('$')).match(text).hasMatch(),
                     qPrintable(text));
        }
    }

    void moduleCheckWritesOneCsvLine()
    {
        makeModules(2);
        setAll(2, 500);
        for (int channel = 0; channel < kChannels; ++channel)
            FakeWiener::state().voltageMeasure[channel] = 398.5 + channel;
        AutoCycler cycler;
        attach(cycler, AutoCycler::ScopeModule);
        QVERIFY(cycler.step());
        QCOMPARE(cycler.check(), 0);
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(1).isEmpty()); // the line ends with "\n"
        const QRegularExpression format(QLatin1Char('^') + kDateTime
                                        + QStringLiteral(";400;400;398\\.5;1\\.5;400;399\\.5;0\\.5;"
                                                         "400;400\\.5;-0\\.5;400;401\\.5;-1\\.5;$"));
        QVERIFY2(format.match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
    }

    void currentRangeCheckNamesHighRangeChannels()
    {
        makeModules(1);
        setAll(1, 500);
        FakeWiener::state().channelStatus[0] = kLibOn | kLibLowCurrentRange;
        FakeWiener::state().channelStatus[1] = kLibOn | kLibCv;
        FakeWiener::state().channelStatus[2] = kLibOn | kLibLowCurrentRange;
        FakeWiener::state().channelStatus[3] = 0;
        FakeWiener::state().currentMeasure[1] = 0.00125;
        AutoCycler cycler;
        attach(cycler, AutoCycler::ScopeModule, 500, 300, 100, AutoCycler::CheckCurrentRange);
        QSignalSpy log(&cycler, &AutoCycler::log);
        QVERIFY(cycler.step());
        cycler.check();
        QCOMPARE(log.count(), 2);
        QVERIFY2(QRegularExpression(QStringLiteral("^Channel 1: High Range Imeas = 0\\.00125, Status = 0088 \\(")
                                    + kTime + QStringLiteral("\\)$"))
                     .match(log.at(0).at(0).toString())
                     .hasMatch(),
                 qPrintable(log.at(0).at(0).toString()));
        QVERIFY(log.at(1).at(0).toString().startsWith(QStringLiteral("Channel 3: High Range Imeas = 0, Status = 0000 (")));
        // No CSV line in this mode.
        QCOMPARE(logLines(), QStringList{QString()});
    }

    void logFailureIsReportedOnceAndReopenedOnTheNextStart_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::newRow("cannot open") << "open";
        QTest::newRow("disk full") << "full";
        QTest::newRow("file removed") << "removed";
    }

    void logFailureIsReportedOnceAndReopenedOnTheNextStart()
    {
        QFETCH(QString, trouble);
        makeModules(1);
        setAll(1, 500);
        const QString path = m_dir->filePath(QStringLiteral("autologfile.csv"));
        if (trouble == QLatin1String("open"))
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("autologfile.csv")));
        if (trouble == QLatin1String("full"))
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        AutoCycler cycler;
        attach(cycler, AutoCycler::ScopeModule);
        QSignalSpy failed(&cycler, &AutoCycler::failed);

        if (trouble == QLatin1String("open")) {
            QVERIFY(!cycler.step());
            QCOMPARE(vset(0, 0), 500.0); // nothing cycled without its log
        } else {
            QVERIFY(cycler.step());
            if (trouble == QLatin1String("removed"))
                QVERIFY(QFile::remove(path));
            cycler.check();
            // Already closed: a second check writes nothing and says nothing more.
            cycler.check();
        }
        QCOMPARE(failed.count(), 1);
        const QString message = failed.at(0).at(0).toString();
        QVERIFY2(message.contains(path) && message.contains(QStringLiteral("stopped")), qPrintable(message));
        if (trouble == QLatin1String("removed"))
            QVERIFY2(message.contains(QStringLiteral("removed")), qPrintable(message));

        // The operator mends the file and starts again: a fresh file gets the line.
        QDir(m_dir->path()).rmdir(QStringLiteral("autologfile.csv"));
        QFile::remove(path);
        QVERIFY(cycler.step());
        cycler.check();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(logLines().size(), 2);
    }

    void floatTextIsShortAndExact_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 400.0f << "400";
        QTest::newRow("tenth") << 0.1f << "0.1";
        QTest::newRow("millivolt steps at a kilovolt") << 1234.567f << "1234.567";
        QTest::newRow("negative") << -1.5f << "-1.5";
    }

    void floatTextIsShortAndExact()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(AutoCycler::floatText(value), text);
        QCOMPARE(AutoCycler::floatText(value).toFloat(), value);
    }
};

VEXA_TEST_GUILESS_MAIN(TestAutoCycler)
#include "tst_autocycler.moc"
