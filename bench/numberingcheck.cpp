#include "bench/numberingcheck.h"

#include <qcustomplot.h>

#include <cmath>
#include <vector>

namespace {
constexpr int ForwardGraph = 0;
constexpr int ReturnGraph = 1;

// Numbers not in 1..handedOut, or not whole, count as misplaced; the rest
// are collected. Adjacent points (in the graph's distance order) whose
// numbers do not run the stroke's way count as misplaced too.
int collect(const QCPGraphDataContainer &data, bool rising, int handedOut, std::vector<int> *seen)
{
    int misplaced = 0;
    double previous = rising ? -INFINITY : INFINITY;
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
        const double number = it->value;
        if (number != std::floor(number) || number < 1 || number > handedOut) {
            ++misplaced;
            continue;
        }
        // An equal number is a duplicate, counted once as such.
        if (rising ? number < previous : number > previous)
            ++misplaced;
        previous = number;
        ++(*seen)[size_t(number)];
    }
    return misplaced;
}
} // namespace

NumberingCheck NumberingCheck::of(const QCustomPlot *plot, int handedOut)
{
    NumberingCheck check;
    std::vector<int> seen(size_t(handedOut) + 1, 0);
    check.misplaced += collect(*plot->graph(ForwardGraph)->data(), true, handedOut, &seen);
    check.misplaced += collect(*plot->graph(ReturnGraph)->data(), false, handedOut, &seen);
    for (int number = 1; number <= handedOut; ++number) {
        if (seen[size_t(number)] == 0)
            ++check.lost;
        else
            check.duplicated += seen[size_t(number)] - 1;
    }
    return check;
}
