#pragma once

#include "evaluation/evaluation.h"

#include <QByteArray>
#include <QString>

// One evaluation as one line of JSON, keys in the order a reader expects:
// {"file": …, "verdict": "pass"|"fail", "points": [{"no", "distance",
// "force", "lower", "upper", "verdict"}, …], "rates": […], "rate_fit": …,
// "max_force": …, "hysteresis_percent": …}. Numbers are written in the
// shortest form that reads back as the same double; what is missing is null.
namespace ResultJson {

QByteArray line(const QString &file, const Evaluation &evaluation);

} // namespace ResultJson
