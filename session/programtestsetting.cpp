#include "session/programtestsetting.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace ProgramTestSetting {

namespace {
const QString DistanceKey = QStringLiteral("distance");
}

std::optional<double> distanceOf(const TestProgram &program)
{
    const QJsonValue named = program.otherKeys.value(DistanceKey);
    if (named.isDouble() && named.toDouble() > 0 && named.toDouble() <= MaxDistanceMm)
        return named.toDouble();
    std::optional<double> farthest;
    for (const TestPoint &point : program.points) {
        if (point.isUsed() && std::isfinite(point.distance))
            farthest = std::max(farthest.value_or(0.0), std::abs(point.distance));
    }
    if (!farthest || *farthest <= 0)
        return std::nullopt;
    return std::min(*farthest + BeyondLastPointMm, MaxDistanceMm);
}

Curve_Setting applied(Curve_Setting setting, const TestProgram &program)
{
    if (program.speed > 0)
        setting.speed = program.speed;
    if (const std::optional<double> distance = distanceOf(program))
        setting.distance = float(*distance);
    return setting;
}

std::pair<double, double> forceSpan(const TestProgram &program)
{
    double lowest = 0;
    double highest = 0;
    for (const TestPoint &point : program.points) {
        const ForceLimits limits = point.limits();
        if (!point.isUsed() || !std::isfinite(limits.lower) || !std::isfinite(limits.upper))
            continue;
        lowest = std::min(lowest, limits.lower);
        highest = std::max(highest, limits.upper);
    }
    return {lowest, highest};
}

} // namespace ProgramTestSetting
