// The overview on its own: columns by first appearance and their limit, rows
// added for high channels, the three display modes, the units row and the
// running state, and what the delegate paints for a cell.

#include "dialogoverview.h"
#include "overviewitemdelegate.h"
#include "testenv.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestDialogOverview : public QObject
{
    Q_OBJECT

private:
    static QTableWidget *table(DialogOverview &d) { return d.findChild<QTableWidget *>(QStringLiteral("table")); }
    static QString text(DialogOverview &d, int row, int column)
    {
        QTableWidgetItem *item = table(d)->item(row, column);
        return item ? item->text() : QString();
    }
    static QString suffix(DialogOverview &d, int row, int column)
    {
        QTableWidgetItem *item = table(d)->item(row, column);
        return item ? item->data(OverviewItemDelegate::SuffixRole).toString() : QString();
    }
    static void click(DialogOverview &d, const char *button)
    {
        d.findChild<QPushButton *>(QLatin1String(button))->click();
    }

private slots:
    void startsWithTenColumnsAndRowHeaders()
    {
        DialogOverview d;
        QTableWidget *t = table(d);
        QCOMPARE(d.windowTitle(), QStringLiteral("System Overview"));
        QCOMPARE(t->columnCount(), 10);
        QCOMPARE(t->rowCount(), 10);
        QCOMPARE(t->verticalHeaderItem(0)->text(), QStringLiteral("Module Status"));
        QCOMPARE(t->verticalHeaderItem(1)->text(), QStringLiteral("Units"));
        QCOMPARE(t->verticalHeaderItem(9)->text(), QStringLiteral("Channel 7"));
        QCOMPARE(t->horizontalHeaderItem(3)->text(), QStringLiteral("Module 3"));
        QCOMPARE(text(d, 1, 4), QStringLiteral("V"));
        QCOMPARE(suffix(d, 1, 4), QStringLiteral("mA"));
        QCOMPARE(t->selectionMode(), QAbstractItemView::NoSelection);
        QVERIFY(qobject_cast<OverviewItemDelegate *>(t->itemDelegate()));
    }

    void modulesGetColumnsInOrderOfAppearance()
    {
        DialogOverview d;
        d.updateChannelVoltage(900, 0, 1.0f, QStringLiteral("V"));
        d.updateChannelVoltageMeasure(700, 1, QStringLiteral("12.5"));
        d.updateChannelVoltageMeasure(900, 0, QStringLiteral("3.0"));
        QCOMPARE(d.columnOf(900), 0);
        QCOMPARE(d.columnOf(700), 1);
        QCOMPARE(text(d, 3, 1), QStringLiteral("12.5"));
        QCOMPARE(text(d, 2, 0), QStringLiteral("3.0"));
        // A channel beyond the initial rows adds rows with their headers.
        d.updateChannelVoltageMeasure(700, 31, QStringLiteral("1.0"));
        QCOMPARE(table(d)->rowCount(), 34);
        QCOMPARE(table(d)->verticalHeaderItem(33)->text(), QStringLiteral("Channel 31"));
        QCOMPARE(text(d, 33, 1), QStringLiteral("1.0"));
        // Channel 64 and above are not shown.
        d.updateChannelVoltageMeasure(700, 64, QStringLiteral("9.9"));
        QCOMPARE(table(d)->rowCount(), 34);
    }

    void moduleBeyondTheColumnLimitIsDropped()
    {
        DialogOverview d;
        for (int serial = 1; serial <= 10; ++serial)
            d.updateChannelVoltageMeasure(serial, 0, QString::number(serial));
        d.updateChannelVoltageMeasure(11, 0, QStringLiteral("11"));
        d.updateModuleRunningState(11, QStringLiteral("Running"), Qt::darkGreen);
        QCOMPARE(d.columnOf(11), -1);
        QCOMPARE(table(d)->columnCount(), 10);
        QCOMPARE(text(d, 2, 9), QStringLiteral("10"));
        // A header for it makes room: the column is added and the limit grows.
        d.setModuleHeader(11, QStringLiteral("Slot 9"), QStringLiteral("T03X0"), QStringLiteral("05.12"));
        QCOMPARE(table(d)->columnCount(), 11);
        QCOMPARE(d.columnLimit(), 11);
        QCOMPARE(table(d)->horizontalHeaderItem(10)->text(), QStringLiteral("Slot 9"));
        QVERIFY(table(d)->horizontalHeaderItem(10)->toolTip().contains(QStringLiteral("<td>11</td>")));
        d.updateChannelVoltageMeasure(11, 0, QStringLiteral("11"));
        QCOMPARE(text(d, 2, 10), QStringLiteral("11"));
    }

    void displayModeAppliesToTheNextValue()
    {
        DialogOverview d;
        d.updateChannelVoltageUnit(5, 0, QStringLiteral("kV"));
        d.updateChannelCurrentUnit(5, 0, QStringLiteral("mA"));
        d.updateChannelVoltageMeasure(5, 0, QStringLiteral("1.500"));
        d.updateChannelCurrentMeasure(5, 0, QStringLiteral("0.075"));
        d.updateChannelVoltageMeasure(5, 1, QStringLiteral("2.000"));
        QCOMPARE(text(d, 2, 0), QStringLiteral("1.500"));
        QCOMPARE(text(d, 1, 0), QStringLiteral("kV"));

        click(d, "showCurrents");
        QCOMPARE(d.displayMode(), 1);
        QCOMPARE(text(d, 2, 0), QStringLiteral("1.500")); // unchanged until its next value
        d.updateChannelCurrentMeasure(5, 0, QStringLiteral("0.076"));
        QCOMPARE(text(d, 2, 0), QStringLiteral("0.076"));
        QCOMPARE(text(d, 3, 0), QStringLiteral("2.000"));
        d.updateChannelCurrentUnit(5, 0, QStringLiteral("mA"));
        QCOMPARE(text(d, 1, 0), QStringLiteral("mA"));

        click(d, "showBoth");
        d.updateChannelVoltageMeasure(5, 0, QStringLiteral("1.501"));
        QCOMPARE(text(d, 2, 0), QStringLiteral("1.501"));
        QCOMPARE(suffix(d, 2, 0), QStringLiteral("0.076"));
        d.updateChannelVoltageUnit(5, 0, QStringLiteral("kV"));
        QCOMPARE(text(d, 1, 0), QStringLiteral("kV"));
        QCOMPARE(suffix(d, 1, 0), QStringLiteral("mA"));

        click(d, "showVoltages");
        d.updateChannelCurrentMeasure(5, 0, QStringLiteral("0.077"));
        QCOMPARE(text(d, 2, 0), QStringLiteral("1.501"));
        QVERIFY(suffix(d, 2, 0).isEmpty());
    }

    void runningStateKeepsItsColourAndResetEmptiesCells()
    {
        DialogOverview d;
        d.updateModuleRunningState(5, QStringLiteral("Not connected"), QColor(Qt::red));
        QCOMPARE(text(d, 0, 0), QStringLiteral("Not connected"));
        QCOMPARE(table(d)->item(0, 0)->foreground().color(), QColor(Qt::red));
        d.updateChannelVoltageMeasure(5, 0, QStringLiteral("1"));
        d.reset();
        QVERIFY(text(d, 2, 0).isEmpty());
        QVERIFY(text(d, 0, 0).isEmpty());
        QCOMPARE(text(d, 1, 0), QStringLiteral("V"));
        QCOMPARE(d.columnOf(5), 0); // the module keeps its column
    }
};

VEXA_TEST_MAIN(TestDialogOverview)
#include "tst_dialogoverview.moc"
