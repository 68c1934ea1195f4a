#include "verification/verificationrules.h"

#include <algorithm>
#include <cmath>

namespace {

// A relative error computed from two readings carries rounding in its last
// bits: 101 N against 100 N comes out a hair above 1 %. Far below any
// instrument's resolution.
constexpr double BoundarySlackPercent = 1e-9;

constexpr double SuggestedShares[] = {0.2, 0.4, 0.6, 0.8, 1.0};

bool allFinite(const QVector<VerificationPoint> &points)
{
    return std::all_of(points.begin(), points.end(), [](const VerificationPoint &point) {
        return std::isfinite(point.reference) && std::isfinite(point.indicated);
    });
}

bool earlier(const MachineVerification &a, const MachineVerification &b)
{
    if (a.performedAt != b.performedAt)
        return a.performedAt < b.performedAt;
    return a.id < b.id;
}

QVector<MachineVerification> inTimeOrder(QVector<MachineVerification> station)
{
    std::sort(station.begin(), station.end(), earlier);
    return station;
}

QString localDay(const QDateTime &utc)
{
    return utc.toLocalTime().date().toString(Qt::ISODate);
}

} // namespace

std::optional<double> VerificationPoint::errorPercent() const
{
    if (reference == 0)
        return std::nullopt;
    return (indicated - reference) / reference * 100.0;
}

QString VerificationSettings::policyName(Policy policy)
{
    return policy == Policy::Block ? QStringLiteral("block") : QStringLiteral("warn");
}

std::optional<VerificationSettings::Policy> VerificationSettings::policyFromName(const QString &name)
{
    if (name == QLatin1String("warn"))
        return Policy::Warn;
    if (name == QLatin1String("block"))
        return Policy::Block;
    return std::nullopt;
}

bool VerificationRules::withinPermitted(const VerificationPoint &point, double permittedErrorPercent)
{
    const std::optional<double> error = point.errorPercent();
    return error && std::fabs(*error) <= permittedErrorPercent + BoundarySlackPercent;
}

std::optional<VerificationVerdict> VerificationRules::verdictOf(const VerificationPass &pass,
                                                                double permittedErrorPercent)
{
    if (pass.isEmpty())
        return std::nullopt;
    bool passed = true;
    for (const QVector<VerificationPoint> *points : {&pass.force, &pass.distance}) {
        for (const VerificationPoint &point : *points) {
            if (!point.errorPercent())
                return std::nullopt;
            passed = passed && withinPermitted(point, permittedErrorPercent);
        }
    }
    return passed ? VerificationVerdict::Pass : VerificationVerdict::Fail;
}

QVector<double> VerificationRules::suggestedForces(int machineRange)
{
    QVector<double> forces;
    if (machineRange <= 0)
        return forces;
    for (double share : SuggestedShares)
        forces << share * machineRange;
    return forces;
}

QDate VerificationRules::nextDue(QDate performedOn, int intervalMonths)
{
    return performedOn.addMonths(intervalMonths);
}

bool VerificationRules::validate(const MachineVerification &v, QString *error)
{
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (v.station.trimmed().isEmpty())
        return refuse(tr("A verification needs the station it was made on."));
    if (!v.performedAt.isValid())
        return refuse(tr("A verification needs the time it was made."));
    if (!std::isfinite(v.permittedErrorPercent) || v.permittedErrorPercent <= 0)
        return refuse(tr("The permitted error must be a percentage above 0."));
    const QDate performedOn = v.performedAt.toLocalTime().date();
    if (!v.nextDue.isValid() || v.nextDue <= performedOn)
        return refuse(tr("The next due date must come after the verification."));
    if (v.reference.dueDate.isValid() && v.reference.dueDate < performedOn) {
        return refuse(tr("The reference instrument's own calibration ran out on %1, before "
                         "the verification.")
                          .arg(v.reference.dueDate.toString(Qt::ISODate)));
    }
    const struct
    {
        const VerificationPass &pass;
        std::optional<VerificationVerdict> verdict;
        QString name;
    } passes[] = {{v.asFound, v.asFoundVerdict, tr("as found")},
                  {v.asLeft, v.asLeftVerdict, tr("as left")}};
    for (const auto &pass : passes) {
        if (!allFinite(pass.pass.force) || !allFinite(pass.pass.distance))
            return refuse(tr("A point %1 is not a number.").arg(pass.name));
        if (pass.pass.isEmpty())
            continue;
        const std::optional<VerificationVerdict> measured = verdictOf(pass.pass, v.permittedErrorPercent);
        if (!measured)
            return refuse(tr("A reference point %1 is 0: its error cannot be judged.").arg(pass.name));
        if (pass.verdict != measured) {
            const QString why = *measured == VerificationVerdict::Pass
                                    ? tr("The points %1 are all within ±%2 %, but the verdict given is not pass.")
                                    : tr("The points %1 are not all within ±%2 %, but the verdict given is not fail.");
            return refuse(why.arg(pass.name).arg(v.permittedErrorPercent));
        }
    }
    return true;
}

