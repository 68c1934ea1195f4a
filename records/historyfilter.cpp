#include "records/historyfilter.h"

#include "records/schemasql.h"
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
    namespace T = Schema::Tests;
    QStringList terms;
    SqlCondition condition;
    auto add = [&](const Schema::Column &column, const char *comparison, const QVariant &value) {
        terms << SchemaSql::name(column, alias) + QLatin1String(comparison);
        condition.values << value;
    };
    const QString partNumber = filter.partNumber.trimmed();
    if (!partNumber.isEmpty())
        add(T::partNumber, " = ?", partNumber);
    const QString batch = filter.batch.trimmed();
    if (!batch.isEmpty())
        add(T::batch, " = ?", batch);
    // Times are stored as UTC text that sorts as time does.
    if (filter.startedFrom.isValid())
        add(T::startedAt, " >= ?", TestStore::timeText(filter.startedFrom));
    if (filter.startedBefore.isValid())
        add(T::startedAt, " < ?", TestStore::timeText(filter.startedBefore));
    if (!filter.stations.isEmpty()) {
        QStringList marks;
        for (const QString &station : filter.stations) {
            marks << QStringLiteral("?");
            condition.values << station;
        }
        terms << SchemaSql::name(T::station, alias) + QStringLiteral(" IN (%1)").arg(marks.join(QStringLiteral(", ")));
    }
    switch (filter.verdict) {
    case HistoryFilter::Verdict::Any:
        break;
    case HistoryFilter::Verdict::Pass:
        add(T::verdict, " = ?", Verdicts::key(::Verdict::Pass));
        break;
    case HistoryFilter::Verdict::Fail:
        add(T::verdict, " = ?", Verdicts::key(::Verdict::Fail));
        break;
    case HistoryFilter::Verdict::NotJudged:
        terms << SchemaSql::name(T::verdict, alias) + QStringLiteral(" IS NULL");
        break;
    }
    condition.text = terms.isEmpty() ? QStringLiteral("1 = 1") : terms.join(QStringLiteral(" AND "));
    return condition;
}
