#pragma once

#include <QCoreApplication>
#include <QString>

class QCustomPlot;

// A picture of the plot as it is drawn now, its format chosen by the file
// name: ".jpg", ".bmp" or ".pdf", in any letter case.
class PlotExport
{
    Q_DECLARE_TR_FUNCTIONS(PlotExport)

public:
    enum Result {
        Written,
        UnsupportedSuffix, // nothing was written
        Failed,            // the plot library could not write the file
    };

    // The text after the last "." of the whole path (the whole path when it
    // has none), lower-cased: a folder "run.2" holding "curve" gives "2/curve".
    static QString suffixOf(const QString &path);

    // Writes the picture; for any result but Written, *error (when given)
    // holds a sentence for the operator.
    static Result exportPlot(QCustomPlot *plot, const QString &path, QString *error);
};
