#include "trendbuffer.h"

TrendBuffer::TrendBuffer(int capacity) : m_points(size_t(qMax(1, capacity))) {}

void TrendBuffer::add(qint64 msecs, float value)
{
    if (m_size > 0) {
        TrendPoint &last = m_points[size_t((m_head + m_size - 1) % capacity())];
        if (msecs < last.msecs || msecs - m_bucketStart < m_bucketWidth) {
            last.msecs = qMax(last.msecs, msecs);
            last.value = value;
            last.minimum = qMin(last.minimum, value);
            last.maximum = qMax(last.maximum, value);
            return;
        }
    }
    int slot;
    if (m_size < capacity()) {
        slot = (m_head + m_size) % capacity();
        ++m_size;
    } else {
        slot = m_head;
        m_head = (m_head + 1) % capacity();
    }
    m_points[size_t(slot)] = TrendPoint{msecs, value, value, value};
    m_bucketStart = msecs;
}

void TrendBuffer::clear()
{
    m_head = 0;
    m_size = 0;
}

int TrendBuffer::firstAtOrAfter(qint64 msecs) const
{
    int low = 0;
    int high = m_size;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (at(middle).msecs < msecs)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
