// Painting of the channel table, the module list and the overview cells,
// checked on the pixels an operator relies on.
#include "channeltable.h"
#include "modulelistwidget.h"
#include "overviewitemdelegate.h"
#include "testenv.h"

#include <QApplication>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

namespace {

QString describe(QRgb pixel)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(qRed(pixel)).arg(qGreen(pixel)).arg(qBlue(pixel));
}

bool isBlueInk(QRgb p)
{
    return qBlue(p) > 150 && qRed(p) < 110 && qGreen(p) < 110;
}

bool isDarkInk(QRgb p)
{
    return qRed(p) < 140 && qGreen(p) < 140 && qBlue(p) < 140;
}

// Number of pixels in rect satisfying test.
template <typename Test>
int countPixels(const QImage &image, const QRect &rect, Test test)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.rect().contains(x, y) && test(image.pixel(x, y)))
                ++count;
    return count;
}

} // namespace

class TestViewRendering : public QObject
{
    Q_OBJECT

private:
    QImage grab(QWidget &widget)
    {
        // Device pixel ratio 1 so widget coordinates are image coordinates.
        QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
        image.setDevicePixelRatio(1);
        return image;
    }
    // Cell rectangle of the table in the table's own coordinates.
    QRect cellRect(ChannelTable &table, int row, int column)
    {
        QRect rect = table.visualRect(table.model()->index(row, column));
        return rect.translated(table.viewport()->mapTo(&table, QPoint(0, 0)));
    }

private slots:
    void channelTablePixels();
    void cellsWithoutItemsAreNotFilled();
    void moduleListPixels();
    void overviewCellPixels();
};

void TestViewRendering::channelTablePixels()
{
    ChannelTable table;
    table.setChannelCount(4);
    table.setVoltageUnitHeaders("V");
    table.setCurrentUnitHeaders("uA");
    ChannelStatus tripped;
    tripped.setIsTRIP(true);
    ChannelStatus regulating;
    regulating.setIsON(true);
    regulating.setIsCV(true);
    regulating.setIsLCR(true);
    ChannelControl on;
    on.setSetON(true);
    table.setChannelStatus(0, on, tripped);
    table.setChannelStatus(1, on, regulating);
    table.setChannelStatus(2, ChannelControl(), ChannelStatus());
    table.setChannelStatus(3, on, regulating);
    table.setDelayedTrip(2, true);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 6; ++column)
            table.setCell(row, column, "100.0", Qt::white);
    table.setAlternatingRowColors(true);
    table.resize(900, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.clearSelection();
    table.selectionModel()->select(table.model()->index(3, 1), QItemSelectionModel::ClearAndSelect);
    table.selectionModel()->select(table.model()->index(3, ChannelTable::StatusColumn),
                                   QItemSelectionModel::Select);
    QApplication::processEvents();
    const QImage image = grab(table);
    if (!qEnvironmentVariableIsEmpty("VEXA_SAVE_RENDERING"))
        image.save(qEnvironmentVariable("VEXA_SAVE_RENDERING") + "/table.png");

    // Red status cell of the tripped channel: the left part of the cell carries no text.
    const QRect status0 = cellRect(table, 0, ChannelTable::StatusColumn);
    const QRgb redPixel = image.pixel(status0.left() + 4, status0.center().y());
    QVERIFY2(redPixel == qRgb(255, 0, 0), qPrintable(describe(redPixel)));
    // Its text is drawn in the dark text pen, right-aligned.
    QVERIFY(countPixels(image, status0.adjusted(status0.width() / 2, 2, -3, -2), isDarkInk) > 10);
    QCOMPARE(countPixels(image, QRect(status0.left() + 2, status0.top() + 2, 12, status0.height() - 4), isDarkInk),
             0);
    // The 3-pixel right inset: no ink in the last two columns of the cell.
    QCOMPARE(countPixels(image, QRect(status0.right() - 1, status0.top(), 2, status0.height()), isDarkInk), 0);

    // Yellow CV cell of the regulating channel, white CC cell beside it.
    const QRect cv1 = cellRect(table, 1, ChannelTable::ConstantVoltageColumn);
    const QRgb yellowPixel = image.pixel(cv1.center());
    QVERIFY2(yellowPixel == qRgb(255, 255, 0), qPrintable(describe(yellowPixel)));
    const QRgb ccPixel = image.pixel(cellRect(table, 1, ChannelTable::ConstantCurrentColumn).center());
    QVERIFY2(ccPixel == qRgb(255, 255, 255), qPrintable(describe(ccPixel)));
    // Light gray "Off".
    const QRect status2 = cellRect(table, 2, ChannelTable::StatusColumn);
    QCOMPARE(image.pixel(status2.left() + 4, status2.center().y()), QColor(Qt::lightGray).rgb());

    // Blue "L" in the measured current of the low-range channel, blue "T" in the
    // current set value of the delayed-trip channel, none elsewhere.
    auto markerArea = [&](int row, int column) {
        const QRect cell = cellRect(table, row, column);
        return QRect(cell.left() + 6, cell.top() + 2, 12, 14);
    };
    QVERIFY(countPixels(image, markerArea(1, ChannelTable::CurrentMeasureColumn), isBlueInk) >= 4);
    QVERIFY(countPixels(image, markerArea(2, ChannelTable::CurrentSetColumn), isBlueInk) >= 4);
    QCOMPARE(countPixels(image, markerArea(0, ChannelTable::CurrentMeasureColumn), isBlueInk), 0);
    QCOMPARE(countPixels(image, markerArea(1, ChannelTable::CurrentSetColumn), isBlueInk), 0);
    QCOMPARE(countPixels(image, markerArea(2, ChannelTable::CurrentMeasureColumn), isBlueInk), 0);

    // The selected cell gets a black frame, not a highlight fill.
    const QRect selected = cellRect(table, 3, 1);
    const int midY = selected.center().y();
    QCOMPARE(image.pixel(selected.left(), midY), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(selected.left() + 1, midY), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(selected.right(), midY), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(selected.center().x(), selected.top()), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(selected.center().x(), selected.bottom()), qRgb(0, 0, 0));
    const QRgb inside = image.pixel(selected.left() + 5, midY);
    const QColor highlight = table.palette().color(QPalette::Active, QPalette::Highlight);
    QVERIFY2(inside != highlight.rgb(), qPrintable(describe(inside)));
    // Row 3 is an alternate row: the selected cell keeps the alternate colour.
    QCOMPARE(inside, table.palette().color(QPalette::Active, QPalette::AlternateBase).rgb());
    // A selected status cell shows the frame instead of its green.
    const QRect selectedStatus = cellRect(table, 3, ChannelTable::StatusColumn);
    QCOMPARE(image.pixel(selectedStatus.left(), selectedStatus.center().y()), qRgb(0, 0, 0));
    QVERIFY(image.pixel(selectedStatus.left() + 5, selectedStatus.center().y()) != qRgb(0, 255, 0));
    // An unselected value cell has no frame.
    const QRect plain = cellRect(table, 2, 1);
    QVERIFY(image.pixel(plain.left() + 1, plain.center().y()) != qRgb(0, 0, 0));
}

