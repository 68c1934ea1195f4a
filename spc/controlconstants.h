#pragma once

// Control-chart constants of the standard table, for subgroups of n
// consecutive tests. The table's rounded values are what quality engineers
// and their customers compute with, so the charts use them rather than the
// exact formulas (c4(n) = sqrt(2/(n−1)) · Γ(n/2) / Γ((n−1)/2)).
namespace Spc {

constexpr int MinSubgroupSize = 1;     // 1: individuals and moving range
constexpr int MaxSubgroupSize = 10;
constexpr int DefaultSubgroupSize = 5;

struct SubgroupConstants
{
    int n = 0;
    double c4 = 0; // σ̂ = s̄ / c4
    double a3 = 0; // X̄ chart: X̿ ± A3·s̄
    double b3 = 0; // s chart: B3·s̄ … B4·s̄
    double b4 = 0;
};

// The table's row for subgroups of n, 2 ≤ n ≤ 10; nullptr otherwise.
const SubgroupConstants *subgroupConstants(int n);

// Individuals and moving range (moving ranges of two consecutive tests):
// σ̂ = MR̄ / d2, limits X̄ ± E2·MR̄ (E2 = 3 / d2), MR chart 0 … D4·MR̄.
namespace MovingRange {
constexpr double d2 = 1.128;
constexpr double E2 = 2.660;
constexpr double D4 = 3.267;
} // namespace MovingRange

} // namespace Spc
