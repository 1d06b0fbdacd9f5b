#pragma once
// The "Trends" dock: measured voltage and current of the channels the operator
// added, over the chosen window, time in local time on the x axis, one y axis
// per unit. It draws what the TrendRecorder holds while it is shown and not
// paused, every second or, when drawing costs more than half a percent of the
// GUI thread, less often (at most every 10 seconds); the refresh ticks only
// fill the recorder's buffers.

#include <QDockWidget>
#include <QList>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QTimer;
class QValueAxis;
class TrendRecorder;

namespace Ui {
class TrendDock;
}

class TrendDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit TrendDock(QWidget *parent = nullptr);
    ~TrendDock() override;

    void bind(TrendRecorder *recorder);

    QChartView *chartView() const { return m_view; }
    QChart *chart() const { return m_chart; }
    QList<QLineSeries *> lines() const { return m_lines; }
    bool isPaused() const;
    void setPaused(bool paused);
    // The unit the current axis shows ("A", "mA", "µA", "nA").
    QString currentUnit() const { return m_currentUnit; }

    // Writes the recorder's series to the file; false (with a box) when it cannot.
    bool exportTo(const QString &fileName);

public slots:
    // Draws the series as they are now.
    void redraw();
    // Draws them and sets when the next redraw comes (what the dock's timer calls).
    void redrawAndSchedule();

    // What the last redraw and the last painting of the plot took (ns).
    qint64 lastRedrawCost() const { return m_lastRedrawCost; }
    qint64 lastPaintCost() const { return m_lastPaintCost; }
    int redrawInterval() const;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_pauseButton_toggled(bool checked);
    void on_windowBox_activated(int index);
    void on_removeAllButton_clicked();
    void on_exportButton_clicked();

private:
    void rebuildSeries();
    void rangeChangedByMouse();
    void scheduleRedraw();

    Ui::TrendDock *m_ui;
    TrendRecorder *m_recorder = nullptr;
    QChart *m_chart = nullptr;
    QChartView *m_view = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_voltageAxis = nullptr;
    QValueAxis *m_currentAxis = nullptr;
    QList<QLineSeries *> m_lines;
    QTimer *m_redrawTimer = nullptr;
    QString m_currentUnit;
    double m_currentScale = 1.0;
    bool m_settingRange = false;
    qint64 m_axisStart = 0;
    qint64 m_axisEnd = 0;
    qint64 m_axisWindow = 0;
    qint64 m_lastRedrawCost = 0;
    qint64 m_lastPaintCost = 0;
};
