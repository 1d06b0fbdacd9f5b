// The display-format dialog on its own: its unit lists match the module's
// formatting, the scope texts and the enabling, and what OK leaves in the store
// "resolution" for the module and for other modules.

#include "basemodule.h"
#include "dialogcalibrationcontrol.h"
#include "dialogsettings.h"
#include "resolution.h"
#include "settings.h"
#include "testenv.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <memory>

namespace {
const QString micro = QStringLiteral("\u00B5A");

std::unique_ptr<Resolution> loaded(int serial, const QString &firmware)
{
    auto r = std::make_unique<Resolution>();
    r->setSerialNumber(serial);
    r->setFirmwareName(firmware);
    r->load();
    return r;
}
} // namespace

class TestDialogSettings : public QObject
{
    Q_OBJECT

private:
    template <typename T>
    static T *child(QObject &d, const char *name)
    {
        T *w = d.findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    static QStringList items(QComboBox *combo)
    {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    }

private slots:
    void init() { Settings::store(QStringLiteral("resolution"))->clear(); }

    void unitItemsAreWhatTheModuleFormats()
    {
        DialogSettings dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
        const QStringList volts = items(child<QComboBox>(dialog, "voltageUnit"));
        QCOMPARE(volts, QStringList({"V", "kV", "%", "Exp"}));
        for (const QString &unit : volts)
            QCOMPARE(BaseModule::voltageUnitText(BaseModule::voltageUnitCode(unit)), unit);
        for (const char *name : {"currentUnit", "lowCurrentUnit"}) {
            const QStringList amps = items(child<QComboBox>(dialog, name));
            QCOMPARE(amps, QStringList({"nA", micro, "mA", "A", "%", "Exp"}));
            // Each item survives the store (micro sign kept as "uA") and names its own unit code.
            for (const QString &unit : amps) {
                const QString back = Resolution::displayUnit(Resolution::storedUnit(unit));
                QCOMPARE(BaseModule::currentUnitText(BaseModule::currentUnitCode(back)), unit);
            }
        }
    }

    void unitSelection_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("voltage");
        QTest::addColumn<QString>("current");
        QTest::newRow("empty selects Exp") << QString() << "Exp" << "Exp";
        QTest::newRow("exact") << "%" << "%" << "%";
        QTest::newRow("stored micro") << "uA" << "V" << micro;
        // Case matters, as in the module: "ma" is no milliampere there either.
        QTest::newRow("wrong case") << "ma" << "V" << "A";
        QTest::newRow("unknown falls back as the module does") << "mV" << "V" << "A";
    }

    void unitSelection()
    {
        QFETCH(QString, given);
        QFETCH(QString, voltage);
        QFETCH(QString, current);
        DialogSettings dialog;
        dialog.setVoltageUnit(given);
        dialog.setCurrentUnit(given);
        dialog.setLowCurrentUnit(given);
        QCOMPARE(dialog.voltageUnit(), voltage);
        QCOMPARE(dialog.currentUnit(), current);
        QCOMPARE(dialog.lowCurrentUnit(), current);
    }

    void scopeTextsAndEnabling()
    {
        DialogSettings dialog;
        dialog.setFirmwareName(QStringLiteral("T03X0"));
        dialog.setSerialNumber(4711);
        QCOMPARE(child<QRadioButton>(dialog, "modulesWithFirmwareName")->text(),
                 QStringLiteral("All modules with firmware name T03X0"));
        QCOMPARE(child<QRadioButton>(dialog, "moduleWithSerialNumber")->text(),
                 QStringLiteral("Selected module (serial number 4711)"));
        const char *groups[] = {"grpVoltageFormat", "grpCurrentFormat", "grpLowCurrentFormat"};
        dialog.setUseControllerUnits(true);
        for (const char *g : groups)
            QVERIFY(!child<QGroupBox>(dialog, g)->isEnabled());
        child<QRadioButton>(dialog, "userSettings")->click();
        for (const char *g : groups)
            QVERIFY(child<QGroupBox>(dialog, g)->isEnabled());
        QVERIFY(!dialog.useControllerUnits());
        child<QRadioButton>(dialog, "controllerSettings")->click();
        for (const char *g : groups)
            QVERIFY(!child<QGroupBox>(dialog, g)->isEnabled());
        // Without a firmware name there is no group to keep the format in.
        dialog.setScope(Resolution::FirmwareScope);
        QCOMPARE(dialog.scope(), int(Resolution::FirmwareScope));
        dialog.setFirmwareName(QString());
        QVERIFY(!child<QRadioButton>(dialog, "modulesWithFirmwareName")->isEnabled());
        QCOMPARE(dialog.scope(), int(Resolution::SerialNumberScope));
    }

