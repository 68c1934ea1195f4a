#pragma once

#include "device/settings.h"
#include "records/station.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QSysInfo>
#include <QVector>

#include <optional>

// What a test record holds, as plain values: they cross from the window to
// the recorder's thread by copy.

// Who tested which spring. The operator types it before Start.
struct TestIdentity
{
    QString operatorName;
    QString partNumber;
    QString batch;
    QString serialNumber;
};

// Everything known about a test when it starts.
struct TestHeader
{
    QDateTime startedAt;       // UTC
    TestIdentity identity;
    QString station;           // host name
    QString stationId;         // the installation's (Station::id())
    QString recordUid;         // made by the recorder at begin()
    Curve_Setting setting;
    int machineType = 0;
    int forceDecimals = 3;
    Serial_Setting_Type line;
    // The library version that judges the test and the machine's
    // verification in force at Start; 0 when there is none (a program file,
    // a bench without a library, a machine never verified).
    qint64 programId = 0;
    int programVersion = 0;
    qint64 verificationId = 0;

    // The station's host name, as people know it (verifications go by it).
    static QString thisStation() { return Station::hostName(); }
    // A test of this station, starting now; the rest is the caller's.
    static TestHeader startingNow()
    {
        TestHeader header;
        header.startedAt = QDateTime::currentDateTimeUtc();
        header.station = Station::hostName();
        header.stationId = Station::id();
        return header;
    }
};

// One curve point as the window drew it.
struct RecordedPoint
{
    int stroke = 0;            // 0 forward, 1 return
    double distance = 0;
    double force = 0;
};

struct PointResultRecord
{
    int pointNo = 0;
    double distance = 0;
    std::optional<double> force; // none: the stroke did not reach the point
    double lower = 0;
    double upper = 0;
    QString verdict;             // "pass", "fail", "not reached"
};

struct RateRecord
{
    int fromPoint = 0;
    int toPoint = 0;
    std::optional<double> rate;
};

// The verdict on a test against a program; empty (judged false) when the
// test ran without one.
struct EvaluationRecord
{
    bool judged = false;
    int programNumber = 0;
    QString programSource;       // "machine", a program file's path, or empty
    QString programJson;         // the whole program, as its file holds it
    QString verdict;             // "pass" or "fail"
    QVector<PointResultRecord> points;
    QVector<RateRecord> rates;
    std::optional<double> rateFit;
    std::optional<double> maxForce;
    std::optional<double> hysteresisPercent;
};

// A stretch of a test's curve through which the tester did not answer:
// the points there are joined by the plot, not measured.
struct LineGap
{
    double seconds = 0;                 // every such spell of the test, in all
    std::optional<double> fromDistance; // mm: the distances the spells lay between
    std::optional<double> toDistance;
};

// How a test ended, beside its verdict.
struct TestEnding
{
    // Stopped before the machine returned: no judged spring.
    bool aborted = false;
    std::optional<LineGap> gap;
};

namespace TestStatus {
inline const QString Running = QStringLiteral("running");
inline const QString Complete = QStringLiteral("complete");
inline const QString Interrupted = QStringLiteral("interrupted");
inline const QString Aborted = QStringLiteral("aborted");
} // namespace TestStatus

Q_DECLARE_METATYPE(TestHeader)
Q_DECLARE_METATYPE(EvaluationRecord)
Q_DECLARE_METATYPE(TestEnding)
