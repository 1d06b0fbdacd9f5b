#pragma once
// A fixed-size ring of one measured value over time, for the trend plots.
// Its size never grows: once full, the oldest point goes. Samples that arrive
// closer together than the bucket width are merged into the newest point
// (last value, minimum and maximum), so a long window at a fast tick keeps its
// peaks in the same memory as a short one.

#include <QtGlobal>

#include <vector>

struct TrendPoint {
    qint64 msecs = 0;      // time of the bucket's last sample, ms since the epoch
    float value = 0.0f;    // the last sample
    float minimum = 0.0f;  // extremes of the samples merged into this point
    float maximum = 0.0f;
};

class TrendBuffer
{
public:
    // 4096 points: one per 200 ms tick for 13 minutes, or a window of hours in buckets.
    static constexpr int DefaultCapacity = 4096;

    explicit TrendBuffer(int capacity = DefaultCapacity);

    // A sample within this many milliseconds of the newest point's first sample
    // joins that point; 0 keeps every sample.
    void setBucketWidth(qint64 milliseconds) { m_bucketWidth = qMax<qint64>(0, milliseconds); }
    qint64 bucketWidth() const { return m_bucketWidth; }

    // A sample older than the newest point (the clock was set back) joins the
    // newest point, so the times stay in order.
    void add(qint64 msecs, float value);
    void clear();

    int size() const { return m_size; }
    int capacity() const { return int(m_points.size()); }
    bool isEmpty() const { return m_size == 0; }
    // 0 is the oldest point, size() - 1 the newest.
    const TrendPoint &at(int index) const { return m_points[size_t((m_head + index) % capacity())]; }
    const TrendPoint &newest() const { return at(m_size - 1); }
    // The first index whose time is at or after msecs (size() when none is).
    int firstAtOrAfter(qint64 msecs) const;

    // The memory a buffer of this capacity holds, whatever it is fed.
    static qint64 bytesFor(int capacity) { return qint64(capacity) * qint64(sizeof(TrendPoint)) + qint64(sizeof(TrendBuffer)); }

private:
    std::vector<TrendPoint> m_points;
    int m_head = 0;
    int m_size = 0;
    qint64 m_bucketWidth = 0;
    qint64 m_bucketStart = 0;
};
