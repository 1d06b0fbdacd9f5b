// Channel table: status texts and colours, headers, the edit protocol that
// keeps refreshes away from the cell being typed into, and selection helpers.
#include "channeltable.h"
#include "channeltableitemdelegate.h"
#include "testenv.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

ChannelStatus statusOf(std::initializer_list<int> flags)
{
    ChannelStatus status;
    for (int flag : flags)
        status.setFlag(flag, true);
    return status;
}

// The open cell editor of the table, if any.
QLineEdit *openEditor(ChannelTable &table)
{
    const auto editors = table.viewport()->findChildren<QLineEdit *>();
    for (QLineEdit *editor : editors)
        if (editor->isVisible())
            return editor;
    return nullptr;
}

QColor background(const ChannelTable &table, int row, int column)
{
    const QTableWidgetItem *item = table.item(row, column);
    return item ? item->background().color() : QColor();
}

} // namespace

class TestChannelTable : public QObject
{
    Q_OBJECT

private:
    // A shown table with rows, filled the way a refresh fills it.
    void fill(ChannelTable &table, int rows)
    {
        table.setChannelCount(rows);
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < 6; ++column)
                table.setCell(row, column, QString::number(row * 10 + column), Qt::white);
            table.setChannelStatus(row, ChannelControl(), ChannelStatus());
        }
    }
    void show(ChannelTable &table)
    {
        table.resize(900, 300);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
    }

private slots:
    void statusTextAndColour_data();
    void statusTextAndColour();
    void regulationColumns();
    void measurementStatus_data();
    void measurementStatus();
    void unitHeaders_data();
    void unitHeaders();
    void channelCountSetsRowsAndHeaders();
    void channelCountZeroLeavesNoCurrentCell();
    void markersAndToolTips();
    void editKeyOpensEditorOnlyOnSetColumns_data();
    void editKeyOpensEditorOnlyOnSetColumns();
    void doubleClickOpensEditorOnlyOnSetColumns_data();
    void doubleClickOpensEditorOnlyOnSetColumns();
    void refreshDuringEditSkipsOnlyTheEditedCell();
    void escapeEndsProtectionWithoutCommit();
    void focusLossCommitsAndEndsProtection();
    void groupSeparatorsRemovedBeforeEditing();
    void returnOnTableResetsEditState();
    void rowsRemovedDuringEditEndProtection();
    void doubleClickWithoutEditorLeavesNoProtection();
    void editorClosedByCurrentCellChangeEndsProtection();
    void tabCommitsWithoutOpeningAnotherEditor();
    void selectedRows();
};

void TestChannelTable::statusTextAndColour_data()
{
    QTest::addColumn<ChannelStatus>("status");
    QTest::addColumn<bool>("controlOn");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");

    using S = ChannelStatus;
    QTest::newRow("voltage limit beats trip") << statusOf({S::F_isVLIM, S::F_isTRIP, S::F_isON}) << true
                                              << "Voltage Limit" << QColor(Qt::red);
    QTest::newRow("current limit beats trip") << statusOf({S::F_isCLIM, S::F_isTRIP}) << false << "Current Limit"
                                              << QColor(Qt::red);
    QTest::newRow("trip beats emergency") << statusOf({S::F_isTRIP, S::F_isEMCY}) << false << "Current Trip"
                                          << QColor(Qt::red);
    QTest::newRow("emergency beats inhibit") << statusOf({S::F_isEMCY, S::F_isEINH}) << false << "Emergency"
                                             << QColor(Qt::red);
    QTest::newRow("inhibit beats bounds") << statusOf({S::F_isEINH, S::F_isVBNDs}) << false << "Inhibit"
                                          << QColor(Qt::red);
    QTest::newRow("voltage bounds") << statusOf({S::F_isVBNDs, S::F_isCBNDs, S::F_isRAMP}) << true
                                    << "Voltage Bounds" << QColor(Qt::red);
    QTest::newRow("current bounds beats ramping") << statusOf({S::F_isCBNDs, S::F_isRAMP}) << true
                                                  << "Current Bounds" << QColor(Qt::red);
    QTest::newRow("ramping in CV") << statusOf({S::F_isRAMP, S::F_isCV, S::F_isON}) << true << "Ramping"
                                   << QColor(Qt::green);
    QTest::newRow("ramping in CC") << statusOf({S::F_isRAMP, S::F_isCC}) << true << "Ramping" << QColor(Qt::green);
    QTest::newRow("ramping unregulated") << statusOf({S::F_isRAMP, S::F_isON}) << true << "Ramping"
                                         << QColor(Qt::yellow);
    QTest::newRow("on") << statusOf({S::F_isON, S::F_isCV}) << true << "On" << QColor(Qt::green);
    QTest::newRow("switched on, not yet on") << ChannelStatus() << true << "On" << QColor(Qt::yellow);
    QTest::newRow("off") << ChannelStatus() << false << "Off" << QColor(Qt::lightGray);
    QTest::newRow("input error alone is off") << statusOf({S::F_isIERR, S::F_isLCR}) << false << "Off"
                                              << QColor(Qt::lightGray);
}

