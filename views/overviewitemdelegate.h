#pragma once
#include <QItemDelegate>

// Cells of the module overview table: a value right-aligned, followed by an
// optional second text (item data Qt::UserRole + 1, e.g. a unit or marker).
class OverviewItemDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    static constexpr int SuffixRole = Qt::UserRole + 1;

    explicit OverviewItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
