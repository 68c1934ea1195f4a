#pragma once

#include "programlibrary/programversion.h"
#include "verification/verificationrules.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QVector>

#include <optional>

// What Start may do on this station for this spring, asked just before the
// start command goes to the machine: whether the chosen program is the one
// the library approved for the part, and whether the machine's verification
// is in force. It reads the records database each time, because another
// station may have approved a new version or recorded a verification since;
// when the database cannot be read, what it read last for the same part and
// station stands, and a part it never read warns rather than passes
// silently. No widgets: the window (or whoever runs the test) shows the
// reason.
class StartGate
{
    Q_DECLARE_TR_FUNCTIONS(StartGate)

public:
    enum class Verdict { Allowed, Warn, Block };
    struct Decision
    {
        Verdict verdict = Verdict::Allowed;
        QString reason;            // for the operator, when it warns or blocks
        qint64 verificationId = 0; // the verification in force, for the record
    };

    // The approved version for a part as typed or scanned; none when the
    // library has none for it or cannot be read (*error says why).
    std::optional<ProgramVersion> approvedFor(const QString &part, QString *error = nullptr);

    // Reads the station's verifications and the lab's settings again; false
    // with *error when the database cannot be read (the last read stands).
    bool readVerification(const QString &station, QString *error = nullptr);
    VerificationRules::State verificationState(const QDateTime &now) const;
    std::optional<MachineVerification> verificationInForce(const QDateTime &now) const;
    // The status bar's text: the state and its date.
    QString verificationText(const QDateTime &now) const;

    // Start with `chosen` for a spring of `part` on `station` at `now`.
    Decision check(const QString &part, const LibraryChoice &chosen, const QString &station,
                   const QDateTime &now);

private:
    bool readPart(const QString &part, QString *error);

    QString m_part; // normalised; the versions below list it
    QVector<ProgramVersion> m_partVersions;
    QString m_station;
    QVector<MachineVerification> m_verifications;
    VerificationSettings m_settings;
};
