#include "spc/capability.h"

#include "spc/controlconstants.h"

#include <algorithm>

namespace Spc {

namespace {

struct Indices
{
    std::optional<double> potential; // (USL − LSL) / 6σ
    std::optional<double> critical;  // min(USL − mean, mean − LSL) / 3σ
};

Indices indices(double mean, std::optional<double> sigma, std::optional<double> lower,
                std::optional<double> upper)
{
    if (!lower || !upper || !(*upper > *lower) || !sigma || !(*sigma > 0))
        return {};
    return {(*upper - *lower) / (6 * *sigma), std::min(*upper - mean, mean - *lower) / (3 * *sigma)};
}

} // namespace

Capability capability(double mean, std::optional<double> s, std::optional<double> sigmaWithin,
                      std::optional<double> lower, std::optional<double> upper)
{
    Capability result;
    const Indices overall = indices(mean, s, lower, upper);
    const Indices within = indices(mean, sigmaWithin, lower, upper);
    result.pp = overall.potential;
    result.ppk = overall.critical;
    result.sigmaWithin = sigmaWithin;
    result.cp = within.potential;
    result.cpk = within.critical;
    return result;
}

std::optional<double> withinSigma(int subgroupSize, double meanSpread)
{
    if (subgroupSize == 1)
        return meanSpread / MovingRange::d2;
    if (const SubgroupConstants *constants = subgroupConstants(subgroupSize))
        return meanSpread / constants->c4;
    return std::nullopt;
}

} // namespace Spc
