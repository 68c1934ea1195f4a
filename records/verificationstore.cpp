#include "records/verificationstore.h"

#include "numbers/numbertext.h"

#include "records/historyfilter.h"
#include "records/audittrail.h"
#include "records/recordsdatabase.h"
#include "records/schemasql.h"
#include "records/teststore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

namespace V = Schema::Verifications;
namespace VP = Schema::VerificationPoints;
namespace L = Schema::LabSettings;

const QString AsFound = QStringLiteral("as found");
const QString AsLeft = QStringLiteral("as left");
const QString Force = QStringLiteral("force");
const QString Distance = QStringLiteral("distance");

const QString PermittedErrorSetting = QStringLiteral("verification.permitted_error_percent");
const QString IntervalSetting = QStringLiteral("verification.interval_months");
const QString PolicySetting = QStringLiteral("verification.policy");

QVariant dateValue(const QDate &date)
{
    return date.isValid() ? QVariant(date.toString(Qt::ISODate)) : QVariant(QVariant::String);
}

// "?, ?, ?" for a list of names.
QString placeholders(int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

} // namespace

VerificationStore::VerificationStore(const QSqlDatabase &db)
    : m_db(db)
{
}

bool VerificationStore::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool VerificationStore::failQuery(const QSqlQuery &query)
{
    return fail(query.lastError().text().trimmed());
}

bool VerificationStore::add(const MachineVerification &v, qint64 *id)
{
    QString invalid;
    if (!VerificationRules::validate(v, &invalid))
        return fail(invalid);
    return RecordsDatabase::inTransaction(m_db, QString(), [&](QString *why) {
        // The server stamps who recorded it and when itself on PostgreSQL.
        const SchemaSql::Values values =
            SchemaSql::Values()
                .set(V::station, TestStore::notNull(v.station.trimmed()))
                .set(V::performedAt, TestStore::timeText(v.performedAt))
                .set(V::performedBy, TestStore::notNull(v.performedBy))
                .set(V::referenceName, TestStore::notNull(v.reference.name))
                .set(V::referenceCertificate, TestStore::notNull(v.reference.certificate))
                .set(V::referenceDue, dateValue(v.reference.dueDate))
                .set(V::permittedErrorPercent, v.permittedErrorPercent)
                .set(V::asFound, VerificationRules::verdictName(v.asFoundVerdict))
                .set(V::asLeft, v.asLeftVerdict ? QVariant(VerificationRules::verdictName(*v.asLeftVerdict))
                                                : QVariant(QVariant::String))
                .set(V::nextDue, dateValue(v.nextDue))
                .set(V::source, v.source.isEmpty() ? QStringLiteral("external") : v.source)
                .set(V::certificate, TestStore::notNull(v.certificatePath))
                .set(V::recordedBy, AuditTrail::localUser())
                .set(V::recordedAt, TestStore::timeText(QDateTime::currentDateTimeUtc()));
        if (!SchemaSql::insertNumbered(m_db, values, id, why))
            return false;
        const struct
        {
            const QString &stage;
            const QString &quantity;
            const QVector<VerificationPoint> &points;
        } series[] = {{AsFound, Force, v.asFound.force}, {AsFound, Distance, v.asFound.distance},
                      {AsLeft, Force, v.asLeft.force}, {AsLeft, Distance, v.asLeft.distance}};
        const QString insert = SchemaSql::insertStatement(
            {VP::verificationId, VP::stage, VP::quantity, VP::seq, VP::reference, VP::indicated, VP::errorPercent});
        for (const auto &s : series) {
            for (int seq = 0; seq < s.points.size(); ++seq) {
                const VerificationPoint &point = s.points.at(seq);
                QSqlQuery row(m_db);
                row.prepare(insert);
                for (const QVariant &value : QVariantList{*id, s.stage, s.quantity, seq, point.reference,
                                                          point.indicated, point.errorPercent().value_or(0)})
                    row.addBindValue(value);
                if (!row.exec()) {
                    *why = row.lastError().text();
                    return false;
                }
            }
        }
        return true;
    }, &m_error);
}

