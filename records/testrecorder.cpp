#include "records/testrecorder.h"

#include "records/recordsdatabase.h"
#include "records/station.h"
#include "records/teststore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

// Commit at least this often while a test runs: a killed process loses at
// most the points of the last period, well under a second.
constexpr int FlushPeriodMs = 250;
// While the database fails, try again this often.
constexpr int RetryPeriodMs = 1000;
// Points per transaction when a backlog is written: short transactions keep
// the lock brief for other stations and readers.
constexpr int MaxPointsPerTransaction = 20000;
constexpr int SqliteCacheKiB = 256;
// The worker hands out the block it was reading at Stop within a few tens of
// milliseconds; a point later than this was not acquired in the test.
constexpr int LatePointsMs = 1000;

} // namespace

// Lives on the recorder's thread and owns the connection there.
class RecordWriter : public QObject
{
public:
    RecordWriter(TestRecorder *recorder, const DatabaseConfig &config)
        : m_recorder(recorder)
        , m_config(config)
        , m_connectionName(QStringLiteral("torvelin-recorder-%1")
                               .arg(reinterpret_cast<quintptr>(recorder), 0, 16))
        , m_stationId(Station::id())
        , m_hostName(Station::hostName())
    {
    }

    // Before the writer's thread runs: the database it opens first.
    void setFirstDatabase(const DatabaseConfig &config) { m_config = config; }

    void startTimer()
    {
        m_timer = new QTimer(this);
        m_timer->setInterval(FlushPeriodMs);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { flush(); });
        m_timer->start();
        flush();
    }

    void stop()
    {
        m_sinceAttempt.invalidate();
        flush();
        delete m_timer;
        m_timer = nullptr;
        RecordsDatabase::close(m_connectionName);
    }

    void flush();

    std::function<void(QSqlDatabase &)> hook;

private:
    bool connect();
    void switchTo(const DatabaseConfig &config);
    bool takeLatestSwitch();
    void disconnect() { RecordsDatabase::close(m_connectionName); m_connected = false; }
    bool writeOneTransaction();
    void failed(const QString &why);
    template<typename F> void toRecorder(F f) { QMetaObject::invokeMethod(m_recorder, f, Qt::QueuedConnection); }

    TestRecorder *m_recorder;
    DatabaseConfig m_config;
    const QString m_connectionName;
    const QString m_stationId;
    const QString m_hostName;
    QTimer *m_timer = nullptr;
    QVector<TestRecorder::Operation> m_backlog;
    QHash<quint64, qint64> m_testIds;   // recorder's key → tests.id in this database
    // The header of every test not yet finished on disk, for a test whose
    // rows must go on in another database after a switch.
    QHash<quint64, TestHeader> m_headers;
    QSet<QString> m_checkedDatabases;
    bool m_connected = false;
    bool m_failing = false;   // reported for the database in use
    bool m_outage = false;    // reported, and not yet written again
    QElapsedTimer m_sinceAttempt;
};

