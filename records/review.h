#pragma once

#include "records/databaseconfig.h"
#include "records/schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// What a reviewer adds to the records: signatures with a meaning, and
// amendments that correct a test's identity with a reason. Neither ever
// overwrites: the database keeps every signature and every amendment, and
// the audit trail the value before.
namespace RecordsReview {

// The meanings a signature carries, as the database stores them.
inline const QString Reviewed = QStringLiteral("reviewed");
inline const QString Approved = QStringLiteral("approved");
inline const QString Rejected = QStringLiteral("rejected");
QStringList meanings();
// A meaning as a person reads it ("Approved"), translated.
QString meaningText(const QString &meaning);

// The identity fields a reviewer may amend: their columns' names.
inline const QString PartNumber = Schema::Tests::partNumber.nameText();
inline const QString Batch = Schema::Tests::batch.nameText();
inline const QString SerialNumber = Schema::Tests::serialNumber.nameText();
QStringList amendableFields();
// A field as a person reads it ("Serial number"), translated.
QString fieldText(const QString &field);

struct Signature
{
    qint64 testId = 0;
    QString signer;      // the login (PostgreSQL) or the computer's login (SQLite)
    QDateTime at;        // UTC
    QString meaning;
    QString comment;
};

struct Amendment
{
    qint64 testId = 0;
    QString signer;
    QDateTime at;
    QString field;
    QString oldValue;
    QString newValue;
    QString reason;
};

// Who is at the keyboard on this database: PostgreSQL's login, or on
// SQLite the computer's login name.
QString signerName(const DatabaseConfig &config);
// Whether signing and amending are confirmed by a password the server
// checks (PostgreSQL); a bench's file takes the computer's login as it is.
inline bool checksPassword(const DatabaseConfig &config) { return config.engine == DatabaseConfig::PostgreSQL; }

// Who signs or amends, with the password typed for this one act (21 CFR
// 11.200: both parts of the identity at each signing). On PostgreSQL the
// server checks it through a connection of its own, opened for the act
// and closed after it, never the station's connection or a remembered or
// password-file password; a server that let the login in without asking
// refuses the act. On SQLite the computer's login acts and no password is
// asked.
struct Signer
{
    QString login;
    QString password;
};

// Signs the tests, all at one time. False with the reason, and nothing
// signed, on failure.
bool sign(const DatabaseConfig &config, const Signer &signer, const QList<qint64> &tests,
          const QString &meaning, const QString &comment, QString *error);

// Corrects one identity field of a test; the reason is required. The
// database keeps the value before, applies the new one and writes the
// change with its reason into the trail.
bool amend(const DatabaseConfig &config, const Signer &signer, qint64 testId, const QString &field,
           const QString &newValue, const QString &reason, QString *error);

// A test's signatures and amendments are read with it
// (RecordQueries::loadTest, StoredTest).

} // namespace RecordsReview
