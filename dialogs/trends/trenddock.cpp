#include "trenddock.h"
#include "ui_trenddock.h"

#include "messagebox.h"
#include "trendrecorder.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QLegendMarker>
#include <QLineSeries>
#include <QSaveFile>
#include <QTimer>
#include <QValueAxis>

#include <cmath>
#include <limits>

namespace {

constexpr int kRedrawInterval = 1000;

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
    const int count = buffer.size() - first;
    if (count <= 0)
        return;
    const double span = double(qMax<qint64>(1, to - from));
    if (count <= columns) {
        points->reserve(count * 2);
        for (int i = first; i < buffer.size(); ++i) {
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
    for (int i = first; i < buffer.size(); ++i) {
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

void niceRange(QValueAxis *axis, double low, double high)
{
    if (!(low <= high)) {
        low = 0.0;
        high = 1.0;
    }
    const double margin = qMax((high - low) * 0.05, qMax(std::abs(high), 1e-9) * 0.01);
    // Values that only scatter around zero below a positive trend start the axis at zero.
    const double bottom = low >= -margin && high > 0.0 ? 0.0 : low - margin;
    axis->setRange(bottom, high + margin);
    axis->applyNiceNumbers();
}

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

    m_view = new QChartView(m_chart, m_ui->chartHolder);
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    m_ui->chartLayout->addWidget(m_view);

    // Our own range updates are not zooming; any other change is the mouse.
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, &TrendDock::rangeChangedByMouse);
    connect(m_voltageAxis, &QValueAxis::rangeChanged, this, &TrendDock::rangeChangedByMouse);

    m_redrawTimer = new QTimer(this);
    m_redrawTimer->setInterval(kRedrawInterval);
    connect(m_redrawTimer, &QTimer::timeout, this, &TrendDock::redraw);
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
            if (series.quantity == TrendRecorder::Current && !m_lines.isEmpty()) {
                // The current of a channel in the voltage's colour, dashed.
                QPen pen = m_lines.last()->pen();
                pen.setStyle(Qt::DashLine);
                line->setPen(pen);
            }
            m_lines.append(line);
        }
    }
    m_settingRange = false;
    redraw();
}

void TrendDock::redraw()
{
    if (!m_recorder || m_lines.size() != m_recorder->seriesCount())
        return;
    const qint64 to = m_recorder->now();
    qint64 from = to - qint64(m_recorder->windowMinutes()) * 60000;
    // Until the window is full the time axis spans what was recorded, so a
    // fresh ramp fills the plot instead of sitting at its right edge.
    qint64 earliest = to;
    for (int i = 0; i < m_recorder->seriesCount(); ++i) {
        const TrendBuffer &buffer = m_recorder->series(i).buffer;
        const int first = buffer.firstAtOrAfter(from);
        if (first < buffer.size())
            earliest = qMin(earliest, buffer.at(first).msecs);
    }
    from = qMax(from, qMin(earliest, to - 10000));
    const int columns = qMax(100, int(m_chart->plotArea().width()));

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
    double scale = 1.0;
    m_currentUnit = QStringLiteral("A");
    if (largest < 1e-6f) {
        scale = 1e9;
        m_currentUnit = QStringLiteral("nA");
    } else if (largest < 1e-3f) {
        scale = 1e6;
        m_currentUnit = QStringLiteral("µA");
    } else if (largest < 1.0f) {
        scale = 1e3;
        m_currentUnit = QStringLiteral("mA");
    }
    m_currentAxis->setTitleText(tr("Current (%1)").arg(m_currentUnit));

    double vLow = std::numeric_limits<double>::infinity();
    double vHigh = -vLow;
    double iLow = vLow;
    double iHigh = -vLow;
    QList<QPointF> points;
    for (int i = 0; i < m_lines.size(); ++i) {
        const TrendRecorder::Series &series = m_recorder->series(i);
        const bool voltage = series.quantity == TrendRecorder::Voltage;
        decimate(series.buffer, from, to, columns, voltage ? 1.0 : scale, &points);
        for (const QPointF &point : std::as_const(points)) {
            double &low = voltage ? vLow : iLow;
            double &high = voltage ? vHigh : iHigh;
            low = qMin(low, point.y());
            high = qMax(high, point.y());
        }
        m_lines.at(i)->replace(points);
    }

    m_settingRange = true;
    m_timeAxis->setFormat(m_recorder->windowMinutes() >= 60 ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm:ss"));
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    niceRange(m_voltageAxis, vLow, vHigh);
    niceRange(m_currentAxis, iLow, iHigh);
    m_settingRange = false;
}