bool RecordWriter::connect()
{
    if (m_connected)
        return true;
    if (m_failing && m_sinceAttempt.isValid() && m_sinceAttempt.elapsed() < RetryPeriodMs)
        return false;
    m_sinceAttempt.start();
    QString why;
    if (!RecordsDatabase::open(m_config, m_connectionName, &why)) {
        failed(why);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // The recorder only appends: a small page cache is all it needs.
    if (!RecordsDatabase::isPostgres(db))
        QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -%1").arg(SqliteCacheKiB));
    if (hook)
        hook(db);
    m_connected = true;
    const QString place = m_config.description();
    if (!m_checkedDatabases.contains(place)) {
        // Only this installation's: another station's running test is its
        // own, even on a cloned PC of the same host name.
        TestStore store(db);
        int count = 0;
        if (!store.markInterrupted(m_stationId, m_hostName, &count)) {
            failed(store.lastError());
            disconnect();
            return false;
        }
        m_checkedDatabases.insert(place);
        if (count > 0)
            toRecorder([recorder = m_recorder, count] { emit recorder->interruptedFound(count); });
    }
    return true;
}

void RecordWriter::switchTo(const DatabaseConfig &config)
{
    disconnect();
    // Ids of tests begun in another database mean nothing here.
    if (!config.samePlace(m_config))
        m_testIds.clear();
    m_config = config;
    m_failing = false;
    m_sinceAttempt.invalidate();
}

bool RecordWriter::takeLatestSwitch()
{
    int latest = -1;
    for (int i = 0; i < m_backlog.size(); ++i) {
        if (m_backlog.at(i).kind == TestRecorder::Operation::Switch)
            latest = i;
    }
    if (latest < 0)
        return false;
    const DatabaseConfig config = m_backlog.at(latest).config;
    m_backlog.erase(std::remove_if(m_backlog.begin(), m_backlog.end(),
                                   [](const TestRecorder::Operation &operation) {
                                       return operation.kind == TestRecorder::Operation::Switch;
                                   }),
                    m_backlog.end());
    switchTo(config);
    return true;
}

void RecordWriter::failed(const QString &why)
{
    if (m_failing)
        return;
    m_failing = true;
    m_outage = true;
    const QString message =
        QCoreApplication::translate("TestRecorder", "The test records cannot be written to %1: %2")
            .arg(m_config.description(), why);
    toRecorder([recorder = m_recorder, message] { emit recorder->databaseFailed(message); });
}

void RecordWriter::flush()
{
    QVector<TestRecorder::Operation> incoming = m_recorder->takeOperations();
    for (TestRecorder::Operation &operation : incoming) {
        TestRecorder::Operation *last = m_backlog.isEmpty() ? nullptr : &m_backlog.last();
        // Consecutive points of one test become one write.
        if (operation.kind == TestRecorder::Operation::Points && last
            && last->kind == TestRecorder::Operation::Points && last->key == operation.key
            && last->firstSeq + last->points.size() == operation.firstSeq) {
            last->points += operation.points;
        } else {
            if (operation.kind == TestRecorder::Operation::Begin)
                m_headers.insert(operation.key, operation.header);
            m_backlog.append(std::move(operation));
        }
    }
    if (!connect()) {
        // The operator chose another database (or typed the password) because
        // this one fails: everything waiting goes there, not here.
        if (!takeLatestSwitch() || !connect())
            return;
    }
    while (!m_backlog.isEmpty()) {
        if (m_backlog.first().kind == TestRecorder::Operation::Switch) {
            switchTo(m_backlog.first().config);
            m_backlog.removeFirst();
            if (!connect() && (!takeLatestSwitch() || !connect()))
                return;
            continue;
        }
        if (!writeOneTransaction()) {
            disconnect();
            return;
        }
    }
    m_failing = false;
    if (m_outage) {
        m_outage = false;
        toRecorder([recorder = m_recorder] { emit recorder->databaseRecovered(); });
    }
}

bool RecordWriter::writeOneTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    TestStore store(db);
    if (!db.transaction()) {
        failed(db.lastError().text());
        return false;
    }
    QHash<quint64, qint64> newIds;
    QVector<qint64> stored;
    QVector<quint64> finishedKeys;
    int operationsDone = 0;
    int pointsIntoNext = 0;
    int budget = MaxPointsPerTransaction;
    int pointsWritten = 0;
    bool ok = true;
    for (const TestRecorder::Operation &operation : qAsConst(m_backlog)) {
        if (operation.kind == TestRecorder::Operation::Switch)
            break;
        qint64 id = newIds.value(operation.key, m_testIds.value(operation.key, 0));
        if (operation.kind == TestRecorder::Operation::Begin) {
            ok = store.insertTest(operation.header, &id);
            newIds.insert(operation.key, id);
        } else if (id == 0 && !m_headers.contains(operation.key)) {
            // Points of a test no longer known: nowhere to put them.
            if (operation.kind == TestRecorder::Operation::Points)
                pointsWritten += operation.points.size();
        } else {
            if (id == 0) {
                // A test begun in the database used before a switch: what
                // had not reached that one is this one's, under its header.
                ok = store.insertTest(m_headers.value(operation.key), &id);
                newIds.insert(operation.key, id);
            }
            if (ok && operation.kind == TestRecorder::Operation::Points) {
                const int count = std::min(budget, int(operation.points.size()));
                ok = store.appendPoints(id, operation.firstSeq, operation.points.constData(), count);
                budget -= count;
                pointsWritten += count;
                if (ok && count < operation.points.size()) {
                    pointsIntoNext = count;
                    break;
                }
            } else if (ok) {
                ok = store.finishTest(id, operation.time, operation.evaluation, operation.ending);
                stored.append(id);
                finishedKeys.append(operation.key);
            }
        }
        if (!ok)
            break;
        ++operationsDone;
        if (budget <= 0)
            break;
    }
    if (!ok || !db.commit()) {
        const QString why = ok ? db.lastError().text() : store.lastError();
        db.rollback();
        failed(why);
        return false;
    }
    for (auto it = newIds.cbegin(); it != newIds.cend(); ++it)
        m_testIds.insert(it.key(), it.value());
    // Ids stay known after Finish: blocks already on their way at Stop
    // still add points to the test.
    m_backlog.remove(0, operationsDone);
    if (pointsIntoNext > 0) {
        TestRecorder::Operation &partial = m_backlog.first();
        partial.points.remove(0, pointsIntoNext);
        partial.firstSeq += pointsIntoNext;
    }
    m_recorder->m_pendingPoints -= pointsWritten;
    for (quint64 key : qAsConst(finishedKeys))
        m_headers.remove(key);
    for (qint64 id : qAsConst(stored))
        toRecorder([recorder = m_recorder, id] { emit recorder->testStored(id); });
    return true;
}

