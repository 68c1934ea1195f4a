#include "records/programlibrarystore.h"

#include "evaluation/programfile.h"
#include "records/audittrail.h"
#include "records/recordsdatabase.h"
#include "records/schemasql.h"
#include "records/teststore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

namespace P = Schema::Programs;
namespace PP = Schema::ProgramParts;

QDateTime timeOf(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

} // namespace

ProgramLibraryStore::ProgramLibraryStore(const QSqlDatabase &db)
    : m_db(db)
{
}

bool ProgramLibraryStore::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool ProgramLibraryStore::failQuery(const QSqlQuery &query)
{
    return fail(query.lastError().text().trimmed());
}

bool ProgramLibraryStore::programOf(const ProgramVersion &version, TestProgram *program, QString *error)
{
    return ProgramFile::fromJson(version.programJson, program, error);
}

bool ProgramLibraryStore::readWhere(const QString &condition, const QVariantList &values,
                                    QVector<ProgramVersion> *versions)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY %4, %5")
                      .arg(SchemaSql::selectList(P::Table), SchemaSql::name(P::Table), condition,
                           SchemaSql::name(P::number), SchemaSql::name(P::version)));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return failQuery(query);
    const SchemaSql::Row row(query);
    QVector<ProgramVersion> found;
    while (query.next()) {
        ProgramVersion v;
        v.id = row.value(P::id).toLongLong();
        v.number = row.value(P::number).toInt();
        v.name = row.value(P::name).toString();
        v.version = row.value(P::version).toInt();
        const std::optional<ProgramState> state = LibraryRules::stateFromName(row.value(P::state).toString());
        if (!state)
            return fail(tr("Program version %1 has an unknown state.").arg(v.id));
        v.state = *state;
        v.programJson = row.value(P::program).toString().toUtf8();
        v.createdBy = row.value(P::createdBy).toString();
        v.createdAt = timeOf(row.value(P::createdAt));
        v.approvedBy = row.value(P::approvedBy).toString();
        v.approvedAt = timeOf(row.value(P::approvedAt));
        v.retiredBy = row.value(P::retiredBy).toString();
        v.retiredAt = timeOf(row.value(P::retiredAt));
        found << v;
    }
    if (found.isEmpty()) {
        versions->clear();
        return true;
    }
    // The parts of what was found: the whole library is small, one more
    // statement reads them all.
    QSqlQuery parts(m_db);
    parts.setForwardOnly(true);
    if (!parts.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                        .arg(SchemaSql::names({PP::programId, PP::partNumber}), SchemaSql::name(PP::Table),
                             SchemaSql::name(PP::partNumber))))
        return failQuery(parts);
    QHash<qint64, QStringList> partsOf;
    while (parts.next())
        partsOf[parts.value(0).toLongLong()] << parts.value(1).toString();
    for (ProgramVersion &v : found)
        v.parts = partsOf.value(v.id);
    *versions = found;
    return true;
}

bool ProgramLibraryStore::readAll(QVector<ProgramVersion> *versions)
{
    return readWhere(QString(), {}, versions);
}

bool ProgramLibraryStore::readForPart(const QString &part, QVector<ProgramVersion> *versions)
{
    return readWhere(QStringLiteral("WHERE %1 IN (SELECT %2 FROM %3 WHERE %4 = ?)")
                         .arg(SchemaSql::name(P::id), SchemaSql::name(PP::programId), SchemaSql::name(PP::Table),
                              SchemaSql::name(PP::partNumber)),
                     {LibraryRules::normalisedPart(part)}, versions);
}

std::optional<ProgramVersion> ProgramLibraryStore::read(qint64 id)
{
    QVector<ProgramVersion> versions;
    if (!readWhere(QStringLiteral("WHERE %1 = ?").arg(SchemaSql::name(P::id)), {id}, &versions)
        || versions.isEmpty())
        return std::nullopt;
    return versions.first();
}

bool ProgramLibraryStore::isEmpty(bool *empty)
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(SchemaSql::name(P::Table))) || !query.next())
        return failQuery(query);
    *empty = query.value(0).toLongLong() == 0;
    return true;
}

bool ProgramLibraryStore::inTransaction(const std::function<bool()> &work)
{
    // The write lock first: the rules read the library as no one else can
    // change it until this commits.
    return RecordsDatabase::inTransaction(
        m_db, QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(SchemaSql::name(P::Table)),
        [&](QString *why) {
            const bool done = work();
            *why = m_error;
            return done;
        },
        &m_error);
}

