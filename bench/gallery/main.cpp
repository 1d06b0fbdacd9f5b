// Shows every view of the operator program filled with representative values,
// so their look can be judged without a crate: a dozen channel states in the
// table, modules in all connection states, the status and event-mask widgets.
#include "channeleventmaskwidget.h"
#include "channelstatuswidget.h"
#include "channeltable.h"
#include "dialogshots.h"
#include "moduleeventmaskwidget.h"
#include "modulelistwidget.h"
#include "modulestatuswidget.h"
#include "terminationsignals.h"
#include "testenv.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

struct Row {
    const char *what;
    double vset, vmeas, iset, imeas;
    std::initializer_list<int> status;
    bool controlOn;
    bool delayedTrip;
};

ChannelStatus statusOf(std::initializer_list<int> flags)
{
    ChannelStatus status;
    for (int flag : flags)
        status.setFlag(flag, true);
    return status;
}

QString volts(double value)
{
    return QStringLiteral("%L1").arg(value, 0, 'f', 1);
}

QString milliamps(double value)
{
    return QStringLiteral("%L1").arg(value, 0, 'f', 4);
}

QIcon dotIcon(const QColor &color)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(color.darker(140));
    painter.drawEllipse(2, 2, 20, 20);
    return QIcon(pixmap);
}

void fillTable(ChannelTable *table)
{
    using S = ChannelStatus;
    const Row rows[] = {
        {"off", 0, 0.2, 0.5, 0, {}, false, false},
        {"switched on, not yet on", 1500, 0.4, 0.5, 0.0001, {}, true, false},
        {"ramping", 1500, 612.3, 0.5, 0.0812, {S::F_isON, S::F_isRAMP}, true, false},
        {"ramping in CV", 2000, 1250.7, 0.5, 0.1021, {S::F_isON, S::F_isRAMP, S::F_isCV}, true, false},
        {"on in CV", 1500, 1500.1, 0.5, 0.1504, {S::F_isON, S::F_isCV}, true, false},
        {"on in CC, low range", 2500, 2311.9, 0.0001, 0.0001, {S::F_isON, S::F_isCC, S::F_isLCR}, true, false},
        {"trip, delayed trip", 1000, 0, 0.2, 0, {S::F_isTRIP}, false, true},
        {"voltage limit and trip", 3000, 2950.2, 0.5, 0.4987, {S::F_isVLIM, S::F_isTRIP, S::F_isON}, true, false},
        {"current limit", 1200, 1180.4, 3, 2.9998, {S::F_isCLIM, S::F_isON, S::F_isCC}, true, false},
        {"emergency off", 1500, 0, 0.5, 0, {S::F_isEMCY}, false, false},
        {"inhibit", 1500, 0, 0.5, 0, {S::F_isEINH}, true, false},
        {"voltage bounds", 1500, 1507.8, 0.5, 0.1511, {S::F_isVBNDs, S::F_isON, S::F_isCV}, true, true},
    };
    const int count = int(sizeof(rows) / sizeof(rows[0]));
    table->setChannelCount(count);
    table->setVoltageUnitHeaders(QStringLiteral("V"));
    table->setCurrentUnitHeaders(QStringLiteral("mA"));
    for (int row = 0; row < count; ++row) {
        const Row &r = rows[row];
        ChannelControl control;
        control.setSetON(r.controlOn);
        const ChannelStatus status = statusOf(r.status);
        table->setChannelStatus(row, control, status);
        table->setDelayedTrip(row, r.delayedTrip);
        table->setCell(row, 0, volts(r.vset), Qt::white);
        table->setCell(row, 1, volts(r.vmeas), Qt::white);
        table->setCell(row, 2, volts(3000), Qt::white);
        table->setCell(row, 3, milliamps(r.iset), Qt::white);
        table->setCell(row, 4, milliamps(r.imeas), Qt::white);
        table->setCell(row, 5, milliamps(3), Qt::white);
        table->setChannelStatus(row, control, status);
    }
    // The current channel, as the main window keeps it selected.
    table->setCurrentCell(4, 0);
}

