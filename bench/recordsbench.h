#pragma once

#include <QString>

class QWidget;
class Report;

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

// Two stations writing 200 tests each at once into one PostgreSQL database:
// tests and points lost.
void measureTwoStations(Report *report);

} // namespace RecordsBench
