#include "records/programlibrarystore.h"

#include "evaluation/programfile.h"
#include "records/recordsdatabase.h"
#include "records/teststore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

const QString Columns = QStringLiteral(
    "id, number, name, version, state, program, created_by, created_at, approved_by, approved_at, "
    "retired_by, retired_at");

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
    query.prepare(QStringLiteral("SELECT %1 FROM programs %2 ORDER BY number, version").arg(Columns, condition));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return failQuery(query);
    QVector<ProgramVersion> found;
    while (query.next()) {
        ProgramVersion v;
        v.id = query.value(0).toLongLong();
        v.number = query.value(1).toInt();
        v.name = query.value(2).toString();
        v.version = query.value(3).toInt();
        const std::optional<ProgramState> state = LibraryRules::stateFromName(query.value(4).toString());
        if (!state)
            return fail(tr("Program version %1 has an unknown state.").arg(v.id));
        v.state = *state;
        v.programJson = query.value(5).toString().toUtf8();
        v.createdBy = query.value(6).toString();
        v.createdAt = timeOf(query.value(7));
        v.approvedBy = query.value(8).toString();
        v.approvedAt = timeOf(query.value(9));
        v.retiredBy = query.value(10).toString();
        v.retiredAt = timeOf(query.value(11));
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
    if (!parts.exec(QStringLiteral("SELECT program_id, part_number FROM program_parts ORDER BY part_number")))
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
    return readWhere(QStringLiteral("WHERE id IN (SELECT program_id FROM program_parts WHERE part_number = ?)"),
                     {LibraryRules::normalisedPart(part)}, versions);
}

std::optional<ProgramVersion> ProgramLibraryStore::read(qint64 id)
{
    QVector<ProgramVersion> versions;
    if (!readWhere(QStringLiteral("WHERE id = ?"), {id}, &versions) || versions.isEmpty())
        return std::nullopt;
    return versions.first();
}

bool ProgramLibraryStore::isEmpty(bool *empty)
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM programs")) || !query.next())
        return failQuery(query);
    *empty = query.value(0).toLongLong() == 0;
    return true;
}

bool ProgramLibraryStore::inTransaction(const std::function<bool()> &work)
{
    // The write lock first: the rules read the library as no one else can
    // change it until this commits.
    return RecordsDatabase::inTransaction(
        m_db, QStringLiteral("LOCK TABLE programs IN SHARE ROW EXCLUSIVE MODE"),
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
    remove.prepare(QStringLiteral("DELETE FROM program_parts WHERE program_id = ?"));
    remove.addBindValue(id);
    if (!remove.exec())
        return failQuery(remove);
    for (const QString &part : parts) {
        QSqlQuery insert(m_db);
        insert.prepare(QStringLiteral("INSERT INTO program_parts (program_id, part_number) VALUES (?, ?)"));
        insert.addBindValue(id);
        insert.addBindValue(part);
        if (!insert.exec())
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
        const bool postgres = RecordsDatabase::isPostgres(m_db);
        QSqlQuery insert(m_db);
        insert.prepare(QStringLiteral("INSERT INTO programs (number, name, version, state, program, "
                                      "created_by, created_at) VALUES (?, ?, ?, 'draft', ?, ?, ?)%1")
                           .arg(postgres ? QStringLiteral(" RETURNING id") : QString()));
        insert.addBindValue(program.number);
        insert.addBindValue(TestStore::notNull(name.trimmed()));
        insert.addBindValue(plan.newVersion);
        insert.addBindValue(QString::fromUtf8(ProgramFile::toJson(program)));
        // The server stamps these itself on PostgreSQL.
        insert.addBindValue(RecordsDatabase::localUserName());
        insert.addBindValue(TestStore::timeText(QDateTime::currentDateTimeUtc()));
        if (!insert.exec())
            return failQuery(insert);
        const QVariant key = postgres ? (insert.next() ? insert.value(0) : QVariant()) : insert.lastInsertId();
        if (!key.isValid())
            return fail(tr("The database gave no id for the new program version."));
        *id = key.toLongLong();
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
        update.prepare(QStringLiteral("UPDATE programs SET name = ?, program = ? WHERE id = ?"));
        update.addBindValue(TestStore::notNull(name.trimmed()));
        update.addBindValue(QString::fromUtf8(ProgramFile::toJson(program)));
        update.addBindValue(id);
        if (!update.exec())
            return failQuery(update);
        *resultId = id;
        return writeParts(id, LibraryRules::normalisedParts(parts));
    });
}

bool ProgramLibraryStore::applyChanges(const QVector<LibraryRules::StateChange> &changes)
{
    const bool postgres = RecordsDatabase::isPostgres(m_db);
    for (const LibraryRules::StateChange &change : changes) {
        QSqlQuery update(m_db);
        const QString stamp = change.state == ProgramState::Approved ? QStringLiteral("approved")
                                                                     : QStringLiteral("retired");
        if (postgres) {
            update.prepare(QStringLiteral("UPDATE programs SET state = ? WHERE id = ?"));
            update.addBindValue(LibraryRules::stateName(change.state));
        } else {
            update.prepare(QStringLiteral("UPDATE programs SET state = ?, %1_by = ?, %1_at = ? WHERE id = ?").arg(stamp));
            update.addBindValue(LibraryRules::stateName(change.state));
            update.addBindValue(RecordsDatabase::localUserName());
            update.addBindValue(TestStore::timeText(QDateTime::currentDateTimeUtc()));
        }
        update.addBindValue(change.id);
        if (!update.exec())
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