// One refresh tick as the main window does it: every cell of every row written
// anew, then the table repainted. Prints the mean and worst time per tick.
int timeRefreshes(int ticks)
{
    ticks = qMax(1, ticks);
    ChannelTable table;
    table.setAlternatingRowColors(true);
    table.setChannelCount(32);
    table.setVoltageUnitHeaders(QStringLiteral("V"));
    table.setCurrentUnitHeaders(QStringLiteral("mA"));
    table.resize(1000, 32 * 20 + 40);
    table.show();
    QElapsedTimer settle; // let the window be mapped so repaint() really paints
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ChannelControl control;
    control.setSetON(true);
    QElapsedTimer timer;
    qint64 worst = 0;
    qint64 total = 0;
    qint64 writes = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        timer.start();
        for (int row = 0; row < 32; ++row) {
            const double v = 1000.0 + row + tick * 0.1;
            table.setCell(row, 0, volts(v), Qt::white);
            table.setCell(row, 1, volts(v - 0.3), Qt::white);
            table.setDelayedTrip(row, row % 5 == 0);
            table.setCell(row, 3, milliamps(0.5), Qt::white);
            table.setCell(row, 4, milliamps(0.1 + row * 0.001), Qt::white);
            table.setChannelStatus(row, control, statusOf({ChannelStatus::F_isON, ChannelStatus::F_isCV}));
        }
        writes += timer.nsecsElapsed();
        table.repaint();
        const qint64 ns = timer.nsecsElapsed();
        total += ns;
        worst = qMax(worst, ns);
    }
    std::printf("gallery: %d refreshes of 32 channels (write + repaint): mean %.3f ms (writes %.3f ms), "
                "worst %.3f ms\n",
                ticks, double(total) / ticks / 1e6, double(writes) / ticks / 1e6, double(worst) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate(); // no operator settings are read or written
    // Without a display there is nothing to look at: draw offscreen and save a picture.
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                           && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (noDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Ctrl+C ends the event loop, so the private settings folder is removed on the way out.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app, &QApplication::quit);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("Save the window to <file> and quit."),
                                  QStringLiteral("file"));
    parser.addOption(screenshot);
    QCommandLineOption timing(QStringLiteral("refresh-timing"),
                              QStringLiteral("Time <n> refreshes of a 32-channel table, print the figures and quit."),
                              QStringLiteral("n"));
    parser.addOption(timing);
    QCommandLineOption channelDialog(QStringLiteral("channel-dialog"),
                                     QStringLiteral("Save the channel status / control dialog to <file> and quit."),
                                     QStringLiteral("file"));
    parser.addOption(channelDialog);
    QCommandLineOption moduleDialog(QStringLiteral("module-dialog"),
                                    QStringLiteral("Save the module status / control dialog to <file> and quit."),
                                    QStringLiteral("file"));
    parser.addOption(moduleDialog);
    parser.process(app);
    if (parser.isSet(timing))
        return timeRefreshes(parser.value(timing).toInt());
    if (parser.isSet(channelDialog) || parser.isSet(moduleDialog))
        return saveDialogShots(parser.value(channelDialog), parser.value(moduleDialog)) ? 0 : 1;

    QWidget window;
    window.setWindowTitle(QStringLiteral("cratectl views gallery"));
    auto *outer = new QHBoxLayout(&window);

    auto *modules = new ModuleListWidget(&window);
    modules->setFixedWidth(170);
    modules->addModule(QStringLiteral("Slot 0"), 5230017, dotIcon(QColor(0, 170, 0)));
    modules->addModule(QStringLiteral("Slot 1"), 5230022);
    modules->addModule(QStringLiteral("Slot 3"), 0)->setData(Qt::UserRole, QStringLiteral("Connecting..."));
    modules->addModule(QStringLiteral("Slot 4"), 0)->setData(Qt::UserRole, QStringLiteral("Not connected"));
    modules->addModule(QStringLiteral("Slot 7"), 5110004, dotIcon(QColor(220, 160, 0)));
    modules->setCurrentRow(0);
    outer->addWidget(modules);

    auto *right = new QVBoxLayout;
    outer->addLayout(right, 1);
    auto *table = new ChannelTable(&window);
    table->setAlternatingRowColors(true);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table->setMinimumWidth(782);
    table->horizontalHeader()->setMinimumSectionSize(25);
    fillTable(table);
    // Tall enough for the twelve rows, no empty space below them.
    table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + 12 * 20 + 2 * table->frameWidth() + 2);
    right->addWidget(table);

    auto *channelStatus = new ChannelStatusWidget(&window);
    ChannelStatus status = statusOf({ChannelStatus::F_isON, ChannelStatus::F_isCV, ChannelStatus::F_isLCR});
    channelStatus->updateStatus(status);
    ChannelEventStatus events;
    events.setECV(true);
    events.setEEOR(true);
    events.setETRIP(true);
    channelStatus->updateEventStatus(events);

    auto *channelMask = new ChannelEventMaskWidget(&window);
    ChannelEventMask mask;
    mask.setETRIP(true);
    mask.setEEINH(true);
    mask.setEEMCY(true);
    mask.setEVLIM(true);
    channelMask->setMask(mask);

    auto *moduleStatus = new ModuleStatusWidget(&window);
    ModuleStatus moduleWord;
    moduleWord.setIsMODgd(true);
    moduleWord.setIsSFLPgd(true);
    moduleWord.setIsnoSERR(true);
    moduleWord.setIsKILena(true);
    moduleWord.setIsHVON(true);
    moduleWord.setIsEVNTact(true);
    moduleStatus->updateStatus(moduleWord); // temperature too high, supply bad
    ModuleEventStatus moduleEvents;
    moduleEvents.setETMPngd(true);
    moduleEvents.setESPLYngd(true);
    moduleEvents.setERESTART(true);
    moduleStatus->updateEventStatus(moduleEvents);

    auto *moduleMask = new ModuleEventMaskWidget(&window);
    ModuleEventMask moduleMaskWord;
    moduleMaskWord.setESFLPngd(true);
    moduleMaskWord.setETMPngd(true);
    moduleMaskWord.setESPLYngd(true);
    moduleMask->setMask(moduleMaskWord);
    moduleMask->setStopWording(false);

    auto *summary = new QLabel(QStringLiteral("Module summary: ") + moduleStatus->summaryText(), &window);
    summary->setTextFormat(Qt::RichText);

    // Stacked as in the main window's tabs, all visible at once.
    right->addWidget(channelStatus);
    auto *masks = new QHBoxLayout;
    masks->addWidget(channelMask);
    masks->addWidget(moduleMask);
    masks->addStretch(1);
    right->addLayout(masks);
    right->addWidget(moduleStatus);
    right->addWidget(summary);

    window.resize(1280, 900);
    window.show();

    QString shotFile = parser.value(screenshot);
    if (noDisplay && shotFile.isEmpty()) {
        shotFile = QDir::tempPath() + QStringLiteral("/vexa-gallery.png");
        std::printf("gallery: no display; saving the window to %s (--screenshot FILE to choose)\n",
                    qPrintable(shotFile));
    }
    if (!shotFile.isEmpty()) {
        const QString file = shotFile;
        QTimer::singleShot(500, &app, [&window, file]() {
            const bool saved = window.grab().save(file);
            if (!saved)
                qWarning("gallery: could not save %s", qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
