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
        t.answerTimeoutTicks = 8; // 200 ms instead of 5 s
        t.eraseSpacingNormalMs = 400;
        t.eraseSpacingInternalMs = 50;
        t.farReadTimeoutMs = 300;
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
