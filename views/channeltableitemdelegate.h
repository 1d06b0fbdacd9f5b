#pragma once
#include <QItemDelegate>

// Paints the channel table's cells (frame instead of highlight for selected
// cells, filled status columns, "L"/"T" markers) and reports committed edits.
// Editors are the default line editors of QItemDelegate.
class ChannelTableItemDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    // Item data roles of the per-row markers.
    static constexpr int LowCurrentRangeRole = Qt::UserRole + 1;
    static constexpr int DelayedTripRole = Qt::UserRole + 3;

    explicit ChannelTableItemDelegate(QObject *parent = nullptr);

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

signals:
    void dataEntered(int row, int column, const QString &data) const;
    void dataDiscarded();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;
};