void TestChannelTable::statusTextAndColour()
{
    QFETCH(ChannelStatus, status);
    QFETCH(bool, controlOn);
    QFETCH(QString, text);
    QFETCH(QColor, color);

    ChannelControl control;
    control.setSetON(controlOn);
    ChannelTable table;
    table.setChannelCount(3);
    table.setChannelStatus(1, control, status);

    QTableWidgetItem *item = table.item(1, ChannelTable::StatusColumn);
    QVERIFY(item);
    QCOMPARE(item->text(), text);
    QCOMPARE(item->background().color(), color);
    QCOMPARE(item->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(ChannelTable::statusText(control, status), text);
    QVERIFY(!table.item(0, ChannelTable::StatusColumn));
    QVERIFY(!table.item(2, ChannelTable::StatusColumn));
}

void TestChannelTable::regulationColumns()
{
    ChannelTable table;
    table.setChannelCount(2);
    table.setChannelStatus(0, ChannelControl(), statusOf({ChannelStatus::F_isCV, ChannelStatus::F_isON}));
    table.setChannelStatus(1, ChannelControl(), statusOf({ChannelStatus::F_isCC, ChannelStatus::F_isON}));
    QCOMPARE(background(table, 0, ChannelTable::ConstantVoltageColumn), QColor(Qt::yellow));
    QCOMPARE(background(table, 0, ChannelTable::ConstantCurrentColumn), QColor(Qt::white));
    QCOMPARE(background(table, 1, ChannelTable::ConstantVoltageColumn), QColor(Qt::white));
    QCOMPARE(background(table, 1, ChannelTable::ConstantCurrentColumn), QColor(Qt::yellow));
    QVERIFY(table.item(0, ChannelTable::ConstantVoltageColumn)->text().isEmpty());

    // The channel leaves regulation: the yellow goes away on the next write.
    table.setChannelStatus(0, ChannelControl(), ChannelStatus());
    QCOMPARE(background(table, 0, ChannelTable::ConstantVoltageColumn), QColor(Qt::white));
}

void TestChannelTable::measurementStatus_data()
{
    QTest::addColumn<bool>("external");
    QTest::addColumn<bool>("ripple");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("both") << true << true << "Both Measurements" << QColor(Qt::green);
    QTest::newRow("external") << true << false << "External Measurement" << QColor(Qt::green);
    QTest::newRow("ripple") << false << true << "Ripple Measurement" << QColor(Qt::green);
    QTest::newRow("none") << false << false << "Off" << QColor(Qt::yellow);
}

void TestChannelTable::measurementStatus()
{
    QFETCH(bool, external);
    QFETCH(bool, ripple);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    ChannelControl control;
    control.setSetExternalMeas(external);
    control.setSetRipple(ripple);
    control.setSetON(true);

    ChannelTable table;
    table.setChannelCount(1);
    table.setMeasurementStatus(0, control);
    QCOMPARE(table.item(0, ChannelTable::StatusColumn)->text(), text);
    QCOMPARE(background(table, 0, ChannelTable::StatusColumn), color);
    // Measurement modules have no regulation columns; they stay untouched.
    QVERIFY(!table.item(0, ChannelTable::ConstantVoltageColumn));
    QVERIFY(!table.item(0, ChannelTable::ConstantCurrentColumn));
}

void TestChannelTable::unitHeaders_data()
{
    QTest::addColumn<QString>("voltageUnit");
    QTest::addColumn<QString>("currentUnit");
    QTest::addColumn<QStringList>("headers");
    QTest::newRow("kV and mA") << "kV" << "mA"
                               << QStringList{"Vset (kV)", "Vmeasure (kV)", "Vnominal (kV)", "Iset (mA)",
                                              "Imeasure (mA)", "Inominal (mA)"};
    QTest::newRow("percent") << "%" << "%"
                             << QStringList{"Vset (%)", "Vmeasure (%)", "Vnominal (V)", "Iset (%)", "Imeasure (%)",
                                            "Inominal (A)"};
    QTest::newRow("exponent") << "Exp" << "Exp"
                              << QStringList{"Vset (Exp)", "Vmeasure (Exp)", "Vnominal (V)", "Iset (Exp)",
                                             "Imeasure (Exp)", "Inominal (A)"};
    QTest::newRow("empty") << "" << ""
                           << QStringList{"Vset ()", "Vmeasure ()", "Vnominal (V)", "Iset ()", "Imeasure ()",
                                          "Inominal (A)"};
}

void TestChannelTable::unitHeaders()
{
    QFETCH(QString, voltageUnit);
    QFETCH(QString, currentUnit);
    QFETCH(QStringList, headers);
    ChannelTable table;
    table.setChannelCount(2);
    table.setVoltageUnitHeaders(voltageUnit);
    table.setCurrentUnitHeaders(currentUnit);
    for (int column = 0; column < 6; ++column) {
        QCOMPARE(table.horizontalHeaderItem(column)->text(), headers.at(column));
        QCOMPARE(table.horizontalHeaderItem(column)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    }
}

void TestChannelTable::channelCountSetsRowsAndHeaders()
{
    ChannelTable table;
    table.setChannelCount(4);
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(table.columnCount(), 9);
    QCOMPARE(table.verticalHeaderItem(0)->text(), QStringLiteral("Channel 0"));
    QCOMPARE(table.verticalHeaderItem(3)->text(), QStringLiteral("Channel 3"));
    QCOMPARE(table.rowHeight(2), 20);
    QCOMPARE(table.font().pointSize(), 9);
    QCOMPARE(table.horizontalHeaderItem(6)->text(), QStringLiteral("Status"));
    QCOMPARE(table.horizontalHeaderItem(7)->text(), QStringLiteral("CV"));
    QCOMPARE(table.horizontalHeaderItem(8)->text(), QStringLiteral("CC"));
    QCOMPARE(table.horizontalHeader()->sectionResizeMode(7), QHeaderView::ResizeToContents);
    QCOMPARE(table.horizontalHeader()->sectionResizeMode(8), QHeaderView::ResizeToContents);
    QCOMPARE(table.horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);
    QCOMPARE(table.horizontalHeader()->sectionResizeMode(6), QHeaderView::Stretch);
    QCOMPARE(table.currentRow(), 0);
    QCOMPARE(table.currentColumn(), 0);
    QCOMPARE(table.selectionMode(), QAbstractItemView::ExtendedSelection);

    // Growing keeps working after shrinking (the flag lists never shrink).
    table.setChannelCount(2);
    table.setChannelCount(6);
    table.setChannelStatus(5, ChannelControl(), statusOf({ChannelStatus::F_isLCR}));
    table.setCell(5, ChannelTable::CurrentMeasureColumn, "1", Qt::white);
    QVERIFY(table.item(5, ChannelTable::CurrentMeasureColumn)
                ->data(ChannelTableItemDelegate::LowCurrentRangeRole)
                .toBool());

    // Rows added behind the table's back (plain setRowCount) are safe to write.
    table.setRowCount(12);
    table.setChannelStatus(11, ChannelControl(), statusOf({ChannelStatus::F_isLCR}));
    table.setCell(11, ChannelTable::CurrentMeasureColumn, "1", Qt::white);
    QVERIFY(table.item(11, ChannelTable::CurrentMeasureColumn)
                ->data(ChannelTableItemDelegate::LowCurrentRangeRole)
                .toBool());
}

void TestChannelTable::channelCountZeroLeavesNoCurrentCell()
{
    ChannelTable table;
    fill(table, 3);
    table.setCurrentCell(2, 3);
    table.setChannelCount(0);
    QCOMPARE(table.rowCount(), 0);
    QVERIFY(!table.currentIndex().isValid());
    QVERIFY(table.selectedRows().isEmpty());
    // Writes for rows that no longer exist are dropped, not crashes.
    table.setCell(1, 0, "5", Qt::white);
    table.setChannelStatus(1, ChannelControl(), ChannelStatus());
    table.setMeasurementStatus(1, ChannelControl());
    QCOMPARE(table.rowCount(), 0);
}

void TestChannelTable::markersAndToolTips()
{
    ChannelTable table;
    table.setChannelCount(2);
    table.setChannelStatus(0, ChannelControl(), statusOf({ChannelStatus::F_isLCR, ChannelStatus::F_isON}));
    table.setDelayedTrip(1, true);
    for (int row = 0; row < 2; ++row) {
        table.setCell(row, ChannelTable::CurrentSetColumn, "2.0", Qt::white);
        table.setCell(row, ChannelTable::CurrentMeasureColumn, "1.0", Qt::white);
    }
    const int lcr = ChannelTableItemDelegate::LowCurrentRangeRole;
    const int trip = ChannelTableItemDelegate::DelayedTripRole;
    QCOMPARE(lcr, int(Qt::UserRole + 1));
    QCOMPARE(trip, int(Qt::UserRole + 3));
    QVERIFY(table.item(0, 4)->data(lcr).toBool());
    QCOMPARE(table.item(0, 4)->toolTip(), QStringLiteral("Channel is in Low Current Range."));
    QVERIFY(!table.item(1, 4)->data(lcr).toBool());
    QVERIFY(table.item(1, 4)->toolTip().isEmpty());
    QVERIFY(table.item(1, 3)->data(trip).toBool());
    QCOMPARE(table.item(1, 3)->toolTip(), QStringLiteral("Channel is configured for Delayed Trip."));
    QVERIFY(!table.item(0, 3)->data(trip).toBool());
    // The flag is shown only at the next write of column 3.
    table.setDelayedTrip(0, true);
    QVERIFY(!table.item(0, 3)->data(trip).toBool());
    table.setCell(0, 3, "2.0", Qt::white);
    QVERIFY(table.item(0, 3)->data(trip).toBool());
}

void TestChannelTable::editKeyOpensEditorOnlyOnSetColumns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Vset") << 0 << true;
    QTest::newRow("Vmeasure") << 1 << false;
    QTest::newRow("Iset") << 3 << true;
    QTest::newRow("Inominal") << 5 << false;
    QTest::newRow("Status") << 6 << false;
}

void TestChannelTable::editKeyOpensEditorOnlyOnSetColumns()
{
    QFETCH(int, column);
    QFETCH(bool, opens);
    ChannelTable table;
    fill(table, 3);
    show(table);
    table.setCurrentCell(1, column);

    QKeyEvent press(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(&table, &press);
    QVERIFY(press.isAccepted()); // swallowed where no editor may open
    QCOMPARE(openEditor(table) != nullptr, opens);
    QCOMPARE(table.editRow(), opens ? 1 : -1);
    QCOMPARE(table.editColumn(), opens ? column : -1);
    if (opens)
        QCOMPARE(openEditor(table)->text(), QString::number(10 + column));
}

void TestChannelTable::doubleClickOpensEditorOnlyOnSetColumns_data()
{
    editKeyOpensEditorOnlyOnSetColumns_data();
}

void TestChannelTable::doubleClickOpensEditorOnlyOnSetColumns()
{
    QFETCH(int, column);
    QFETCH(bool, opens);
    ChannelTable table;
    fill(table, 3);
    show(table);
    const QPoint pos = table.visualRect(table.model()->index(2, column)).center();
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, pos);
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, pos);
    QCOMPARE(openEditor(table) != nullptr, opens);
    QCOMPARE(table.editRow(), opens ? 2 : -1);
    QCOMPARE(table.editColumn(), opens ? column : -1);
}

