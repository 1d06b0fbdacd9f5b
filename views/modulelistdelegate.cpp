#include "modulelistdelegate.h"

#include <QIcon>
#include <QPainter>

ModuleListDelegate::ModuleListDelegate(QObject *parent) : QItemDelegate(parent)
{
}

QSize ModuleListDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Q_UNUSED(option)
    Q_UNUSED(index)
    return QSize(80, 32);
}

void ModuleListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QRect rect = option.rect;
    painter->save();

    QColor textColor;
    QColor fill;
    if (option.state & QStyle::State_Selected) {
        fill = QColor(Qt::blue);
        textColor = QColor(Qt::white);
    } else {
        fill = (index.row() % 2 == 0) ? QColor(Qt::white) : QColor(243, 243, 243);
        textColor = QColor(51, 51, 51);
    }
    painter->fillRect(rect, fill);

    int textStart = 10;
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) {
        const QRect iconRect = rect.adjusted(5, 10, -10, -10);
        icon.paint(painter, iconRect, Qt::AlignLeft | Qt::AlignVCenter);
        textStart = 55;
    }

    QFont font = option.font;
    font.setPixelSize(12);
    painter->setFont(font);
    painter->setPen(textColor);

    const QRect addressRect(QPoint(rect.left() + textStart, rect.top()),
                            QPoint(rect.right() - 10, rect.bottom() - 16));
    painter->drawText(addressRect, Qt::AlignLeft | Qt::AlignTop, index.data(Qt::DisplayRole).toString());

    const QRect serialRect(QPoint(rect.left() + textStart + 5, rect.top() + 16),
                           QPoint(rect.right() - 10, rect.bottom()));
    painter->drawText(serialRect, Qt::AlignLeft | Qt::AlignTop, index.data(Qt::UserRole).toString());

    painter->restore();
}
