#pragma once

#include "statistics/batchstatistics.h"

#include <QString>

class QCustomPlot;

// A histogram of one test point's forces with its limits and mean drawn as
// vertical lines: the statistics window and the batch report share it.
namespace HistogramPlot {
void draw(QCustomPlot *plot, const BatchStatistics::Histogram &histogram,
          const BatchStatistics::PointSummary &point, const QString &title);
} // namespace HistogramPlot
