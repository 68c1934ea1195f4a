#pragma once

#include "verification/machineverification.h"

#include <QCoreApplication>

// The lab's settings for verifying its machines. They live in the records
// database (a lab shares them); these are the values before anyone set them.
struct VerificationSettings
{
    enum class Policy { Warn, Block };

    static constexpr double DefaultPermittedErrorPercent = 1.0;
    static constexpr int DefaultIntervalMonths = 12;

    double permittedErrorPercent = DefaultPermittedErrorPercent; // ± % of reading
    int intervalMonths = DefaultIntervalMonths;
    // What Start does on a station whose verification is overdue or failed.
    Policy policy = Policy::Warn;

    static QString policyName(Policy policy); // "warn", "block"
    static std::optional<Policy> policyFromName(const QString &name);
};

// A station's machine as its verifications leave it, and what that means for
// Start and for the springs it measured. Pure functions; the caller reads the
// verifications and the clock.
class VerificationRules
{
    Q_DECLARE_TR_FUNCTIONS(VerificationRules)

public:
    // A point is within the permitted error when |error| ≤ permitted, the
    // boundary included (a reading of exactly 1 % off passes ±1 %).
    static bool withinPermitted(const VerificationPoint &point, double permittedErrorPercent);
    // Pass when every point of the pass is within the permitted error; none
    // for a pass without points or with a point at reference 0.
    static std::optional<VerificationVerdict> verdictOf(const VerificationPass &pass,
                                                        double permittedErrorPercent);
    // The reference forces to apply: 20 %, 40 %, … 100 % of the machine's
    // range (its type, in N); none when the range is not known.
    static QVector<double> suggestedForces(int machineRange);

    static QDate nextDue(QDate performedOn, int intervalMonths);

    // Whether a verification may be stored, with the reason when not: a
    // station, a time, a due date after it, finite points, a verdict that
    // agrees with the points it was measured from, and a reference
    // instrument that was itself in calibration on the day.
    static bool validate(const MachineVerification &verification, QString *error);

    static QString verdictName(VerificationVerdict verdict); // "pass", "fail"
    static std::optional<VerificationVerdict> verdictFromName(const QString &name);

    enum class State { NotVerified, Valid, Overdue, Failed };

    // The verification in force at `at`: the latest performed by then. The
    // list is one station's, in any order.
    static std::optional<MachineVerification> inForce(const QVector<MachineVerification> &station,
                                                      const QDateTime &at);
    // Failed wins over overdue: a failed machine is not made fit by time.
    // The due date is the last day the verification holds.
    static State stateOf(const std::optional<MachineVerification> &inForce, QDate today);
    // The status bar's text: the state and its date.
    static QString stateText(State state, const std::optional<MachineVerification> &inForce);

    enum class Gate { Allowed, Warn, Block };
    // A station that was never verified starts as a bench without
    // verification records always has; overdue and failed follow the lab's
    // policy.
    static Gate startGate(State state, VerificationSettings::Policy policy);
    // What the operator is told when Start warns or is blocked.
    static QString startReason(State state, const std::optional<MachineVerification> &inForce);

    // The tests a verification that failed as found puts in doubt: those of
    // its station started from the last verification before it that left
    // the machine fit (or from the first test when there was none), until
    // the first verification from it on that did (the failed one itself when
    // it was adjusted and passed as left; open while none has).
    struct SuspectPeriod
    {
        QDateTime from;  // inclusive; invalid: since the station's first test
        QDateTime until; // exclusive; invalid: up to now
    };
    static std::optional<SuspectPeriod> suspectPeriod(const QVector<MachineVerification> &station,
                                                      qint64 failedId);
    // The latest verification of the station that failed as found.
    static std::optional<MachineVerification>
    latestFailedAsFound(const QVector<MachineVerification> &station);
};
