#pragma once
// The "Trends" dock: measured voltage and current of the channels the operator
// added, over the chosen window, time in local time on the x axis, one y axis
// per unit. It draws what the TrendRecorder holds while it is shown and not
// paused, every second or, when drawing costs more than half a percent of the
// GUI thread, less often (at most every 10 seconds), in slices of a few lines
// per turn of the event loop; the refresh ticks only fill the recorder's buffers.

#include <QDockWidget>
#include <QList>
#include <QPointF>

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

    // Lines handed to the chart per turn of the event loop: a redraw of dozens
    // of series goes out in slices of a few milliseconds, so the window stays live.
    static constexpr int SliceSeries = 8;

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
    // Draws the series as they are now, at once.
    void redraw();
    // Draws them in slices of a few lines per turn of the event loop, then
    // sets when the next redraw comes (what the dock's timer calls).
    void redrawAndSchedule();

    // What the last redraw (all its slices) and the last painting of the plot
    // took, and the longest of the redraw's turns (ns).
    qint64 lastRedrawCost() const { return m_lastRedrawCost; }
    qint64 longestRedrawTurn() const { return m_longestTurn; }
    bool isRedrawing() const { return !m_prepared.isEmpty(); }
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
    bool prepare();
    void applyLines(int count);
    void drawSlice();
    void endSlices();

    Ui::TrendDock *m_ui;
    TrendRecorder *m_recorder = nullptr;
    QChart *m_chart = nullptr;
    QChartView *m_view = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_voltageAxis = nullptr;
    QValueAxis *m_currentAxis = nullptr;
    QList<QLineSeries *> m_lines;
    QTimer *m_redrawTimer = nullptr;
    QTimer *m_sliceTimer = nullptr;
    // The lines of a redraw going out in slices; the next one to hand over.
    QList<QList<QPointF>> m_prepared;
    int m_nextLine = 0;
    qint64 m_longestTurn = 0;
    QString m_currentUnit;
    double m_currentScale = 1.0;
    bool m_settingRange = false;
    qint64 m_axisStart = 0;
    qint64 m_axisEnd = 0;
    qint64 m_axisWindow = 0;
    qint64 m_lastRedrawCost = 0;
    qint64 m_lastPaintCost = 0;
};
