#include "records/testrecorder.h"

#include "records/outbox.h"
#include "records/recordsdatabase.h"
#include "records/station.h"
#include "records/teststore.h"
#include "records/writerefusal.h"

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
        , m_outbox(m_connectionName + QStringLiteral("-outbox"), m_stationId)
    {
    }

    // Before the writer's thread runs: the database it opens first.
    void setFirstDatabase(const DatabaseConfig &config) { m_config = config; }

    void startTimer()
    {
        openOutbox();
        m_timer = new QTimer(this);
        m_timer->setInterval(FlushPeriodMs);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { flush(); });
        m_timer->start();
        flush();
    }

    // One last try; what the database still did not take waits in the
    // outbox, the open test with it (finished as the session ended it).
    void stop()
    {
        m_sinceAttempt.invalidate();
        flush();
        for (TestRecorder::Operation &operation : m_backlog) {
            if (operation.kind != TestRecorder::Operation::Switch)
                m_toOutbox.append(std::move(operation));
        }
        m_backlog.clear();
        drainToOutbox();
        m_outbox.close();
        delete m_timer;
        m_timer = nullptr;
        RecordsDatabase::close(m_connectionName);
    }

    void flush();

    std::function<void(QSqlDatabase &)> hook;

private:
    enum class Written { Done, Failed, Refused };

    bool connect();
    void switchTo(const DatabaseConfig &config);
    bool takeLatestSwitch();
    void disconnect() { RecordsDatabase::close(m_connectionName); m_connected = false; }
    Written writeOneTransaction(quint64 *refusedKey, QString *reason);
    // Ends the transaction: committed, rolled back as refused (*reason), or
    // rolled back as the database failing (reported).
    Written commit(QSqlDatabase &db, const TestStore &store, bool written, QString *reason);
    void failed(const QString &why);
    TestHeader headerOf(quint64 key) const;
    void openOutbox();
    void setAside(quint64 key, const QString &reason);
    void drainToOutbox();
    Written deliverFromOutbox();
    void reportOutbox();
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
    // The last test finished on disk, for points still on their way.
    QPair<quint64, TestHeader> m_lastFinished;
    QSet<QString> m_checkedDatabases;
    Outbox m_outbox;
    QSet<quint64> m_asideKeys;                 // tests whose rows go to the outbox
    QVector<TestRecorder::Operation> m_toOutbox; // on their way there, in order
    QVector<QPair<quint64, QString>> m_reasons;  // why, on their way there too
    QSet<QString> m_notDelivered;              // refused again this run: tried at the next
    int m_outboxCount = -1;                    // as last reported
    bool m_outboxFailing = false;
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
        // Not while another copy of this installation runs (the test may be
        // its), nor a test whose rest waits in the outbox: it was closed.
        TestStore store(db);
        int count = 0;
        QStringList waiting;
        m_outbox.uids(&waiting);
        if (Station::runsAlone() && !store.markInterrupted(m_stationId, m_hostName, &count, waiting)) {
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
    // Another database may take what this one refused.
    m_notDelivered.clear();
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
        if (operation.kind != TestRecorder::Operation::Switch && m_asideKeys.contains(operation.key)) {
            m_toOutbox.append(std::move(operation));
            continue;
        }
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
    drainToOutbox();
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
        quint64 refusedKey = 0;
        QString reason;
        const Written written = writeOneTransaction(&refusedKey, &reason);
        if (written == Written::Refused) {
            // This test's rows would be refused however often they were
            // sent: they wait in the outbox, and the tests after it go on.
            setAside(refusedKey, reason);
            continue;
        }
        if (written == Written::Failed) {
            disconnect();
            return;
        }
    }
    // Then what the outbox holds, one test a pass, once the live tests'
    // rows are in.
    if (deliverFromOutbox() == Written::Failed) {
        disconnect();
        return;
    }
    m_failing = false;
    if (m_outage) {
        m_outage = false;
        toRecorder([recorder = m_recorder] { emit recorder->databaseRecovered(); });
    }
}

