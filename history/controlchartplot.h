#pragma once

#include "spc/controlchart.h"
#include "spc/nelsonrules.h"

#include <QString>

class QCustomPlot;

// One half of a control chart drawn into a QCustomPlot: the subgroups'
// points joined in test order, the centre line and the control limits, and
// on the location half the points that break a rule marked with the rule's
// number. The statistics window and the batch report share it.
namespace ControlChartPlot {

enum class Half { Location, Spread };

void draw(QCustomPlot *plot, const Spc::ControlChart &chart, Half half,
          const QVector<Spc::Violation> &violations, const QString &title);

// "X-bar" or "I", "s" or "MR": what the half shows.
QString halfName(const Spc::ControlChart &chart, Half half);

} // namespace ControlChartPlot