void TestChannelTable::refreshDuringEditSkipsOnlyTheEditedCell()
{
    ChannelTable table;
    QSignalSpy changed(&table, &ChannelTable::cellDataChanged);
    fill(table, 3);
    show(table);
    table.setCurrentCell(1, 0);
    QTest::keyClick(&table, Qt::Key_F2);
    QLineEdit *editor = openEditor(table);
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "123.5");

    // A refresh writes the whole row and the status.
    for (int column = 0; column < 6; ++column)
        table.setCell(1, column, QStringLiteral("new%1").arg(column), Qt::white);
    table.setChannelStatus(1, ChannelControl(), statusOf({ChannelStatus::F_isON, ChannelStatus::F_isCV}));

    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("10"));
    QCOMPARE(editor->text(), QStringLiteral("123.5"));
    for (int column = 1; column < 6; ++column)
        QCOMPARE(table.item(1, column)->text(), QStringLiteral("new%1").arg(column));
    QCOMPARE(table.item(1, ChannelTable::StatusColumn)->text(), QStringLiteral("On"));
    QCOMPARE(background(table, 1, ChannelTable::ConstantVoltageColumn), QColor(Qt::yellow));
    QVERIFY(changed.isEmpty());

    // Enter commits the typed text unchanged and ends the protection.
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(changed.size(), 1); // the delegate commits from a queued call
    QCOMPARE(changed.at(0).at(0).toInt(), 1);
    QCOMPARE(changed.at(0).at(1).toInt(), 0);
    QCOMPARE(changed.at(0).at(2).toString(), QStringLiteral("123.5"));
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("123.5"));
    table.setCell(1, 0, "99.0", Qt::white);
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("99.0"));
}

