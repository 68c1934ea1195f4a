#include "records/writerefusal.h"

#include <QSqlError>
#include <QStringList>

namespace {

// SQLSTATE classes: data exception, integrity constraint violation, access
// rule violation (a privilege, a row-level policy), WITH CHECK OPTION, and a
// trigger's RAISE EXCEPTION.
const char *const PostgresRefusalClasses[] = {"22", "23", "42", "44", "P0"};

// SQLite's primary result codes (the low byte of an extended one):
// SQLITE_TOOBIG, SQLITE_CONSTRAINT (RAISE(ABORT) in a trigger too),
// SQLITE_MISMATCH, SQLITE_RANGE.
constexpr int SqliteRefusalCodes[] = {18, 19, 20, 25};
constexpr int SqlitePrimaryMask = 0xff;

} // namespace

bool WriteRefusal::refusesTheRows(bool postgres, const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    if (code.isEmpty())
        return false;
    if (postgres) {
        for (const char *refusal : PostgresRefusalClasses) {
            if (code.startsWith(QLatin1String(refusal)))
                return true;
        }
        return false;
    }
    bool numeric = false;
    const int primary = code.toInt(&numeric) & SqlitePrimaryMask;
    if (!numeric)
        return false;
    for (int refusal : SqliteRefusalCodes) {
        if (primary == refusal)
            return true;
    }
    return false;
}