bool VerificationStore::readStation(const QStringList &stations, QVector<MachineVerification> *verifications)
{
    verifications->clear();
    if (stations.isEmpty())
        return true;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4) ORDER BY %5, %6")
                      .arg(SchemaSql::selectList(V::Table), SchemaSql::name(V::Table), SchemaSql::name(V::station),
                           placeholders(stations.size()), SchemaSql::name(V::performedAt), SchemaSql::name(V::id)));
    for (const QString &station : stations)
        query.addBindValue(station);
    if (!query.exec())
        return failQuery(query);
    const SchemaSql::Row row(query);
    while (query.next()) {
        MachineVerification v;
        v.id = row.value(V::id).toLongLong();
        v.station = row.value(V::station).toString();
        v.performedAt = QDateTime::fromString(row.value(V::performedAt).toString(), Qt::ISODateWithMs);
        v.performedBy = row.value(V::performedBy).toString();
        v.reference = {row.value(V::referenceName).toString(), row.value(V::referenceCertificate).toString(),
                       QDate::fromString(row.value(V::referenceDue).toString(), Qt::ISODate)};
        v.permittedErrorPercent = row.value(V::permittedErrorPercent).toDouble();
        v.asFoundVerdict = VerificationRules::verdictFromName(row.value(V::asFound).toString())
                               .value_or(VerificationVerdict::Fail);
        if (!row.value(V::asLeft).isNull())
            v.asLeftVerdict = VerificationRules::verdictFromName(row.value(V::asLeft).toString());
        v.nextDue = QDate::fromString(row.value(V::nextDue).toString(), Qt::ISODate);
        v.source = row.value(V::source).toString();
        v.certificatePath = row.value(V::certificate).toString();
        *verifications << v;
    }
    return readPoints(verifications);
}

bool VerificationStore::readPoints(QVector<MachineVerification> *verifications)
{
    if (verifications->isEmpty())
        return true;
    QHash<qint64, MachineVerification *> byId;
    QStringList ids;
    for (MachineVerification &v : *verifications) {
        byId.insert(v.id, &v);
        ids << QString::number(v.id);
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // The ids are the database's own numbers, not text anyone typed.
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4) ORDER BY %5")
                        .arg(SchemaSql::names({VP::verificationId, VP::stage, VP::quantity, VP::reference, VP::indicated}),
                             SchemaSql::name(VP::Table), SchemaSql::name(VP::verificationId),
                             ids.join(QLatin1Char(',')),
                             SchemaSql::names({VP::verificationId, VP::stage, VP::quantity, VP::seq}))))
        return failQuery(query);
    while (query.next()) {
        MachineVerification *v = byId.value(query.value(0).toLongLong());
        VerificationPass &pass = query.value(1).toString() == AsLeft ? v->asLeft : v->asFound;
        QVector<VerificationPoint> &points = query.value(2).toString() == Distance ? pass.distance : pass.force;
        points << VerificationPoint{query.value(3).toDouble(), query.value(4).toDouble()};
    }
    return true;
}

bool VerificationStore::stationNames(const QString &station, QStringList *names)
{
    *names = QStringList{station.trimmed()};
    return true;
}

HistoryFilter VerificationStore::suspectFilter(const QStringList &stations,
                                             const VerificationRules::SuspectPeriod &period)
{
    HistoryFilter filter;
    filter.stations = stations;
    filter.startedFrom = period.from;
    filter.startedBefore = period.until;
    return filter;
}

