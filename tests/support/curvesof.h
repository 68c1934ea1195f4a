#pragma once

#include "curves/testcurves.h"

#include <QPointF>
#include <QVector>

// Curves of a test from (distance, force) points, each stroke in the order
// given.
inline TestCurves curvesOf(const QVector<QPointF> &forward, const QVector<QPointF> &back)
{
    TestCurves curves;
    for (const QPointF &p : forward)
        curves.add(TestCurves::Forward, p.x(), p.y());
    for (const QPointF &p : back)
        curves.add(TestCurves::Return, p.x(), p.y());
    return curves;
}
