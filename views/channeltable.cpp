#include "channeltable.h"

#include "channeltableitemdelegate.h"
#include "viewslog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

namespace {

struct StatusLook {
    const char *text;
    Qt::GlobalColor color;
};

// The first condition that holds names the row's state; faults come before
// activity so a tripped or limited channel never reads as merely "On".
StatusLook statusLook(ChannelControl control, ChannelStatus status)
{
    if (status.isVLIM())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Voltage Limit"), Qt::red};
    if (status.isCLIM())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Current Limit"), Qt::red};
    if (status.isTRIP())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Current Trip"), Qt::red};
    if (status.isEMCY())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Emergency"), Qt::red};
    if (status.isEINH())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Inhibit"), Qt::red};
    if (status.isVBNDs())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Voltage Bounds"), Qt::red};
    if (status.isCBNDs())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Current Bounds"), Qt::red};
    if (status.isRAMP())
        return {QT_TRANSLATE_NOOP("ChannelTable", "Ramping"),
                (status.isCC() || status.isCV()) ? Qt::green : Qt::yellow};
    if (status.isON())
        return {QT_TRANSLATE_NOOP("ChannelTable", "On"), Qt::green};
    if (control.setON())
        return {QT_TRANSLATE_NOOP("ChannelTable", "On"), Qt::yellow}; // switched on, not yet on
    return {QT_TRANSLATE_NOOP("ChannelTable", "Off"), Qt::lightGray};
}

} // namespace

ChannelTable::ChannelTable(QWidget *parent) : QTableWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // The main window's form declares the nine columns; a table made in code gets them here.
    if (columnCount() < ColumnCount)
        setColumnCount(ColumnCount);

    m_delegate = new ChannelTableItemDelegate(this);
    setItemDelegate(m_delegate);
    connect(m_delegate, &ChannelTableItemDelegate::dataEntered, this, &ChannelTable::dataEntered);
    connect(m_delegate, &QAbstractItemDelegate::closeEditor, this, &ChannelTable::dataDiscarded);
    connect(m_delegate, &ChannelTableItemDelegate::dataDiscarded, this, &ChannelTable::dataDiscarded);

    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

ChannelTable::~ChannelTable()
{
    // An editor still open is closed by the base class's destructor, whose
    // signals would reach this half-destroyed table.
    disconnect(m_delegate, nullptr, this, nullptr);
}

void ChannelTable::dataEntered(int row, int column, const QString &text)
{
    qCDebug(lcViews) << "channel table: entered" << row << column << text;
    emit cellDataChanged(row, column, text);
}

void ChannelTable::dataDiscarded()
{
    m_editRow = -1;
    m_editColumn = -1;
}

void ChannelTable::ensureRows(int count)
{
    while (m_lowCurrentRange.size() < count)
        m_lowCurrentRange.append(false);
    while (m_delayedTrip.size() < count)
        m_delayedTrip.append(false);
}

