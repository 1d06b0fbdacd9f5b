// The measurement log and the automatic voltage cycle from the File menu,
// against private cratesims: Once over all modules, the demands walking between
// the limits, the check two seconds after each step, the scopes, a module that
// refuses its demand, and the autolog appended across two runs of the window
// and stopped on a write error.

#include "tst_vexacontrolsupport.h"

#include "autocycler.h"
#include "dialogautomatic.h"
#include "dialogstatistic.h"
#include "messagebox.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>

using namespace VexaTest;

namespace {
const QString kStamp = QStringLiteral("\\d{4}-\\d\\d-\\d\\d;\\d\\d:\\d\\d:\\d\\d\\.\\d{3}");
constexpr int kWaitMs = 30000;
} // namespace

class TestVexaControlLogging : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    // Three modules of four channels; the one in slot 2 takes at most 350 V.
    std::unique_ptr<CrateSimProcess> m_three;
    // Two modules only.
    std::unique_ptr<CrateSimProcess> m_two;

    static bool setVoltage(const CrateSimProcess &sim, int slot, int channel, double volts)
    {
        return !snmp(sim, QStringLiteral("snmpset"),
                     {QStringLiteral("WIENER-CRATE-MIB::outputVoltage.%1").arg(slot * 100 + channel + 1),
                      QStringLiteral("F"), QString::number(volts)})
                    .isEmpty();
    }

    static DialogAutomatic *openAutomatic(VexaControl &window)
    {
        action(window, "actionAutomatic")->trigger();
        auto *dialog = window.findChild<DialogAutomatic *>();
        if (dialog && !dialog->isVisible())
            return nullptr;
        return dialog;
    }

    // Limits 500/300, steps of 100 every 2 s, the given scope radio button.
    static void configure(DialogAutomatic *dialog, const char *scopeButton, int checkType = 0)
    {
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbUpper"))->setValue(500);
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbLower"))->setValue(300);
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("sbIncrement"))->setValue(100);
        dialog->findChild<QSpinBox *>(QStringLiteral("sbInterval"))->setValue(2);
        dialog->findChild<QRadioButton *>(QLatin1String(scopeButton))->setChecked(true);
        dialog->findChild<QComboBox *>(QStringLiteral("checkType"))->setCurrentIndex(checkType);
    }

    static QPushButton *startStop(DialogAutomatic *dialog)
    {
        return dialog->findChild<QPushButton *>(QStringLiteral("btnStartStop"));
    }

    // Start, and Stop right after the first step; its check still comes. At an
    // interval of 2 s the next step would come together with that check.
    static void runOneStep(VexaControl &window, DialogAutomatic *dialog)
    {
        auto *cycler = window.findChild<AutoCycler *>();
        QSignalSpy stepped(cycler, &AutoCycler::stepped);
        QSignalSpy checked(cycler, &AutoCycler::checked);
        QTest::mouseClick(startStop(dialog), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(stepped.count() == 1, kWaitMs);
        QTest::mouseClick(startStop(dialog), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(checked.count() == 1, kWaitMs);
        QCOMPARE(stepped.count(), 1);
    }

    static QString logText(DialogAutomatic *dialog)
    {
        return dialog->findChild<QTextEdit *>(QStringLiteral("txtLog"))->toPlainText();
    }

    static QStringList fileLines(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    static std::unique_ptr<CrateSimProcess> startSim(const QTemporaryDir &dir, const QString &name,
                                                     const QJsonArray &modules)
    {
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(dir, name, modules);
        options.timeScale = 10;
        auto sim = std::make_unique<CrateSimProcess>(options);
        if (!sim->start())
            qWarning("%s", qPrintable(sim->errorString()));
        return sim;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The autolog and the default measurement file live in the working directory.
        m_previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        m_three = startSim(m_dir, QStringLiteral("three.json"),
                           QJsonArray{hvModule(0, "T03X0", 4, 8300001, 3000.0), hvModule(1, "T03X0", 4, 8300002, 3000.0),
                                      hvModule(2, "T03X0", 4, 8300003, 350.0)});
        QVERIFY(m_three->isRunning());
        m_two = startSim(m_dir, QStringLiteral("two.json"),
                         QJsonArray{hvModule(0, "T03X0", 4, 8200001, 3000.0), hvModule(1, "T03X0", 4, 8200002, 3000.0)});
        QVERIFY(m_two->isRunning());
    }

    void init()
    {
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        TestEnv::setCrateAddress(m_three->address());
        QFile::remove(m_dir.filePath(QStringLiteral("autologfile.csv")));
        for (int slot = 0; slot < 3; ++slot)
            for (int channel = 0; channel < 4; ++channel)
                QVERIFY(setVoltage(*m_three, slot, channel, slot == 2 ? 300 : 500));
        for (int slot = 0; slot < 2; ++slot)
            for (int channel = 0; channel < 4; ++channel)
                QVERIFY(setVoltage(*m_two, slot, channel, 500));
    }

    void cleanupTestCase()
    {
        m_three->stop();
        m_two->stop();
        QDir::setCurrent(m_previousDir);
    }

    void statisticOnceWritesOneLinePerModule()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        QVERIFY(action(window, "actionStatistic")->isEnabled());
        action(window, "actionStatistic")->trigger();
        auto *dialog = window.findChild<DialogStatistic *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->channelCount(), 4);
        const QString path = m_dir.filePath(QStringLiteral("once.csv"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtFilename"))->setText(path);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOnce")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(fileLines(path).size() == 4 && !dialog->isRecording(), 5000);
        // The file is closed: later passes add nothing.
        QTest::qWait(1000);
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0), QStringLiteral("Date;Time;Serial no.;Vmeasure0;Imeasure0;Vmeasure1;Imeasure1;Vmeasure2;"
                                             "Imeasure2;Vmeasure3;Imeasure3;Temperature"));
        for (int i = 0; i < 3; ++i) {
            const QRegularExpression line(QLatin1Char('^') + kStamp + QStringLiteral(";%1;").arg(8300001 + i)
                                          + QStringLiteral("([^;]+;){8}30\\.0$"));
            QVERIFY2(line.match(lines.at(1 + i)).hasMatch(), qPrintable(lines.at(1 + i)));
        }
    }

    void statisticRecordsEachModuleOncePerPass()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        action(window, "actionStatistic")->trigger();
        auto *dialog = window.findChild<DialogStatistic *>();
        QVERIFY(dialog);
        const QString path = m_dir.filePath(QStringLiteral("startstop.csv"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtFilename"))->setText(path);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnStart")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->linesWritten() >= 9, 10000);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnStop")), Qt::LeftButton);
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 1 + dialog->linesWritten());
        // Module after module, the current one (slot 0) no more often than the others.
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(lines.at(i).section(QLatin1Char(';'), 2, 2) == QString::number(8300001 + (i - 1) % 3)
                         && !lines.at(i).endsWith(QStringLiteral(";0.0")),
                     qPrintable(lines.at(i)));
    }

    void demandsWalkBetweenTheLimitsAndEachCheckFollowsTwoSecondsLater()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        selectRows(window, {1});
        DialogAutomatic *dialog = openAutomatic(window);
        QVERIFY(dialog);
        configure(dialog, "chkChannel");
        auto *cycler = window.findChild<AutoCycler *>();
        QVERIFY(cycler);
        QList<float> demands;
        QList<qint64> stepTimes;
        QList<qint64> checkTimes;
        QList<double> simValues;
        QElapsedTimer clock;
        clock.start();
        connect(cycler, &AutoCycler::stepped, this, [&](float demand) {
            demands.append(demand);
            stepTimes.append(clock.elapsed());
            simValues.append(channelValue(*m_three, QStringLiteral("outputVoltage"), 0, 1));
        });
        connect(cycler, &AutoCycler::checked, this, [&](int) { checkTimes.append(clock.elapsed()); });
        QTest::mouseClick(startStop(dialog), Qt::LeftButton);
        QCOMPARE(startStop(dialog)->text(), QStringLiteral("Stop"));
        QTRY_VERIFY_WITH_TIMEOUT(checkTimes.size() >= 5, kWaitMs);
        QTest::mouseClick(startStop(dialog), Qt::LeftButton);
        QCOMPARE(demands.mid(0, 5), (QList<float>{400, 300, 400, 500, 400}));
        QCOMPARE(simValues.mid(0, 5), (QList<double>{400, 300, 400, 500, 400}));
        // The interval came from the dialog: about 2 s between steps, and each
        // step's own check no sooner than 2 s after it.
        for (int i = 0; i < 5; ++i)
            QVERIFY2(checkTimes.at(i) - stepTimes.at(i) >= 1990,
                     qPrintable(QStringLiteral("check %1 came %2 ms after its step").arg(i).arg(checkTimes.at(i) - stepTimes.at(i))));
        QVERIFY(stepTimes.at(1) - stepTimes.at(0) >= 1900);
        // Every module took its demand: nothing to report. The other channels kept theirs.
        QCOMPARE(logText(dialog), QString());
        QCOMPARE(channelValue(*m_three, QStringLiteral("outputVoltage"), 0, 0), 500.0);
        QCOMPARE(channelValue(*m_three, QStringLiteral("outputVoltage"), 1, 1), 500.0);
    }

    void moduleThatRefusesTheDemandIsReported()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogAutomatic *dialog = openAutomatic(window);
        QVERIFY(dialog);
        configure(dialog, "chkSystem");
        QSignalSpy checked(window.findChild<AutoCycler *>(), &AutoCycler::checked);
        runOneStep(window, dialog);
        // 400 V is above the 350 V of slot 2: its four channels kept 300 V.
        QCOMPARE(checked.at(0).at(0).toInt(), 4);
        const QStringList messages = logText(dialog).split(QLatin1Char('\n'));
        QVERIFY(messages.size() >= 4);
        for (int channel = 0; channel < 4; ++channel)
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: Slot 2\\.%1\\.VSet = 300 \\(demand was 400\\)$")
                                            .arg(channel))
                         .match(messages.at(channel))
                         .hasMatch(),
                     qPrintable(messages.at(channel)));
        QCOMPARE(channelValue(*m_three, QStringLiteral("outputVoltage"), 1, 3), 400.0);
    }

    void specialScopeWithTwoModulesWritesThoseTwo()
    {
        TestEnv::setCrateAddress(m_two->address());
        VexaControl window;
        QVERIFY(waitConnected(window));
        QCOMPARE(window.modules().size(), 2);
        DialogAutomatic *dialog = openAutomatic(window);
        QVERIFY(dialog);
        configure(dialog, "chkSpecial");
        QSignalSpy checked(window.findChild<AutoCycler *>(), &AutoCycler::checked);
        runOneStep(window, dialog);
        QCOMPARE(checked.at(0).at(0).toInt(), 0);
        for (int slot = 0; slot < 2; ++slot)
            for (int channel = 0; channel < 4; ++channel)
                QCOMPARE(channelValue(*m_two, QStringLiteral("outputVoltage"), slot, channel), 400.0);
    }

    void autologIsAppendedAcrossTwoRuns()
    {
        const QString path = m_dir.filePath(QStringLiteral("autologfile.csv"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("last night;a line much longer than any line of this run, which an overwrite from the start of "
                      "the file would cut in two and leave its tail behind;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;\n");
        }
        for (int run = 0; run < 2; ++run) {
            VexaControl window;
            QVERIFY(waitConnected(window));
            DialogAutomatic *dialog = openAutomatic(window);
            QVERIFY(dialog);
            configure(dialog, "chkModule");
            QSignalSpy checked(window.findChild<AutoCycler *>(), &AutoCycler::checked);
            QTest::mouseClick(startStop(dialog), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(checked.count() >= 1, kWaitMs);
            QTest::mouseClick(startStop(dialog), Qt::LeftButton);
        }
        const QStringList lines = fileLines(path);
        QVERIFY2(lines.size() >= 3, qPrintable(lines.join(QLatin1Char('\n'))));
        QVERIFY(lines.at(0).startsWith(QStringLiteral("last night;")));
        // Date, time, demand, then set, measured and difference of four channels.
        const QRegularExpression format(QLatin1Char('^') + kStamp + QStringLiteral(";[34]00;([^;]+;){12}$"));
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(format.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
    }

    void autologWriteErrorStopsTheCycle()
    {
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_dir.filePath(QStringLiteral("autologfile.csv"))));
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogAutomatic *dialog = openAutomatic(window);
        QVERIFY(dialog);
        configure(dialog, "chkModule");
        auto *cycler = window.findChild<AutoCycler *>();
        QSignalSpy failed(cycler, &AutoCycler::failed);
        QSignalSpy stepped(cycler, &AutoCycler::stepped);
        QTest::mouseClick(startStop(dialog), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(failed.count() == 1, kWaitMs);
        QCOMPARE(startStop(dialog)->text(), QStringLiteral("Start"));
        QVERIFY(!dialog->isRunning());
        QVERIFY2(logText(dialog).contains(QStringLiteral("Writing the log file 'autologfile.csv' failed")),
                 qPrintable(logText(dialog)));
        // Stopped: no further step comes.
        const int steps = stepped.count();
        QTest::qWait(2500);
        QCOMPARE(stepped.count(), steps);
        QCOMPARE(failed.count(), 1);
    }
};

VEXA_TEST_MAIN(TestVexaControlLogging)
#include "tst_vexacontrollogging.moc"
