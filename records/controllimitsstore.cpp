#include "records/controllimitsstore.h"

#include "records/audittrail.h"
#include "records/recordsdatabase.h"
#include "records/schemasql.h"
#include "records/teststore.h"

#include <QSqlQuery>

namespace L = Schema::ControlLimits;

namespace {

bool insert(const QSqlDatabase &db, const QString &partNumber, int pointNo,
            const Spc::FrozenLimits &limits, bool withdrawn, QString *error)
{
    auto time = [](const QDateTime &t) {
        return t.isValid() ? QVariant(TestStore::timeText(t)) : QVariant(QVariant::String);
    };
    // The server stamps who froze them and when itself on PostgreSQL.
    const SchemaSql::Values values =
        SchemaSql::Values()
            .set(L::partNumber, partNumber.trimmed())
            .set(L::pointNo, pointNo)
            .set(L::subgroupSize, limits.subgroupSize)
            .set(L::locationCenter, limits.location.center)
            .set(L::locationUpper, limits.location.upper)
            .set(L::locationLower, limits.location.lower)
            .set(L::spreadCenter, limits.spread.center)
            .set(L::spreadUpper, limits.spread.upper)
            .set(L::spreadLower, limits.spread.lower)
            .set(L::baseFrom, time(limits.baseFrom))
            .set(L::baseTo, time(limits.baseTo))
            .set(L::baseTests, limits.baseTests)
            .set(L::frozenBy, AuditTrail::localUser())
            .set(L::frozenAt, TestStore::timeText(QDateTime::currentDateTimeUtc()))
            .set(L::withdrawn, withdrawn ? 1 : 0);
    qint64 id = 0;
    return SchemaSql::insertNumbered(db, values, &id, error);
}

QDateTime timeOf(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

} // namespace

namespace ControlLimitsStore {

bool freeze(const QSqlDatabase &db, const QString &partNumber, int pointNo,
            const Spc::FrozenLimits &limits, QString *error)
{
    return insert(db, partNumber, pointNo, limits, false, error);
}

bool withdraw(const QSqlDatabase &db, const QString &partNumber, int pointNo, QString *error)
{
    std::optional<Spc::FrozenLimits> current;
    if (!inForce(db, partNumber, pointNo, &current, error))
        return false;
    if (!current)
        return true;
    // The withdrawal names what it withdraws.
    return insert(db, partNumber, pointNo, *current, true, error);
}

bool inForce(const QSqlDatabase &db, const QString &partNumber, int pointNo,
             std::optional<Spc::FrozenLimits> *limits, QString *error)
{
    limits->reset();
    QSqlQuery query(db);
    if (!SchemaSql::exec(&query,
                         QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? AND %4 = ? ORDER BY %5 DESC LIMIT 1")
                             .arg(SchemaSql::selectList(L::Table), SchemaSql::name(L::Table),
                                  SchemaSql::name(L::partNumber), SchemaSql::name(L::pointNo),
                                  SchemaSql::name(L::id)),
                         {partNumber.trimmed(), pointNo}))
        return SchemaSql::failed(query, error);
    if (!query.next())
        return true;
    const SchemaSql::Row row(query);
    if (row.value(L::withdrawn).toInt() != 0)
        return true;
    Spc::FrozenLimits frozen;
    frozen.subgroupSize = row.value(L::subgroupSize).toInt();
    frozen.location = {row.value(L::locationCenter).toDouble(), row.value(L::locationUpper).toDouble(),
                       row.value(L::locationLower).toDouble()};
    frozen.spread = {row.value(L::spreadCenter).toDouble(), row.value(L::spreadUpper).toDouble(),
                     row.value(L::spreadLower).toDouble()};
    frozen.baseFrom = timeOf(row.value(L::baseFrom));
    frozen.baseTo = timeOf(row.value(L::baseTo));
    frozen.baseTests = row.value(L::baseTests).toInt();
    frozen.frozenAt = timeOf(row.value(L::frozenAt));
    frozen.frozenBy = row.value(L::frozenBy).toString();
    *limits = frozen;
    return true;
}

} // namespace ControlLimitsStore