    void firmwareScopeReachesEveryModuleOfTheType()
    {
        DialogSettings dialog;
        dialog.setResolution(*loaded(4711, QStringLiteral("T03X0")));
        QCOMPARE(dialog.scope(), int(Resolution::DefaultScope));
        // Default units: the format groups are disabled, their values still count.
        QVERIFY(dialog.useControllerUnits());
        dialog.setVoltageUnit(QStringLiteral("kV"));
        dialog.setVoltagePrecision(4);
        dialog.setCurrentUnit(micro);
        dialog.setLowCurrentPrecision(6);
        dialog.setScope(Resolution::FirmwareScope);
        QSignalSpy saved(&dialog, &DialogSettings::resolutionSaved);
        dialog.show();
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(saved.count(), 1);
        QCOMPARE(saved.at(0).at(0).toInt(), 4711);
        QCOMPARE(saved.at(0).at(1).toInt(), int(Resolution::FirmwareScope));

        const auto sibling = loaded(815, QStringLiteral("T03X0"));
        QCOMPARE(sibling->voltageUnit(), QStringLiteral("kV"));
        QCOMPARE(sibling->voltagePrecision(), 4);
        QCOMPARE(sibling->currentUnit(), micro);
        QCOMPARE(sibling->lowCurrentPrecision(), 6);
        QCOMPARE(sibling->useControllerUnits(), 1);
        QCOMPARE(sibling->scope(), int(Resolution::FirmwareScope));
        QCOMPARE(Settings::store(QStringLiteral("resolution"))->value("T03X0/currentUnit").toString(),
                 QStringLiteral("uA"));
        QCOMPARE(loaded(816, QStringLiteral("T14X0"))->voltageUnit(), QStringLiteral("V"));
    }

    void cancelStoresNothing()
    {
        DialogSettings dialog;
        dialog.setResolution(*loaded(4711, QStringLiteral("T03X0")));
        dialog.setVoltageUnit(QStringLiteral("%"));
        dialog.show();
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(Settings::store(QStringLiteral("resolution"))->allKeys().isEmpty());
    }

    // Narrower groups of the module would override what was just saved for
    // all modules; saving at a wider scope empties them.
    void widerScopeEmptiesTheNarrowerGroups()
    {
        const auto own = loaded(4711, QStringLiteral("T03X0"));
        own->setVoltageUnit(QStringLiteral("%"));
        own->save(Resolution::FirmwareScope);
        own->setVoltageUnit(QStringLiteral("kV"));
        own->save(Resolution::SerialNumberScope);
        QCOMPARE(loaded(4711, QStringLiteral("T03X0"))->voltageUnit(), QStringLiteral("kV"));

        DialogSettings dialog;
        dialog.setResolution(*loaded(4711, QStringLiteral("T03X0")));
        QCOMPARE(dialog.scope(), int(Resolution::SerialNumberScope));
        dialog.setUseControllerUnits(false);
        dialog.setVoltageUnit(QStringLiteral("Exp"));
        dialog.setScope(Resolution::DefaultScope);
        dialog.accept();

        const auto after = loaded(4711, QStringLiteral("T03X0"));
        QCOMPARE(after->voltageUnit(), QStringLiteral("Exp"));
        QCOMPARE(after->scope(), int(Resolution::DefaultScope));
        QCOMPARE(after->useControllerUnits(), 0);
        auto store = Settings::store(QStringLiteral("resolution"));
        QVERIFY(!store->contains(QStringLiteral("4711/voltageUnit")));
        QVERIFY(!store->contains(QStringLiteral("T03X0/voltageUnit")));
    }

    void calibrationRanges()
    {
        DialogCalibrationControl dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Calibration Control"));
        QSignalSpy range(&dialog, &DialogCalibrationControl::setCurrentMeasurementRange);
        child<QPushButton>(dialog, "buttonLowRange")->click();
        child<QPushButton>(dialog, "buttonHighRange")->click();
        QCOMPARE(range.count(), 2);
        QCOMPARE(int(range.at(0).at(0).value<CurrentMeasurementRange>()), 1);
        QCOMPARE(int(range.at(1).at(0).value<CurrentMeasurementRange>()), 0);
        QCOMPARE(child<QPushButton>(dialog, "buttonHighRange")->text(), QStringLiteral("High Range"));
        QCOMPARE(child<QPushButton>(dialog, "buttonLowRange")->text(), QStringLiteral("Low Range"));
    }
};

VEXA_TEST_MAIN(TestDialogSettings)
#include "tst_dialogsettings.moc"
