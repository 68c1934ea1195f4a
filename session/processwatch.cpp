#include "session/processwatch.h"

#include "records/pointseries.h"
#include "records/recordsdatabase.h"
#include "records/recordqueries.h"
#include "records/testrecord.h"
#include "spc/ruletext.h"

#include <QStringList>

namespace ProcessWatch {

namespace {

// The alarms of one point's chart: a switched-on rule broken at the last
// subgroup, when this test is what completed it.
void judgePoint(const PointSeries &series, const Spc::RuleSet &rules, const QString &part,
                QVector<Alarm> *alarms)
{
    const int size = series.summary.subgroupSize;
    const Spc::ControlChart chart = series.chart();
    if (!chart.locationLimits || chart.location.isEmpty() || series.summary.n % size != 0)
        return;
    const int last = chart.location.size() - 1;
    for (const Spc::Violation &v : Spc::violations(chart.location, *chart.locationLimits, rules)) {
        if (v.point == last)
            alarms->append({part, series.summary.pointNo, v.rule, v.point});
    }
}

} // namespace

bool judge(const QSqlDatabase &db, qint64 testId, const ChartChoice &choice, QVector<Alarm> *alarms,
           QString *error)
{
    alarms->clear();
    StoredTest test;
    if (!RecordQueries::loadTest(db, testId, false, &test, error))
        return false;
    HistoryFilter filter;
    filter.partNumber = test.header.identity.partNumber.trimmed();
    // An aborted test measured no spring; a test of no part is on no chart.
    if (filter.partNumber.isEmpty() || test.status == TestStatus::Aborted)
        return true;
    // The chart as this test left it; a test of another station recorded
    // since is not what the operator here is told about.
    filter.startedBefore = test.header.startedAt.addMSecs(1);
    QVector<PointSeries> points;
    if (!PointSeriesQuery::load(db, filter, choice.subgroupSize, &points, error))
        return false;
    for (const PointSeries &series : qAsConst(points)) {
        const bool measured = std::any_of(test.evaluation.points.cbegin(), test.evaluation.points.cend(),
                                          [&](const PointResultRecord &p) {
                                              return p.pointNo == series.summary.pointNo && p.force;
                                          });
        if (!measured)
            continue;
        // Frozen limits judge with the subgroups they were frozen for.
        if (series.frozen && series.frozen->subgroupSize != choice.subgroupSize) {
            QVector<PointSeries> frozen;
            if (!PointSeriesQuery::load(db, filter, series.frozen->subgroupSize, &frozen, error,
                                        series.summary.pointNo))
                return false;
            if (!frozen.isEmpty())
                judgePoint(frozen.first(), choice.rules, filter.partNumber, alarms);
        } else {
            judgePoint(series, choice.rules, filter.partNumber, alarms);
        }
    }
    return true;
}

} // namespace ProcessWatch

QString ProcessAlarmText::of(const QVector<ProcessWatch::Alarm> &alarms, const Spc::RuleSet &rules)
{
    QStringList broken;
    for (const ProcessWatch::Alarm &alarm : alarms) {
        broken << tr("test point %1 breaks rule %2 (subgroup %3)")
                      .arg(alarm.pointNo)
                      .arg(RuleText::name(alarm.rule, rules))
                      .arg(alarm.subgroup + 1);
    }
    if (broken.isEmpty())
        return QString();
    return tr("Process alarm, part %1: %2. Stop and look at the process before testing on.")
        .arg(alarms.first().partNumber, broken.join(QStringLiteral("; ")));
}

ProcessWatcher::ProcessWatcher()
    : m_connection(QStringLiteral("torvelin-process-watch-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
}

// Deleted on its own thread, where its connection lives.
ProcessWatcher::~ProcessWatcher()
{
    RecordsDatabase::close(m_connection);
}

void ProcessWatcher::judge(qint64 testId, const ChartChoice &choice)
{
    // The database the station records into now; opened again when it
    // changed since the last test.
    const DatabaseConfig config = DatabaseConfig::current();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    if (!db.isOpen() || !m_config.sameDatabase(config)) {
        RecordsDatabase::close(m_connection);
        if (!RecordsDatabase::open(config, m_connection, &error))
            return;
        m_config = config;
        db = QSqlDatabase::database(m_connection, false);
    }
    // A chart that cannot be read raises nothing: the test itself is on
    // record, and History says why the database fails.
    QVector<ProcessWatch::Alarm> alarms;
    if (ProcessWatch::judge(db, testId, choice, &alarms, &error))
        emit judged(ProcessAlarmText::of(alarms, choice.rules));
}
