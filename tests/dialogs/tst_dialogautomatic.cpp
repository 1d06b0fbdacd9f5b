// The automatic dialog on its own: its settings as the cycler reads them, the
// two signals, the log, and the way back to idle when the owner stops the cycle.

#include "dialogautomatic.h"
#include "testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTextEdit>
#include <QtTest>

class TestDialogAutomatic : public QObject
{
    Q_OBJECT

private:
    template <typename T>
    static T *child(DialogAutomatic &d, const char *name)
    {
        return d.findChild<T *>(QLatin1String(name));
    }

private slots:
    void formRangesAndStart()
    {
        DialogAutomatic d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Automatic Control"));
        auto *upper = child<QDoubleSpinBox>(d, "sbUpper");
        auto *lower = child<QDoubleSpinBox>(d, "sbLower");
        auto *increment = child<QDoubleSpinBox>(d, "sbIncrement");
        auto *interval = child<QSpinBox>(d, "sbInterval");
        QVERIFY(upper && lower && increment && interval);
        QCOMPARE(upper->value(), 500.0);
        QCOMPARE(upper->decimals(), 1);
        QCOMPARE(upper->maximum(), 100000.0);
        QCOMPARE(lower->value(), 300.0);
        QCOMPARE(increment->decimals(), 3);
        QCOMPARE(increment->minimum(), 0.001);
        QCOMPARE(increment->value(), 1.0);
        QCOMPARE(interval->minimum(), 2);
        QCOMPARE(interval->maximum(), 3600);
        QCOMPARE(interval->value(), 30);
        QCOMPARE(child<QComboBox>(d, "checkType")->itemText(0), QStringLiteral("Check Voltage Set"));
        QCOMPARE(child<QComboBox>(d, "checkType")->itemText(1), QStringLiteral("Check Current Range"));
        QCOMPARE(child<QPushButton>(d, "btnStartStop")->text(), QStringLiteral("Start"));
        QVERIFY(!d.isRunning());
    }

    void settingsAsTheCyclerReadsThem_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("scope");
        QTest::addColumn<int>("checkIndex");
        QTest::newRow("channel") << "chkChannel" << 0 << 0;
        QTest::newRow("module, current range") << "chkModule" << 1 << 1;
        QTest::newRow("system") << "chkSystem" << 2 << 0;
        QTest::newRow("special") << "chkSpecial" << 3 << 1;
    }

    void settingsAsTheCyclerReadsThem()
    {
        QFETCH(QString, radio);
        QFETCH(int, scope);
        QFETCH(int, checkIndex);
        DialogAutomatic d;
        child<QRadioButton>(d, radio.toLatin1().constData())->setChecked(true);
        child<QComboBox>(d, "checkType")->setCurrentIndex(checkIndex);
        child<QDoubleSpinBox>(d, "sbUpper")->setValue(1200.5);
        child<QDoubleSpinBox>(d, "sbLower")->setValue(10);
        child<QDoubleSpinBox>(d, "sbIncrement")->setValue(0.25);
        QSignalSpy changed(&d, &DialogAutomatic::automaticSettingsChanged);
        child<QDoubleSpinBox>(d, "sbIncrement")->setValue(0.5);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<AutoCycler::Settings>().increment, 0.5);
        child<QDoubleSpinBox>(d, "sbIncrement")->setValue(0.25);
        const AutoCycler::Settings s = d.settings();
        QCOMPARE(changed.last().at(0).value<AutoCycler::Settings>().scope, scope);
        QCOMPARE(d.scope(), scope);
        QCOMPARE(s.scope, scope);
        QCOMPARE(s.checkType, checkIndex);
        QCOMPARE(s.upper, 1200.5);
        QCOMPARE(s.lower, 10.0);
        QCOMPARE(s.increment, 0.25);
    }

    void startStopAndInterval()
    {
        DialogAutomatic d;
        QSignalSpy enabled(&d, &DialogAutomatic::automaticTimerEnabled);
        QSignalSpy interval(&d, &DialogAutomatic::automaticTimerIntervalChanged);
        auto *button = child<QPushButton>(d, "btnStartStop");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Stop"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Start"));
        QCOMPARE(enabled.count(), 2);
        QCOMPARE(enabled.at(0).at(0).toBool(), true);
        QCOMPARE(enabled.at(1).at(0).toBool(), false);
        child<QSpinBox>(d, "sbInterval")->setValue(2);
        child<QSpinBox>(d, "sbInterval")->setValue(1); // below the range: stays 2 s
        QCOMPARE(interval.count(), 1);
        QCOMPARE(interval.at(0).at(0).toInt(), 2000);
    }

    void ownerStopsTheCycle()
    {
        DialogAutomatic d;
        QSignalSpy enabled(&d, &DialogAutomatic::automaticTimerEnabled);
        QTest::mouseClick(child<QPushButton>(d, "btnStartStop"), Qt::LeftButton);
        d.log(QStringLiteral("Can not open the log file 'autologfile.csv' for writing"));
        d.automaticTimerStopped();
        QVERIFY(!d.isRunning());
        QCOMPARE(child<QPushButton>(d, "btnStartStop")->text(), QStringLiteral("Start"));
        QCOMPARE(enabled.count(), 1);
        // The next click starts again.
        QTest::mouseClick(child<QPushButton>(d, "btnStartStop"), Qt::LeftButton);
        QCOMPARE(enabled.count(), 2);
        QCOMPARE(enabled.at(1).at(0).toBool(), true);
    }

    void logAppendsParagraphs()
    {
        DialogAutomatic d;
        d.log(QStringLiteral("10:00:00: Slot 1.0.VSet = 300 (demand was 400)"));
        d.log(QStringLiteral("10:00:02: Slot 1.1.VSet = 300 (demand was 400)"));
        QCOMPARE(child<QTextEdit>(d, "txtLog")->toPlainText(),
                 QStringLiteral("10:00:00: Slot 1.0.VSet = 300 (demand was 400)\n"
                                "10:00:02: Slot 1.1.VSet = 300 (demand was 400)"));
    }
};

VEXA_TEST_MAIN(TestDialogAutomatic)
#include "tst_dialogautomatic.moc"
