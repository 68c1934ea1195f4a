#pragma once

#include "records/schemasql.h"
#include "records/testrecord.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
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
    // Records of this installation left running become interrupted, but
    // for those of the uids given (still on their way); *count says how many.
    bool markInterrupted(const QString &stationId, const QString &hostName, int *count,
                         const QStringList &exceptUids = QStringList());
    // A test still running ends interrupted.
    bool interruptTest(qint64 testId);

    QString lastError() const { return m_error.text(); }
    // The same, as the engine said it (its code tells a refusal of the rows
    // from a failing connection).
    QSqlError lastSqlError() const { return m_error; }

    static QString timeText(const QDateTime &time);
    // The empty text for a null one: a text column is '' when empty, NULL
    // only where it means "not known".
    static QString notNull(const QString &text);

private:
    bool insert(const SchemaSql::Values &row);
    // The first row's columns, *found false when there is none.
    bool selectRow(const QString &statement, const QVariantList &bound, QVariantList *values, bool *found);
    // Its first column.
    bool selectOne(const QString &statement, const QVariantList &bound, QVariant *value, bool *found);
    bool storedPointCount(qint64 testId, qint64 *count);

    QSqlDatabase m_db;
    QSqlQuery m_fullInsert;
    QSqlQuery m_partInsert;
    bool m_fullInsertPrepared = false;
    QSqlError m_error;
};
