#pragma once
// Test rig for the flash tool end to end: a private cratesim with a crate file,
// the operator store pointing at it, a main window connected to it, and a probe
// of the simulator's CAN objects. Delays of the procedures are shortened through
// flashTimings() so a batch takes seconds, not minutes.

#include "cratesimprocess.h"
#include "firmwareupdate.h"
#include "flashtimings.h"
#include "mainwindow.h"
#include "objecttable.h"
#include "messagebox.h"
#include "simprobe.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

using namespace crateflash;

class FlashRig
{
public:
    static void shortenDelays()
    {
        FlashTimings &t = flashTimings();
        t.batchStartDelayMs = 200;
        t.nextModuleDelayMs = 300;
        t.finishDelayMs = 300;
        t.secondPostFlashDelayMs = 100;
        t.tandemStartDelayMs = 100;
        // The line answer time-out stays at its 5 s: on a busy machine the
        // simulator can take longer than a shortened one, and a line resent
        // while its answer is still on the way ends in checksum errors.
        // Cases with a module that never answers shorten it themselves.
        t.eraseSpacingNormalMs = 400;
        t.eraseSpacingInternalMs = 50;
        t.farReadTimeoutMs = 300;
    }

    // Shortens the line answer time-out while it lives, for cases in which
    // the module is silenced and no late answer can come.
    class ShortAnswerTimeout
    {
    public:
        ShortAnswerTimeout() : m_saved(flashTimings().answerTimeoutTicks) { flashTimings().answerTimeoutTicks = 8; }
        ~ShortAnswerTimeout() { flashTimings().answerTimeoutTicks = m_saved; }
        ShortAnswerTimeout(const ShortAnswerTimeout &) = delete;
        ShortAnswerTimeout &operator=(const ShortAnswerTimeout &) = delete;

    private:
        int m_saved;
    };

    // On a busy machine an SNMP request can outlast its 0.1 s time-out and be
    // sent again, so the module gets one piece of a HEX line twice, rejects the
    // line, and the tool resends it and counts a checksum error. Such a run
    // still ends well: these take any count, and the cases compare the image.
    static QRegularExpression flashingFinished()
    {
        return QRegularExpression(
            QStringLiteral("Flashing finished with \\d+ checksum errors\\.\nStarting compare procedure\\.\\.\\."));
    }
    static QRegularExpression updateCompleted()
    {
        return QRegularExpression(QStringLiteral("Firmware update completed\\. \\(\\d+ checksum errors occurred\\)"));
    }

    // Starts the simulator; false with a message in error().
    bool start(const QString &crateFile, const QStringList &arguments = {QStringLiteral("crateflash")})
    {
        CrateSimProcess::Options options;
        options.crateFile = crateFile;
        options.stateFile = stateFile();
        sim = std::make_unique<CrateSimProcess>(options);
        if (!sim->start()) {
            m_error = sim->errorString();
            return false;
        }
        TestEnv::setCrateAddress(sim->address());
        // The probe needs the library started, which the first Connect would do.
        if (!ObjectTable::instance().isTranslated() && !initialiseSnmp()) {
            m_error = QStringLiteral("SNMP start-up failed");
            return false;
        }
        SimProbe::loadSimulatorMibs();
        probe = std::make_unique<SimProbe>(sim->address());
        nodes = probe->nodes();
        window = std::make_unique<MainWindow>(arguments);
        return true;
    }

    QString error() const { return m_error; }
    static QString stateFile() { return TestEnv::homeDir() + QStringLiteral("/cratesim-state.json"); }

    template<typename T>
    T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QTableWidget *table() const { return child<QTableWidget>("table"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    QString log() const { return child<QPlainTextEdit>("log")->toPlainText(); }

    // Connects and waits until every module behind the tunnel is listed.
    bool connectAndScan()
    {
        button("connect")->click();
        const int modules = int(nodes.size());
        return modules > 0 && QTest::qWaitFor([&] { return table()->rowCount() == modules; }, 15000);
    }

    int rowOf(int canId) const
    {
        for (int row = 0; row < table()->rowCount(); ++row)
            if (window->cellText(row, 0).toInt(nullptr, 0) == canId)
                return row;
        return -1;
    }
    void tick(int canId, bool on = true) const
    {
        table()->item(rowOf(canId), 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    QString status(int canId) const { return window->cellText(rowOf(canId), MainWindow::StatusColumn); }
    void setFile(const QString &fileName) const { child<QLineEdit>("fileName")->setText(fileName); }

    qint64 node(const char *column, int base) const { return probe->getInt(SimProbe::node(column, base)); }
    bool setNode(const char *column, int base, int value) const
    {
        return probe->setInt(SimProbe::node(column, base), value);
    }

    // The simulator's saved state of one CAN node (memories, flash runs).
    QJsonObject savedNode(int base) const;

    std::unique_ptr<CrateSimProcess> sim;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SimProbe> probe;
    QList<SimNode> nodes;

private:
    QString m_error;
};

inline QJsonObject FlashRig::savedNode(int base) const
{
    QFile::remove(stateFile());
    if (!probe->setInt(QStringLiteral("cratesimStateSave.0"), 1))
        return {};
    if (!QTest::qWaitFor([] { return QFile::exists(stateFile()); }, 5000))
        return {};
    QTest::qWait(200);
    QFile file(stateFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    const QString key = QStringLiteral("0x%1").arg(base, 3, 16, QLatin1Char('0'));
    // The CAN side's part sits somewhere below the root; find its "nodes".
    QList<QJsonObject> pending{root};
    while (!pending.isEmpty()) {
        const QJsonObject o = pending.takeFirst();
        if (o.contains(QLatin1String("nodes")) && o.value(QLatin1String("nodes")).toObject().contains(key))
            return o.value(QLatin1String("nodes")).toObject().value(key).toObject();
        for (const QJsonValue &v : o)
            if (v.isObject())
                pending << v.toObject();
    }
    return {};
}