void TestChannelTable::escapeEndsProtectionWithoutCommit()
{
    ChannelTable table;
    QSignalSpy changed(&table, &ChannelTable::cellDataChanged);
    QSignalSpy discarded(table.delegate(), &ChannelTableItemDelegate::dataDiscarded);
    fill(table, 2);
    show(table);
    table.setCurrentCell(0, 3);
    QTest::keyClick(&table, Qt::Key_F2);
    QLineEdit *editor = openEditor(table);
    QVERIFY(editor);
    QTest::keyClicks(editor, "7");
    QCOMPARE(table.editColumn(), 3);
    table.setCell(0, 3, "refreshed", Qt::white);
    QCOMPARE(table.item(0, 3)->text(), QStringLiteral("3"));

    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(discarded.size(), 1);
    QVERIFY(changed.isEmpty());
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
    table.setCell(0, 3, "refreshed", Qt::white);
    QCOMPARE(table.item(0, 3)->text(), QStringLiteral("refreshed"));
}

void TestChannelTable::focusLossCommitsAndEndsProtection()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *table = new ChannelTable(&window);
    auto *elsewhere = new QLineEdit(&window);
    layout->addWidget(table);
    layout->addWidget(elsewhere);
    QSignalSpy changed(table, &ChannelTable::cellDataChanged);
    fill(*table, 2);
    window.resize(900, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    table->setFocus();
    table->setCurrentCell(1, 3);
    QTest::keyClick(table, Qt::Key_F2);
    QLineEdit *editor = openEditor(*table);
    QVERIFY(editor);
    QTRY_VERIFY(editor->hasFocus());
    editor->selectAll();
    QTest::keyClicks(editor, "0.25");

    elsewhere->setFocus(); // the operator clicks into another field
    QTRY_COMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(2).toString(), QStringLiteral("0.25"));
    QTRY_COMPARE(table->editRow(), -1);
    table->setCell(1, 3, "0.5000", Qt::white);
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("0.5000"));
}

