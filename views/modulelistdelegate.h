#pragma once
#include <QItemDelegate>

// Two-line entries of the module list: the module's address on top, its serial
// number (item data Qt::UserRole) below, on alternating fills.
class ModuleListDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    explicit ModuleListDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
