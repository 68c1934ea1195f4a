#pragma once

#include <QString>

class Report;

// The records' reading side over a database of many tests: how long the
// History window takes to open on it, and how long the statistics of all
// its tests take.
class HistoryBench
{
public:
    static constexpr int TestCount = 10000;
    static constexpr int PointsPerTest = 5;

    // Fills a SQLite database in `workDirectory` and points TORVELIN_DB at
    // it while it measures.
    static void run(Report *report, const QString &workDirectory);
};
