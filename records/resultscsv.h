#pragma once

#include "records/storedtest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Comma-separated values as RFC 4180 writes them: CR LF after every record,
// a field in double quotes when it holds a comma, a quote, CR or LF, and a
// quote inside it doubled.
namespace Csv {
QString field(const QString &text);
QString record(const QStringList &fields);
} // namespace Csv

// The results of a list of tests, one record per test: identity, settings,
// verdict, evaluation figures, then distance, force, limits and verdict of
// each test point. Numbers with "." as decimal point and no grouping, forces
// with the decimals the test was recorded with. Column names are the
// database's, so a sheet and a query speak alike.
namespace ResultsCsv {
// UTF-8 with a byte order mark, so that spreadsheets read names typed in
// Chinese as they are.
QByteArray document(const QVector<StoredTest> &tests);
QStringList header(int pointCount);
QStringList row(const StoredTest &test, int pointCount);
} // namespace ResultsCsv
