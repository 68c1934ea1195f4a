#include "bench/heartbeat.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 NanosecondsPerMillisecond = 1000000;
}

Heartbeat::Heartbeat(QObject *parent)
    : QObject(parent)
{
    // A repeating timer catches up on its own schedule; a fresh single shot
    // per beat measures each wait from the moment the last beat ran.
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(PeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &Heartbeat::beat);
}

void Heartbeat::start()
{
    m_latenessNs.clear();
    m_clock.start();
    m_dueNs = PeriodMs * NanosecondsPerMillisecond;
    m_timer.start();
}

void Heartbeat::stop()
{
    m_timer.stop();
}

void Heartbeat::beat()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_latenessNs.push_back(std::max<qint64>(0, now - m_dueNs));
    m_dueNs = now + PeriodMs * NanosecondsPerMillisecond;
    m_timer.start();
}

double Heartbeat::latenessPercentileMs(double share) const
{
    if (m_latenessNs.empty())
        return 0.0;
    std::vector<qint64> sorted = m_latenessNs;
    // The nearest-rank percentile: the smallest value at or above the share.
    size_t rank = size_t(std::ceil(share * double(sorted.size())));
    rank = std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1;
    std::nth_element(sorted.begin(), sorted.begin() + rank, sorted.end());
    return double(sorted[rank]) / NanosecondsPerMillisecond;
}

double Heartbeat::maxLatenessMs() const
{
    if (m_latenessNs.empty())
        return 0.0;
    return double(*std::max_element(m_latenessNs.begin(), m_latenessNs.end()))
           / NanosecondsPerMillisecond;
}
