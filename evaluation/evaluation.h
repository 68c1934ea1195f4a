#pragma once

#include "curves/testcurves.h"
#include "evaluation/testprogram.h"
#include "evaluation/verdict.h"

#include <QVector>

#include <optional>

// The judgement of one test's curves against a test program. Pure: no
// widgets, no I/O; the window, the results panel and torvelin-eval share it.

struct PointResult
{
    int number = 0;                // 1 to 5: the point's place in the program
    double distance = 0;           // mm
    std::optional<double> force;   // N on the forward stroke; none when not reached
    ForceLimits limits;
    Verdict verdict = Verdict::NotReached;

    bool passed() const { return verdict == Verdict::Pass; }
};

struct Evaluation
{
    QVector<PointResult> points;           // the program's used points, in its order
    QVector<std::optional<double>> rates;  // N/mm between neighbouring used points
    std::optional<double> rateFit;         // N/mm, least squares over the tested range
    std::optional<double> maxForce;        // N, with its sign
    std::optional<double> hysteresisPercent;
    // Pass when every used point passed (and there was one), otherwise Fail.
    Verdict verdict = Verdict::Fail;

    bool passed() const { return verdict == Verdict::Pass; }
};

namespace SpringEvaluation {

// Force on the stroke at `distance`: linear interpolation between the first
// two consecutive points, in the stroke's order, whose distances bracket it
// (bounds included). None when no pair does.
std::optional<double> forceAt(const QVector<TestCurves::Point> &stroke, double distance);

// (F2 − F1) / (d2 − d1); none when either force is missing or the distances
// are equal.
std::optional<double> rateBetween(const PointResult &first, const PointResult &second);

// Least-squares slope of force over distance through the stroke's points
// whose distance lies within [from, to] (either order); none with fewer than
// two distinct distances.
std::optional<double> fittedRate(const QVector<TestCurves::Point> &stroke, double from, double to);

// The stroke's point of largest force magnitude, with its sign (the first of
// equals); none on an empty stroke.
std::optional<double> maxForce(const QVector<TestCurves::Point> &stroke);

// 100 × (Wf − Wr) / Wf, where W is the trapezoid integral of |force| over
// distance of each stroke sorted by distance, over the distance range both
// strokes cover (interpolated at its ends). None without a return stroke or
// when Wf is 0.
std::optional<double> hysteresisPercent(const TestCurves &curves);

Evaluation evaluate(const TestCurves &curves, const TestProgram &program);

} // namespace SpringEvaluation
