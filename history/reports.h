#pragma once

#include "records/recordqueries.h"
#include "records/storedtest.h"

#include <QString>

class QPagedPaintDevice;
class QPrinter;

// The reports of the records, drawn by one painter on any paged device:
// Qt's PDF writer for a file, the system's printer for File → Print.
//   test:  identity, settings, the curves with the test points and their
//          limits, the results per point, the figures and the verdict;
//   batch: the filter, the counts, the statistics per point and the
//          histogram of every point's forces.
namespace Reports {

// Writes the file whole or not at all; false with *error otherwise.
bool writeTestPdf(const QString &fileName, const StoredTest &test, QString *error);
bool writeBatchPdf(const QString &fileName, const RecordQueries::Batch &batch, QString *error);

bool printTest(QPrinter *printer, const StoredTest &test);
bool printBatch(QPrinter *printer, const RecordQueries::Batch &batch);

// Layout happens at this resolution (the screen's), so fonts and plots keep
// their on-screen proportions on every device; lines and text stay vectors.
constexpr int ReportDpi = 96;

bool renderTest(QPagedPaintDevice *device, const StoredTest &test);
bool renderBatch(QPagedPaintDevice *device, const RecordQueries::Batch &batch);

} // namespace Reports
