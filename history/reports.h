#pragma once

#include "history/labheader.h"
#include "records/recordqueries.h"
#include "records/storedtest.h"
#include "records/verificationstore.h"

#include <QString>
#include <QVector>

class QPagedPaintDevice;
class QPrinter;

// The reports of the records, drawn by one painter on any paged device:
// Qt's PDF writer for a file, the system's printer for File → Print. Every
// page carries the lab's header (LabHeader, as stored) and "Page n of m".
//   test:  identity, settings, the program (name, number, version, spring
//          data), the curves with the test points and their limits, the
//          results per point with the nominal forces, the figures and the
//          verdict;
//   batch: the filter with the days its tests span, the counts, per point
//          its statistics and histogram on one page (capability below the
//          goal marked), and the list of the tests.
namespace Reports {

// Writes the file whole or not at all; false with *error otherwise.
bool writeTestPdf(const QString &fileName, const StoredTest &test, QString *error);
bool writeBatchPdf(const QString &fileName, const RecordQueries::Batch &batch,
                   const QVector<StoredTest> &tests, QString *error);

bool printTest(QPrinter *printer, const StoredTest &test);
bool printBatch(QPrinter *printer, const RecordQueries::Batch &batch, const QVector<StoredTest> &tests);

// Layout happens at this resolution (the screen's), so fonts and plots keep
// their on-screen proportions on every device; lines and text stay vectors.
constexpr int ReportDpi = 96;

bool renderTest(QPagedPaintDevice *device, const StoredTest &test, const LabHeader &lab);
// `tests` are the batch's tests (RecordQueries::loadTests), listed in the
// order they were tested.
bool renderBatch(QPagedPaintDevice *device, const RecordQueries::Batch &batch,
                 const QVector<StoredTest> &tests, const LabHeader &lab);

// A machine's verification certificate: station, reference instrument,
// permitted error, the points as found and as left with their errors, the
// verdicts and the next due date.
bool writeVerificationPdf(const QString &fileName, const MachineVerification &verification, QString *error);
bool renderVerification(QPagedPaintDevice *device, const MachineVerification &verification,
                        const LabHeader &lab);
// The tests a failed verification puts in doubt: the period, the count per
// part number and batch, and every test.
bool writeSuspectsPdf(const QString &fileName, const MachineVerification &failed,
                      const VerificationRules::SuspectPeriod &period, const QVector<SuspectTest> &tests,
                      QString *error);
bool renderSuspects(QPagedPaintDevice *device, const MachineVerification &failed,
                    const VerificationRules::SuspectPeriod &period, const QVector<SuspectTest> &tests,
                    const LabHeader &lab);

} // namespace Reports
