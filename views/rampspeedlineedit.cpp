#include "rampspeedlineedit.h"

#include "rampinputvalidator.h"

#include <QFocusEvent>
#include <QMouseEvent>

RampSpeedLineEdit::RampSpeedLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new RampInputValidator(this));
}

void RampSpeedLineEdit::setText(const QString &text)
{
    if (m_editing)
        return;
    QLineEdit::setText(text);
}

void RampSpeedLineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
    m_selectOnNextClick = true;
    m_editing = true;
}

void RampSpeedLineEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    m_editing = false;
}

void RampSpeedLineEdit::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    // The press that gave the focus would otherwise place the cursor and undo
    // the selection made on focus-in.
    if (m_selectOnNextClick) {
        selectAll();
        m_selectOnNextClick = false;
    }
}
