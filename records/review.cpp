#include "records/review.h"

#include "records/recordsdatabase.h"
#include "records/serverconnection.h"
#include "records/teststore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace RecordsReview {

namespace {

const char SigningConnection[] = "torvelin-records-signing";

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordsReview", text);
}

QDateTime timeOf(const QVariant &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

bool insertSignatures(QSqlDatabase &db, const QList<qint64> &tests, const QString &signer,
                      const QString &meaning, const QString &comment, QString *error)
{
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    // On PostgreSQL the server writes the signer and the time itself.
    const QString at = TestStore::timeText(QDateTime::currentDateTimeUtc());
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO signatures (test_id, db_user, at, meaning, comment) "
                                 "VALUES (?, ?, ?, ?, ?)"));
    for (qint64 test : tests) {
        query.addBindValue(test);
        query.addBindValue(signer);
        query.addBindValue(at);
        query.addBindValue(meaning);
        query.addBindValue(comment.isNull() ? QStringLiteral("") : comment);
        if (!query.exec()) {
            *error = query.lastError().text();
            db.rollback();
            return false;
        }
    }
    if (db.commit())
        return true;
    *error = db.lastError().text();
    db.rollback();
    return false;
}

} // namespace

QStringList meanings()
{
    return {Reviewed, Approved, Rejected};
}

QStringList amendableFields()
{
    return {PartNumber, Batch, SerialNumber};
}

QString signerName(const DatabaseConfig &config)
{
    return config.engine == DatabaseConfig::PostgreSQL ? config.user : RecordsDatabase::computerLogin();
}

bool sign(const DatabaseConfig &config, const QString &password, const QList<qint64> &tests,
          const QString &meaning, const QString &comment, QString *error)
{
    if (tests.isEmpty() || !meanings().contains(meaning)) {
        *error = tr("Nothing to sign.");
        return false;
    }
    DatabaseConfig signer = config;
    if (checksPassword(config)) {
        if (password.isEmpty()) {
            *error = tr("A signature needs the signer's password.");
            return false;
        }
        // The password typed now, never one remembered or in a password
        // file: libpq reads those only when it is given none.
        signer.password = password;
    }
    if (!RecordsDatabase::open(signer, QLatin1String(SigningConnection), error))
        return false;
    bool signedAll = false;
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(SigningConnection), false);
        if (checksPassword(config) && !ServerConnection::usedPassword(db)) {
            *error = tr("The server let %1 in without checking the password (its pg_hba.conf "
                        "trusts this connection); a signature needs password authentication.")
                         .arg(config.user);
        } else {
            signedAll = insertSignatures(db, tests, signerName(config), meaning, comment, error);
        }
    }
    RecordsDatabase::close(QLatin1String(SigningConnection));
    return signedAll;
}

bool amend(QSqlDatabase db, qint64 testId, const QString &field, const QString &newValue,
           const QString &reason, QString *error)
{
    if (!amendableFields().contains(field) || reason.trimmed().isEmpty()) {
        *error = tr("An amendment needs a field and a reason.");
        return false;
    }
    QSqlQuery current(db);
    current.prepare(QStringLiteral("SELECT %1 FROM tests WHERE id = ?").arg(field));
    current.addBindValue(testId);
    if (!current.exec() || !current.next()) {
        *error = current.lastError().isValid() ? current.lastError().text()
                                               : tr("There is no test %1.").arg(testId);
        return false;
    }
    const QString oldValue = current.value(0).toString();
    current.finish();
    // On PostgreSQL the server writes who, when and the value before.
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO amendments (test_id, db_user, at, field, old_value, "
                                 "new_value, reason) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(testId);
    query.addBindValue(RecordsDatabase::computerLogin());
    query.addBindValue(TestStore::timeText(QDateTime::currentDateTimeUtc()));
    query.addBindValue(field);
    query.addBindValue(oldValue);
    query.addBindValue(newValue.isNull() ? QStringLiteral("") : newValue);
    query.addBindValue(reason.trimmed());
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

bool signaturesOf(const QSqlDatabase &db, qint64 testId, QVector<Signature> *signatures, QString *error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT db_user, at, meaning, comment FROM signatures WHERE test_id = ? "
                                 "ORDER BY id"));
    query.addBindValue(testId);
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    signatures->clear();
    while (query.next()) {
        signatures->append({testId, query.value(0).toString(), timeOf(query.value(1)),
                            query.value(2).toString(), query.value(3).toString()});
    }
    return true;
}

bool amendmentsOf(const QSqlDatabase &db, qint64 testId, QVector<Amendment> *amendments, QString *error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT db_user, at, field, old_value, new_value, reason FROM amendments "
                                 "WHERE test_id = ? ORDER BY id"));
    query.addBindValue(testId);
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    amendments->clear();
    while (query.next()) {
        amendments->append({testId, query.value(0).toString(), timeOf(query.value(1)),
                            query.value(2).toString(), query.value(3).toString(),
                            query.value(4).toString(), query.value(5).toString()});
    }
    return true;
}

} // namespace RecordsReview
