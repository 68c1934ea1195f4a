#pragma once

#include "curves/testcurves.h"

#include <QCoreApplication>
#include <QString>

class QIODevice;

// The curve file: a text file holding the forward and the return curve of a
// spring test. A marker line opens each curve ("Data Forward:", then
// "Data Return:"), followed by one "distance,force" line per point.
//
// Reading is forgiving, because operators hand in files that went through a
// spreadsheet or an editor:
// - a line holding a marker anywhere (case-sensitive) switches the curve it
//   feeds; lines before any marker feed the forward curve;
// - any other line is a point: x is the text before the first ",", y the text
//   after the last "," (the whole line when there is no ","), white space
//   around each ignored; so "4" gives (4, 4) and "1.5,2.5,3.5" gives (1.5, 3.5);
// - a field that is not a finite number within single-precision range gives 0
//   ("abc,5" gives (0, 5)); a line where neither field is such a number (a
//   blank line, a "distance,force" header, "nan,inf") is skipped;
// - values pass through single precision, as the tester measures them;
// - LF, CR LF and lone CR all end a line; a UTF-8 byte order mark is ignored;
// - decimal commas are not understood: "1,5;2,5" reads as (1, 5) by the rules
//   above, and "1,5" as (1, 5).
class CurveFile
{
    Q_DECLARE_TR_FUNCTIONS(CurveFile)

public:
    // The marker texts, looked up in the "MainWindow" context.
    static QString forwardMarker();
    static QString returnMarker();

    // Writes both curves by ascending distance (points of equal distance in
    // their acquisition order): distances with 2 decimals, forces with
    // `decimals` decimals. Every line ends with "\n"; a device opened with
    // QIODevice::Text writes CR LF on Windows. Returns false when the device
    // refuses the data.
    static bool write(QIODevice *device, const TestCurves &curves, int decimals);

    // Writes the file at `path` through a QSaveFile, in text mode: either the
    // whole file is written, or an existing file stays as it was and the
    // reason lands in *error.
    static bool save(const QString &path, const TestCurves &curves, int decimals, QString *error);

    // Reads the device from its current position to its end, each curve's
    // points in file order. The device's
    // text mode is switched off while reading, so that lone CRs still end
    // lines. *ok, when given, is false when the device failed part way; the
    // points read before are returned all the same.
    static TestCurves read(QIODevice *device, bool *ok = nullptr);

    // The name a curve file is saved under: the typed name, with ".txt"
    // added when its file name has no suffix at all (no "."), so that the
    // Open dialog's "*.txt" filter shows it again.
    static QString withSuffix(const QString &path);

    // A curve file has an end: only regular files are read, never folders,
    // devices or pipes.
    static bool isReadableCurveFile(const QString &path, QString *why);

    // Reads the file at `path` into *curves. On any failure (not a regular
    // file, cannot be opened, read error) *curves is left untouched and the
    // reason lands in *error.
    static bool load(const QString &path, TestCurves *curves, QString *error);
};
