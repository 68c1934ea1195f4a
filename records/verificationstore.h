#pragma once

#include "records/historyfilter.h"
#include "verification/verificationrules.h"

#include <QCoreApplication>
#include <QSqlDatabase>

class QSqlQuery;

// A test the failed verification puts in doubt.
struct SuspectTest
{
    qint64 id = 0;
    QDateTime startedAt;
    QString partNumber;
    QString batch;
    QString serialNumber;
};

// The machines' verifications in the records database (`verifications`,
// `verification_points`), the lab's verification settings (`lab_settings`)
// and the tests a failed verification puts in doubt. A verification on
// record is never changed or deleted (the database refuses it); on
// PostgreSQL the server stamps who recorded it and when.
class VerificationStore
{
    Q_DECLARE_TR_FUNCTIONS(VerificationStore)

public:
    explicit VerificationStore(const QSqlDatabase &db);

    // Checked by VerificationRules::validate, then written whole in one
    // transaction.
    bool add(const MachineVerification &verification, qint64 *id);
    // The verifications made under any of the names, oldest first, with
    // their points.
    bool readStation(const QStringList &stations, QVector<MachineVerification> *verifications);
    // The names a station is on record under, for matching its tests and
    // verifications: today the one given (the tests carry the host name).
    bool stationNames(const QString &station, QStringList *names);
    // The station's tests started in the period, oldest first.
    bool suspects(const QStringList &stations, const VerificationRules::SuspectPeriod &period,
                  QVector<SuspectTest> *tests);

    // Every verification that failed as found, newest first.
    bool failedAsFound(QVector<MachineVerification> *verifications);
    // The History filter of a failed verification's suspects.
    static HistoryFilter suspectFilter(const QStringList &stations,
                                       const VerificationRules::SuspectPeriod &period);

    // The lab's settings; those never set keep their defaults.
    bool readSettings(VerificationSettings *settings);
    bool writeSettings(const VerificationSettings &settings);

    QString lastError() const { return m_error; }

private:
    bool fail(const QString &why);
    bool failQuery(const QSqlQuery &query);
    bool readPoints(QVector<MachineVerification> *verifications);

    QSqlDatabase m_db;
    QString m_error;
};
