#pragma once

#include "records/testrecord.h"

#include <optional>

// Where a test's curve went through spells in which the tester did not
// answer: their length in all, and the distances between the last point
// before a spell and the first one after it. The curve's points of such a
// stretch are interpolated by the eye, not measured, and a record says so.
// Pure: the caller says when the tester went silent and came back.
class LineGapTracker
{
public:
    void reset() { *this = LineGapTracker(); }
    void point(double distance);
    // The tester stopped answering.
    void silent();
    // It answers again, after `gapMs` without an answer.
    void answering(qint64 gapMs);
    bool isSilent() const { return m_silent; }

    // Nothing when the test had no gap.
    std::optional<LineGap> gap() const;

private:
    void cover(double distance);

    bool m_silent = false;
    bool m_awaitingPoint = false;
    bool m_anyPoint = false;
    bool m_anyGap = false;
    bool m_anyDistance = false;
    double m_lastDistance = 0;
    double m_ms = 0;
    double m_from = 0;
    double m_to = 0;
};
