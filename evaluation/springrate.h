#pragma once

#include <optional>

// The spring rate between two test points, N/mm: (F2 − F1) / (d2 − d1), in
// the precision of its arguments (the machine parameter page works in the
// registers' single precision, the evaluation in double). Two points at the
// same distance have no rate: never a division by zero. The machine
// parameter page shows that as 0, the evaluation leaves the figure empty.
template<typename Real>
std::optional<Real> springRate(Real forceBefore, Real distanceBefore, Real force, Real distance)
{
    if (distance == distanceBefore)
        return std::nullopt;
    return (force - forceBefore) / (distance - distanceBefore);
}