RecordWriter::Written RecordWriter::writeOneTransaction(quint64 *refusedKey, QString *reason)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    TestStore store(db);
    if (!db.transaction()) {
        failed(db.lastError().text());
        return Written::Failed;
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
        *refusedKey = operation.key;
        if (operation.kind == TestRecorder::Operation::Begin) {
            ok = store.insertTest(operation.header, &id);
            newIds.insert(operation.key, id);
        } else if (id == 0 && headerOf(operation.key).recordUid.isEmpty()) {
            // Points of a test no longer known: nowhere to put them.
            if (operation.kind == TestRecorder::Operation::Points)
                pointsWritten += operation.points.size();
        } else {
            if (id == 0) {
                // A test begun in the database used before a switch: what
                // had not reached that one is this one's, under its header.
                ok = store.insertTest(headerOf(operation.key), &id);
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
    const Written written = commit(db, store, ok, reason);
    if (written != Written::Done)
        return written;
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
    for (quint64 key : qAsConst(finishedKeys)) {
        m_lastFinished = {key, m_headers.value(key)};
        m_headers.remove(key);
    }
    for (qint64 id : qAsConst(stored))
        toRecorder([recorder = m_recorder, id] { emit recorder->testStored(id); });
    return Written::Done;
}

RecordWriter::Written RecordWriter::commit(QSqlDatabase &db, const TestStore &store, bool written,
                                           QString *reason)
{
    if (!written && WriteRefusal::refusesTheRows(RecordsDatabase::isPostgres(db), store.lastSqlError())) {
        *reason = store.lastError();
        db.rollback();
        return Written::Refused;
    }
    if (!written || !db.commit()) {
        const QString why = written ? db.lastError().text() : store.lastError();
        db.rollback();
        failed(why);
        return Written::Failed;
    }
    return Written::Done;
}

TestHeader RecordWriter::headerOf(quint64 key) const
{
    if (m_headers.contains(key))
        return m_headers.value(key);
    return m_lastFinished.first == key ? m_lastFinished.second : TestHeader();
}

void RecordWriter::openOutbox()
{
    // Tests an earlier run left open there ended with it.
    int count = 0;
    if (Station::runsAlone())
        m_outbox.markInterrupted(m_stationId, m_hostName, &count);
    reportOutbox();
}

void RecordWriter::setAside(quint64 key, const QString &reason)
{
    m_asideKeys.insert(key);
    const TestHeader header = headerOf(key);
    m_reasons.append({key, reason});
    // Its rows in the order they came, behind what already waits for the
    // outbox; the other tests' stay in the backlog.
    QVector<TestRecorder::Operation> kept;
    for (TestRecorder::Operation &operation : m_backlog) {
        if (operation.kind != TestRecorder::Operation::Switch && operation.key == key)
            m_toOutbox.append(std::move(operation));
        else
            kept.append(std::move(operation));
    }
    m_backlog.swap(kept);
    // Tried again at the next start (or in another database), not at once.
    m_notDelivered.insert(header.recordUid);
    const QString serial = header.identity.serialNumber.isEmpty()
                               ? QCoreApplication::translate("TestRecorder", "(none)")
                               : header.identity.serialNumber;
    const QString message =
        QCoreApplication::translate("TestRecorder",
                                    "%1 did not take the test of serial number %2 (%3). It is kept on "
                                    "this computer and sent again when Torvelin next starts; later tests "
                                    "are written as before.")
            .arg(m_config.description(), serial, reason);
    toRecorder([recorder = m_recorder, message] { emit recorder->testSetAside(message); });
    drainToOutbox();
}

void RecordWriter::drainToOutbox()
{
    if (m_reasons.isEmpty() && m_toOutbox.isEmpty())
        return;
    bool ok = true;
    while (ok && !m_reasons.isEmpty()) {
        ok = m_outbox.setReason(headerOf(m_reasons.first().first), m_reasons.first().second);
        if (ok)
            m_reasons.removeFirst();
    }
    while (ok && !m_toOutbox.isEmpty()) {
        const TestRecorder::Operation &operation = m_toOutbox.first();
        const TestHeader header = headerOf(operation.key);
        if (header.recordUid.isEmpty()) {
            // Points of a test no longer known: nowhere to put them.
        } else if (operation.kind == TestRecorder::Operation::Finish) {
            ok = m_outbox.finish(header, operation.time, operation.evaluation, operation.ending);
            if (ok) {
                m_lastFinished = {operation.key, header};
                m_headers.remove(operation.key);
            }
        } else {
            ok = m_outbox.addPoints(header, operation.firstSeq, operation.points);
        }
        if (ok) {
            m_recorder->m_pendingPoints -= operation.points.size();
            m_toOutbox.removeFirst();
        }
    }
    if (!ok && !m_outboxFailing) {
        m_outboxFailing = true;
        const QString message =
            QCoreApplication::translate("TestRecorder", "The test records cannot be kept on this computer "
                                                        "either (%1): %2")
                .arg(Outbox::config().description(), m_outbox.lastError());
        toRecorder([recorder = m_recorder, message] { emit recorder->databaseFailed(message); });
    }
    m_outboxFailing = !ok;
    reportOutbox();
}

RecordWriter::Written RecordWriter::deliverFromOutbox()
{
    if (m_outboxCount <= 0)
        return Written::Done;
    Outbox::Waiting waiting;
    bool found = false;
    if (!m_outbox.next(m_notDelivered, &waiting, &found) || !found)
        return Written::Done;
    const StoredTest &test = waiting.test;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    TestStore store(db);
    if (!db.transaction()) {
        failed(db.lastError().text());
        return Written::Failed;
    }
    // The same uid finds what reached the database before the rest came
    // here; the points it has already are skipped.
    qint64 id = 0;
    bool ok = store.insertTest(test.header, &id);
    for (const Outbox::Waiting::Run &run : waiting.runs) {
        if (ok)
            ok = store.appendPoints(id, run.firstSeq, run.points.constData(), run.points.size());
    }
    if (ok && test.status == TestStatus::Interrupted) {
        ok = store.interruptTest(id);
    } else if (ok) {
        // It ended here as it ended at the station: complete or aborted,
        // with the line's gaps.
        TestEnding ending;
        ending.aborted = test.status == TestStatus::Aborted;
        ending.gap = test.gap;
        ok = store.finishTest(id, test.finishedAt, test.evaluation, ending);
    }
    QString reason;
    const Written written = commit(db, store, ok, &reason);
    if (written == Written::Refused) {
        m_notDelivered.insert(test.header.recordUid);
        m_outbox.setReason(test.header, reason);
    }
    if (written != Written::Done)
        return written;
    // On record: should removing it fail, the next delivery finds it there.
    m_outbox.remove(test.id);
    reportOutbox();
    toRecorder([recorder = m_recorder, id] { emit recorder->testStored(id); });
    return Written::Done;
}

void RecordWriter::reportOutbox()
{
    int count = 0;
    if (!m_outbox.count(&count) || count == m_outboxCount)
        return;
    m_outboxCount = count;
    toRecorder([recorder = m_recorder, count] { emit recorder->outboxWaiting(count); });
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
