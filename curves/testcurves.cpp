#include "curves/testcurves.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool TestCurves::isStroke(int index)
{
    return index == Forward || index == Return;
}

namespace {

// A double beyond single precision has no float to round to.
bool fitsFloat(double value)
{
    return std::isfinite(value) && std::fabs(value) <= double(std::numeric_limits<float>::max());
}

} // namespace

bool TestCurves::isFinitePoint(double distance, double force)
{
    return fitsFloat(distance) && fitsFloat(force);
}

bool TestCurves::add(int index, double distance, double force)
{
    if (!isStroke(index) || !isFinitePoint(distance, force))
        return false;
    m_strokes[index].append(Point{float(distance), float(force)});
    return true;
}

const QVector<TestCurves::Point> &TestCurves::points(Stroke stroke) const
{
    return m_strokes[stroke];
}

QVector<TestCurves::Point> TestCurves::sortedByDistance(Stroke stroke) const
{
    const auto nearer = [](const Point &a, const Point &b) { return a.distance < b.distance; };
    const auto notFarther = [](const Point &a, const Point &b) { return b.distance >= a.distance; };
    QVector<Point> sorted = m_strokes[stroke];
    // A stroke mostly runs one way: an outward stroke is sorted already and
    // a strictly inward one only needs turning round, each without a sort.
    if (std::is_sorted(sorted.begin(), sorted.end(), nearer))
        return sorted;
    if (std::adjacent_find(sorted.begin(), sorted.end(), notFarther) == sorted.end()) {
        std::reverse(sorted.begin(), sorted.end());
        return sorted;
    }
    std::stable_sort(sorted.begin(), sorted.end(), nearer);
    return sorted;
}

int TestCurves::size(Stroke stroke) const
{
    return m_strokes[stroke].size();
}

bool TestCurves::isEmpty() const
{
    return m_strokes[Forward].isEmpty() && m_strokes[Return].isEmpty();
}

void TestCurves::clear()
{
    for (QVector<Point> &stroke : m_strokes)
        stroke.clear();
}

void TestCurves::reserve(Stroke stroke, int count)
{
    m_strokes[stroke].reserve(count);
}

bool TestCurves::operator==(const TestCurves &other) const
{
    for (int s = 0; s < StrokeCount; ++s) {
        const QVector<Point> &mine = m_strokes[s];
        const QVector<Point> &theirs = other.m_strokes[s];
        if (mine.size() != theirs.size())
            return false;
        for (int i = 0; i < mine.size(); ++i) {
            if (mine[i].distance != theirs[i].distance || mine[i].force != theirs[i].force)
                return false;
        }
    }
    return true;
}
