#pragma once

#include <QVector>

// The two curves of a spring test, as plain points: the forward stroke (the
// machine travelling out) and the return stroke (travelling back). Each
// stroke keeps its points in the order they were measured or read, which
// the evaluation needs (a stroke may jitter backwards); the plot and the
// curve file take the view sorted by distance.
//
// Only finite points of one of the two strokes are held: a corrupt float
// from the line or a stroke index that is neither stroke is no point of the
// test, and would break the plot's ordering and every sum over the curve.
class TestCurves
{
public:
    // The stroke index the worker reports, the plot's graph index and the
    // curve file's section, in that order.
    enum Stroke { Forward = 0, Return = 1 };
    static constexpr int StrokeCount = 2;

    // Single precision, as the tester sends each pair: nothing of the line
    // is lost, and a test of a million points takes 8 MB, not 16. Whoever
    // computes with a point reads it into doubles first.
    struct Point
    {
        float distance = 0; // mm
        float force = 0;    // N
    };

    static bool isStroke(int index);
    // Finite, and within single precision (beyond it a point would be
    // held as infinity).
    static bool isFinitePoint(double distance, double force);

    // Appends the point, to the nearest single-precision pair, to the
    // stroke `index`; false (and nothing held) when the index is no stroke
    // or the point is not finite.
    bool add(int index, double distance, double force);

    // The stroke's points in acquisition order.
    const QVector<Point> &points(Stroke stroke) const;
    // The stroke's points by ascending distance; points of equal distance
    // keep their acquisition order.
    QVector<Point> sortedByDistance(Stroke stroke) const;

    int size(Stroke stroke) const;
    bool isEmpty() const;
    void clear();
    void reserve(Stroke stroke, int count);

    bool operator==(const TestCurves &other) const;
    bool operator!=(const TestCurves &other) const { return !(*this == other); }

private:
    QVector<Point> m_strokes[StrokeCount];
};

Q_DECLARE_TYPEINFO(TestCurves::Point, Q_PRIMITIVE_TYPE);