void TestViewRendering::cellsWithoutItemsAreNotFilled()
{
    // Rows of a measurement module get a status text only: their CV and CC
    // cells hold no item and must show the row's own background, not black.
    ChannelTable table;
    table.setChannelCount(2);
    ChannelControl external;
    external.setSetExternalMeas(true);
    table.setMeasurementStatus(0, external);
    table.setMeasurementStatus(1, ChannelControl());
    table.setAlternatingRowColors(true);
    table.resize(900, 120);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.clearSelection();
    QApplication::processEvents();
    const QImage image = grab(table);
    const QRgb base = table.palette().color(QPalette::Active, QPalette::Base).rgb();
    const QRgb alternate = table.palette().color(QPalette::Active, QPalette::AlternateBase).rgb();
    for (int column : {int(ChannelTable::ConstantVoltageColumn), int(ChannelTable::ConstantCurrentColumn)}) {
        const QRgb row0 = image.pixel(cellRect(table, 0, column).center());
        const QRgb row1 = image.pixel(cellRect(table, 1, column).center());
        QVERIFY2(row0 == base, qPrintable(describe(row0)));
        QVERIFY2(row1 == alternate, qPrintable(describe(row1)));
    }
    // The status cells that were written keep their colours.
    const QRect status0 = cellRect(table, 0, ChannelTable::StatusColumn);
    QCOMPARE(image.pixel(status0.left() + 4, status0.center().y()), qRgb(0, 255, 0));
    const QRect status1 = cellRect(table, 1, ChannelTable::StatusColumn);
    QCOMPARE(image.pixel(status1.left() + 4, status1.center().y()), qRgb(255, 255, 0));
}

