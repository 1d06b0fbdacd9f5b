#pragma once
#include <QLineEdit>

// Line edit for ramp speeds. The refresh cycle writes it through setText()
// several times a second; while the operator is in the field those writes are
// dropped, and the first click into the field selects its whole content.
class RampSpeedLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit RampSpeedLineEdit(QWidget *parent = nullptr);

    bool isEditing() const { return m_editing; }

public slots:
    // Hides QLineEdit::setText on purpose: refresh writes must go through here.
    void setText(const QString &text);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool m_selectOnNextClick = false;
    bool m_editing = false;
};
