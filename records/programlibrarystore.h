#pragma once

#include "evaluation/testprogram.h"
#include "programlibrary/libraryrules.h"

#include <QCoreApplication>
#include <QSqlDatabase>

#include <functional>
#include <optional>

class QSqlQuery;

// The program library in the records database (tables `programs` and
// `program_parts`, docs/records.md). Every change reads the library and
// asks LibraryRules inside one transaction that holds the library's write
// lock, so two stations approving at the same moment cannot both succeed.
// On PostgreSQL the server itself stamps who made, approved and retired a
// version and when, and refuses deleting one or changing one that is no
// longer a draft; on SQLite the program stamps them with the computer's
// user and clock.
class ProgramLibraryStore
{
    Q_DECLARE_TR_FUNCTIONS(ProgramLibraryStore)

public:
    explicit ProgramLibraryStore(const QSqlDatabase &db);

    // Every version, by number and version. A lab's library is hundreds of
    // rows, read whole.
    bool readAll(QVector<ProgramVersion> *versions);
    // The versions that list the part (any state): what the Start rule and
    // the part number's choice need.
    bool readForPart(const QString &part, QVector<ProgramVersion> *versions);
    std::optional<ProgramVersion> read(qint64 id);
    // Whether the library holds any version (a bench without one works as
    // it always has).
    bool isEmpty(bool *empty);

    // A new draft: the next version of the program's number. *id is the new
    // version's.
    bool add(const TestProgram &program, const QString &name, const QStringList &parts, qint64 *id);
    // The version `id` changed: a draft in place, otherwise a new draft;
    // *resultId is the draft's.
    bool edit(qint64 id, const TestProgram &program, const QString &name, const QStringList &parts,
              qint64 *resultId);
    bool approve(qint64 id);
    bool retire(qint64 id);

    QString lastError() const { return m_error; }

    // The program a version keeps, as its file would hold it.
    static bool programOf(const ProgramVersion &version, TestProgram *program, QString *error);

private:
    bool inTransaction(const std::function<bool()> &work);
    bool readWhere(const QString &condition, const QVariantList &values, QVector<ProgramVersion> *versions);
    bool writeParts(qint64 id, const QStringList &parts);
    bool applyChanges(const QVector<LibraryRules::StateChange> &changes);
    bool fail(const QString &why);
    bool failQuery(const QSqlQuery &query);

    QSqlDatabase m_db;
    QString m_error;
};
