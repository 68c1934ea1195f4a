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
    ColumnForceDecimals,
    ColumnAmended,          // how many amendments corrected the identity
    ColumnSignatures,       // the latest signature: "meaning|at|signer", NULL when none
    ColumnSignatureCount,
    ColumnCount
};
QString historyStatement(const SqlCondition &condition);

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
    int count = 0;
    int passed = 0;
    int failed = 0;
};
bool countVerdicts(const QSqlDatabase &db, const HistoryFilter &filter, VerdictCounts *counts,
                   QString *error);
// When the first and the last of the tests the filter selects started;
// invalid times when it selects none.
bool startedSpan(const QSqlDatabase &db, const HistoryFilter &filter, QDateTime *first,
                 QDateTime *last, QString *error);
// Every point result of the tests the filter selects, in test order (the
// time each started, then id).
bool loadPointSamples(const QSqlDatabase &db, const HistoryFilter &filter,
                      QVector<BatchStatistics::PointSample> *samples, QString *error);
// What the statistics window and the batch report show of a filter.
struct Batch
{
    HistoryFilter filter;
    VerdictCounts counts;
    QDateTime firstStartedAt; // the span of the tests, whatever the filter's days
    QDateTime lastStartedAt;
    // Cp and Cpk's subgroups: consecutive tests (1: the moving range).
    int subgroupSize = Spc::DefaultSubgroupSize;
    QVector<BatchStatistics::PointSample> samples; // in test order
    QVector<BatchStatistics::PointSummary> points;
    QMap<int, QVector<double>> forces; // measured forces by point number, in test order

    // Limits frozen for the filter's part number, by point number.
    QMap<int, Spc::FrozenLimits> frozen;
    // The rules the control charts are judged by.
    Spc::RuleSet rules = Spc::RuleSet::nelson();

    // The points' figures again with subgroups of another size.
    void setSubgroupSize(int size);
    // A point's control chart, against its frozen limits where they are
    // of this subgroup size, and the location chart's violations.
    Spc::ControlChart chart(int pointNo) const;
    QVector<Spc::Violation> violations(const Spc::ControlChart &chart) const;

    const BatchStatistics::PointSummary *point(int pointNo) const;
    BatchStatistics::Histogram histogram(int pointNo) const;
};
bool loadBatch(const QSqlDatabase &db, const HistoryFilter &filter, Batch *batch, QString *error);

// The distinct non-empty part numbers or batches on record, sorted, for the
// filter's choices.
enum class IdentityColumn { PartNumber, Batch };
bool distinctValues(const QSqlDatabase &db, IdentityColumn column, QStringList *values,
                    QString *error);

} // namespace RecordQueries
