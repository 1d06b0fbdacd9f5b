#pragma once
// Asks for a channel's (or all channels') set current and, on channels that
// regulate their current, for the delayed trip: whether and after how long
// the channel is turned off at that current, and how. Modal; the caller fills
// it, runs it and reads the choice back.

#include <QDialog>

namespace Ui {
class DialogSetCurrent;
}

class DialogSetCurrent : public QDialog
{
    Q_OBJECT

public:
    explicit DialogSetCurrent(QWidget *parent = nullptr);
    ~DialogSetCurrent() override;

    // -1: all channels.
    void setChannel(int channel);
    int channel() const { return m_channel; }
    void setMaximum(double maximum);
    double maximum() const;
    // The smallest maximum among the channels written; a note tells the
    // operator when some channels allow less than the maximum.
    void setLowestMaximum(double lowestMaximum);
    void setUnit(const QString &unit);
    void setDecimals(int decimals);
    void setDelayedTripCapable(bool capable);
    bool delayedTripCapable() const { return m_capable; }

    void setValue(double value);
    double value() const;
    // Trip delay in milliseconds.
    void setDelay(int delay);
    int delay() const;
    void setDelayedTrip(bool enabled);
    // Ticked and possible on this channel.
    bool delayedTrip() const;
    // What the trip does, as an OutputSupervisionAction: 1 ramp down, 2 switch
    // the channel off, 3 switch the module off.
    void setAction(int action);
    int action() const;

private slots:
    void on_chkDelayedTrip_stateChanged(int state);

private:
    void renewPrompt();
    void renewDelayedTrip();

    Ui::DialogSetCurrent *m_ui;
    int m_channel = -1;
    bool m_capable = true;
    double m_lowestMaximum = 0.0;
    QString m_unit;
};
