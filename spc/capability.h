#pragma once

#include <optional>

// Process capability of one characteristic against its two limits. The
// same index twice over, with two estimates of the process's sigma:
//   Pp, Ppk: the overall sample standard deviation s (n − 1) of every test,
//     the performance the customer actually received;
//   Cp, Cpk: the within-subgroup σ̂ (s̄ / c4, or MR̄ / d2 for subgroups of
//     one), what the process could do without its drift between subgroups.
// Pure functions.
namespace Spc {

struct Capability
{
    std::optional<double> pp;
    std::optional<double> ppk;
    std::optional<double> sigmaWithin;
    std::optional<double> cp;
    std::optional<double> cpk;
};

// The capability a process is expected to reach (the automotive field's
// 1.33, four sigma to the nearer limit); a figure below it is marked.
constexpr double CapabilityGoal = 1.33;
inline bool belowGoal(const std::optional<double> &index)
{
    return index && *index < CapabilityGoal;
}

// Both indices need a band (lower and upper, upper above lower) and a sigma
// above zero; without them they are none. The mean is the overall mean of
// the tests for both pairs.
Capability capability(double mean, std::optional<double> s, std::optional<double> sigmaWithin,
                      std::optional<double> lower, std::optional<double> upper);

// σ̂ from the mean within-subgroup spread: s̄ / c4(size) for subgroups of
// 2 to 10, MR̄ / d2 for size 1. None for another size.
std::optional<double> withinSigma(int subgroupSize, double meanSpread);

} // namespace Spc
