#pragma once

#include "device/settings.h"
#include "evaluation/testprogram.h"

#include <optional>
#include <utility>

// The test settings a program carries: its speed (when it names one) and a
// distance just beyond its farthest test point, or the distance it names
// itself. The direction and distance mode stay the operator's.
namespace ProgramTestSetting {

// Room beyond the farthest point, so that the stroke measures there.
constexpr double BeyondLastPointMm = 1.0;
// The longest travel the test start dialog allows.
constexpr double MaxDistanceMm = 200.0;

// The distance the program names (its file's top-level "distance"), or just
// beyond its farthest used point; none without either.
std::optional<double> distanceOf(const TestProgram &program);
// `setting` with the program's speed and distance where it has them.
Curve_Setting applied(Curve_Setting setting, const TestProgram &program);
// The forces the program's limits span, and 0 N (where every curve starts):
// lowest first.
std::pair<double, double> forceSpan(const TestProgram &program);

} // namespace ProgramTestSetting
