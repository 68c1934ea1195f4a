#pragma once

#include "statistics/batchstatistics.h"
#include "records/historyfilter.h"

#include <QCoreApplication>
#include <QStringList>

// The words and numbers of batch statistics, one wording for the window and
// the report. Forces with the program's force decimals; "none" where a
// figure does not exist.
class StatisticsText
{
    Q_DECLARE_TR_FUNCTIONS(StatisticsText)

public:
    static QStringList headers();
    static QStringList row(const BatchStatistics::PointSummary &point);
    // The filter in words; its days are the filter's own where it names
    // them, otherwise those of the first and last test it selects.
    static QString filterDescription(const HistoryFilter &filter, const QDateTime &firstStarted,
                                     const QDateTime &lastStarted);
    // The columns of row() whose capability lies below the goal.
    static QVector<int> lowCapabilityColumns(const BatchStatistics::PointSummary &point);
    // The subgroup size as the window and the report name it.
    static QString subgroupSize(int size);
    // How Pp, Ppk, Cp and Cpk were computed, for the batch report.
    static QString formulas(int subgroupSize);
    static QString counts(int count, int passed, int failed);
    static QString pointTitle(int pointNo);
};