void TestChannelTable::groupSeparatorsRemovedBeforeEditing()
{
    ChannelTable table;
    table.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    fill(table, 2);
    table.setCell(0, 0, "1,234.5", Qt::white);
    show(table);
    table.setCurrentCell(0, 0);
    QTest::keyClick(&table, Qt::Key_F2);
    QLineEdit *editor = openEditor(table);
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("1234.5"));
    QCOMPARE(table.item(0, 0)->text(), QStringLiteral("1234.5"));
}

void TestChannelTable::returnOnTableResetsEditState()
{
    ChannelTable table;
    fill(table, 2);
    show(table);
    table.setCurrentCell(0, 0);
    QTest::keyClick(&table, Qt::Key_F2);
    QCOMPARE(table.editRow(), 0);
    // Return arriving at the table itself (editor not focused) ends the protection too.
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&table, &ret);
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
}

void TestChannelTable::rowsRemovedDuringEditEndProtection()
{
    ChannelTable table;
    fill(table, 3);
    show(table);
    table.setCurrentCell(1, 0);
    QTest::keyClick(&table, Qt::Key_F2);
    QVERIFY(openEditor(table));
    QCOMPARE(table.editRow(), 1);

    // The main window empties the table when the operator moves to another
    // module (a key shortcut does so while the editor is still open); the view
    // drops that editor without closing it through the delegate.
    table.setRowCount(0);
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
    fill(table, 3);
    QVERIFY(table.item(1, 0));
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("10"));

    // Fewer rows that keep the edited one leave its protection alone.
    table.setCurrentCell(0, 3);
    QTest::keyClick(&table, Qt::Key_F2);
    QVERIFY(openEditor(table));
    table.setRowCount(2);
    QCOMPARE(table.editRow(), 0);
    QCOMPARE(table.editColumn(), 3);
}

