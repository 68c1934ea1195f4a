#include "mainwindow/plotexport.h"

#include <qcustomplot.h>

namespace {

// Raster pictures carry the resolution of a common desktop screen, so that
// a viewer shows them at the size they had on screen.
constexpr int ResolutionDpi = 96;
constexpr int JpegQuality = 100;
constexpr double Scale = 1.0;

} // namespace

QString PlotExport::suffixOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('.')) + 1).toLower();
}

PlotExport::Result PlotExport::exportPlot(QCustomPlot *plot, const QString &path, QString *error)
{
    const QString suffix = suffixOf(path);
    bool written = false;
    if (suffix == QLatin1String("bmp")) {
        written = plot->saveBmp(path, 0, 0, Scale, ResolutionDpi, QCP::ruDotsPerInch);
    } else if (suffix == QLatin1String("jpg")) {
        written = plot->saveJpg(path, plot->width(), plot->height(), Scale, JpegQuality,
                                ResolutionDpi, QCP::ruDotsPerInch);
    } else if (suffix == QLatin1String("pdf")) {
        written = plot->savePdf(path, 0, 0, QCP::epAllowCosmetic, QString(), QString());
    } else {
        if (error)
            *error = tr("%1 was not written: pictures can be exported as JPEG (.jpg), "
                        "BMP (.bmp) or PDF (.pdf) only.").arg(path);
        return UnsupportedSuffix;
    }
    if (!written) {
        if (error)
            *error = tr("The picture could not be written to %1.").arg(path);
        return Failed;
    }
    return Written;
}
