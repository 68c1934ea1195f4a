#include "evaluation/evaluation.h"

#include "evaluation/springrate.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Percent = 100.0;

using Points = QVector<TestCurves::Point>;

double interpolate(const TestCurves::Point &a, const TestCurves::Point &b, double distance)
{
    // In doubles: the difference of two floats rounded to a float would
    // cost the interpolation digits the points have.
    const double aDistance = a.distance;
    const double aForce = a.force;
    const double bDistance = b.distance;
    const double bForce = b.force;
    if (aDistance == bDistance)
        return aForce;
    return aForce + (bForce - aForce) * (distance - aDistance) / (bDistance - aDistance);
}

// The integral of |force| over [from, to] along a stroke sorted by distance,
// by trapezoids, each end interpolated on its segment.
double work(const Points &sorted, double from, double to)
{
    double sum = 0;
    for (int i = 1; i < sorted.size(); ++i) {
        const TestCurves::Point &a = sorted.at(i - 1);
        const TestCurves::Point &b = sorted.at(i);
        const double left = std::max(double(a.distance), from);
        const double right = std::min(double(b.distance), to);
        if (right <= left)
            continue;
        // Only the two end segments are cut; inside, the points themselves.
        const double forceLeft = std::fabs(left == a.distance ? a.force : interpolate(a, b, left));
        const double forceRight = std::fabs(right == b.distance ? b.force : interpolate(a, b, right));
        sum += (forceLeft + forceRight) / 2 * (right - left);
    }
    return sum;
}

} // namespace

namespace SpringEvaluation {

std::optional<double> forceAt(const Points &stroke, double distance)
{
    for (int i = 1; i < stroke.size(); ++i) {
        const TestCurves::Point &a = stroke.at(i - 1);
        const TestCurves::Point &b = stroke.at(i);
        if (std::min(a.distance, b.distance) <= distance && distance <= std::max(a.distance, b.distance))
            return interpolate(a, b, distance);
    }
    return std::nullopt;
}

std::optional<double> rateBetween(const PointResult &first, const PointResult &second)
{
    if (!first.force || !second.force)
        return std::nullopt;
    return springRate(*first.force, first.distance, *second.force, second.distance);
}

std::optional<double> fittedRate(const Points &stroke, double from, double to)
{
    const double low = std::min(from, to);
    const double high = std::max(from, to);
    // Sums about the range's middle keep the squares small, so a fit far
    // from distance 0 loses no digits.
    const double origin = (low + high) / 2;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const TestCurves::Point &p : stroke) {
        if (p.distance < low || p.distance > high)
            continue;
        const double x = p.distance - origin;
        n += 1;
        sx += x;
        sy += p.force;
        sxx += x * x;
        sxy += x * p.force;
    }
    const double spread = n * sxx - sx * sx;
    if (n < 2 || !(spread > 0))
        return std::nullopt;
    return (n * sxy - sx * sy) / spread;
}

std::optional<double> maxForce(const Points &stroke)
{
    std::optional<double> largest;
    for (const TestCurves::Point &p : stroke) {
        if (!largest || std::fabs(double(p.force)) > std::fabs(*largest))
            largest = p.force;
    }
    return largest;
}

std::optional<double> hysteresisPercent(const TestCurves &curves)
{
    const Points forward = curves.sortedByDistance(TestCurves::Forward);
    const Points back = curves.sortedByDistance(TestCurves::Return);
    if (forward.isEmpty() || back.isEmpty())
        return std::nullopt;
    const double from = std::max(forward.first().distance, back.first().distance);
    const double to = std::min(forward.last().distance, back.last().distance);
    const double forwardWork = work(forward, from, to);
    if (forwardWork == 0)
        return std::nullopt;
    return Percent * (forwardWork - work(back, from, to)) / forwardWork;
}

Evaluation evaluate(const TestCurves &curves, const TestProgram &program)
{
    const Points &forward = curves.points(TestCurves::Forward);
    Evaluation result;
    for (int i = 0; i < program.points.size(); ++i) {
        const TestPoint &point = program.points.at(i);
        if (!point.isUsed())
            continue;
        PointResult judged;
        judged.number = i + 1;
        judged.distance = point.distance;
        judged.force = forceAt(forward, point.distance);
        judged.limits = point.limits();
        if (!judged.force)
            judged.verdict = Verdict::NotReached;
        else
            judged.verdict = judged.limits.contains(*judged.force) ? Verdict::Pass
                                                                   : Verdict::Fail;
        result.points.append(judged);
    }
    for (int i = 1; i < result.points.size(); ++i)
        result.rates.append(rateBetween(result.points.at(i - 1), result.points.at(i)));
    if (result.points.size() >= 2)
        result.rateFit = fittedRate(forward, result.points.first().distance,
                                    result.points.last().distance);
    result.maxForce = maxForce(forward);
    result.hysteresisPercent = hysteresisPercent(curves);
    result.verdict = Verdicts::of(!result.points.isEmpty()
                                  && std::all_of(result.points.begin(), result.points.end(),
                                                 [](const PointResult &p) { return p.passed(); }));
    return result;
}

} // namespace SpringEvaluation
