#include "trenddock.h"
#include "ui_trenddock.h"

#include "messagebox.h"
#include "trendrecorder.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QSaveFile>
#include <QTimer>
#include <QValueAxis>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace {

// Redraws take at most a 200th of the GUI thread: a plot of a few channels
// moves every second, one of dozens (tens of milliseconds to draw) every few
// seconds, never less often than every 10 seconds. A refresh tick then rarely
// meets a redraw.
constexpr int kRedrawInterval = 1000;
constexpr int kSlowestRedrawInterval = 10000;
constexpr qint64 kRedrawShare = 200;

struct WindowChoice {
    int minutes;
    const char *text;
};
const WindowChoice kWindows[] = {
    {1, QT_TRANSLATE_NOOP("TrendDock", "1 minute")},   {10, QT_TRANSLATE_NOOP("TrendDock", "10 minutes")},
    {60, QT_TRANSLATE_NOOP("TrendDock", "1 hour")},    {480, QT_TRANSLATE_NOOP("TrendDock", "8 hours")},
    {1440, QT_TRANSLATE_NOOP("TrendDock", "24 hours")},
};

// The plot shows at most two points per pixel column: the smallest and the
// largest value that fell into it, so a spike stays visible at any window.
void decimate(const TrendBuffer &buffer, qint64 from, qint64 to, int columns, double scale, QList<QPointF> *points)
{
    points->clear();
    const int first = buffer.firstAtOrAfter(from);
    // One point past the range, so the line runs on to its edge.
    const int end = qMin(buffer.size(), buffer.firstAtOrAfter(to + 1) + 1);
    const int count = end - first;
    if (count <= 0)
        return;
    const double span = double(qMax<qint64>(1, to - from));
    if (count <= columns) {
        points->reserve(count * 2);
        for (int i = first; i < end; ++i) {
            const TrendPoint &p = buffer.at(i);
            if (p.minimum != p.maximum) {
                points->append(QPointF(double(p.msecs), double(p.minimum) * scale));
                points->append(QPointF(double(p.msecs), double(p.maximum) * scale));
            }
            points->append(QPointF(double(p.msecs), double(p.value) * scale));
        }
        return;
    }
    points->reserve(columns * 2);
    int column = -1;
    float low = 0.0f;
    float high = 0.0f;
    qint64 lowTime = 0;
    qint64 highTime = 0;
    auto flush = [&] {
        if (column < 0)
            return;
        if (lowTime <= highTime) {
            points->append(QPointF(double(lowTime), double(low) * scale));
            if (high != low)
                points->append(QPointF(double(highTime), double(high) * scale));
        } else {
            points->append(QPointF(double(highTime), double(high) * scale));
            points->append(QPointF(double(lowTime), double(low) * scale));
        }
    };
    for (int i = first; i < end; ++i) {
        const TrendPoint &p = buffer.at(i);
        const int c = int(double(p.msecs - from) / span * columns);
        if (c != column) {
            flush();
            column = c;
            low = p.minimum;
            high = p.maximum;
            lowTime = highTime = p.msecs;
        } else {
            if (p.minimum < low) {
                low = p.minimum;
                lowTime = p.msecs;
            }
            if (p.maximum > high) {
                high = p.maximum;
                highTime = p.msecs;
            }
        }
    }
    flush();
}

// The range the axis must take for the values: none while they stay inside it
// and fill at least a third of it, as moving an axis lays the whole chart out anew.
std::optional<std::pair<double, double>> fittedRange(const QValueAxis *axis, double low, double high)
{
    if (!(low <= high)) {
        low = 0.0;
        high = 1.0;
    }
    const double margin = qMax((high - low) * 0.05, qMax(std::abs(high), 1e-9) * 0.01);
    // Values that only scatter around zero below a positive trend start the axis at zero.
    const double bottom = low >= -margin && high > 0.0 ? 0.0 : low - margin;
    const double top = high + margin;
    const double span = axis->max() - axis->min();
    if (bottom >= axis->min() && top <= axis->max() && (top - bottom) * 3.0 >= span)
        return std::nullopt;
    return std::make_pair(bottom, top);
}

void applyRange(QValueAxis *axis, const std::optional<std::pair<double, double>> &range)
{
    if (!range)
        return;
    axis->setRange(range->first, range->second);
    axis->applyNiceNumbers();
}

// The painting is timed too: it is most of what a redraw costs.
class TimedChartView : public QChartView
{
public:
    TimedChartView(QChart *chart, QWidget *parent, qint64 *cost) : QChartView(chart, parent), m_cost(cost) {}

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QElapsedTimer timer;
        timer.start();
        QChartView::paintEvent(event);
        *m_cost = timer.nsecsElapsed();
    }

