// The system overview on the demo crate: a column for every module with the
// measured values in the right cells, updated by the refresh, a crate that
// loses its power and gets it back, and what the overview paints for a
// tripped channel.

#include "tst_vexacontrolsupport.h"

#include "dialogoverview.h"
#include "overviewitemdelegate.h"

#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QTableWidget>

using namespace VexaTest;

namespace {
constexpr int Slot2Serial = 7100507; // 32 channels, 2000 V, 20 Mohm loads
constexpr int Slot0Serial = 7100123; // 8 channels, 3000 V
} // namespace

class TestVexaControlOverview : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CrateSimProcess> m_sim;

    bool set(const QString &object, const char *type, const QString &v) { return simSet(*m_sim, object, type, v); }
    void switchOn(int slot, int channel, double volts) { QVERIFY(switchChannelOn(*m_sim, slot, channel, volts)); }
    static QTableWidget *grid(DialogOverview *d) { return d->findChild<QTableWidget *>(QStringLiteral("table")); }
    static QString cell(DialogOverview *d, int serial, int row)
    {
        const int column = d->columnOf(serial);
        QTableWidgetItem *item = column < 0 ? nullptr : grid(d)->item(row, column);
        return item ? item->text() : QString();
    }
    static double number(DialogOverview *d, int serial, int channel)
    {
        bool ok = false;
        // Cells are formatted for the locale, with its group separators.
        const double v = QLocale().toDouble(cell(d, serial, channel + DialogOverview::FirstChannelRow), &ok);
        return ok ? v : qQNaN();
    }
    static bool allRunning(VexaControl &w, DialogOverview *d, const QString &state)
    {
        for (BaseModule *m : w.modules())
            if (cell(d, m->serialNumber(), 0) != state)
                return false;
        return true;
    }
    DialogOverview *openOverview(VexaControl &window)
    {
        action(window, "actionModuleOverview")->trigger();
        return window.overviewDialog();
    }

