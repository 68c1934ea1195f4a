#pragma once

#include "programlibrary/programversion.h"

#include <QCoreApplication>

#include <optional>

// The library's rules, as pure functions over the versions the storage read
// (no database here). Nothing is ever deleted: a version only moves from
// draft to approved to retired, or from draft straight to retired, and a
// change to an approved or retired program is a new draft version. A part
// number has at most one approved program, so that the part alone chooses
// what judges it.
class LibraryRules
{
    Q_DECLARE_TR_FUNCTIONS(LibraryRules)

public:
    static QString stateName(ProgramState state); // "draft", "approved", "retired"
    static std::optional<ProgramState> stateFromName(const QString &name);
    // The state in the operator's language.
    static QString stateText(ProgramState state);

    // A part number as typed or scanned: without surrounding white space
    // (a scanner's CR or tab), case as given.
    static QString normalisedPart(const QString &typed);
    // Each part once, in the order given, none empty.
    static QStringList normalisedParts(const QStringList &typed);

    // "program 7 "Valve spring" version 3", for messages.
    static QString describe(const ProgramVersion &version);

    // Where a new or edited program goes: into the draft `draftId` (changed
    // in place), or into a new row with version `newVersion` (draftId 0).
    struct DraftPlan
    {
        bool allowed = false;
        QString refusal;
        qint64 draftId = 0;
        int newVersion = 0;
    };
    // A program added (a file imported, a new program): the next version of
    // its number. Refused while that number has a draft, which must be
    // approved or retired first: two drafts of one program would leave the
    // engineer guessing which is the change.
    static DraftPlan add(const QVector<ProgramVersion> &library, int number);
    // The version `id` edited into a program numbered `editedNumber`. A
    // draft is changed in place; an approved or retired version stays as it
    // is and the change becomes a new draft. The number is what ties the
    // versions together, so an edit cannot change it.
    static DraftPlan edit(const QVector<ProgramVersion> &library, qint64 id, int editedNumber);

    struct StateChange
    {
        qint64 id = 0;
        ProgramState state = ProgramState::Draft;
    };
    struct Transition
    {
        bool allowed = false;
        QString refusal;
        QVector<StateChange> changes; // in the order to apply them
    };
    // A draft with at least one part becomes approved and the program's
    // version approved before it is retired. Refused when another program is
    // approved for one of its parts.
    static Transition approve(const QVector<ProgramVersion> &library, qint64 id);
    // A draft or an approved version is retired.
    static Transition retire(const QVector<ProgramVersion> &library, qint64 id);

    // The approved version for a part; none when the library has none, or
    // (a state only two stations approving at the same moment could leave)
    // more than one.
    static std::optional<ProgramVersion> approvedFor(const QVector<ProgramVersion> &library,
                                                     const QString &part);

    // Whether the program chosen may judge a spring of `part`. A part the
    // library does not know is judged by whatever the operator chose, as on
    // a bench without a library; a part it knows needs its approved version,
    // and *reason says which.
    static bool mayStart(const QVector<ProgramVersion> &library, const QString &part,
                         const LibraryChoice &chosen, QString *reason);
};
