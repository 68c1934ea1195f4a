#pragma once

#include "records/databaseconfig.h"
#include "records/storedtest.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// Tests the records database did not take, on this computer: a test the
// database refused (with the reason), and whatever was still waiting when
// the window closed. torvelin-outbox.sqlite in the Data folder holds them in
// the schema of any bench's file, so History and torvelin-records read it
// like one; each is delivered to the records database when it takes it, and
// then removed here. A test is known by its record uid in both places, so a
// delivery made twice makes one record. Used on one thread, through a
// connection of its own.
class Outbox
{
public:
    // A test waiting here, as it goes to the records database.
    struct Waiting
    {
        StoredTest test; // header, status, end and evaluation; points in runs
        struct Run
        {
            qint64 firstSeq = 0;
            QVector<RecordedPoint> points;
        };
        QVector<Run> runs; // its points by seq, each run without a gap
        QString reason;    // why it is here
    };

    // The outbox of this installation: only its own tests are counted and
    // delivered (copies of other installations may share the Data folder).
    Outbox(const QString &connectionName, const QString &stationId,
           const DatabaseConfig &config = Outbox::config());
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    static DatabaseConfig config();
    bool exists() const;

    // Each write is its own transaction; the first write of a test inserts
    // its header. A reason given again replaces the earlier one.
    bool addPoints(const TestHeader &header, qint64 firstSeq, const QVector<RecordedPoint> &points);
    bool finish(const TestHeader &header, const QDateTime &finishedAt, const EvaluationRecord &evaluation,
                const TestEnding &ending);
    bool setReason(const TestHeader &header, const QString &reason);

    // How many tests wait; 0 when there is no outbox.
    bool count(int *count);
    // The record uids of the tests waiting.
    bool uids(QStringList *uids);
    // This installation's tests left running here by a run that ended
    // without closing them become interrupted.
    bool markInterrupted(const QString &stationId, const QString &hostName, int *count);
    // The oldest test that is no longer running and whose uid is not in
    // `skip`; *found false when there is none.
    bool next(const QSet<QString> &skip, Waiting *waiting, bool *found);
    // Delivered: the test and its rows leave the outbox.
    bool remove(qint64 id);

    QString lastError() const { return m_error; }
    // Closes the connection; the next call opens it again.
    void close();

private:
    bool open();
    bool testId(const TestHeader &header, qint64 *id);
    template<typename Write> bool inTransaction(Write write);

    const QString m_connectionName;
    const QString m_stationId;
    const DatabaseConfig m_config;
    bool m_open = false;
    QString m_error;
};
