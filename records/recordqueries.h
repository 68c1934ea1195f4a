#pragma once

#include "spc/controlchart.h"
#include "spc/nelsonrules.h"
#include "statistics/batchstatistics.h"
#include "records/historyfilter.h"
#include "records/storedtest.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// The reading side of the records: what the History window, the statistics,
// the reports and the CSV export ask of the database. Every call reports a
// failure by false and *error (the database's own words).
namespace RecordQueries {

// The statement the History window's model runs: the tests the filter
// selects, newest first, with the columns HistoryColumns names.
enum HistoryColumn {
    ColumnId,
    ColumnStartedAt,
    ColumnStatus,
    ColumnOperator,
    ColumnPartNumber,
    ColumnBatch,
    ColumnSerialNumber,
    ColumnProgramNumber,
    ColumnVerdict,
    ColumnMaxForce,
    ColumnLineGap,          // seconds the tester did not answer during the test, NULL when none
    ColumnForceDecimals,
    ColumnAmended,          // how many amendments corrected the identity
    ColumnGapFrom,          // the distances the line's gaps lay between
    ColumnGapTo,
    ColumnSignatures,       // the latest signature: "meaning|at|signer", NULL when none
    ColumnSignatureCount,
    ColumnCount
};
QString historyStatement(const SqlCondition &condition);
// One page of it: at most `rows` tests, and with `afterRow` only those
// listed after a row (bind its started_at twice and its id after the
// condition's values), so that a list of a million tests is read a page at
// a time as it scrolls, each page by the index on started_at.
QString historyPage(const SqlCondition &condition, int rows, bool afterRow);

// One test, its evaluation and, when withPoints, its curve points.
bool loadTest(const QSqlDatabase &db, qint64 id, bool withPoints, StoredTest *test,
              QString *error);
// Every test the filter selects, newest first, with its evaluation (point
// results and rates), signatures and amendments, without its curve points.
bool loadTests(const QSqlDatabase &db, const HistoryFilter &filter, QVector<StoredTest> *tests,
               QString *error);
// The ids of the tests the filter selects, newest first.
bool testIds(const QSqlDatabase &db, const HistoryFilter &filter, QList<qint64> *ids, QString *error);

struct VerdictCounts
{
    int count = 0; // every test the filter selects
    int passed = 0;
    int failed = 0;
    int aborted = 0; // stopped before the machine returned: no spring judged
    int springs() const { return count - aborted; }
};
bool countVerdicts(const QSqlDatabase &db, const HistoryFilter &filter, VerdictCounts *counts,
                   QString *error);
// When the first and the last of the tests the filter selects started;
// invalid times when it selects none.
bool startedSpan(const QSqlDatabase &db, const HistoryFilter &filter, QDateTime *first,
                 QDateTime *last, QString *error);
// What the statistics window and the batch report show of a filter, as
// the database aggregates it (records/pointseries.h): nothing here grows
// with the number of tests but the control charts' points.
struct Batch
{
    HistoryFilter filter;
    VerdictCounts counts;
    QDateTime firstStartedAt; // the span of the tests, whatever the filter's days
    QDateTime lastStartedAt;
    // Cp and Cpk's subgroups and the charts': consecutive tests (1: the
    // moving range). Another size is read again (loadBatch).
    int subgroupSize = Spc::DefaultSubgroupSize;
    QVector<BatchStatistics::PointSummary> points;
    // By point number: the complete subgroups in test order, and each
    // distinct force with how many tests measured it.
    QMap<int, QVector<Spc::Subgroup>> subgroups;
    QMap<int, QVector<BatchStatistics::ForceCount>> forces;

    // Limits frozen for the filter's part number, by point number.
    QMap<int, Spc::FrozenLimits> frozen;
    // The rules the control charts are judged by.
    Spc::RuleSet rules = Spc::RuleSet::nelson();

    // A point's control chart, against its frozen limits where they are
    // of this subgroup size, and the location chart's violations.
    Spc::ControlChart chart(int pointNo) const;
    QVector<Spc::Violation> violations(const Spc::ControlChart &chart) const;

    const BatchStatistics::PointSummary *point(int pointNo) const;
    BatchStatistics::Histogram histogram(int pointNo) const;
};
// Reads the batch of the filter with subgroups of batch->subgroupSize.
bool loadBatch(const QSqlDatabase &db, const HistoryFilter &filter, Batch *batch, QString *error);

// The distinct non-empty part numbers or batches on record, sorted, for the
// filter's choices.
enum class IdentityColumn { PartNumber, Batch };
bool distinctValues(const QSqlDatabase &db, IdentityColumn column, QStringList *values,
                    QString *error);

} // namespace RecordQueries
