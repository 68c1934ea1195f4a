#pragma once

#include "records/review.h"
#include "records/testrecord.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVector>

// A test as the database holds it, read back for a report, the CSV export or
// the plot.
struct StoredTest
{
    qint64 id = 0;
    TestHeader header;
    QDateTime finishedAt;          // invalid while running or interrupted
    QString status;
    std::optional<LineGap> gap;    // none when the line held throughout
    EvaluationRecord evaluation;   // judged false when the test has no verdict
    QVector<RecordedPoint> points; // acquisition order; only when asked for
    // Oldest first: who signed it with what meaning, and what a reviewer
    // corrected (the test's identity above is the value now).
    QVector<RecordsReview::Signature> signatures;
    QVector<RecordsReview::Amendment> amendments;
};

Q_DECLARE_METATYPE(StoredTest)
