#include "session/linegaptracker.h"

#include <algorithm>

namespace {
constexpr double MsPerSecond = 1000.0;
}

void LineGapTracker::point(double distance)
{
    if (m_awaitingPoint) {
        cover(distance);
        m_awaitingPoint = false;
    }
    m_lastDistance = distance;
    m_anyPoint = true;
}

void LineGapTracker::silent()
{
    if (m_silent)
        return;
    m_silent = true;
    m_anyGap = true;
    if (m_anyPoint)
        cover(m_lastDistance);
}

void LineGapTracker::answering(qint64 gapMs)
{
    if (!m_silent)
        return;
    m_silent = false;
    m_ms += std::max<qint64>(gapMs, 0);
    // The stretch closes at the first point the tester hands over after it.
    m_awaitingPoint = true;
}

void LineGapTracker::cover(double distance)
{
    m_from = m_anyDistance ? std::min(m_from, distance) : distance;
    m_to = m_anyDistance ? std::max(m_to, distance) : distance;
    m_anyDistance = true;
}

std::optional<LineGap> LineGapTracker::gap() const
{
    if (!m_anyGap)
        return std::nullopt;
    LineGap gap;
    gap.seconds = m_ms / MsPerSecond;
    if (m_anyDistance) {
        gap.fromDistance = m_from;
        gap.toDistance = m_to;
    }
    return gap;
}
