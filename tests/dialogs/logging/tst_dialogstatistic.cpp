// The measurement log dialog driven through its slots, as the main window's
// refresh over all modules drives it: header and data lines, Once and Start,
// value and channel choices, the serial and channel limits, the delay, and a
// file that cannot be opened or stops taking lines.

#include "dialogstatistic.h"
#include "messagebox.h"
#include "testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kStamp = QStringLiteral("\\d{4}-\\d\\d-\\d\\d;\\d\\d:\\d\\d:\\d\\d\\.\\d{3}");
} // namespace

class TestDialogStatistic : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    template <typename T>
    static T *child(DialogStatistic &d, const char *name)
    {
        T *w = d.findChild<T *>(QLatin1String(name));
        if (!w)
            qWarning("no widget %s", name);
        return w;
    }
    static QPushButton *button(DialogStatistic &d, const char *name) { return child<QPushButton>(d, name); }

    // One module's share of a refresh pass: temperature, then per channel the
    // voltage and the current. Values tell module and channel apart.
    static void feedModule(DialogStatistic &d, int serial, int channels, float temperature = 31.5f)
    {
        d.updateModuleTemperature(serial, 0, temperature);
        d.updateModuleTemperature(serial, 1, 99.0f); // only sensor 0 is logged
        for (int channel = 0; channel < channels; ++channel) {
            d.updateChannelVoltageMeasure(serial, channel, 1000.5f + channel);
            d.updateChannelCurrentMeasure(serial, channel, 1.25e-6f * (channel + 1));
        }
    }

    static void refreshPass(DialogStatistic &d, const QList<int> &serials, int channels)
    {
        d.updateAllModulesStarted();
        for (int serial : serials)
            feedModule(d, serial, channels);
        d.updateAllModulesCompleted();
    }

    QStringList fileLines() const
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    void useFile(DialogStatistic &d, const QString &path) { child<QLineEdit>(d, "txtFilename")->setText(path); }

    static bool idle(DialogStatistic &d)
    {
        return !d.isRecording() && button(d, "btnStart")->isEnabled() && !button(d, "btnStop")->isEnabled()
            && button(d, "pushButtonOnce")->isEnabled() && button(d, "btnSelectFile")->isEnabled()
            && child<QLineEdit>(d, "txtFilename")->isEnabled()
            && child<QGroupBox>(d, "grpChannelSelection")->isEnabled() && child<QGroupBox>(d, "writeGroup")->isEnabled()
            && child<QGroupBox>(d, "delayGroup")->isEnabled();
    }

    static QString fourChannelHeader()
    {
        return QStringLiteral("Date;Time;Serial no.;Vmeasure0;Imeasure0;Vmeasure1;Imeasure1;Vmeasure2;Imeasure2;"
                              "Vmeasure3;Imeasure3;Temperature");
    }

    static QRegularExpression fourChannelLine(int serial)
    {
        return QRegularExpression(QLatin1Char('^') + kStamp + QStringLiteral(";%1;").arg(serial)
                                  + QStringLiteral("1000\\.5;1\\.25e-06;1001\\.5;2\\.5e-06;1002\\.5;3\\.75e-06;"
                                                   "1003\\.5;5e-06;31\\.5$"));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        static int n = 0;
        m_path = m_dir.filePath(QStringLiteral("measurement%1.csv").arg(++n));
    }

    void formStartsIdle()
    {
        DialogStatistic d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Statistic"));
        QCOMPARE(child<QLineEdit>(d, "txtFilename")->text(),
                 QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/measurement.csv")));
        QVERIFY(idle(d));
        QVERIFY(child<QRadioButton>(d, "chkAllChannels")->isChecked());
        QVERIFY(child<QRadioButton>(d, "writeVoltagesAndCurrents")->isChecked());
        QVERIFY(!child<QSpinBox>(d, "spbChannelNumber")->isEnabled());
        d.setChannelCount(12);
        QCOMPARE(child<QSpinBox>(d, "spbChannelNumber")->maximum(), 11);
        useFile(d, QString());
        QVERIFY(!button(d, "btnStart")->isEnabled());
        QVERIFY(!button(d, "pushButtonOnce")->isEnabled());
        useFile(d, m_path);
        QVERIFY(button(d, "btnStart")->isEnabled());
        QVERIFY(button(d, "pushButtonOnce")->isEnabled());
    }

    void onceWritesOneLinePerModuleAndCloses()
    {
        DialogStatistic d;
        d.setChannelCount(4);
        useFile(d, m_path);
        // Passes before Once record nothing.
        refreshPass(d, {7001, 7002, 7003}, 4);
        QVERIFY(!QFile::exists(m_path));
        QTest::mouseClick(button(d, "pushButtonOnce"), Qt::LeftButton);
        refreshPass(d, {7001, 7002, 7003}, 4);
        QVERIFY(idle(d));
        refreshPass(d, {7001, 7002, 7003}, 4);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0), fourChannelHeader());
        for (int i = 0; i < 3; ++i)
            QVERIFY2(fourChannelLine(7001 + i).match(lines.at(1 + i)).hasMatch(), qPrintable(lines.at(1 + i)));
        QCOMPARE(d.linesWritten(), 3);
        QCOMPARE(child<QLineEdit>(d, "txtLinesWritten")->text(), QStringLiteral("3"));
    }

    void startTwiceAppendsASecondHeader()
    {
        {
            QFile old(m_path);
            QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Text));
            old.write("yesterday\n");
        }
        DialogStatistic d;
        d.setChannelCount(4);
        useFile(d, m_path);
        for (int run = 0; run < 2; ++run) {
            QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
            QVERIFY(d.isRecording());
            QVERIFY(!button(d, "pushButtonOnce")->isEnabled());
            QVERIFY(!child<QGroupBox>(d, "writeGroup")->isEnabled());
            refreshPass(d, {7001}, 4);
            refreshPass(d, {7001}, 4);
            QTest::mouseClick(button(d, "btnStop"), Qt::LeftButton);
            QVERIFY(idle(d));
            QCOMPARE(d.linesWritten(), 2); // counted from each start
        }
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.at(0), QStringLiteral("yesterday"));
        QCOMPARE(lines.at(1), fourChannelHeader());
        QCOMPARE(lines.at(4), fourChannelHeader());
        for (int i : {2, 3, 5, 6})
            QVERIFY2(fourChannelLine(7001).match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
    }

    void valueChoices_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("values");
        QTest::newRow("voltages") << "writeVoltages" << "Date;Time;Serial no.;Vmeasure0;Vmeasure1;Vmeasure2;Temperature"
                                  << "1000.5;1001.5;1002.5;";
        QTest::newRow("currents") << "writeCurrents" << "Date;Time;Serial no.;Imeasure0;Imeasure1;Imeasure2;Temperature"
                                  << "1.25e-06;2.5e-06;3.75e-06;";
        QTest::newRow("both") << "writeVoltagesAndCurrents"
                              << "Date;Time;Serial no.;Vmeasure0;Imeasure0;Vmeasure1;Imeasure1;Vmeasure2;Imeasure2;"
                                 "Temperature"
                              << "1000.5;1.25e-06;1001.5;2.5e-06;1002.5;3.75e-06;";
    }

    void valueChoices()
    {
        QFETCH(QString, choice);
        QFETCH(QString, header);
        QFETCH(QString, values);
        DialogStatistic d;
        d.setChannelCount(3);
        useFile(d, m_path);
        child<QRadioButton>(d, choice.toLatin1().constData())->setChecked(true);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        d.updateAllModulesStarted();
        d.updateModuleTemperature(55, 0, -3.26f);
        for (int channel = 0; channel < 3; ++channel) {
            d.updateChannelVoltageMeasure(55, channel, 1000.5f + channel);
            // With voltages only, too, the line waits for the last channel's current.
            QCOMPARE(d.linesWritten(), 0);
            d.updateChannelCurrentMeasure(55, channel, 1.25e-6f * (channel + 1));
        }
        d.updateAllModulesCompleted();
        QCOMPARE(d.linesWritten(), 1);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), header);
        QVERIFY2(QRegularExpression(QLatin1Char('^') + kStamp + QStringLiteral(";55;") + QRegularExpression::escape(values)
                                    + QStringLiteral("-3\\.3$"))
                     .match(lines.at(1))
                     .hasMatch(),
                 qPrintable(lines.at(1)));
    }

    void singleChannelWritesALinePerUpdate()
    {
        DialogStatistic d;
        d.setChannelCount(4);
        useFile(d, m_path);
        QTest::mouseClick(child<QRadioButton>(d, "chkSingleChannel"), Qt::LeftButton);
        QVERIFY(child<QSpinBox>(d, "spbChannelNumber")->isEnabled());
        child<QSpinBox>(d, "spbChannelNumber")->setValue(2);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        QVERIFY(!child<QGroupBox>(d, "grpChannelSelection")->isEnabled());
        refreshPass(d, {9}, 4);
        QCOMPARE(d.linesWritten(), 1);
        refreshPass(d, {9}, 4);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QStringLiteral("Date;Time;Serial no.;Vmeasure2;Imeasure2;Temperature"));
        const QRegularExpression both(QLatin1Char('^') + kStamp + QStringLiteral(";9;1002\\.5;3\\.75e-06;31\\.5$"));
        QVERIFY2(both.match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
        QVERIFY2(both.match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
    }

    void onlyValuesOfAPassOverAllModulesAreRecorded()
    {
        DialogStatistic d;
        d.setChannelCount(4);
        useFile(d, m_path);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        // The current module's values of every tick come through the same slots.
        feedModule(d, 7001, 4, 0.0f);
        QCOMPARE(d.linesWritten(), 0);
        refreshPass(d, {7001, 7002}, 4);
        feedModule(d, 7001, 4, 0.0f);
        QCOMPARE(d.linesWritten(), 2);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(fourChannelLine(7001).match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
        QVERIFY2(fourChannelLine(7002).match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
    }

    void sixtyFifthModuleIsIgnored()
    {
        DialogStatistic d;
        d.setChannelCount(1);
        useFile(d, m_path);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        QList<int> serials;
        for (int serial = 1; serial <= 65; ++serial)
            serials.append(serial);
        refreshPass(d, serials, 1);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 65);
        QVERIFY(lines.at(64).contains(QStringLiteral(";64;1000.5;")));
        for (const QString &line : lines)
            QVERIFY2(!line.contains(QStringLiteral(";65;")), qPrintable(line));
    }

    void channelLimit_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("lines");
        QTest::newRow("95 is recorded") << 95 << 1;
        QTest::newRow("96 is not") << 96 << 0;
    }

    void channelLimit()
    {
        QFETCH(int, channel);
        QFETCH(int, lines);
        DialogStatistic d;
        d.setChannelCount(99);
        useFile(d, m_path);
        QTest::mouseClick(child<QRadioButton>(d, "chkSingleChannel"), Qt::LeftButton);
        child<QSpinBox>(d, "spbChannelNumber")->setValue(channel);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        refreshPass(d, {3}, 99);
        QCOMPARE(d.linesWritten(), lines);
        QCOMPARE(fileLines().size(), 1 + lines);
    }

    void oneLinePerDelayPeriodForAllModules()
    {
        DialogStatistic d;
        d.setChannelCount(4);
        useFile(d, m_path);
        child<QSpinBox>(d, "delaySpinBox")->setValue(1000);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        // Less than the delay since the dialog was made: nothing yet.
        refreshPass(d, {1, 2}, 4);
        QTest::qWait(1100);
        refreshPass(d, {1, 2}, 4);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(fourChannelLine(1).match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
    }

    void fileThatCannotBeOpenedIsReportedOnce()
    {
        DialogStatistic d;
        d.setChannelCount(4);
        const QString bad = m_dir.filePath(QStringLiteral("no such folder/m.csv"));
        useFile(d, bad);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        QVERIFY(idle(d));
        QTRY_COMPARE(MessageBox::history().size(), 1);
        QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
        QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("Can not open file '%1' for writing!").arg(bad));
        // Once with the same file: one warning, not one per refresh pass.
        QTest::mouseClick(button(d, "pushButtonOnce"), Qt::LeftButton);
        refreshPass(d, {1}, 4);
        refreshPass(d, {1}, 4);
        QTRY_COMPARE(MessageBox::history().size(), 2);
        QTest::qWait(50);
        QCOMPARE(MessageBox::history().size(), 2);
        QVERIFY(idle(d));
    }

    void writeErrorStopsRecording_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::newRow("disk full") << "full";
        QTest::newRow("file removed while recording") << "removed";
        QTest::newRow("file replaced while recording") << "replaced";
    }

    void writeErrorStopsRecording()
    {
        QFETCH(QString, trouble);
        DialogStatistic d;
        d.setChannelCount(4);
        const QString path = trouble == QLatin1String("full") ? QStringLiteral("/dev/full") : m_path;
        useFile(d, path);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        if (trouble != QLatin1String("full")) {
            refreshPass(d, {1}, 4);
            QCOMPARE(d.linesWritten(), 1);
            QVERIFY(QFile::remove(m_path));
            if (trouble == QLatin1String("replaced")) {
                QFile other(m_path);
                QVERIFY(other.open(QIODevice::WriteOnly));
            }
        }
        refreshPass(d, {1}, 4);
        QVERIFY(idle(d));
        // Reported after the pass, not from inside it, and only once.
        QCOMPARE(MessageBox::history().size(), 0);
        refreshPass(d, {1}, 4);
        QTRY_COMPARE(MessageBox::history().size(), 1);
        QTest::qWait(50);
        QCOMPARE(MessageBox::history().size(), 1);
        QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
        QVERIFY2(MessageBox::last().text.contains(QStringLiteral("'%1'").arg(path))
                     && MessageBox::last().text.contains(QStringLiteral("Recording has stopped")),
                 qPrintable(MessageBox::last().text));
        QCOMPARE(d.linesWritten(), trouble == QLatin1String("full") ? 0 : 1);
    }

    void closingWhileRecordingReturnsToIdle()
    {
        DialogStatistic d;
        d.setChannelCount(4);
        useFile(d, m_path);
        d.show();
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        refreshPass(d, {1}, 4);
        d.reject();
        QVERIFY(idle(d));
        refreshPass(d, {1}, 4);
        QCOMPARE(fileLines().size(), 2);
    }

    void channelCountOfTheHeaderHoldsWhileRecording()
    {
        DialogStatistic d;
        d.setChannelCount(2);
        useFile(d, m_path);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        // The operator picks a module of four channels and opens the dialog again.
        d.setChannelCount(4);
        refreshPass(d, {1}, 4);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("Date;Time;Serial no.;Vmeasure0;Imeasure0;Vmeasure1;Imeasure1;Temperature"));
        QCOMPARE(lines.at(1).count(QLatin1Char(';')), lines.at(0).count(QLatin1Char(';')));
    }

    void numbersKeepTheDecimalSeparatorWithoutGrouping()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        DialogStatistic d;
        d.setChannelCount(1);
        useFile(d, m_path);
        QTest::mouseClick(button(d, "btnStart"), Qt::LeftButton);
        refreshPass(d, {12}, 1);
        QLocale::setDefault(saved);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(1).contains(QStringLiteral(";12;1000,5;1,25")) && lines.at(1).endsWith(QStringLiteral(";31,5")),
                 qPrintable(lines.at(1)));
    }

    void fileSelectorAddsTheEnding_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("shown");
        QTest::newRow("without ending") << "/tmp/night" << "/tmp/night.csv";
        QTest::newRow("with ending") << "/tmp/night.csv" << "/tmp/night.csv";
        QTest::newRow("cancelled") << "" << "unchanged";
    }

    void fileSelectorAddsTheEnding()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, shown);
        DialogStatistic d;
        useFile(d, QStringLiteral("unchanged"));
        MessageBox::setNextFileName(chosen);
        QTest::mouseClick(button(d, "btnSelectFile"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(d, "txtFilename")->text(), QDir::toNativeSeparators(shown));
        QCOMPARE(MessageBox::last().kind, MessageBox::SaveFileName);
        QCOMPARE(MessageBox::last().title, QStringLiteral("Save measurement data"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("Measurement files (*.csv)"));
    }
};

VEXA_TEST_MAIN(TestDialogStatistic)
#include "tst_dialogstatistic.moc"
