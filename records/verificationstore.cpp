#include "records/verificationstore.h"

#include "records/recordsdatabase.h"
#include "records/historyfilter.h"
#include "records/teststore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

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
    const bool postgres = RecordsDatabase::isPostgres(m_db);
    return RecordsDatabase::inTransaction(m_db, QString(), [&](QString *why) {
        QSqlQuery insert(m_db);
        insert.prepare(QStringLiteral(
                           "INSERT INTO verifications (station, performed_at, performed_by, reference_name, "
                           "reference_certificate, reference_due, permitted_error_percent, as_found, as_left, "
                           "next_due, source, certificate, recorded_by, recorded_at) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)%1")
                           .arg(postgres ? QStringLiteral(" RETURNING id") : QString()));
        insert.addBindValue(TestStore::notNull(v.station.trimmed()));
        insert.addBindValue(TestStore::timeText(v.performedAt));
        insert.addBindValue(TestStore::notNull(v.performedBy));
        insert.addBindValue(TestStore::notNull(v.reference.name));
        insert.addBindValue(TestStore::notNull(v.reference.certificate));
        insert.addBindValue(dateValue(v.reference.dueDate));
        insert.addBindValue(v.permittedErrorPercent);
        insert.addBindValue(VerificationRules::verdictName(v.asFoundVerdict));
        insert.addBindValue(v.asLeftVerdict ? QVariant(VerificationRules::verdictName(*v.asLeftVerdict))
                                            : QVariant(QVariant::String));
        insert.addBindValue(dateValue(v.nextDue));
        insert.addBindValue(v.source.isEmpty() ? QStringLiteral("external") : v.source);
        insert.addBindValue(TestStore::notNull(v.certificatePath));
        // The server stamps these itself on PostgreSQL.
        insert.addBindValue(RecordsDatabase::localUserName());
        insert.addBindValue(TestStore::timeText(QDateTime::currentDateTimeUtc()));
        if (!insert.exec()) {
            *why = insert.lastError().text();
            return false;
        }
        const QVariant key = postgres ? (insert.next() ? insert.value(0) : QVariant()) : insert.lastInsertId();
        if (!key.isValid()) {
            *why = tr("The database gave no id for the new verification.");
            return false;
        }
        *id = key.toLongLong();
        const struct
        {
            const QString &stage;
            const QString &quantity;
            const QVector<VerificationPoint> &points;
        } series[] = {{AsFound, Force, v.asFound.force}, {AsFound, Distance, v.asFound.distance},
                      {AsLeft, Force, v.asLeft.force}, {AsLeft, Distance, v.asLeft.distance}};
        for (const auto &s : series) {
            for (int seq = 0; seq < s.points.size(); ++seq) {
                const VerificationPoint &point = s.points.at(seq);
                QSqlQuery row(m_db);
                row.prepare(QStringLiteral("INSERT INTO verification_points (verification_id, stage, quantity, "
                                           "seq, reference, indicated, error_percent) VALUES (?, ?, ?, ?, ?, ?, ?)"));
                row.addBindValue(*id);
                row.addBindValue(s.stage);
                row.addBindValue(s.quantity);
                row.addBindValue(seq);
                row.addBindValue(point.reference);
                row.addBindValue(point.indicated);
                row.addBindValue(point.errorPercent().value_or(0));
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
    query.prepare(QStringLiteral("SELECT id, station, performed_at, performed_by, reference_name, "
                                 "reference_certificate, reference_due, permitted_error_percent, as_found, "
                                 "as_left, next_due, source, certificate FROM verifications "
                                 "WHERE station IN (%1) ORDER BY performed_at, id")
                      .arg(placeholders(stations.size())));
    for (const QString &station : stations)
        query.addBindValue(station);
    if (!query.exec())
        return failQuery(query);
    while (query.next()) {
        MachineVerification v;
        v.id = query.value(0).toLongLong();
        v.station = query.value(1).toString();
        v.performedAt = QDateTime::fromString(query.value(2).toString(), Qt::ISODateWithMs);
        v.performedBy = query.value(3).toString();
        v.reference = {query.value(4).toString(), query.value(5).toString(),
                       QDate::fromString(query.value(6).toString(), Qt::ISODate)};
        v.permittedErrorPercent = query.value(7).toDouble();
        v.asFoundVerdict = VerificationRules::verdictFromName(query.value(8).toString())
                               .value_or(VerificationVerdict::Fail);
        if (!query.value(9).isNull())
            v.asLeftVerdict = VerificationRules::verdictFromName(query.value(9).toString());
        v.nextDue = QDate::fromString(query.value(10).toString(), Qt::ISODate);
        v.source = query.value(11).toString();
        v.certificatePath = query.value(12).toString();
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
    // The ids are this program's own numbers, not text anyone typed.
    if (!query.exec(QStringLiteral("SELECT verification_id, stage, quantity, reference, indicated "
                                   "FROM verification_points WHERE verification_id IN (%1) "
                                   "ORDER BY verification_id, stage, quantity, seq")
                        .arg(ids.join(QLatin1Char(',')))))
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
    tests->clear();
    if (stations.isEmpty())
        return true;
    const SqlCondition condition = sqlCondition(suspectFilter(stations, period));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, started_at, part_number, batch, serial_number FROM tests "
                                 "WHERE %1 ORDER BY started_at, id")
                      .arg(condition.text));
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
    if (!query.exec(QStringLiteral("SELECT DISTINCT station FROM verifications WHERE as_found = 'fail'")))
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
    if (!query.exec(QStringLiteral("SELECT name, value FROM lab_settings")))
        return failQuery(query);
    VerificationSettings read;
    while (query.next()) {
        const QString name = query.value(0).toString();
        const QString value = query.value(1).toString();
        bool ok = false;
        if (name == PermittedErrorSetting) {
            const double percent = value.toDouble(&ok);
            if (ok && percent > 0)
                read.permittedErrorPercent = percent;
        } else if (name == IntervalSetting) {
            const int months = value.toInt(&ok);
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
            QSqlQuery remove(m_db);
            remove.prepare(QStringLiteral("DELETE FROM lab_settings WHERE name = ?"));
            remove.addBindValue(name);
            QSqlQuery insert(m_db);
            insert.prepare(QStringLiteral("INSERT INTO lab_settings (name, value) VALUES (?, ?)"));
            insert.addBindValue(name);
            insert.addBindValue(value);
            if (!remove.exec()) {
                *why = remove.lastError().text();
                return false;
            }
            if (!insert.exec()) {
                *why = insert.lastError().text();
                return false;
            }
        }
        return true;
    }, &m_error);
}
