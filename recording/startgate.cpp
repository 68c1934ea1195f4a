#include "recording/startgate.h"

#include "programlibrary/libraryrules.h"
#include "records/programlibrarystore.h"
#include "records/recordsdatabase.h"
#include "records/verificationstore.h"

namespace {

StartGate::Verdict verdictOf(VerificationRules::Gate gate)
{
    switch (gate) {
    case VerificationRules::Gate::Warn:
        return StartGate::Verdict::Warn;
    case VerificationRules::Gate::Block:
        return StartGate::Verdict::Block;
    case VerificationRules::Gate::Allowed:
        break;
    }
    return StartGate::Verdict::Allowed;
}

// Both reasons reach the operator; the stricter verdict wins.
void add(StartGate::Decision *decision, StartGate::Verdict verdict, const QString &reason)
{
    if (verdict == StartGate::Verdict::Allowed)
        return;
    decision->verdict = std::max(decision->verdict, verdict);
    decision->reason = decision->reason.isEmpty() ? reason : decision->reason + QStringLiteral("\n\n") + reason;
}

} // namespace

bool StartGate::readPart(const QString &part, QString *error)
{
    QString why;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&why);
    QVector<ProgramVersion> versions;
    if (db.isValid()) {
        ProgramLibraryStore store(db);
        if (store.readForPart(part, &versions)) {
            m_part = part;
            m_partVersions = versions;
            return true;
        }
        why = store.lastError();
    }
    if (error)
        *error = why;
    return false;
}

std::optional<ProgramVersion> StartGate::approvedFor(const QString &typed, QString *error)
{
    const QString part = LibraryRules::normalisedPart(typed);
    if (part.isEmpty() || !readPart(part, error))
        return std::nullopt;
    return LibraryRules::approvedFor(m_partVersions, part);
}

bool StartGate::readVerification(const QString &station, QString *error)
{
    QString why;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&why);
    if (db.isValid()) {
        VerificationStore store(db);
        QStringList names;
        QVector<MachineVerification> verifications;
        VerificationSettings settings;
        if (store.stationNames(station, &names) && store.readStation(names, &verifications)
            && store.readSettings(&settings)) {
            m_station = station;
            m_verifications = verifications;
            m_settings = settings;
            return true;
        }
        why = store.lastError();
    }
    if (error)
        *error = why;
    return false;
}

std::optional<MachineVerification> StartGate::verificationInForce(const QDateTime &now) const
{
    return VerificationRules::inForce(m_verifications, now);
}

VerificationRules::State StartGate::verificationState(const QDateTime &now) const
{
    return VerificationRules::stateOf(verificationInForce(now), now.toLocalTime().date());
}

QString StartGate::verificationText(const QDateTime &now) const
{
    return VerificationRules::stateText(verificationState(now), verificationInForce(now));
}

StartGate::Decision StartGate::check(const QString &typed, const LibraryChoice &chosen,
                                     const QString &station, const QDateTime &now)
{
    Decision decision;
    const QString part = LibraryRules::normalisedPart(typed);
    QString error;
    if (!part.isEmpty()) {
        if (readPart(part, &error) || part == m_part) {
            QString reason;
            if (!LibraryRules::mayStart(m_partVersions, part, chosen, &reason))
                add(&decision, Verdict::Block, reason);
        } else if (!chosen.fromLibrary()) {
            add(&decision, Verdict::Warn,
                tr("The program library cannot be read (%1): whether part %2 needs another program "
                   "is not checked.")
                    .arg(error, part));
        }
    }

    // A station never read (the database down since the program started) is
    // judged as never verified, as a bench without verification records is.
    if (readVerification(station) || station == m_station) {
        const std::optional<MachineVerification> inForce = verificationInForce(now);
        const VerificationRules::State state = verificationState(now);
        decision.verificationId = inForce ? inForce->id : 0;
        add(&decision, verdictOf(VerificationRules::startGate(state, m_settings.policy)),
            VerificationRules::startReason(state, inForce));
    }
    return decision;
}
