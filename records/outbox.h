#pragma once

#include "records/databaseconfig.h"
#include "records/testrecord.h"

#include <QHash>
#include <QString>
#include <QVector>

// The station's own records file for tests the records database will not
// take: torvelin-outbox.sqlite in the Data folder, the same schema as any
// bench's file, so History and torvelin-records read it like one. Used on
// the recorder's thread only, through a connection of its own.
class Outbox
{
public:
    explicit Outbox(const QString &connectionName);
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    static DatabaseConfig config();

    // What reaches the outbox of a test (key: the recorder's); the first
    // write of a key inserts its header. Each is its own transaction.
    bool addPoints(quint64 key, const TestHeader &header, qint64 firstSeq, const QVector<RecordedPoint> &points);
    bool finish(quint64 key, const TestHeader &header, const QDateTime &finishedAt,
                const EvaluationRecord &evaluation);
    QString lastError() const { return m_error; }

private:
    bool open();
    bool testId(quint64 key, const TestHeader &header, qint64 *id);
    template<typename Write> bool inTransaction(Write write);

    const QString m_connectionName;
    bool m_open = false;
    QHash<quint64, qint64> m_ids;
    QString m_error;
};
