#pragma once
// Rich-text prefixes of the coloured status labels. The tags are left open on
// purpose: the label name follows and the label ends there.
#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <QStringList>

namespace StatusLabel {

inline QString goodPrefix()
{
    return QStringLiteral("<font color=\"darkgreen\"><strong>");
}
inline QString badPrefix()
{
    return QStringLiteral("<font color=\"red\"><strong>");
}
inline QString inactivePrefix()
{
    return QStringLiteral("<font color=\"gray\">");
}

// Bold texts are wider than gray ones; reserving the widest form keeps the
// grid of labels from jumping on every refresh.
inline void reserveWidth(QLabel *label, const QStringList &texts)
{
    QFont bold = label->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int width = 0;
    for (const QString &text : texts)
        width = qMax(width, metrics.horizontalAdvance(text));
    label->setMinimumWidth(width + 4);
}

} // namespace StatusLabel
