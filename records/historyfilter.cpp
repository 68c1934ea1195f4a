#include "records/historyfilter.h"

#include "records/teststore.h"

#include <QStringList>

void HistoryFilter::setDays(const QDate &from, const QDate &to)
{
    startedFrom = from.isValid() ? QDateTime(from, QTime(0, 0), Qt::LocalTime).toUTC() : QDateTime();
    startedBefore =
        to.isValid() ? QDateTime(to.addDays(1), QTime(0, 0), Qt::LocalTime).toUTC() : QDateTime();
}

SqlCondition sqlCondition(const HistoryFilter &filter, const QString &alias)
{
    const QString prefix = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    QStringList terms;
    SqlCondition condition;
    auto add = [&](const QString &term, const QVariant &value) {
        terms << prefix + term;
        condition.values << value;
    };
    const QString partNumber = filter.partNumber.trimmed();
    if (!partNumber.isEmpty())
        add(QStringLiteral("part_number = ?"), partNumber);
    const QString batch = filter.batch.trimmed();
    if (!batch.isEmpty())
        add(QStringLiteral("batch = ?"), batch);
    // Times are stored as UTC text that sorts as time does.
    if (filter.startedFrom.isValid())
        add(QStringLiteral("started_at >= ?"), TestStore::timeText(filter.startedFrom));
    if (filter.startedBefore.isValid())
        add(QStringLiteral("started_at < ?"), TestStore::timeText(filter.startedBefore));
    if (!filter.stations.isEmpty()) {
        QStringList marks;
        for (const QString &station : filter.stations) {
            marks << QStringLiteral("?");
            condition.values << station;
        }
        terms << prefix + QStringLiteral("station IN (%1)").arg(marks.join(QStringLiteral(", ")));
    }
    switch (filter.verdict) {
    case HistoryFilter::Verdict::Any:
        break;
    case HistoryFilter::Verdict::Pass:
        add(QStringLiteral("verdict = ?"), QStringLiteral("pass"));
        break;
    case HistoryFilter::Verdict::Fail:
        add(QStringLiteral("verdict = ?"), QStringLiteral("fail"));
        break;
    case HistoryFilter::Verdict::NotJudged:
        terms << prefix + QStringLiteral("verdict IS NULL");
        break;
    }
    condition.text = terms.isEmpty() ? QStringLiteral("1 = 1") : terms.join(QStringLiteral(" AND "));
    return condition;
}
