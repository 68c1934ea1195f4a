#pragma once

// Spring rate in N/mm between two neighbouring test points of a measured
// record. The forces and distances come from single-precision registers and
// the rate is worked out in single precision as well. Two points at the same
// distance give 0 instead of a division by zero.
inline float springRate(float forceBefore, float distanceBefore, float force, float distance)
{
    if (distance == distanceBefore)
        return 0.0f;
    return (force - forceBefore) / (distance - distanceBefore);
}
