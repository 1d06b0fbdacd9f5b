// The automatic dialog on its own: the settings it announces, the two timer
// signals, and the way back to idle when the owner stops the cycle.

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
    void settingsAnnounced_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("scope");
        QTest::addColumn<int>("checkIndex");
        QTest::newRow("channel") << "chkChannel" << 0 << 0;
        QTest::newRow("module, current range") << "chkModule" << 1 << 1;
        QTest::newRow("system") << "chkSystem" << 2 << 0;
        QTest::newRow("special") << "chkSpecial" << 3 << 1;
    }

    void settingsAnnounced()
    {
        QFETCH(QString, radio);
        QFETCH(int, scope);
        QFETCH(int, checkIndex);
        DialogAutomatic d;
        QSignalSpy changed(&d, &DialogAutomatic::automaticSettingsChanged);
        child<QRadioButton>(d, radio.toLatin1().constData())->setChecked(true);
        child<QComboBox>(d, "checkType")->setCurrentIndex(checkIndex);
        child<QDoubleSpinBox>(d, "sbUpper")->setValue(1200.5);
        child<QDoubleSpinBox>(d, "sbIncrement")->setValue(0.25);
        QVERIFY(changed.count() >= 2);
        const auto s = changed.last().at(0).value<AutoCycler::Settings>();
        QCOMPARE(s.scope, scope);
        QCOMPARE(s.checkType, checkIndex);
        QCOMPARE(s.upper, 1200.5);
        QCOMPARE(s.lower, 300.0);
        QCOMPARE(s.increment, 0.25);
        QCOMPARE(d.settings().scope, scope);
    }

    void timerSignalsAndStopByOwner()
    {
        DialogAutomatic d;
        QSignalSpy enabled(&d, &DialogAutomatic::automaticTimerEnabled);
        QSignalSpy interval(&d, &DialogAutomatic::automaticTimerIntervalChanged);
        auto *button = child<QPushButton>(d, "btnStartStop");
        QCOMPARE(button->text(), QStringLiteral("Start"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Stop"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(enabled.count(), 2);
        QCOMPARE(enabled.at(0).at(0).toBool(), true);
        QCOMPARE(enabled.at(1).at(0).toBool(), false);
        child<QSpinBox>(d, "sbInterval")->setValue(2);
        child<QSpinBox>(d, "sbInterval")->setValue(1); // below the range: stays 2 s
        QCOMPARE(interval.count(), 1);
        QCOMPARE(interval.at(0).at(0).toInt(), 2000);

        // Running, then the owner stops (its log failed): idle without a second stop request.
        QTest::mouseClick(button, Qt::LeftButton);
        d.log(QStringLiteral("first"));
        d.log(QStringLiteral("second"));
        d.automaticTimerStopped();
        QVERIFY(!d.isRunning());
        QCOMPARE(button->text(), QStringLiteral("Start"));
        QCOMPARE(enabled.count(), 3);
        QCOMPARE(child<QTextEdit>(d, "txtLog")->toPlainText(), QStringLiteral("first\nsecond"));
    }
};

VEXA_TEST_MAIN(TestDialogAutomatic)
#include "tst_dialogautomatic.moc"