private:
    qint64 *m_cost;
};

} // namespace

TrendDock::TrendDock(QWidget *parent)
    : QDockWidget(parent)
    , m_ui(new Ui::TrendDock)
{
    m_ui->setupUi(this);
    for (const WindowChoice &choice : kWindows)
        m_ui->windowBox->addItem(tr(choice.text), choice.minutes);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    // Nothing the values do not need: no shadow, no rounded frame, no smoothing.
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundRoundness(0);
    m_timeAxis = new QDateTimeAxis(m_chart);
    m_timeAxis->setTitleText(tr("Local time"));
    m_timeAxis->setTickCount(7);
    m_voltageAxis = new QValueAxis(m_chart);
    m_voltageAxis->setTitleText(tr("Voltage (V)"));
    m_voltageAxis->setLabelFormat(QStringLiteral("%g"));
    m_currentAxis = new QValueAxis(m_chart);
    m_currentAxis->setLabelFormat(QStringLiteral("%g"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_voltageAxis, Qt::AlignLeft);
    m_chart->addAxis(m_currentAxis, Qt::AlignRight);

    m_view = new TimedChartView(m_chart, m_ui->chartHolder, &m_lastPaintCost);
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    m_view->setRenderHint(QPainter::Antialiasing, false);
    m_ui->chartLayout->addWidget(m_view);

    // Our own range updates are not zooming; any other change is the mouse.
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &TrendDock::rangeChangedByMouse);
    connect(m_voltageAxis, &QValueAxis::rangeChanged, this, &TrendDock::rangeChangedByMouse);

    m_sliceTimer = new QTimer(this);
    m_sliceTimer->setSingleShot(true);
    m_sliceTimer->setInterval(0);
    connect(m_sliceTimer, &QTimer::timeout, this, &TrendDock::drawSlice);
    m_redrawTimer = new QTimer(this);
    m_redrawTimer->setInterval(kRedrawInterval);
    connect(m_redrawTimer, &QTimer::timeout, this, &TrendDock::redrawAndSchedule);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && !isPaused())
            m_redrawTimer->start();
        else
            m_redrawTimer->stop();
    });
}

TrendDock::~TrendDock()
{
    delete m_ui;
}

void TrendDock::bind(TrendRecorder *recorder)
{
    m_recorder = recorder;
    connect(recorder, &TrendRecorder::channelsChanged, this, &TrendDock::rebuildSeries);
    connect(recorder, &TrendRecorder::windowChanged, this, [this](int minutes) {
        const int index = m_ui->windowBox->findData(minutes);
        if (index >= 0)
            m_ui->windowBox->setCurrentIndex(index);
        redraw();
    });
    int index = m_ui->windowBox->findData(recorder->windowMinutes());
    if (index < 0) {
        m_ui->windowBox->addItem(tr("%n minute(s)", nullptr, recorder->windowMinutes()), recorder->windowMinutes());
        index = m_ui->windowBox->count() - 1;
    }
    m_ui->windowBox->setCurrentIndex(index);
    rebuildSeries();
}

bool TrendDock::isPaused() const
{
    return m_ui->pauseButton->isChecked();
}

void TrendDock::setPaused(bool paused)
{
    m_ui->pauseButton->setChecked(paused);
}

void TrendDock::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    redraw();
}

void TrendDock::on_pauseButton_toggled(bool checked)
{
    m_ui->pauseButton->setText(checked ? tr("Resume") : tr("Pause"));
    if (checked) {
        m_redrawTimer->stop();
        return;
    }
    // Back to following the newest values at the whole window.
    m_settingRange = true;
    m_chart->zoomReset();
    m_settingRange = false;
    m_axisEnd = 0;
    redraw();
    if (isVisible())
        m_redrawTimer->start();
}

void TrendDock::on_windowBox_activated(int index)
{
    if (m_recorder)
        m_recorder->setWindowMinutes(m_ui->windowBox->itemData(index).toInt());
}

void TrendDock::on_removeAllButton_clicked()
{
    if (m_recorder)
        m_recorder->clearChannels();
}

