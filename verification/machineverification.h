#pragma once

#include <QDate>
#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVector>

#include <optional>

// A verification of one station's machine against a reference instrument,
// as plain values: what was measured, what it was judged against, and until
// when it holds.

struct ReferenceInstrument
{
    QString name;        // e.g. the load cell and its indicator
    QString certificate; // its own calibration certificate's number
    QDate dueDate;       // when its own calibration runs out; null when not given
};

// One reference point: what the reference instrument read and what the
// machine indicated at the same moment. Forces in N, distances in mm.
struct VerificationPoint
{
    double reference = 0;
    double indicated = 0;

    // (indicated − reference) / reference × 100; none at a reference of 0,
    // where a share of the reading means nothing.
    std::optional<double> errorPercent() const;
};

// The points of one pass over the machine: before any adjustment ("as
// found") or after it ("as left").
struct VerificationPass
{
    QVector<VerificationPoint> force;
    QVector<VerificationPoint> distance; // when measured

    bool isEmpty() const { return force.isEmpty() && distance.isEmpty(); }
};

enum class VerificationVerdict { Pass, Fail };

struct MachineVerification
{
    qint64 id = 0;
    QString station;           // the station id, or its host name
    QDateTime performedAt;     // UTC
    QString performedBy;
    ReferenceInstrument reference;
    double permittedErrorPercent = 1.0; // ± % of reading, as the lab set it then
    VerificationPass asFound;
    VerificationVerdict asFoundVerdict = VerificationVerdict::Fail;
    VerificationPass asLeft;   // empty when the machine was not adjusted
    std::optional<VerificationVerdict> asLeftVerdict;
    QDate nextDue;
    QString source;            // "guided" (this program) or "external"
    QString certificatePath;   // the PDF written for it, when this program wrote one

    // What the machine is after this verification: as left when it was
    // adjusted, as found otherwise.
    VerificationVerdict finalVerdict() const { return asLeftVerdict.value_or(asFoundVerdict); }
};

Q_DECLARE_METATYPE(MachineVerification)