void TestChannelTable::doubleClickWithoutEditorLeavesNoProtection()
{
    ChannelTable table;
    fill(table, 3);
    show(table);
    // Only a left double click opens the editor; any other must not leave the
    // cell shielded from refreshes for good.
    const QPoint pos = table.visualRect(table.model()->index(2, 0)).center();
    QTest::mouseClick(table.viewport(), Qt::MiddleButton, {}, pos);
    QTest::mouseDClick(table.viewport(), Qt::MiddleButton, {}, pos);
    QVERIFY(!openEditor(table));
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
    table.setCell(2, 0, "refreshed", Qt::white);
    QCOMPARE(table.item(2, 0)->text(), QStringLiteral("refreshed"));
}

void TestChannelTable::editorClosedByCurrentCellChangeEndsProtection()
{
    ChannelTable table;
    QSignalSpy changed(&table, &ChannelTable::cellDataChanged);
    fill(table, 3);
    show(table);
    table.setCurrentCell(1, 0);
    QTest::keyClick(&table, Qt::Key_F2);
    QLineEdit *editor = openEditor(table);
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "42");

    // Moving the current cell from code makes the view commit and close the
    // editor itself, without the delegate's closeEditor signal.
    table.setCurrentCell(2, 3);
    QTRY_VERIFY(!openEditor(table));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(2).toString(), QStringLiteral("42"));
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
    table.setCell(1, 0, "refreshed", Qt::white);
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("refreshed"));
}

void TestChannelTable::tabCommitsWithoutOpeningAnotherEditor()
{
    ChannelTable table;
    QSignalSpy changed(&table, &ChannelTable::cellDataChanged);
    fill(table, 3);
    show(table);
    table.setCurrentCell(1, 0);
    QTest::keyClick(&table, Qt::Key_F2);
    QLineEdit *editor = openEditor(table);
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "55");
    // Tab commits; it must not open an editor on the measured voltage beside it,
    // a column no editor may open on (and which refreshes would overwrite).
    QTest::keyClick(editor, Qt::Key_Tab);
    QTRY_COMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(1).toInt(), 0);
    QCOMPARE(changed.at(0).at(2).toString(), QStringLiteral("55"));
    QApplication::processEvents();
    QVERIFY(!openEditor(table));
    QCOMPARE(table.editRow(), -1);
    QCOMPARE(table.editColumn(), -1);
}

void TestChannelTable::selectedRows()
{
    ChannelTable table;
    fill(table, 5);
    QItemSelectionModel *selection = table.selectionModel();
    selection->clearSelection();
    for (int column : {0, 4, 6})
        selection->select(table.model()->index(2, column), QItemSelectionModel::Select);
    QCOMPARE(table.selectedRows(), QList<int>{2});
    QVERIFY(!table.hasMultipleRowsSelected());

    selection->select(table.model()->index(4, 1), QItemSelectionModel::Select);
    selection->select(table.model()->index(0, 1), QItemSelectionModel::Select);
    QCOMPARE(table.selectedRows(), (QList<int>{2, 4, 0}));
    QVERIFY(table.hasMultipleRowsSelected());

    selection->clearSelection();
    QVERIFY(table.selectedRows().isEmpty());
    QVERIFY(!table.hasMultipleRowsSelected());
}

VEXA_TEST_MAIN(TestChannelTable)
#include "tst_channeltable.moc"
