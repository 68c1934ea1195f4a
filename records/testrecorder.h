#pragma once

#include "records/databaseconfig.h"
#include "records/testrecord.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>

class QSqlDatabase;
class RecordWriter;

// Keeps every test on record without ever holding up the acquisition. The
// window hands it the test's header at Start, every point it draws, and the
// evaluation at the end; a writer on a thread of its own, with its own
// connection, commits the points in small transactions at least every
// 250 ms. While the database fails, everything waits in memory, in order,
// and is written when the database is back.
class TestRecorder : public QObject
{
    Q_OBJECT

public:
    explicit TestRecorder(const DatabaseConfig &config, QObject *parent = nullptr);
    // Writes what is still waiting (one last try), then stops the writer.
    ~TestRecorder() override;

    // Opens the database on the writer's thread: records this station left
    // running become interrupted (interruptedFound). Called once.
    void start();

    // A new test; a test still open is finished first, unjudged.
    void begin(const TestHeader &header);
    // Cheap: the point is only queued. Points within a second after
    // finish() still belong to the last test (blocks already on their way
    // at Stop); later ones, and any before the first begin(), belong to no
    // test and are not recorded.
    void addPoint(int stroke, double distance, double force);
    // Ends the open test; nothing happens when none is open.
    void finish(const EvaluationRecord &evaluation = EvaluationRecord(),
                const TestEnding &ending = TestEnding());
    bool isTestOpen() const { return m_testOpen; }

    // Later tests go to another database (the points of the open test too);
    // before start(), the one it opens.
    void setDatabase(const DatabaseConfig &config);
    // Points handed over and not yet committed.
    int pendingPoints() const { return m_pendingPoints.load(); }

    // Run on the writer's thread after each connection is opened. For tests
    // that limit the connection (SQLite's max_page_count makes a full disk).
    void setConnectionHook(std::function<void(QSqlDatabase &)> hook);

signals:
    // Once per outage, with the database's reason; translated.
    void databaseFailed(const QString &message);
    void databaseRecovered();
    // At start: this many records of this station were left running.
    void interruptedFound(int count);
    // A finished test is wholly on disk.
    void testStored(qint64 testId);
    // The database refused a test (not a failure of the database): it waits
    // on this computer, in the outbox, and later tests go on. Translated.
    void testSetAside(const QString &message);
    // How many tests wait in the outbox (at start, and at each change).
    void outboxWaiting(int count);

private:
    friend class RecordWriter;

    struct Operation
    {
        enum Kind { Begin, Points, Finish, Switch };
        Kind kind = Points;
        quint64 key = 0;
        TestHeader header;
        qint64 firstSeq = 0;
        QVector<RecordedPoint> points;
        EvaluationRecord evaluation;
        TestEnding ending;
        QDateTime time;
        DatabaseConfig config;
    };

    QVector<Operation> takeOperations();
    void wakeWriter();

    QThread m_thread;
    RecordWriter *m_writer = nullptr;
    QMutex m_mutex;
    QVector<Operation> m_operations;   // guarded by m_mutex
    quint64 m_currentKey = 0;          // GUI thread only
    quint64 m_lastKey = 0;
    qint64 m_nextSeq = 0;
    bool m_testOpen = false;
    QElapsedTimer m_sinceFinish;
    bool m_started = false;
    std::atomic<int> m_pendingPoints{0};
};
