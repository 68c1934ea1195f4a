#include "records/review.h"

#include "records/audittrail.h"
#include "records/recordsdatabase.h"
#include "records/schemasql.h"
#include "records/serverconnection.h"
#include "records/teststore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <functional>

namespace RecordsReview {

namespace {

namespace S = Schema::Signatures;
namespace M = Schema::Amendments;

const char SignerConnection[] = "torvelin-records-signer";

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordsReview", text);
}

// Qt binds a null string as NULL; these columns hold "" for "none".
QString notNull(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

// Runs `act` in one transaction on a connection of the signer's own. The
// query outlives the rollback: PostgreSQL refuses to free a prepared
// statement in a failed transaction.
bool asSigner(const DatabaseConfig &config, const Signer &signer,
              const std::function<bool(QSqlQuery &, QString *)> &act, QString *error)
{
    DatabaseConfig login = config;
    if (checksPassword(config)) {
        if (signer.login.trimmed().isEmpty() || signer.password.isEmpty()) {
            *error = tr("Signing needs the signer's login and password.");
            return false;
        }
        login.user = signer.login.trimmed();
        login.password = signer.password;
    }
    if (!RecordsDatabase::open(login, QLatin1String(SignerConnection), error))
        return false;
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(SignerConnection), false);
        QSqlQuery query(db);
        if (checksPassword(config) && !ServerConnection::usedPassword(db)) {
            *error = tr("The server let %1 in without checking the password (its pg_hba.conf trusts this "
                        "connection); signing needs password authentication.")
                         .arg(login.user);
        } else if (!db.transaction()) {
            *error = db.lastError().text();
        } else if (!act(query, error)) {
            db.rollback();
        } else if (!db.commit()) {
            *error = db.lastError().text();
            db.rollback();
        } else {
            done = true;
        }
    }
    RecordsDatabase::close(QLatin1String(SignerConnection));
    return done;
}

} // namespace

QStringList meanings()
{
    return {Reviewed, Approved, Rejected};
}

QString meaningText(const QString &meaning)
{
    if (meaning == Reviewed)
        return tr("Reviewed");
    if (meaning == Approved)
        return tr("Approved");
    if (meaning == Rejected)
        return tr("Rejected");
    return meaning;
}

QStringList amendableFields()
{
    return {PartNumber, Batch, SerialNumber};
}

QString fieldText(const QString &field)
{
    if (field == PartNumber)
        return tr("Part number");
    if (field == Batch)
        return tr("Batch");
    if (field == SerialNumber)
        return tr("Serial number");
    return field;
}

QString signerName(const DatabaseConfig &config)
{
    return checksPassword(config) ? config.user : AuditTrail::localUser();
}

bool sign(const DatabaseConfig &config, const Signer &signer, const QList<qint64> &tests,
          const QString &meaning, const QString &comment, QString *error)
{
    if (tests.isEmpty() || !meanings().contains(meaning)) {
        *error = tr("Nothing to sign.");
        return false;
    }
    // On PostgreSQL the server writes the signer and the time itself.
    const QString who = AuditTrail::localUser();
    const QString at = TestStore::timeText(QDateTime::currentDateTimeUtc());
    return asSigner(
        config, signer,
        [&](QSqlQuery &query, QString *why) {
            SchemaSql::Values row;
            row.set(S::testId, 0).set(S::dbUser, who).set(S::at, at).set(S::meaning, meaning).set(S::comment,
                                                                                                  notNull(comment));
            if (!query.prepare(SchemaSql::insertStatement(row.columns()))) {
                *why = query.lastError().text();
                return false;
            }
            for (qint64 test : tests) {
                query.bindValue(0, test);
                for (int i = 1; i < row.values().size(); ++i)
                    query.bindValue(i, row.values().at(i));
                if (!query.exec()) {
                    *why = query.lastError().text();
                    return false;
                }
            }
            return true;
        },
        error);
}

bool amend(const DatabaseConfig &config, const Signer &signer, qint64 testId, const QString &field,
           const QString &newValue, const QString &reason, QString *error)
{
    if (!amendableFields().contains(field) || reason.trimmed().isEmpty()) {
        *error = tr("An amendment needs a field and a reason.");
        return false;
    }
    return asSigner(
        config, signer,
        [&](QSqlQuery &current, QString *why) {
            current.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                .arg(SchemaSql::name(qPrintable(field)), SchemaSql::name(Schema::Tests::Table),
                                     SchemaSql::name(Schema::Tests::id)));
            current.addBindValue(testId);
            if (!current.exec() || !current.next()) {
                *why = current.lastError().isValid() ? current.lastError().text()
                                                     : tr("There is no test %1.").arg(testId);
                return false;
            }
            // On PostgreSQL the server writes who, when and the value before.
            SchemaSql::Values row;
            row.set(M::testId, testId)
                .set(M::dbUser, AuditTrail::localUser())
                .set(M::at, TestStore::timeText(QDateTime::currentDateTimeUtc()))
                .set(M::field, field)
                .set(M::oldValue, notNull(current.value(0).toString()))
                .set(M::newValue, notNull(newValue))
                .set(M::reason, reason.trimmed());
            if (row.prepare(&current, SchemaSql::insertStatement(row.columns())) && current.exec())
                return true;
            *why = current.lastError().text();
            return false;
        },
        error);
}

} // namespace RecordsReview
