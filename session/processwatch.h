#pragma once

#include "records/chartchoice.h"
#include "records/databaseconfig.h"

#include <QCoreApplication>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// Whether the test just recorded makes its part's control chart break a
// rule the station has switched on, so that the operator stops the process
// before springs fail. The chart is the part's as it stood with this test
// (every test of the part number up to it, in test order), against limits
// frozen for the part where they are, and only a subgroup this test
// completes counts: an old violation is no news. No widget; the session
// asks after each test is on record.
namespace ProcessWatch {

struct Alarm
{
    QString partNumber;
    int pointNo = 0;
    int rule = 0;
    int subgroup = 0; // from 0, in test order
};

// The alarms the test raises; none for a test without a part number. False
// with the database's words in *error.
bool judge(const QSqlDatabase &db, qint64 testId, const ChartChoice &choice, QVector<Alarm> *alarms,
           QString *error);

} // namespace ProcessWatch

class ProcessAlarmText
{
    Q_DECLARE_TR_FUNCTIONS(ProcessAlarmText)

public:
    // One line for the status bar and the results panel; empty for none.
    static QString of(const QVector<ProcessWatch::Alarm> &alarms, const Spc::RuleSet &rules);
};

// Judges each test on record on a thread of its own, with a connection of
// its own: a part's whole chart on a lab's server takes longer than the
// window may stand still. Hands back the alarm's words (empty for none).
class ProcessWatcher : public QObject
{
    Q_OBJECT

public:
    ProcessWatcher();
    ~ProcessWatcher() override;

    // Runs on the watcher's thread (queued from the session's).
    void judge(qint64 testId, const ChartChoice &choice);

signals:
    void judged(const QString &alarm);

private:
    QString m_connection;
    DatabaseConfig m_config;
};
