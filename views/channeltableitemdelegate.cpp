#include "channeltableitemdelegate.h"

#include <QKeyEvent>
#include <QPainter>

ChannelTableItemDelegate::ChannelTableItemDelegate(QObject *parent) : QItemDelegate(parent)
{
}

void ChannelTableItemDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                            const QModelIndex &index) const
{
    QItemDelegate::setModelData(editor, model, index);
    const QString text = index.data(Qt::EditRole).toString();
    emit dataEntered(index.row(), index.column(), text);
}

bool ChannelTableItemDelegate::eventFilter(QObject *object, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        emit dataDiscarded();
    return QItemDelegate::eventFilter(object, event);
}

void ChannelTableItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    const QPen textPen(QColor(40, 40, 40), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QRect rect = option.rect;
    painter->save();

    if (option.state & QStyle::State_Selected) {
        // A frame rather than the highlight colour: the style may already have filled
        // the cell with it, so put back the row's own background first.
        const bool alternate = option.features & QStyleOptionViewItem::Alternate;
        painter->fillRect(rect, option.palette.brush(alternate ? QPalette::AlternateBase : QPalette::Base));
        painter->setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    } else if (index.column() >= 6 && index.data(Qt::BackgroundRole).isValid()) {
        // A cell nobody has written yet (the CV and CC cells of a measurement
        // module never are) has no colour of its own: an empty brush would
        // paint it black, so it keeps the row's background.
        const QColor background = index.data(Qt::BackgroundRole).value<QBrush>().color();
        painter->setPen(background);
        painter->setBrush(background);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }

    painter->setFont(option.font);
    const QPoint markerPos(rect.left() + 8, rect.top() + 14);
    if (index.column() == 4 && index.data(LowCurrentRangeRole).toBool()) {
        painter->setPen(Qt::blue);
        painter->drawText(markerPos, QStringLiteral("L"));
    } else if (index.column() == 3 && index.data(DelayedTripRole).toBool()) {
        painter->setPen(Qt::blue);
        painter->drawText(markerPos, QStringLiteral("T"));
    }

    painter->setPen(textPen);
    painter->drawText(rect.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}