void ChannelTable::setHeaderText(int column, const QString &text)
{
    if (column >= columnCount())
        setColumnCount(column + 1);
    QTableWidgetItem *item = horizontalHeaderItem(column);
    if (!item) {
        item = new QTableWidgetItem;
        setHorizontalHeaderItem(column, item);
    }
    item->setText(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void ChannelTable::setChannelCount(int count)
{
    count = qMax(0, count);
    ensureRows(count);
    setRowCount(count);

    QFont tableFont = font();
    tableFont.setPointSize(9);
    setFont(tableFont);
    for (int row = 0; row < count; ++row) {
        setVerticalHeaderItem(row, new QTableWidgetItem(tr("Channel %1").arg(row)));
        setRowHeight(row, 20);
    }

    setHeaderText(StatusColumn, tr("Status"));
    setHeaderText(ConstantVoltageColumn, tr("CV"));
    setHeaderText(ConstantCurrentColumn, tr("CC"));
    horizontalHeader()->setSectionResizeMode(ConstantVoltageColumn, QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(ConstantCurrentColumn, QHeaderView::ResizeToContents);

    if (count > 0)
        setCurrentCell(0, 0);
}

static QString nominalUnit(const QString &unit, const char *fallback)
{
    // Nominal values are always shown in the base unit, whatever the set values use.
    if (unit.isEmpty() || unit == QLatin1String("Exp") || unit == QLatin1String("%"))
        return QString::fromLatin1(fallback);
    return unit;
}

void ChannelTable::setVoltageUnitHeaders(const QString &unit)
{
    setHeaderText(VoltageSetColumn, tr("Vset (%1)").arg(unit));
    setHeaderText(VoltageMeasureColumn, tr("Vmeasure (%1)").arg(unit));
    setHeaderText(VoltageNominalColumn, tr("Vnominal (%1)").arg(nominalUnit(unit, "V")));
}

void ChannelTable::setCurrentUnitHeaders(const QString &unit)
{
    setHeaderText(CurrentSetColumn, tr("Iset (%1)").arg(unit));
    setHeaderText(CurrentMeasureColumn, tr("Imeasure (%1)").arg(unit));
    setHeaderText(CurrentNominalColumn, tr("Inominal (%1)").arg(nominalUnit(unit, "A")));
}

bool ChannelTable::isBeingEdited(int row, int column) const
{
    return row == m_editRow && column == m_editColumn;
}

bool ChannelTable::isEditableColumn(int column)
{
    return column == VoltageSetColumn || column == CurrentSetColumn;
}

void ChannelTable::putItem(int row, int column, const QString &text, const QColor &background)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (column == CurrentMeasureColumn) {
        const bool lowRange = m_lowCurrentRange.value(row, false);
        item->setData(ChannelTableItemDelegate::LowCurrentRangeRole, lowRange);
        if (lowRange)
            item->setToolTip(tr("Channel is in Low Current Range."));
    }
    if (column == CurrentSetColumn) {
        const bool delayed = m_delayedTrip.value(row, false);
        item->setData(ChannelTableItemDelegate::DelayedTripRole, delayed);
        if (delayed)
            item->setToolTip(tr("Channel is configured for Delayed Trip."));
    }
    item->setBackground(background);
    setItem(row, column, item);
}

void ChannelTable::setCell(int row, int column, const QString &text, const QColor &background)
{
    if (isBeingEdited(row, column))
        return;
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    putItem(row, column, text, background);
}

QString ChannelTable::statusText(ChannelControl control, ChannelStatus status)
{
    return tr(statusLook(control, status).text);
}

QColor ChannelTable::statusColor(ChannelControl control, ChannelStatus status)
{
    return QColor(statusLook(control, status).color);
}

void ChannelTable::setChannelStatus(int row, ChannelControl control, ChannelStatus status)
{
    if (row < 0 || row >= rowCount())
        return;
    ensureRows(rowCount()); // rows may have been added with setRowCount() directly
    m_lowCurrentRange[row] = status.isLCR();
    const StatusLook look = statusLook(control, status);
    if (!isBeingEdited(row, StatusColumn))
        putItem(row, StatusColumn, tr(look.text), QColor(look.color));
    if (!isBeingEdited(row, ConstantVoltageColumn))
        putItem(row, ConstantVoltageColumn, QString(), status.isCV() ? QColor(Qt::yellow) : QColor(Qt::white));
    if (!isBeingEdited(row, ConstantCurrentColumn))
        putItem(row, ConstantCurrentColumn, QString(), status.isCC() ? QColor(Qt::yellow) : QColor(Qt::white));
}

void ChannelTable::setMeasurementStatus(int row, ChannelControl control)
{
    if (row < 0 || row >= rowCount() || isBeingEdited(row, StatusColumn))
        return;
    QString text;
    QColor color(Qt::green);
    if (control.setExternalMeas() && control.setRipple())
        text = tr("Both Measurements");
    else if (control.setExternalMeas())
        text = tr("External Measurement");
    else if (control.setRipple())
        text = tr("Ripple Measurement");
    else {
        text = tr("Off");
        color = QColor(Qt::yellow);
    }
    putItem(row, StatusColumn, text, color);
}

void ChannelTable::setDelayedTrip(int row, bool on)
{
    if (row < 0)
        return;
    ensureRows(row + 1);
    m_delayedTrip[row] = on;
}

QList<int> ChannelTable::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    const QModelIndexList indexes = selectionModel()->selectedIndexes();
    for (const QModelIndex &index : indexes) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    return rows;
}

bool ChannelTable::hasMultipleRowsSelected() const
{
    return selectedRows().size() > 1;
}

void ChannelTable::prepareEdit(int row, int column)
{
    m_editRow = row;
    m_editColumn = column;
    // Values may be shown with thousands separators; the editor gets the bare number.
    if (QTableWidgetItem *cell = item(row, column)) {
        const QString separator = locale().groupSeparator();
        if (!separator.isEmpty() && cell->text().contains(separator))
            cell->setText(QString(cell->text()).remove(separator));
    }
}

void ChannelTable::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        dataDiscarded();
        break;
    case Qt::Key_F2: {
        const QModelIndex current = currentIndex();
        if (!current.isValid() || !isEditableColumn(current.column())) {
            event->accept(); // no editor outside the set-value columns
            return;
        }
        prepareEdit(current.row(), current.column());
        QTableWidget::keyPressEvent(event);
        dropEditIfNoEditor();
        return;
    }
    default:
        break;
    }
    QTableWidget::keyPressEvent(event);
}

void ChannelTable::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || !isEditableColumn(index.column())) {
        event->accept();
        return;
    }
    prepareEdit(index.row(), index.column());
    QTableWidget::mouseDoubleClickEvent(event);
    dropEditIfNoEditor();
}

void ChannelTable::dropEditIfNoEditor()
{
    // Only a left double click (on the cell the press hit) opens an editor; a
    // protection without one would keep refreshes off that cell for good.
    if (state() != QAbstractItemView::EditingState)
        dataDiscarded();
}

void ChannelTable::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab and Backtab would open the default editor on the neighbouring cell,
    // which may be a read-only column and is not shielded from refreshes: the
    // edit simply ends there instead.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::SubmitModelCache;
    QTableWidget::closeEditor(editor, hint);
    // The view also closes editors itself (a change of the current cell from
    // code), without the delegate's signal.
    dataDiscarded();
}

void ChannelTable::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    // The view drops the editors of removed rows without the delegate closing
    // them, so no dataDiscarded() comes: the main window empties the table on a
    // change of module, and the next module's cell would stay unwritten.
    if (!parent.isValid() && m_editRow >= start) {
        if (m_editRow <= end)
            dataDiscarded();
        else
            m_editRow -= end - start + 1;
    }
    QTableWidget::rowsAboutToBeRemoved(parent, start, end);
}
