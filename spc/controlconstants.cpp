#include "spc/controlconstants.h"

namespace Spc {

namespace {
// n, c4, A3, B3, B4
constexpr SubgroupConstants Table[] = {
    {2, 0.7979, 2.659, 0, 3.267},     {3, 0.8862, 1.954, 0, 2.568},
    {4, 0.9213, 1.628, 0, 2.266},     {5, 0.9400, 1.427, 0, 2.089},
    {6, 0.9515, 1.287, 0.030, 1.970}, {7, 0.9594, 1.182, 0.118, 1.882},
    {8, 0.9650, 1.099, 0.185, 1.815}, {9, 0.9693, 1.032, 0.239, 1.761},
    {10, 0.9727, 0.975, 0.284, 1.716},
};
} // namespace

const SubgroupConstants *subgroupConstants(int n)
{
    for (const SubgroupConstants &row : Table) {
        if (row.n == n)
            return &row;
    }
    return nullptr;
}

} // namespace Spc