bool VerificationStore::suspects(const QStringList &stations, const VerificationRules::SuspectPeriod &period,
                                 QVector<SuspectTest> *tests)
{
    namespace T = Schema::Tests;
    tests->clear();
    if (stations.isEmpty())
        return true;
    const SqlCondition condition = sqlCondition(suspectFilter(stations, period));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4")
                      .arg(SchemaSql::names({T::id, T::startedAt, T::partNumber, T::batch, T::serialNumber}),
                           SchemaSql::name(T::Table), condition.text, SchemaSql::names({T::startedAt, T::id})));
    for (const QVariant &value : condition.values)
        query.addBindValue(value);
    if (!query.exec())
        return failQuery(query);
    while (query.next()) {
        tests->append({query.value(0).toLongLong(),
                       QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs),
                       query.value(2).toString(), query.value(3).toString(), query.value(4).toString()});
    }
    return true;
}

bool VerificationStore::failedAsFound(QVector<MachineVerification> *verifications)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE %3 = 'fail'")
                        .arg(SchemaSql::name(V::station), SchemaSql::name(V::Table), SchemaSql::name(V::asFound))))
        return failQuery(query);
    QStringList stations;
    while (query.next())
        stations << query.value(0).toString();
    verifications->clear();
    for (const QString &station : stations) {
        QStringList names;
        QVector<MachineVerification> ofStation;
        if (!stationNames(station, &names) || !readStation(names, &ofStation))
            return false;
        for (const MachineVerification &v : ofStation) {
            if (v.asFoundVerdict == VerificationVerdict::Fail)
                *verifications << v;
        }
    }
    std::sort(verifications->begin(), verifications->end(),
              [](const MachineVerification &a, const MachineVerification &b) { return a.performedAt > b.performedAt; });
    return true;
}

bool VerificationStore::readSettings(VerificationSettings *settings)
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2")
                        .arg(SchemaSql::names({L::name, L::value}), SchemaSql::name(L::Table))))
        return failQuery(query);
    VerificationSettings read;
    while (query.next()) {
        const QString name = query.value(0).toString();
        const QString value = query.value(1).toString();
        bool ok = false;
        if (name == PermittedErrorSetting) {
            const double percent = NumberText::toDouble(value, &ok);
            if (ok && percent > 0)
                read.permittedErrorPercent = percent;
        } else if (name == IntervalSetting) {
            const int months = NumberText::toInt(value, &ok);
            if (ok && months > 0)
                read.intervalMonths = months;
        } else if (name == PolicySetting) {
            read.policy = VerificationSettings::policyFromName(value).value_or(read.policy);
        }
    }
    *settings = read;
    return true;
}

bool VerificationStore::writeSettings(const VerificationSettings &settings)
{
    if (!(settings.permittedErrorPercent > 0) || settings.intervalMonths <= 0)
        return fail(tr("The permitted error and the interval must be above 0."));
    const QVector<QPair<QString, QString>> values{
        {PermittedErrorSetting, QString::number(settings.permittedErrorPercent, 'g', 15)},
        {IntervalSetting, QString::number(settings.intervalMonths)},
        {PolicySetting, VerificationSettings::policyName(settings.policy)}};
    return RecordsDatabase::inTransaction(m_db, QString(), [&](QString *why) {
        for (const auto &[name, value] : values) {
            // Changed where it is set, added where not: a setting is never
            // deleted, so its trail in the audit log stays one row's.
            QSqlQuery update(m_db);
            update.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                               .arg(SchemaSql::name(L::Table), SchemaSql::name(L::value), SchemaSql::name(L::name)));
            update.addBindValue(value);
            update.addBindValue(name);
            if (!update.exec()) {
                *why = update.lastError().text();
                return false;
            }
            if (update.numRowsAffected() > 0)
                continue;
            QSqlQuery insert(m_db);
            insert.prepare(SchemaSql::insertStatement({L::name, L::value}));
            insert.addBindValue(name);
            insert.addBindValue(value);
            if (!insert.exec()) {
                *why = insert.lastError().text();
                return false;
            }
        }
        return true;
    }, &m_error);
}
