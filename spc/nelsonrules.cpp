#include "spc/nelsonrules.h"

#include "numbers/numbertext.h"

#include <algorithm>

namespace Spc {

namespace {

constexpr int RisingRun = 6;
constexpr int AlternatingRun = 14;
constexpr int TwoOfThreeWindow = 3, TwoOfThreeCount = 2;
constexpr int FourOfFiveWindow = 5, FourOfFiveCount = 4;
constexpr int HuggingRun = 15;
constexpr int MixtureRun = 8;

enum Side { Above, Below };

// The chart's zones: σ above and below the centre.
class Zones
{
public:
    explicit Zones(const ChartLine &limits)
        : m_center(limits.center),
          m_sigmaAbove((limits.upper - limits.center) / 3),
          m_sigmaBelow((limits.center - limits.lower) / 3)
    {
    }

    bool hasSigma(Side side) const { return sigma(side) > 0; }
    bool hasSigma() const { return hasSigma(Above) && hasSigma(Below); }
    bool onSide(double x, Side side) const { return side == Above ? x > m_center : x < m_center; }
    // Strictly beyond `sigmas` σ on that side; never without a σ there.
    bool beyond(double x, int sigmas, Side side) const
    {
        if (!hasSigma(side))
            return false;
        return side == Above ? x > m_center + sigmas * m_sigmaAbove
                             : x < m_center - sigmas * m_sigmaBelow;
    }
    bool beyondEither(double x, int sigmas) const
    {
        return beyond(x, sigmas, Above) || beyond(x, sigmas, Below);
    }
    bool within(double x, int sigmas) const
    {
        return x < m_center + sigmas * m_sigmaAbove && x > m_center - sigmas * m_sigmaBelow;
    }

private:
    double sigma(Side side) const { return side == Above ? m_sigmaAbove : m_sigmaBelow; }

    double m_center;
    double m_sigmaAbove;
    double m_sigmaBelow;
};

// The `length` points ending at `end` (inclusive) all satisfy `test`.
template<typename Test>
bool runEndsAt(int end, int length, Test test)
{
    if (end + 1 < length)
        return false;
    for (int i = end - length + 1; i <= end; ++i) {
        if (!test(i))
            return false;
    }
    return true;
}

// At least `count` of the `window` points ending at `end` (fewer at the
// start of the chart) satisfy `test`, the point at `end` among them.
template<typename Test>
bool windowEndsAt(int end, int window, int count, Test test)
{
    if (!test(end))
        return false;
    int hits = 0;
    for (int i = std::max(0, end - window + 1); i <= end; ++i)
        hits += test(i) ? 1 : 0;
    return hits >= count;
}

bool broken(int rule, const QVector<double> &x, int i, const Zones &zones, const RuleSet &rules)
{
    auto bothSides = [&](auto test) { return test(Above) || test(Below); };
    switch (rule) {
    case 1:
        return zones.beyondEither(x[i], 3);
    case 2:
        return bothSides([&](Side side) {
            return runEndsAt(i, rules.sameSideRun, [&](int j) { return zones.onSide(x[j], side); });
        });
    case 3:
        return runEndsAt(i, RisingRun - 1, [&](int j) { return j > 0 && x[j] > x[j - 1]; })
               || runEndsAt(i, RisingRun - 1, [&](int j) { return j > 0 && x[j] < x[j - 1]; });
    case 4:
        // Thirteen steps, each the opposite way of the one before.
        return runEndsAt(i, AlternatingRun - 2, [&](int j) {
            if (j < 2)
                return false;
            const double step = x[j] - x[j - 1];
            const double before = x[j - 1] - x[j - 2];
            return (step > 0 && before < 0) || (step < 0 && before > 0);
        });
    case 5:
        return bothSides([&](Side side) {
            return windowEndsAt(i, TwoOfThreeWindow, TwoOfThreeCount,
                                [&](int j) { return zones.beyond(x[j], 2, side); });
        });
    case 6:
        return bothSides([&](Side side) {
            return windowEndsAt(i, FourOfFiveWindow, FourOfFiveCount,
                                [&](int j) { return zones.beyond(x[j], 1, side); });
        });
    case 7:
        return zones.hasSigma()
               && runEndsAt(i, HuggingRun, [&](int j) { return zones.within(x[j], 1); });
    case 8:
        return zones.hasSigma()
               && runEndsAt(i, MixtureRun, [&](int j) { return zones.beyondEither(x[j], 1); });
    }
    return false;
}

} // namespace

RuleSet RuleSet::nelson()
{
    RuleSet rules;
    rules.enabled.fill(true);
    return rules;
}

RuleSet RuleSet::westernElectric()
{
    RuleSet rules;
    for (int rule : {1, 2, 5, 6})
        rules.set(rule, true);
    rules.sameSideRun = WesternElectricSameSideRun;
    return rules;
}

RuleSet RuleSet::fromNumbers(const QString &text, bool *ok)
{
    RuleSet rules;
    bool allRules = true;
    for (const QString &item : text.split(QLatin1Char(','))) {
        bool isNumber = false;
        const int rule = NumberText::toInt(item, &isNumber);
        if (isNumber && rule >= 1 && rule <= RuleCount)
            rules.set(rule, true);
        else
            allRules = false;
    }
    if (ok)
        *ok = allRules;
    return rules;
}

QVector<Violation> violations(const QVector<double> &points, const ChartLine &limits,
                              const RuleSet &rules)
{
    const Zones zones(limits);
    QVector<Violation> found;
    for (int i = 0; i < points.size(); ++i) {
        for (int rule = 1; rule <= RuleCount; ++rule) {
            if (rules.isOn(rule) && broken(rule, points, i, zones, rules))
                found.append({rule, i});
        }
    }
    return found;
}

} // namespace Spc