QString VerificationRules::verdictName(VerificationVerdict verdict)
{
    return verdict == VerificationVerdict::Pass ? QStringLiteral("pass") : QStringLiteral("fail");
}

std::optional<VerificationVerdict> VerificationRules::verdictFromName(const QString &name)
{
    if (name == QLatin1String("pass"))
        return VerificationVerdict::Pass;
    if (name == QLatin1String("fail"))
        return VerificationVerdict::Fail;
    return std::nullopt;
}

std::optional<MachineVerification> VerificationRules::inForce(const QVector<MachineVerification> &station,
                                                              const QDateTime &at)
{
    std::optional<MachineVerification> found;
    for (const MachineVerification &v : station) {
        if (v.performedAt <= at && (!found || earlier(*found, v)))
            found = v;
    }
    return found;
}

VerificationRules::State VerificationRules::stateOf(const std::optional<MachineVerification> &inForce,
                                                    QDate today)
{
    if (!inForce)
        return State::NotVerified;
    if (inForce->finalVerdict() == VerificationVerdict::Fail)
        return State::Failed;
    if (!inForce->nextDue.isValid() || today > inForce->nextDue)
        return State::Overdue;
    return State::Valid;
}

QString VerificationRules::stateText(State state, const std::optional<MachineVerification> &inForce)
{
    switch (state) {
    case State::NotVerified:
        return tr("Machine not verified");
    case State::Valid:
        return tr("Machine verified, due %1").arg(inForce->nextDue.toString(Qt::ISODate));
    case State::Overdue:
        return tr("Machine verification overdue since %1").arg(inForce->nextDue.toString(Qt::ISODate));
    case State::Failed:
        return tr("Machine verification failed on %1").arg(localDay(inForce->performedAt));
    }
    return QString();
}

VerificationRules::Gate VerificationRules::startGate(State state, VerificationSettings::Policy policy)
{
    if (state == State::NotVerified || state == State::Valid)
        return Gate::Allowed;
    return policy == VerificationSettings::Policy::Block ? Gate::Block : Gate::Warn;
}

QString VerificationRules::startReason(State state, const std::optional<MachineVerification> &inForce)
{
    switch (state) {
    case State::Overdue:
        return tr("The machine's verification is overdue: it was due on %1.")
            .arg(inForce->nextDue.toString(Qt::ISODate));
    case State::Failed:
        return tr("The machine failed its verification on %1.").arg(localDay(inForce->performedAt));
    case State::NotVerified:
    case State::Valid:
        break;
    }
    return QString();
}

std::optional<VerificationRules::SuspectPeriod>
VerificationRules::suspectPeriod(const QVector<MachineVerification> &station, qint64 failedId)
{
    const QVector<MachineVerification> ordered = inTimeOrder(station);
    const auto failed = std::find_if(ordered.begin(), ordered.end(),
                                     [failedId](const MachineVerification &v) { return v.id == failedId; });
    if (failed == ordered.end() || failed->asFoundVerdict != VerificationVerdict::Fail)
        return std::nullopt;
    SuspectPeriod period;
    for (auto before = ordered.begin(); before != failed; ++before) {
        if (before->finalVerdict() == VerificationVerdict::Pass)
            period.from = before->performedAt;
    }
    for (auto after = failed; after != ordered.end(); ++after) {
        if (after->finalVerdict() == VerificationVerdict::Pass) {
            period.until = after->performedAt;
            break;
        }
    }
    return period;
}

std::optional<MachineVerification>
VerificationRules::latestFailedAsFound(const QVector<MachineVerification> &station)
{
    std::optional<MachineVerification> found;
    for (const MachineVerification &v : station) {
        if (v.asFoundVerdict == VerificationVerdict::Fail && (!found || earlier(*found, v)))
            found = v;
    }
    return found;
}
