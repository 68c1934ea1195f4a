#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>

// Which tests the History window, the statistics and the CSV export look
// at. Empty texts and invalid times leave that side open.
struct HistoryFilter
{
    enum class Verdict { Any, Pass, Fail, NotJudged };

    QString partNumber;       // exact match
    QString batch;            // exact match
    QDateTime startedFrom;    // inclusive
    QDateTime startedBefore;  // exclusive
    Verdict verdict = Verdict::Any;
    // The tests of these stations (station id or host name, exact); all
    // stations when empty. With the times, a failed verification's suspects.
    QStringList stations;

    // The range of whole local days from..to (both included), as UTC
    // bounds; a null date leaves its side open.
    void setDays(const QDate &from, const QDate &to);
};

// The filter as an SQL condition on the tests table: the text to follow
// WHERE (never empty: "1 = 1" when nothing is chosen), with "?" placeholders,
// and the values to bind to them in order. The operator's texts only ever
// travel as bound values, never inside the statement.
struct SqlCondition
{
    QString text;
    QVariantList values;
};

// alias: the name the tests table has in the statement ("t" gives t.batch);
// empty for none.
SqlCondition sqlCondition(const HistoryFilter &filter, const QString &alias = QString());