TestRecorder::TestRecorder(const DatabaseConfig &config, QObject *parent)
    : QObject(parent)
    , m_writer(new RecordWriter(this, config))
{
    m_thread.setObjectName(QStringLiteral("TestRecorder"));
    m_writer->moveToThread(&m_thread);
}

TestRecorder::~TestRecorder()
{
    if (m_started) {
        QMetaObject::invokeMethod(m_writer, [writer = m_writer] { writer->stop(); },
                                  Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_writer;
}

void TestRecorder::setConnectionHook(std::function<void(QSqlDatabase &)> hook)
{
    m_writer->hook = std::move(hook);
}

void TestRecorder::start()
{
    if (m_started)
        return;
    m_started = true;
    m_thread.start();
    QMetaObject::invokeMethod(m_writer, [writer = m_writer] { writer->startTimer(); },
                              Qt::QueuedConnection);
}

QVector<TestRecorder::Operation> TestRecorder::takeOperations()
{
    QMutexLocker locker(&m_mutex);
    QVector<Operation> taken;
    taken.swap(m_operations);
    return taken;
}

void TestRecorder::wakeWriter()
{
    if (m_started)
        QMetaObject::invokeMethod(m_writer, [writer = m_writer] { writer->flush(); },
                                  Qt::QueuedConnection);
}

void TestRecorder::begin(const TestHeader &header)
{
    if (m_testOpen)
        finish();
    Operation operation;
    operation.kind = Operation::Begin;
    operation.key = ++m_lastKey;
    operation.header = header;
    // The test's name in every database it reaches: a write tried again
    // finds the rows it made, and a test moved on by a switch is known as
    // one in both places.
    if (operation.header.recordUid.isEmpty())
        operation.header.recordUid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_currentKey = operation.key;
    m_nextSeq = 0;
    m_testOpen = true;
    QMutexLocker locker(&m_mutex);
    m_operations.append(std::move(operation));
}

void TestRecorder::addPoint(int stroke, double distance, double force)
{
    if (m_currentKey == 0 || (!m_testOpen && m_sinceFinish.elapsed() > LatePointsMs))
        return;
    // Never drawn either: the curves keep finite points only.
    if (!std::isfinite(distance) || !std::isfinite(force))
        return;
    const RecordedPoint point{stroke, distance, force};
    {
        QMutexLocker locker(&m_mutex);
        Operation *last = m_operations.isEmpty() ? nullptr : &m_operations.last();
        if (last && last->kind == Operation::Points && last->key == m_currentKey) {
            last->points.append(point);
        } else {
            Operation operation;
            operation.kind = Operation::Points;
            operation.key = m_currentKey;
            operation.firstSeq = m_nextSeq;
            operation.points.append(point);
            m_operations.append(std::move(operation));
        }
    }
    ++m_nextSeq;
    ++m_pendingPoints;
}

void TestRecorder::finish(const EvaluationRecord &evaluation, const TestEnding &ending)
{
    if (!m_testOpen)
        return;
    m_testOpen = false;
    m_sinceFinish.start();
    Operation operation;
    operation.kind = Operation::Finish;
    operation.key = m_currentKey;
    operation.evaluation = evaluation;
    operation.ending = ending;
    operation.time = QDateTime::currentDateTimeUtc();
    {
        QMutexLocker locker(&m_mutex);
        m_operations.append(std::move(operation));
    }
    // Stop is when the operator expects the test on disk.
    wakeWriter();
}

void TestRecorder::setDatabase(const DatabaseConfig &config)
{
    // Nothing was tried yet (the password may have been asked for first):
    // the first database is this one, without a failure for the other.
    if (!m_started) {
        m_writer->setFirstDatabase(config);
        return;
    }
    Operation operation;
    operation.kind = Operation::Switch;
    operation.config = config;
    {
        QMutexLocker locker(&m_mutex);
        m_operations.append(std::move(operation));
    }
    wakeWriter();
}
