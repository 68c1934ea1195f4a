#pragma once

#include "records/schemasql.h"
#include "records/testrecord.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVector>

// The statements that write a test record, on one open connection. The
// caller holds the transaction; each call reports failure by false and
// lastError().
class TestStore
{
public:
    explicit TestStore(const QSqlDatabase &db);

    bool insertTest(const TestHeader &header, qint64 *id);
    // Points firstSeq, firstSeq + 1, … of the test, in one go.
    bool appendPoints(qint64 testId, qint64 firstSeq, const RecordedPoint *points, int count);
    // An aborted test keeps no verdict, whatever `evaluation` says.
    bool finishTest(qint64 testId, const QDateTime &finishedAt, const EvaluationRecord &evaluation,
                    const TestEnding &ending = TestEnding());
    // Records of this installation left running become interrupted; *count
    // says how many.
    bool markInterrupted(const QString &stationId, const QString &hostName, int *count);

    QString lastError() const { return m_error; }

    static QString timeText(const QDateTime &time);
    // The empty text for a null one: a text column is '' when empty, NULL
    // only where it means "not known".
    static QString notNull(const QString &text);

private:
    bool insert(const SchemaSql::Values &row);
    // The first column of the first row, *found false when there is none.
    bool selectOne(const QString &statement, const QVariantList &bound, QVariant *value, bool *found);
    bool storedPointCount(qint64 testId, qint64 *count);

    QSqlDatabase m_db;
    QSqlQuery m_fullInsert;
    QSqlQuery m_partInsert;
    bool m_fullInsertPrepared = false;
    QString m_error;
};
