// Starts the demo crate in cratesim, connects the main window, switches a few
// channels on, trips one, and saves the system overview, the bounds dialog and
// the current-trip dialog (and, to look at, the other protection dialogs) as
// PNG files into the folder given.

#include "basemodule.h"
#include "channeltable.h"
#include "cratesimprocess.h"
#include "dialogchannelbounds.h"
#include "dialogflexgroups.h"
#include "dialoginhibit.h"
#include "dialoginterlockout.h"
#include "dialogoverview.h"
#include "dialogsetcurrent.h"
#include "dialogsetusernominalvalues.h"
#include "dialogsuppliestemplimits.h"
#include "testenv.h"
#include "vexacontrol.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {
void pause(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void snmpset(const CrateSimProcess &sim, const QStringList &varbinds)
{
    QProcess p;
    p.start(QStringLiteral("snmpset"), QStringList{QStringLiteral("-v2c"), QStringLiteral("-c"), QStringLiteral("mavo"),
                                                   QStringLiteral("-M"), QStringLiteral("+") + CrateSimProcess::mibDir(),
                                                   QStringLiteral("-m"), QStringLiteral("+WIENER-CRATE-MIB:CRATESIM-MIB"),
                                                   sim.peer()} + varbinds);
    p.waitForFinished(10000);
}

void switchOn(const CrateSimProcess &sim, int slot, int channel, double volts)
{
    const QString index = QString::number(slot * 100 + channel + 1);
    snmpset(sim, {QStringLiteral("outputVoltage.") + index, QStringLiteral("F"), QString::number(volts),
                  QStringLiteral("outputSwitch.") + index, QStringLiteral("i"), QStringLiteral("1")});
}

bool save(QWidget *widget, const QString &path)
{
    const bool ok = widget->grab().save(path);
    printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir out(app.arguments().value(1, QStringLiteral(".")));

    CrateSimProcess sim{CrateSimProcess::Options()};
    if (!sim.start()) {
        fprintf(stderr, "protect_screenshots: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    TestEnv::setCrateAddress(sim.address());
    for (int channel = 0; channel < 4; ++channel)
        switchOn(sim, 0, channel, 1000.0 + 250.0 * channel);
    for (int channel = 0; channel < 32; channel += 3)
        switchOn(sim, 2, channel, 800.0 + 20.0 * channel);
    switchOn(sim, 1, 0, -300.0);
    switchOn(sim, 1, 1, 250.0);
    switchOn(sim, 5, 0, 5.0);

    VexaControl window;
    window.resize(1100, 700);
    window.show();
    pause(6000);
    // Channel 2 of slot 0 trips.
    snmpset(sim, {QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.3"), QStringLiteral("i"), QStringLiteral("1")});
    pause(1500);

    window.findChild<QAction *>(QStringLiteral("actionModuleOverview"))->trigger();
    DialogOverview *overview = window.overviewDialog();
    overview->resize(1000, 820);
    pause(3000);
    save(overview, out.filePath(QStringLiteral("cratectl-overview.png")));

    auto *table = window.findChild<ChannelTable *>(QStringLiteral("table"));
    table->setCurrentCell(1, 0);
    window.findChild<QAction *>(QStringLiteral("actionBounds"))->trigger();
    pause(2500);
    save(window.boundsDialog(), out.filePath(QStringLiteral("cratectl-bounds.png")));
    window.boundsDialog()->hide();

    QTimer::singleShot(800, [&out] {
        if (auto *dialog = qobject_cast<DialogSetCurrent *>(QApplication::activeModalWidget())) {
            dialog->setDelayedTrip(true);
            dialog->setDelay(500);
            save(dialog, out.filePath(QStringLiteral("cratectl-current-trip.png")));
            dialog->reject();
        }
    });
    window.findChild<QAction *>(QStringLiteral("actionSetChannelCurrentTrip"))->trigger();

    // The other dialogs, for looking at them (not in docs/images).
    auto *groups = new DialogFlexGroups(&window);
    groups->setChannelCount(32);
    groups->updateModuleFlexGroups(0, 0, 0x0000FF0F, 0x0123);
    groups->show();
    pause(300);
    save(groups, out.filePath(QStringLiteral("dialog-flexgroups.png")));
    auto *interlock = new DialogInterlockOut(&window);
    interlock->updateInterlockControl(1, 0x8000);
    interlock->updateInterlockStatus(1, 0xA001);
    interlock->updateInterlockCount(1, 3);
    interlock->show();
    pause(300);
    save(interlock, out.filePath(QStringLiteral("dialog-interlockout.png")));
    for (QDialog *dialog : std::initializer_list<QDialog *>{new DialogInhibit(&window), new DialogSuppliesTempLimits(&window),
                                                            new DialogSetUserNominalValues(&window)}) {
        dialog->show();
        pause(300);
        save(dialog, out.filePath(QStringLiteral("dialog-%1.png").arg(QString::fromLatin1(dialog->metaObject()->className()).toLower())));
    }

    window.channelTableTimer()->stop();
    sim.stop();
    return 0;
}
