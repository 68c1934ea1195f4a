#pragma once

#include "evaluation/verdict.h"

#include <QColor>
#include <QCoreApplication>
#include <QString>

// How a verdict reads and looks wherever the program shows one: the results
// panel and the verdict band, History and its windows, the reports, the
// plots' limit markers, the machine's verification. The database and the
// CSV write the verdict's key (`Verdicts::key`) instead.
class VerdictStyle
{
    Q_DECLARE_TR_FUNCTIONS(VerdictStyle)

public:
    // A test point's verdict in a table or a sentence: "Pass", "Fail",
    // "Not reached".
    static QString word(Verdict verdict);
    // A test's verdict where it is the point of the line: "PASS", "FAIL"
    // (a point not reached reads as its word).
    static QString headline(Verdict verdict);
    // Green, red, and grey for a point not reached: dark enough for text on
    // white, light enough to carry white text.
    static QColor colour(Verdict verdict);
};
