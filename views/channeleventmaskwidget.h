#pragma once
#include <QWidget>

#include "channeleventmask.h"

namespace Ui {
class ChannelEventMaskWidget;
}

// The current channel's event mask as check boxes. Refreshes write the same
// mask again and again; only a mask that differs from the last one shown
// resets the boxes, so ticks the operator has not sent yet survive.
class ChannelEventMaskWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ChannelEventMaskWidget(QWidget *parent = nullptr);
    ~ChannelEventMaskWidget() override;

    void setMask(ChannelEventMask mask);
    // The mask the twelve boxes show now.
    ChannelEventMask boxMask() const;
    // Last mask shown, remembered once for the whole program.
    static ChannelEventMask lastMask();

public slots:
    void enableButton(bool enable);

signals:
    void channelEventMaskChanged(ChannelEventMask mask);

private slots:
    void on_setChannelEventMaskButton_clicked();

private:
    void showBoxes(ChannelEventMask mask);

    Ui::ChannelEventMaskWidget *m_ui;
    static ChannelEventMask s_lastMask;
};
