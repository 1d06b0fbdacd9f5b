// The protection commands of the main window against a private cratesim: a
// current trip set in its dialog trips the channel after its delay with the
// chosen action, an external-inhibit action acts on a simulated inhibit, and
// bounds set in the bounds dialog reach the simulator and limit the output
// the channel table shows. Every case gets a fresh simulator.

#include "tst_vexacontrolsupport.h"

#include "dialogchannelbounds.h"
#include "dialogflexgroups.h"
#include "dialoginhibit.h"
#include "dialogsetcurrent.h"
#include "messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

using namespace VexaTest;

namespace {
// Runs `act` on the modal dialog of type T as soon as it is open.
template <typename T> void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

constexpr int Serial = 8100001;
constexpr quint32 TripBit = 1u << 2, InhibitBit = 1u << 6, OnBit = 1u << 7;
} // namespace

class TestVexaControlProtect : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;

    QString oid(const char *object, int channel) const
    {
        return QStringLiteral("%1.%2").arg(QLatin1String(object)).arg(channel + 1);
    }
    double value(const char *object, int channel) { return channelValue(*m_sim, QLatin1String(object), 0, channel); }
    double simValue(const char *object, int channel)
    {
        return snmpNumber(*m_sim, QStringLiteral("CRATESIM-MIB::") + oid(object, channel));
    }
    bool set(const QString &object, const char *type, const QString &v) { return simSet(*m_sim, object, type, v); }
    quint32 status(int channel)
    {
        // BITS print as hex octets; octet i is byte i of the library word.
        QString text = snmp(*m_sim, QStringLiteral("snmpget"), {QStringLiteral("-Ox"), oid("outputStatus", channel)});
        text.remove(QLatin1Char('"'));
        quint32 word = 0;
        int shift = 0;
        for (const QString &octet : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            bool ok = false;
            const uint byte = octet.toUInt(&ok, 16);
            if (ok && shift < 32) {
                word |= byte << shift;
                shift += 8;
            }
        }
        return word;
    }
    void switchOn(int channel, double volts)
    {
        QVERIFY(set(oid("outputVoltage", channel), "F", QString::number(volts)));
        QVERIFY(set(oid("outputSwitch", channel), "i", QStringLiteral("1")));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        CrateSimProcess::Options options;
        QJsonObject module = hvModule(0, "T03X0", 8, Serial, 3000.0);
        module.insert(QStringLiteral("load"), 1e9);
        options.crateFile = writeCrate(m_dir, QStringLiteral("protect.json"), QJsonArray{module});
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
        MessageBox::clearHooks();
    }

    void cleanup() { m_sim.reset(); }

    void currentTripSwitchesTheChannelOffAfterItsDelay()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        // 800 V into 1 Mohm wants 0.8 mA; a set current of 0.3 mA holds it in regulation.
        QVERIFY(set(QStringLiteral("CRATESIM-MIB::cratesimChannelLoad.3"), "F", QStringLiteral("1e6")));
        switchOn(1, 100.0);
        switchOn(2, 800.0);
        QTRY_VERIFY_WITH_TIMEOUT(value("outputMeasurementTerminalVoltage", 2) > 700.0, 10000);

        selectRows(window, {2});
        bool seen = false;
        whenModal<DialogSetCurrent>([&seen](DialogSetCurrent *d) {
            seen = true;
            QVERIFY(d->findChild<QCheckBox *>(QStringLiteral("chkDelayedTrip"))->isEnabled());
            d->setValue(0.3);
            d->setDelayedTrip(true);
            d->setDelay(1000);
            d->findChild<QRadioButton *>(QStringLiteral("chkShutDown"))->setChecked(true);
            d->accept();
        });
        action(window, "actionSetChannelCurrentTrip")->trigger();
        // The dialog opens once the crate thread read the trip settings; the
        // writes go back there.
        QTRY_VERIFY(seen);
        QTRY_COMPARE(value("outputCurrent", 2), 0.0003);
        QTRY_COMPARE(int(value("outputTripTimeMaxCurrent", 2)), 1000);
        QCOMPARE((int(value("outputSupervisionBehavior", 2)) >> 6) & 3, 2);
        QCOMPARE(int(value("outputTripTimeMaxCurrent", 1)), 0); // only the current channel

        QTRY_VERIFY_WITH_TIMEOUT(status(2) & TripBit, 15000);
        const int waited = int(snmpNumber(*m_sim, QStringLiteral("CRATESIM-MIB::cratesimChannelTripDelay.3")));
        QVERIFY2(waited >= 1000 && waited <= 1020, qPrintable(QString::number(waited)));
        QCOMPARE(simValue("cratesimChannelOutputVoltage", 2), 0.0); // switched off without ramp
        QVERIFY(status(1) & OnBit);

        // Opened again, the dialog shows what the module now holds.
        bool reread = false;
        whenModal<DialogSetCurrent>([&reread](DialogSetCurrent *d) {
            reread = d->delayedTrip() && d->delay() == 1000 && d->action() == 2 && qAbs(d->value() - 0.3) < 1e-6;
            d->reject();
        });
        action(window, "actionSetChannelCurrentTrip")->trigger();
        QTRY_VERIFY(reread);
        QCOMPARE(value("outputCurrent", 2), 0.0003); // Cancel wrote nothing
    }

    void inhibitActionActsOnASimulatedInhibit_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("otherStaysOn");
        QTest::newRow("channel, shut down") << "actionSetChannelExternalInhibitAction" << "shutDownChannel" << 2 << true;
        QTest::newRow("all channels, module off")
            << "actionSetAllChannelsExternalInhibitAction" << "shutDownModule" << 3 << false;
    }
    void inhibitActionActsOnASimulatedInhibit()
    {
        QFETCH(QString, command);
        QFETCH(QString, button);
        QFETCH(int, action);
        QFETCH(bool, otherStaysOn);
        VexaControl window;
        QVERIFY(waitConnected(window));
        switchOn(3, 500.0);
        switchOn(4, 500.0);
        QTRY_VERIFY_WITH_TIMEOUT(value("outputMeasurementTerminalVoltage", 3) > 450.0, 10000);
        selectRows(window, {3});
        whenModal<DialogInhibit>([button](DialogInhibit *d) {
            d->findChild<QRadioButton *>(button)->setChecked(true);
            d->accept();
        });
        VexaTest::action(window, command.toLatin1().constData())->trigger();
        QTRY_COMPARE((int(value("outputSupervisionBehavior", 3)) >> 12) & 3, action);
        QCOMPARE((int(value("outputSupervisionBehavior", 4)) >> 12) & 3, otherStaysOn ? 0 : action);

        QVERIFY(set(QStringLiteral("CRATESIM-MIB::cratesimChannelInhibit.4"), "i", QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(status(3) & InhibitBit, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(simValue("cratesimChannelOutputVoltage", 3), 0.0, 5000);
        QCOMPARE(bool(status(4) & OnBit), otherStaysOn);
    }

    void boundsReachTheSimulatorAndLimitTheOutput()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        switchOn(1, 2000.0);
        QTRY_VERIFY_WITH_TIMEOUT(value("outputMeasurementTerminalVoltage", 1) > 1990.0, 15000);
        selectRows(window, {1});
        action(window, "actionBounds")->trigger();
        DialogChannelBounds *bounds = window.boundsDialog();
        QVERIFY(bounds && bounds->isVisible());
        QCOMPARE(bounds->windowTitle(), QStringLiteral("Channel 1 Voltage and Current Bounds"));
        auto *vmax = bounds->findChild<QDoubleSpinBox *>(QStringLiteral("spbVoltageIlkMax"));
        auto *imax = bounds->findChild<QDoubleSpinBox *>(QStringLiteral("spbCurrentIlkMax"));
        // Ranges from the nominal values in the display unit: 3000 V, 1 mA.
        QTRY_COMPARE_WITH_TIMEOUT(imax->maximum(), 1.01, 5000);
        QCOMPARE(vmax->maximum(), 3030.0);
        QCOMPARE(bounds->currentUnit(), QStringLiteral("mA"));

        vmax->setValue(1500.0);
        imax->setValue(0.8);
        bounds->findChild<QPushButton *>(QStringLiteral("btnSetBounds"))->click();
        QCOMPARE(value("outputSupervisionMaxTerminalVoltage", 1), 1500.0);
        QVERIFY(qAbs(value("outputSupervisionMaxCurrent", 1) - 0.0008) < 1e-9);
        QCOMPARE(value("outputSupervisionMaxTerminalVoltage", 0), 3060.0); // others untouched

        // The table shows the output held at the bound (within the measurement noise).
        auto shownVoltage = [&window] {
            bool ok = false;
            const double v =
                QLocale().toDouble(table(window)->item(1, ChannelTable::VoltageMeasureColumn)->text(), &ok);
            return ok ? v : qQNaN();
        };
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(shownVoltage() - 1500.0) < 2.0, 15000);
        // The dialog follows the module again after "Set".
        vmax->setValue(100.0);
        bounds->findChild<QPushButton *>(QStringLiteral("btnSetBounds"))->click();
        QVERIFY(set(oid("outputSupervisionMaxTerminalVoltage", 1), "F", QStringLiteral("1234")));
        QTRY_COMPARE_WITH_TIMEOUT(vmax->value(), 1234.0, 5000);
    }

    void hiddenServiceDialogsNeedThePassword()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        for (const char *name : {"actionInterlockOut", "actionVariableGroups", "actionSetChannelNominalValues"})
            QVERIFY2(!action(window, name)->isVisible(), name);
        MessageBox::setNextValue(QStringLiteral("brisel"));
        action(window, "actionPassword")->trigger();
        QVERIFY(!action(window, "actionVariableGroups")->isVisible());
        MessageBox::setNextValue(QStringLiteral("tor5plank"));
        action(window, "actionPassword")->trigger();
        for (const char *name : {"actionInterlockOut", "actionVariableGroups", "actionSetChannelNominalValues"})
            QVERIFY2(action(window, name)->isVisible() && action(window, name)->isEnabled(), name);

        // The groups dialog polls the module, which answers "no group" over SNMP.
        action(window, "actionVariableGroups")->trigger();
        auto *groups = window.findChild<DialogFlexGroups *>();
        QVERIFY(groups && groups->isVisible());
        QTRY_COMPARE(groups->serialNumber(), Serial);
        QVERIFY(groups->findChild<QCheckBox *>(QStringLiteral("chkChannel07"))->isEnabled());
        QVERIFY(!groups->findChild<QCheckBox *>(QStringLiteral("chkChannel08"))->isEnabled());
        QVERIFY(groups->pollTimer()->isActive());
    }
};

VEXA_TEST_MAIN(TestVexaControlProtect)
#include "tst_vexacontrolprotect.moc"
