#pragma once
// Chooses what a channel (or every channel) does on an external inhibit.
// Modal; the caller sets channel and action, runs it and reads the action.

#include <QDialog>

namespace Ui {
class DialogInhibit;
}

class DialogInhibit : public QDialog
{
    Q_OBJECT

public:
    explicit DialogInhibit(QWidget *parent = nullptr);
    ~DialogInhibit() override;

    // Below 0: all channels.
    void setChannel(int channel);
    int channel() const { return m_channel; }
    // OutputSupervisionAction values: 1 ramp down, 2 switch the channel off,
    // 3 switch the module off, anything else ignore.
    void setAction(int action);
    int action() const;

private:
    Ui::DialogInhibit *m_ui;
    int m_channel = -1;
};
