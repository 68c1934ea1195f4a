#pragma once

#include <QString>

class DatabaseConfig;
class PostgresCluster;
class QWidget;
class Report;
class TestRecorder;

// The test records' figures: what recording costs and keeps.
namespace RecordsBench {

// After a window run: the points of its last test on record against the
// points the plot holds.
void checkWindowRecords(Report *report, const QString &measure, QWidget *window, int plotted);

// A 100,000-point test handed to the recorder over one second (it writes
// while the test runs), and at once (the worst case: no point written
// before Stop), on SQLite and on PostgreSQL: seconds from the end of the
// test until it is all on disk.
void measureStopToDisk(Report *report, const QString &workDirectory);

// A lab's records database made by init on `cluster` (started here), and a
// login of torvelin_operator to it: its writes meet the row policies, the
// server's stamps and the audit trail as a station's do (the superuser's
// would pass the policies by).
bool startLabServer(PostgresCluster *cluster, const QString &database, DatabaseConfig *operatorLogin,
                    QString *error);

// Once `recorder` has written its last test to such a server: that test's
// points on record against the `handed`, and every insert in the trail.
void checkRecordedAndAudited(Report *report, const QString &measure, TestRecorder *recorder,
                             const DatabaseConfig &admin, int handed);

// Two stations writing 200 tests each at once into one PostgreSQL database:
// tests and points lost.
void measureTwoStations(Report *report);

} // namespace RecordsBench