void TrendDock::on_exportButton_clicked()
{
    QString fileName = MessageBox::getSaveFileName(this, tr("Export trends"),
                                                   QDir::current().absoluteFilePath(QStringLiteral("trends.csv")),
                                                   tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    if (!fileName.endsWith(QLatin1String(".csv")))
        fileName += QLatin1String(".csv");
    exportTo(fileName);
}

bool TrendDock::exportTo(const QString &fileName)
{
    QSaveFile file(fileName);
    if (!m_recorder || !file.open(QIODevice::WriteOnly | QIODevice::Text) || !m_recorder->exportCsv(&file)
        || !file.commit()) {
        MessageBox::warning(this, windowTitle(),
                            tr("The trends could not be written to '%1': %2.")
                                .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    return true;
}

void TrendDock::rangeChangedByMouse()
{
    if (!m_settingRange && !isPaused())
        setPaused(true);
}

void TrendDock::rebuildSeries()
{
    endSlices();
    m_settingRange = true;
    for (QLineSeries *line : std::as_const(m_lines)) {
        m_chart->removeSeries(line);
        delete line;
    }
    m_lines.clear();
    if (m_recorder) {
        for (int i = 0; i < m_recorder->seriesCount(); ++i) {
            const TrendRecorder::Series &series = m_recorder->series(i);
            auto *line = new QLineSeries;
            line->setName(series.name());
            m_chart->addSeries(line);
            line->attachAxis(m_timeAxis);
            line->attachAxis(series.quantity == TrendRecorder::Voltage ? m_voltageAxis : m_currentAxis);
            // Thin lines: a wide or dashed pen costs the painter many times more.
            QPen pen = line->pen();
            pen.setWidth(1);
            pen.setCosmetic(true);
            if (series.quantity == TrendRecorder::Current && !m_lines.isEmpty()) {
                // The current of a channel in a lighter tone of the voltage's colour, dashed.
                pen.setColor(m_lines.last()->pen().color().lighter(140));
                pen.setStyle(Qt::DashLine);
            }
            line->setPen(pen);
            m_lines.append(line);
        }
    }
    m_settingRange = false;
    m_axisEnd = 0;
    redraw();
}

void TrendDock::redraw()
{
    endSlices();
    QElapsedTimer cost;
    cost.start();
    if (!prepare())
        return;
    applyLines(int(m_prepared.size()));
    m_prepared.clear();
    m_lastRedrawCost = cost.nsecsElapsed();
    m_longestTurn = m_lastRedrawCost;
}

void TrendDock::redrawAndSchedule()
{
    // The last one is still going out in slices.
    if (!m_prepared.isEmpty())
        return;
    QElapsedTimer turn;
    turn.start();
    if (!prepare())
        return;
    // One painting when all lines are in, not one per slice.
    m_view->viewport()->setUpdatesEnabled(false);
    m_lastRedrawCost = m_longestTurn = turn.nsecsElapsed();
    m_sliceTimer->start();
}

void TrendDock::drawSlice()
{
    QElapsedTimer turn;
    turn.start();
    applyLines(SliceSeries);
    const bool done = m_nextLine >= m_prepared.size();
    if (done)
        endSlices();
    else
        m_sliceTimer->start();
    const qint64 cost = turn.nsecsElapsed();
    m_lastRedrawCost += cost;
    m_longestTurn = qMax(m_longestTurn, cost);
    if (done)
        scheduleRedraw();
}

void TrendDock::endSlices()
{
    m_sliceTimer->stop();
    m_prepared.clear();
    if (!m_view->viewport()->updatesEnabled()) {
        m_view->viewport()->setUpdatesEnabled(true);
        m_view->viewport()->update();
    }
}

bool TrendDock::prepare()
{
    m_prepared.clear();
    m_nextLine = 0;
    if (!m_recorder || m_lines.size() != m_recorder->seriesCount())
        return false;
    const qint64 now = m_recorder->now();
    const qint64 window = qint64(m_recorder->windowMinutes()) * 60000;
    // Until the window is full the time axis spans what was recorded, so a
    // fresh ramp fills the plot instead of sitting at its right edge.
    qint64 earliest = now;
    for (int i = 0; i < m_recorder->seriesCount(); ++i) {
        const TrendBuffer &buffer = m_recorder->series(i).buffer;
        const int first = buffer.firstAtOrAfter(now - window);
        if (first < buffer.size())
            earliest = qMin(earliest, buffer.at(first).msecs);
    }
    // A paused (or zoomed) plot holds its axes; its lines are drawn anew for
    // the range shown, finer when zoomed in.
    const bool paused = isPaused();
    // The time axis moves in pages of a tenth of its span.
    bool moveTimeAxis = false;
    if (!paused && (now > m_axisEnd || m_axisWindow != window || m_axisStart < now - window - window / 10)) {
        const qint64 span = qBound<qint64>(10000, now - earliest, window);
        m_axisEnd = now + span / 10;
        m_axisStart = qMax(now - window, m_axisEnd - span - span / 10);
        m_axisWindow = window;
        moveTimeAxis = true;
    }
    const qint64 from = paused ? m_timeAxis->min().toMSecsSinceEpoch() : m_axisStart;
    const qint64 to = paused ? m_timeAxis->max().toMSecsSinceEpoch() : m_axisEnd;
    const int columns = qMax(50, int(m_chart->plotArea().width()) / 2);

    // The current axis takes the unit that keeps its numbers readable.
    float largest = 0.0f;
    for (int i = 0; i < m_lines.size(); ++i) {
        const TrendRecorder::Series &series = m_recorder->series(i);
        if (series.quantity != TrendRecorder::Current)
            continue;
        for (int p = series.buffer.firstAtOrAfter(from); p < series.buffer.size(); ++p) {
            const TrendPoint &point = series.buffer.at(p);
            largest = qMax(largest, qMax(std::abs(point.minimum), std::abs(point.maximum)));
        }
    }
    // A paused plot keeps its unit with its axes.
    if (!paused || m_currentUnit.isEmpty()) {
        QString unit = QStringLiteral("A");
        m_currentScale = 1.0;
        if (largest < 1e-6f) {
            m_currentScale = 1e9;
            unit = QStringLiteral("nA");
        } else if (largest < 1e-3f) {
            m_currentScale = 1e6;
            unit = QStringLiteral("µA");
        } else if (largest < 1.0f) {
            m_currentScale = 1e3;
            unit = QStringLiteral("mA");
        }
        if (unit != m_currentUnit) {
            m_currentUnit = unit;
            m_currentAxis->setTitleText(tr("Current (%1)").arg(unit));
        }
    }
    const double scale = m_currentScale;

    double vLow = std::numeric_limits<double>::infinity();
    double vHigh = -vLow;
    double iLow = vLow;
    double iHigh = -vLow;
    m_prepared.resize(m_lines.size());
    for (int i = 0; i < m_lines.size(); ++i) {
        const TrendRecorder::Series &series = m_recorder->series(i);
        const bool voltage = series.quantity == TrendRecorder::Voltage;
        QList<QPointF> &points = m_prepared[i];
        decimate(series.buffer, from, to, columns, voltage ? 1.0 : scale, &points);
        double &low = voltage ? vLow : iLow;
        double &high = voltage ? vHigh : iHigh;
        for (const QPointF &point : std::as_const(points)) {
            low = qMin(low, point.y());
            high = qMax(high, point.y());
        }
    }

    // The axes go first: moved with the old lines still in, every line would
    // be laid out twice. Emptied first, the lines cost nothing to move.
    const auto voltageRange = paused ? std::nullopt : fittedRange(m_voltageAxis, vLow, vHigh);
    const auto currentRange = paused ? std::nullopt : fittedRange(m_currentAxis, iLow, iHigh);
    if (moveTimeAxis || voltageRange || currentRange) {
        for (QLineSeries *line : std::as_const(m_lines))
            line->clear();
        m_settingRange = true;
        if (moveTimeAxis) {
            const QString format = window >= 3600000 ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm:ss");
            if (m_timeAxis->format() != format)
                m_timeAxis->setFormat(format);
            m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_axisStart), QDateTime::fromMSecsSinceEpoch(m_axisEnd));
        }
        applyRange(m_voltageAxis, voltageRange);
        applyRange(m_currentAxis, currentRange);
        m_settingRange = false;
        // New labels may change the plot area: laid out now, while the lines are empty.
        if (QGraphicsLayout *layout = m_chart->layout())
            layout->activate();
    }
    return true;
}

void TrendDock::applyLines(int count)
{
    const int end = qMin<int>(m_prepared.size(), m_nextLine + count);
    for (; m_nextLine < end; ++m_nextLine)
        m_lines.at(m_nextLine)->replace(m_prepared.at(m_nextLine));
}

void TrendDock::scheduleRedraw()
{
    // Spaced by what the last redraw and its painting cost, in whole seconds,
    // so the pace does not change with every small difference.
    const qint64 cost = m_lastRedrawCost + m_lastPaintCost;
    const qint64 wanted = cost * kRedrawShare / 1000000;
    const int interval = int(qBound<qint64>(qint64(kRedrawInterval), (wanted + 999) / 1000 * 1000, qint64(kSlowestRedrawInterval)));
    if (interval != m_redrawTimer->interval())
        m_redrawTimer->setInterval(interval);
}

int TrendDock::redrawInterval() const
{
    return m_redrawTimer->interval();
}
