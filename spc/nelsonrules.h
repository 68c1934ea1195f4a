#pragma once

#include "spc/controlchart.h"

#include <QString>
#include <QVector>

#include <array>

// Nelson's eight tests for special causes on a control chart's points, read
// against its centre line and σ, a third of the distance from the centre to
// a limit (taken on each side, so frozen limits need not be symmetric):
//   1 one point beyond 3σ
//   2 nine points in a row on one side of the centre
//   3 six points in a row steadily rising or falling
//   4 fourteen points in a row alternating up and down
//   5 two of three points in a row beyond 2σ on the same side
//   6 four of five points in a row beyond 1σ on the same side
//   7 fifteen points in a row within 1σ on either side
//   8 eight points in a row beyond 1σ on either side (none within 1σ)
// "Beyond" and "within" are strict: a point exactly on a zone's edge is
// neither; a point on the centre is on neither side, and two equal points
// neither rise nor fall. Rules 1, 5–8 need σ above zero on the side they
// look at. Pure functions.
namespace Spc {

constexpr int RuleCount = 8;

struct RuleSet
{
    std::array<bool, RuleCount> enabled{}; // rule r at enabled[r - 1]
    // Points in a row on one side for rule 2: Nelson's nine, or the eight
    // of the Western Electric rules.
    int sameSideRun = NelsonSameSideRun;

    static constexpr int NelsonSameSideRun = 9;
    static constexpr int WesternElectricSameSideRun = 8;

    static RuleSet nelson();          // all eight
    // The Western Electric four: Nelson's 1, 5 and 6, and eight in a row
    // on one side (rule 2 with a run of eight).
    static RuleSet westernElectric();
    // The rules named by their numbers, such as "1,2,5" (white space around
    // each allowed), with Nelson's run for rule 2. *ok, when given, is false
    // when an item is not a rule's number; the others are on all the same.
    static RuleSet fromNumbers(const QString &text, bool *ok = nullptr);

    bool isOn(int rule) const { return rule >= 1 && rule <= RuleCount && enabled[rule - 1]; }
    void set(int rule, bool on) { enabled[rule - 1] = on; }
    bool operator==(const RuleSet &other) const
    {
        return enabled == other.enabled && sameSideRun == other.sameSideRun;
    }
    bool operator!=(const RuleSet &other) const { return !(*this == other); }
};

// A rule broken at a point: the point (subgroup index, from 0) at which the
// pattern is complete. A run longer than the rule asks for breaks it again
// at each further point; the points of a window rule (5, 6) count only when
// the point itself lies beyond the zone.
struct Violation
{
    int rule = 0;
    int point = 0;

    bool operator==(const Violation &other) const
    {
        return rule == other.rule && point == other.point;
    }
};

// Every violation of the switched-on rules, by point and then by rule.
QVector<Violation> violations(const QVector<double> &points, const ChartLine &limits,
                              const RuleSet &rules);

} // namespace Spc
