#include "programlibrary/libraryrules.h"

#include <algorithm>

namespace {

const ProgramVersion *find(const QVector<ProgramVersion> &library, qint64 id)
{
    for (const ProgramVersion &version : library) {
        if (version.id == id)
            return &version;
    }
    return nullptr;
}

const ProgramVersion *draftOf(const QVector<ProgramVersion> &library, int number)
{
    for (const ProgramVersion &version : library) {
        if (version.number == number && version.state == ProgramState::Draft)
            return &version;
    }
    return nullptr;
}

int nextVersion(const QVector<ProgramVersion> &library, int number)
{
    int last = 0;
    for (const ProgramVersion &version : library) {
        if (version.number == number)
            last = std::max(last, version.version);
    }
    return last + 1;
}

LibraryRules::Transition refused(const QString &reason)
{
    LibraryRules::Transition transition;
    transition.refusal = reason;
    return transition;
}

} // namespace

QString LibraryRules::stateName(ProgramState state)
{
    switch (state) {
    case ProgramState::Draft:
        return QStringLiteral("draft");
    case ProgramState::Approved:
        return QStringLiteral("approved");
    case ProgramState::Retired:
        return QStringLiteral("retired");
    }
    return QString();
}

std::optional<ProgramState> LibraryRules::stateFromName(const QString &name)
{
    for (ProgramState state : {ProgramState::Draft, ProgramState::Approved, ProgramState::Retired}) {
        if (stateName(state) == name)
            return state;
    }
    return std::nullopt;
}

QString LibraryRules::stateText(ProgramState state)
{
    switch (state) {
    case ProgramState::Draft:
        return tr("draft");
    case ProgramState::Approved:
        return tr("approved");
    case ProgramState::Retired:
        return tr("retired");
    }
    return QString();
}

QString LibraryRules::normalisedPart(const QString &typed)
{
    return typed.trimmed();
}

QStringList LibraryRules::normalisedParts(const QStringList &typed)
{
    QStringList parts;
    for (const QString &part : typed) {
        const QString clean = normalisedPart(part);
        if (!clean.isEmpty() && !parts.contains(clean))
            parts << clean;
    }
    return parts;
}

QString LibraryRules::describe(const ProgramVersion &version)
{
    if (version.name.isEmpty())
        return tr("program %1 version %2").arg(version.number).arg(version.version);
    return tr("program %1 \"%2\" version %3").arg(version.number).arg(version.name).arg(version.version);
}

LibraryRules::DraftPlan LibraryRules::add(const QVector<ProgramVersion> &library, int number)
{
    DraftPlan plan;
    if (const ProgramVersion *draft = draftOf(library, number)) {
        plan.refusal = tr("Program %1 already has a draft, %2: approve or retire it first.")
                           .arg(number)
                           .arg(describe(*draft));
        return plan;
    }
    plan.allowed = true;
    plan.newVersion = nextVersion(library, number);
    return plan;
}

LibraryRules::DraftPlan LibraryRules::edit(const QVector<ProgramVersion> &library, qint64 id,
                                           int editedNumber)
{
    DraftPlan plan;
    const ProgramVersion *edited = find(library, id);
    if (!edited) {
        plan.refusal = tr("The library has no program version %1.").arg(id);
        return plan;
    }
    if (editedNumber != edited->number) {
        plan.refusal = tr("The versions of a program share its number %1: a program with "
                          "another number is a new program.")
                           .arg(edited->number);
        return plan;
    }
    if (edited->state == ProgramState::Draft) {
        plan.allowed = true;
        plan.draftId = edited->id;
        return plan;
    }
    return add(library, edited->number);
}

LibraryRules::Transition LibraryRules::approve(const QVector<ProgramVersion> &library, qint64 id)
{
    const ProgramVersion *candidate = find(library, id);
    if (!candidate)
        return refused(tr("The library has no program version %1.").arg(id));
    if (candidate->state != ProgramState::Draft) {
        return refused(tr("Only a draft can be approved; %1 is %2.")
                           .arg(describe(*candidate), stateText(candidate->state)));
    }
    if (candidate->parts.isEmpty())
        return refused(tr("%1 names no part number to be approved for.").arg(describe(*candidate)));

    Transition transition;
    for (const ProgramVersion &other : library) {
        if (other.state != ProgramState::Approved)
            continue;
        if (other.number == candidate->number) {
            transition.changes << StateChange{other.id, ProgramState::Retired};
            continue;
        }
        for (const QString &part : candidate->parts) {
            if (other.appliesTo(part)) {
                return refused(tr("Part %1 already has an approved program, %2: retire it first.")
                                   .arg(part, describe(other)));
            }
        }
    }
    // The old version goes first: at no moment are two versions approved.
    transition.changes << StateChange{candidate->id, ProgramState::Approved};
    transition.allowed = true;
    return transition;
}

LibraryRules::Transition LibraryRules::retire(const QVector<ProgramVersion> &library, qint64 id)
{
    const ProgramVersion *version = find(library, id);
    if (!version)
        return refused(tr("The library has no program version %1.").arg(id));
    if (version->state == ProgramState::Retired)
        return refused(tr("%1 is already retired.").arg(describe(*version)));
    Transition transition;
    transition.allowed = true;
    transition.changes << StateChange{version->id, ProgramState::Retired};
    return transition;
}

std::optional<ProgramVersion> LibraryRules::approvedFor(const QVector<ProgramVersion> &library,
                                                        const QString &part)
{
    const QString wanted = normalisedPart(part);
    std::optional<ProgramVersion> found;
    for (const ProgramVersion &version : library) {
        if (version.state != ProgramState::Approved || !version.appliesTo(wanted))
            continue;
        if (found)
            return std::nullopt;
        found = version;
    }
    return found;
}

bool LibraryRules::mayStart(const QVector<ProgramVersion> &library, const QString &part,
                            const LibraryChoice &chosen, QString *reason)
{
    const QString wanted = normalisedPart(part);
    if (wanted.isEmpty())
        return true;
    QVector<ProgramVersion> approved;
    bool known = false;
    for (const ProgramVersion &version : library) {
        if (!version.appliesTo(wanted))
            continue;
        known = true;
        if (version.state == ProgramState::Approved)
            approved << version;
    }
    if (!known)
        return true;
    if (approved.size() == 1 && approved.first().id == chosen.id)
        return true;
    if (reason) {
        if (approved.isEmpty())
            *reason = tr("Part %1 has no approved program in the library.").arg(wanted);
        else if (approved.size() > 1)
            *reason = tr("Part %1 has more than one approved program (%2 and %3): retire one.")
                          .arg(wanted, describe(approved.at(0)), describe(approved.at(1)));
        else
            *reason = tr("Part %1 needs %2.").arg(wanted, describe(approved.first()));
    }
    return false;
}