void TestViewRendering::moduleListPixels()
{
    ModuleListWidget list;
    list.addModule("Slot 0", 4710001);
    list.addModule("Slot 1", 4710002);
    QPixmap iconPixmap(16, 16);
    iconPixmap.fill(Qt::red);
    list.addModule("Slot 2", 4710003, QIcon(iconPixmap));
    list.resize(220, 140);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setCurrentRow(0);
    QApplication::processEvents();
    QCOMPARE(list.item(1)->data(Qt::UserRole).toInt(), 4710002);
    QCOMPARE(list.item(1)->text(), QStringLiteral("Slot 1"));
    QCOMPARE(list.visualItemRect(list.item(1)).height(), 32);

    QImage image = grab(list);
    const QPoint offset = list.viewport()->mapTo(&list, QPoint(0, 0));
    const QRect row0 = list.visualItemRect(list.item(0)).translated(offset);
    const QRect row1 = list.visualItemRect(list.item(1)).translated(offset);
    const QRect row2 = list.visualItemRect(list.item(2)).translated(offset);

    // Selected: blue fill with white text on both lines.
    QCOMPARE(image.pixel(row0.right() - 3, row0.center().y()), qRgb(0, 0, 255));
    auto isWhiteInk = [](QRgb p) { return qRed(p) > 150 && qGreen(p) > 150; };
    QVERIFY(countPixels(image, QRect(row0.left() + 10, row0.top(), 80, 15), isWhiteInk) > 10);
    QVERIFY(countPixels(image, QRect(row0.left() + 15, row0.top() + 16, 80, 15), isWhiteInk) > 10);
    // Odd row: light gray fill, dark text; even row white.
    QCOMPARE(image.pixel(row1.right() - 3, row1.center().y()), qRgb(243, 243, 243));
    QVERIFY(countPixels(image, QRect(row1.left() + 10, row1.top(), 80, 15), isDarkInk) > 10);
    QCOMPARE(image.pixel(row2.right() - 3, row2.top() + 3), qRgb(255, 255, 255));
    // The serial number sits on the second line, 5 pixels further right than the address.
    QCOMPARE(countPixels(image, QRect(row1.left(), row1.top() + 16, 14, 15), isDarkInk), 0);
    // With an icon: the icon at the left, the texts from 55 pixels on.
    auto isRed = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; };
    QVERIFY(countPixels(image, QRect(row2.left() + 5, row2.top() + 10, 20, 12), isRed) > 50);
    QCOMPARE(countPixels(image, QRect(row2.left() + 25, row2.top(), 29, 32), isDarkInk), 0);
    QVERIFY(countPixels(image, QRect(row2.left() + 55, row2.top(), 80, 15), isDarkInk) > 10);
}

void TestViewRendering::overviewCellPixels()
{
    QStandardItemModel model(3, 1);
    for (int row = 0; row < 3; ++row)
        model.setData(model.index(row, 0), QStringLiteral("1.00"));
    model.setData(model.index(1, 0), QStringLiteral("kV"), OverviewItemDelegate::SuffixRole);
    QTableView view;
    view.setModel(&model);
    view.setItemDelegate(new OverviewItemDelegate(&view));
    view.resize(300, 200);
    view.setColumnWidth(0, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select);
    QApplication::processEvents();
    QImage image = grab(view);
    const QPoint offset = view.viewport()->mapTo(&view, QPoint(0, 0));
    auto cell = [&](int row) { return view.visualRect(model.index(row, 0)).translated(offset); };

    QCOMPARE(image.pixel(cell(0).left() + 10, cell(0).center().y()), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(cell(1).left() + 10, cell(1).center().y()), qRgb(243, 243, 243));
    // Selected: gradient from light blue at the top to deep blue at the bottom.
    const QRgb top = image.pixel(cell(2).left() + 10, cell(2).top() + 1);
    const QRgb bottom = image.pixel(cell(2).left() + 10, cell(2).bottom() - 2);
    QVERIFY2(qBlue(top) > 200 && qRed(top) > 80, qPrintable(describe(top)));
    QVERIFY2(qRed(bottom) < 60 && qBlue(bottom) > 150, qPrintable(describe(bottom)));
    // The suffix follows the value: the row with a suffix has ink further right.
    auto rightmostInk = [&](const QRect &rect) {
        for (int x = rect.right(); x >= rect.left(); --x)
            if (countPixels(image, QRect(x, rect.top(), 1, rect.height()), isDarkInk) > 0)
                return x;
        return -1;
    };
    auto leftmostInk = [&](const QRect &rect) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (countPixels(image, QRect(x, rect.top() + 2, 1, rect.height() - 4), isDarkInk) > 0)
                return x;
        return -1;
    };
    const QRect inner0 = cell(0).adjusted(2, 2, -2, -2);
    const QRect inner1 = cell(1).adjusted(2, 2, -2, -2);
    QVERIFY(rightmostInk(inner0) > inner0.right() - 8);
    QVERIFY(leftmostInk(inner1) < leftmostInk(inner0) - 8);
}

VEXA_TEST_MAIN(TestViewRendering)
#include "tst_viewrendering.moc"
