#pragma once
#include <QList>
#include <QTableWidget>

#include "channelcontrol.h"
#include "channelstatus.h"

class ChannelTableItemDelegate;

// One row per channel of the current module. The table keeps no module data:
// the main window writes every cell on each refresh, and committed edits of
// the set-value columns leave through cellDataChanged(). The cell the operator
// is editing is never overwritten by those refresh writes.
class ChannelTable : public QTableWidget
{
    Q_OBJECT
public:
    enum Column {
        VoltageSetColumn = 0,
        VoltageMeasureColumn = 1,
        VoltageNominalColumn = 2,
        CurrentSetColumn = 3,
        CurrentMeasureColumn = 4,
        CurrentNominalColumn = 5,
        StatusColumn = 6,
        ConstantVoltageColumn = 7,
        ConstantCurrentColumn = 8,
        ColumnCount = 9
    };

    explicit ChannelTable(QWidget *parent = nullptr);
    ~ChannelTable() override;

    void setChannelCount(int count);
    void setVoltageUnitHeaders(const QString &unit);
    void setCurrentUnitHeaders(const QString &unit);
    void setCell(int row, int column, const QString &text, const QColor &background);
    void setChannelStatus(int row, ChannelControl control, ChannelStatus status);
    void setMeasurementStatus(int row, ChannelControl control);
    void setDelayedTrip(int row, bool on);

    QList<int> selectedRows() const;
    bool hasMultipleRowsSelected() const;

    int editRow() const { return m_editRow; }
    int editColumn() const { return m_editColumn; }
    ChannelTableItemDelegate *delegate() const { return m_delegate; }

    // Status text and colour of a row, by the first condition that holds.
    static QString statusText(ChannelControl control, ChannelStatus status);
    static QColor statusColor(ChannelControl control, ChannelStatus status);

signals:
    void cellDataChanged(int row, int column, const QString &data);

public slots:
    void dataEntered(int row, int column, const QString &text);
    void dataDiscarded();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    static bool isEditableColumn(int column);
    bool isBeingEdited(int row, int column) const;
    // Marks the cell as being edited and strips group separators from its text.
    void prepareEdit(int row, int column);
    // Ends the protection when the default handling opened no editor after all.
    void dropEditIfNoEditor();
    void putItem(int row, int column, const QString &text, const QColor &background);
    void setHeaderText(int column, const QString &text);
    void ensureRows(int count);

    int m_editRow = -1;
    int m_editColumn = -1;
    QList<bool> m_lowCurrentRange;
    QList<bool> m_delayedTrip;
    ChannelTableItemDelegate *m_delegate = nullptr;
};