bool ProgramLibraryStore::writeParts(qint64 id, const QStringList &parts)
{
    QSqlQuery remove(m_db);
    remove.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                       .arg(SchemaSql::name(PP::Table), SchemaSql::name(PP::programId)));
    remove.addBindValue(id);
    if (!remove.exec())
        return failQuery(remove);
    for (const QString &part : parts) {
        QSqlQuery insert(m_db);
        if (!SchemaSql::Values()
                 .set(PP::programId, id)
                 .set(PP::partNumber, part)
                 .prepare(&insert, SchemaSql::insertStatement({PP::programId, PP::partNumber}))
            || !insert.exec())
            return failQuery(insert);
    }
    return true;
}

bool ProgramLibraryStore::add(const TestProgram &program, const QString &name, const QStringList &parts,
                              qint64 *id)
{
    return inTransaction([&] {
        QVector<ProgramVersion> library;
        if (!readAll(&library))
            return false;
        const LibraryRules::DraftPlan plan = LibraryRules::add(library, program.number);
        if (!plan.allowed)
            return fail(plan.refusal);
        // The server stamps who and when itself on PostgreSQL.
        const SchemaSql::Values values = SchemaSql::Values()
                                             .set(P::number, program.number)
                                             .set(P::name, TestStore::notNull(name.trimmed()))
                                             .set(P::version, plan.newVersion)
                                             .set(P::state, LibraryRules::stateName(ProgramState::Draft))
                                             .set(P::program, QString::fromUtf8(ProgramFile::toJson(program)))
                                             .set(P::createdBy, AuditTrail::localUser())
                                             .set(P::createdAt, TestStore::timeText(QDateTime::currentDateTimeUtc()));
        if (!SchemaSql::insertNumbered(m_db, values, id, &m_error))
            return false;
        return writeParts(*id, LibraryRules::normalisedParts(parts));
    });
}

bool ProgramLibraryStore::edit(qint64 id, const TestProgram &program, const QString &name,
                               const QStringList &parts, qint64 *resultId)
{
    QVector<ProgramVersion> library;
    if (!readAll(&library))
        return false;
    const LibraryRules::DraftPlan plan = LibraryRules::edit(library, id, program.number);
    if (!plan.allowed)
        return fail(plan.refusal);
    if (!plan.draftId)
        return add(program, name, parts, resultId);
    return inTransaction([&] {
        // Read again under the lock: the draft may have been approved since.
        if (!readAll(&library))
            return false;
        const LibraryRules::DraftPlan locked = LibraryRules::edit(library, id, program.number);
        if (!locked.allowed || locked.draftId != id)
            return fail(locked.allowed ? tr("The draft was approved or retired meanwhile.") : locked.refusal);
        QSqlQuery update(m_db);
        if (!SchemaSql::Values()
                 .set(P::name, TestStore::notNull(name.trimmed()))
                 .set(P::program, QString::fromUtf8(ProgramFile::toJson(program)))
                 .prepare(&update, SchemaSql::updateStatement({P::name, P::program},
                                                              SchemaSql::name(P::id) + QStringLiteral(" = ?")),
                          {id})
            || !update.exec())
            return failQuery(update);
        *resultId = id;
        return writeParts(id, LibraryRules::normalisedParts(parts));
    });
}

bool ProgramLibraryStore::applyChanges(const QVector<LibraryRules::StateChange> &changes)
{
    const bool postgres = RecordsDatabase::isPostgres(m_db);
    for (const LibraryRules::StateChange &change : changes) {
        const bool approving = change.state == ProgramState::Approved;
        SchemaSql::Values values;
        values.set(P::state, LibraryRules::stateName(change.state));
        // The server stamps these itself on PostgreSQL.
        if (!postgres) {
            values.set(approving ? P::approvedBy : P::retiredBy, AuditTrail::localUser())
                .set(approving ? P::approvedAt : P::retiredAt, TestStore::timeText(QDateTime::currentDateTimeUtc()));
        }
        QSqlQuery update(m_db);
        if (!values.prepare(&update, SchemaSql::updateStatement(values.columns(),
                                                                SchemaSql::name(P::id) + QStringLiteral(" = ?")),
                            {change.id})
            || !update.exec())
            return failQuery(update);
    }
    return true;
}

bool ProgramLibraryStore::approve(qint64 id)
{
    return inTransaction([&] {
        QVector<ProgramVersion> library;
        if (!readAll(&library))
            return false;
        const LibraryRules::Transition transition = LibraryRules::approve(library, id);
        return transition.allowed ? applyChanges(transition.changes) : fail(transition.refusal);
    });
}

bool ProgramLibraryStore::retire(qint64 id)
{
    return inTransaction([&] {
        QVector<ProgramVersion> library;
        if (!readAll(&library))
            return false;
        const LibraryRules::Transition transition = LibraryRules::retire(library, id);
        return transition.allowed ? applyChanges(transition.changes) : fail(transition.refusal);
    });
}
