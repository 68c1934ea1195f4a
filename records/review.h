#pragma once

#include "records/databaseconfig.h"

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

// The identity fields a reviewer may amend.
inline const QString PartNumber = QStringLiteral("part_number");
inline const QString Batch = QStringLiteral("batch");
inline const QString SerialNumber = QStringLiteral("serial_number");
QStringList amendableFields();

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

// Who signs on this database: PostgreSQL's login, or on SQLite the
// computer's login name.
QString signerName(const DatabaseConfig &config);
// Whether a signature is confirmed by a password the server checks.
inline bool checksPassword(const DatabaseConfig &config) { return config.engine == DatabaseConfig::PostgreSQL; }

// Signs the tests, all at one time, as the configuration's login. On
// PostgreSQL the password is checked by the server through a connection
// of its own that writes the signatures (21 CFR 11.200: the signer enters
// it at each signing); a server that let the login in without asking for
// it refuses the signature. On SQLite the computer's login signs and no
// password is asked. False with the reason, and nothing signed, on failure.
bool sign(const DatabaseConfig &config, const QString &password, const QList<qint64> &tests,
          const QString &meaning, const QString &comment, QString *error);

// Corrects one identity field of a test, on the given connection (the
// reviewer's login); the reason is required.
bool amend(QSqlDatabase db, qint64 testId, const QString &field, const QString &newValue,
           const QString &reason, QString *error);

// The signatures and amendments of one test, oldest first.
bool signaturesOf(const QSqlDatabase &db, qint64 testId, QVector<Signature> *signatures, QString *error);
bool amendmentsOf(const QSqlDatabase &db, qint64 testId, QVector<Amendment> *amendments, QString *error);

} // namespace RecordsReview
