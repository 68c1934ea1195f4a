#pragma once

#include "records/storedtest.h"
#include "qdas/dfqwriter.h"

#include <QCoreApplication>
#include <QVector>

// The tests of one part number as a Q-DAS document: a characteristic for
// the force at each test point the tests were judged at (number "F1",
// name "F1 at 5.00 mm"), then one for each rate between neighbouring points
// ("R1-2", "R1-2 from 5.00 to 10.00 mm"), with the program's nominal and
// the limits; a value per test and characteristic where the test has one
// (a point not reached has none), in test order. docs/records.md has the
// whole mapping.
class DfqExport
{
    Q_DECLARE_TR_FUNCTIONS(DfqExport)

public:
    // Refuses, with the tests and the point named in *error, tests judged
    // with different distances, limits or nominals at one point: the file
    // has one definition per characteristic, and a customer would read the
    // values of two programs as one.
    static bool document(const QString &partNumber, QVector<StoredTest> tests,
                         Dfq::Document *document, QString *error);
    // The tests' Q-DAS file, as History and `torvelin-records export` write
    // it: their document in `encoding`. False with the reason in *error (the
    // tests or the field named); *bytes is then untouched.
    static bool file(const QString &partNumber, const QVector<StoredTest> &tests,
                     Dfq::Encoding encoding, QByteArray *bytes, QString *error);
};
