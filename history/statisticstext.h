#pragma once

#include "spc/controlchart.h"
#include "spc/nelsonrules.h"
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
    // "Subgroup 12: rule 2 nine in a row on one side", subgroups from 1 as
    // the chart numbers them.
    // "1, 2 (run of 8), 5, 6" or "none".
    static QString ruleNumbers(const Spc::RuleSet &rules);
    static QString violation(const Spc::Violation &violation, const Spc::RuleSet &rules);
    // Where the chart's limits come from: the data shown, or frozen (by
    // whom, when, from which base period).
    static QString limitsSource(const Spc::ControlChart &chart,
                                const Spc::FrozenLimits *frozen);
    static QString counts(int count, int passed, int failed);
    static QString pointTitle(int pointNo);
};
