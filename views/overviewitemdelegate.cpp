#include "overviewitemdelegate.h"

#include <QBrush>
#include <QLinearGradient>
#include <QPainter>

OverviewItemDelegate::OverviewItemDelegate(QObject *parent) : QItemDelegate(parent)
{
}

void OverviewItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const QRect rect = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();

    if (selected) {
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        gradient.setColorAt(0.0, QColor(119, 213, 247));
        gradient.setColorAt(0.9, QColor(27, 134, 183));
        gradient.setColorAt(1.0, QColor(0, 120, 174));
        painter->fillRect(rect, gradient);
        painter->setPen(QColor(0, 90, 131));
    } else {
        painter->fillRect(rect, (index.row() % 2 == 0) ? QColor(Qt::white) : QColor(243, 243, 243));
        painter->setPen(QColor(196, 196, 196));
    }
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));

    painter->setFont(option.font);
    const QRect textRect = rect.adjusted(3, 0, -3, 0);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString suffix = index.data(SuffixRole).toString();
    int textRight = textRect.right();
    if (!suffix.isEmpty()) {
        const QString spaced = QLatin1Char(' ') + suffix;
        painter->setPen(QColor(80, 80, 80));
        painter->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter, spaced);
        textRight -= painter->fontMetrics().horizontalAdvance(spaced);
    }
    // A cell with its own text colour (a module's running state) keeps it.
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter->setPen(foreground.canConvert<QBrush>() && foreground.value<QBrush>().style() != Qt::NoBrush
                        ? foreground.value<QBrush>().color()
                        : QColor(40, 40, 40));
    painter->drawText(QRect(QPoint(textRect.left(), textRect.top()), QPoint(textRight, textRect.bottom())),
                      Qt::AlignRight | Qt::AlignVCenter, text);
    painter->restore();
}