private slots:
    void init()
    {
        m_sim = std::make_unique<CrateSimProcess>(CrateSimProcess::Options());
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
    }
    void cleanup() { m_sim.reset(); }

    void everyModuleInItsColumnAndUpdated()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        switchOn(2, 5, 1000.0);
        DialogOverview *overview = openOverview(window);
        QVERIFY(overview && overview->isVisible());
        QCOMPARE(overview->windowTitle(), QStringLiteral("System Overview"));

        // Slots 0, 1, 2, 4 and 5 hold modules; slot 6 waits in its boot loader.
        QCOMPARE(window.modules().size(), 5);
        QList<int> columns;
        for (BaseModule *m : window.modules()) {
            const int column = overview->columnOf(m->serialNumber());
            QVERIFY(column >= 0);
            columns.append(column);
            QCOMPARE(grid(overview)->horizontalHeaderItem(column)->text(),
                     QStringLiteral("%1\n%2").arg(m->address(), m->firmwareName()));
        }
        QCOMPARE(columns, (QList<int>{0, 1, 2, 3, 4}));
        QTRY_VERIFY_WITH_TIMEOUT(allRunning(window, overview, QStringLiteral("Running")), 10000);
        QCOMPARE(grid(overview)->rowCount(), 32 + DialogOverview::FirstChannelRow);

        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot2Serial, 5) - 1000.0) < 2.0, 15000);
        QVERIFY(qAbs(number(overview, Slot2Serial, 4)) < 2.0);
        QVERIFY(qAbs(number(overview, Slot0Serial, 5)) < 2.0);
        QCOMPARE(cell(overview, Slot2Serial, 1), QStringLiteral("V"));
        // The low-voltage module has only 8 channels: nothing below them.
        QVERIFY(cell(overview, 5208044, 8 + DialogOverview::FirstChannelRow).isEmpty());

        // Refreshes carry new values; the current display shows the currents.
        overview->findChild<QPushButton *>(QStringLiteral("showCurrents"))->click();
        switchOn(2, 5, 1500.0);
        // 1500 V into 20 Mohm: 0.075 mA.
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot2Serial, 5) - 0.075) < 0.002, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(cell(overview, Slot2Serial, 1), QStringLiteral("mA"), 5000);
    }

    void crateWithoutPowerAndBack()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        switchOn(0, 2, 800.0);
        DialogOverview *overview = openOverview(window);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot0Serial, 2) - 800.0) < 2.0, 15000);

        QVERIFY(set(QStringLiteral("sysMainSwitch.0"), "i", QStringLiteral("0")));
        QTRY_VERIFY_WITH_TIMEOUT(allRunning(window, overview, QStringLiteral("Not connected")), 15000);
        QCOMPARE(grid(overview)->item(0, 0)->foreground().color(), QColor(Qt::red));

        QVERIFY(set(QStringLiteral("sysMainSwitch.0"), "i", QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(allRunning(window, overview, QStringLiteral("Running")), 20000);
        // Back with its channels off, and every module still in its own column.
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot0Serial, 2)) < 2.0, 15000);
        QCOMPARE(overview->columnOf(Slot0Serial), 0);
        QCOMPARE(overview->columnOf(Slot2Serial), 2);
        switchOn(0, 2, 600.0);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot0Serial, 2) - 600.0) < 2.0, 15000);
    }

    void trippedChannelIsPaintedAtZero()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        switchOn(0, 0, 1000.0);
        switchOn(0, 1, 1000.0);
        DialogOverview *overview = openOverview(window);
        overview->resize(1000, 400);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot0Serial, 1) - 1000.0) < 2.0, 15000);
        QVERIFY(set(QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.2"), "i", QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(number(overview, Slot0Serial, 1)) < 2.0, 15000);
        QVERIFY2(qAbs(number(overview, Slot0Serial, 0) - 1000.0) < 2.0, qPrintable(cell(overview, Slot0Serial, 2)));

        QTableWidget *t = grid(overview);
        const QImage image = t->viewport()->grab().toImage();
        auto inkColumns = [&image](const QRect &rect) {
            // Columns of the cell that hold text ink (darker than the grid lines).
            int left = rect.right(), right = rect.left();
            for (int x = rect.left() + 2; x < rect.right() - 1; ++x)
                for (int y = rect.top() + 2; y < rect.bottom() - 1; ++y)
                    if (qGray(image.pixel(x, y)) < 120) {
                        left = qMin(left, x);
                        right = qMax(right, x);
                    }
            return qMakePair(left, right);
        };
        const int column = overview->columnOf(Slot0Serial);
        const QRect tripped = t->visualItemRect(t->item(1 + DialogOverview::FirstChannelRow, column));
        const QRect running = t->visualItemRect(t->item(0 + DialogOverview::FirstChannelRow, column));
        const auto trippedInk = inkColumns(tripped);
        const auto runningInk = inkColumns(running);
        // Both values are drawn, right-aligned within their cell; the tripped
        // channel's short "0.0" is narrower than "1000.0".
        QVERIFY2(trippedInk.second > tripped.center().x() && trippedInk.second >= tripped.right() - 8,
                 qPrintable(QStringLiteral("%1..%2 in %3..%4").arg(trippedInk.first).arg(trippedInk.second)
                                .arg(tripped.left()).arg(tripped.right())));
        QVERIFY(runningInk.second >= running.right() - 8);
        QVERIFY(trippedInk.second - trippedInk.first < runningInk.second - runningInk.first);
        // The running state is painted in its own colour (green), not the text pen.
        const QRect state = t->visualItemRect(t->item(0, column));
        bool green = false;
        for (int x = state.left(); x < state.right() && !green; ++x)
            for (int y = state.top(); y < state.bottom() && !green; ++y) {
                const QColor c = image.pixelColor(x, y);
                green = c.green() > 60 && c.red() < 60 && c.blue() < 60;
            }
        QVERIFY(green);
        const QString path = QDir::temp().filePath(QStringLiteral("overview-tripped.png"));
        image.save(path);
        qInfo().noquote() << "overview grab:" << path;
    }
};

VEXA_TEST_MAIN(TestVexaControlOverview)
#include "tst_vexacontroloverview.moc"
