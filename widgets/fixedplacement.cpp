#include "widgets/fixedplacement.h"

#include <algorithm>
#include <numeric>

namespace {

bool overlap(int lowA, int highA, int lowB, int highB)
{
    return lowA < highB && lowB < highA;
}

// Right and bottom edges exclusive, unlike QRect::right() and bottom().
int rightOf(const QRect &r) { return r.x() + r.width(); }
int bottomOf(const QRect &r) { return r.y() + r.height(); }

QVector<int> orderBy(const QVector<QRect> &rects, int (QRect::*coordinate)() const)
{
    QVector<int> order(rects.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return (rects[a].*coordinate)() < (rects[b].*coordinate)();
    });
    return order;
}

} // namespace

QVector<QRect> FixedPlacement::place(const QVector<QRect> &original, const QVector<QSize> &needed)
{
    QVector<QRect> placed(original.size());
    for (int i = 0; i < original.size(); ++i) {
        const QRect &r = original[i];
        const QSize size = r.size().expandedTo(needed.value(i));
        const int grownHeight = size.height() - r.height();
        const int top = r.height() <= LineHeight ? std::max(0, r.y() - grownHeight / 2) : r.y();
        placed[i] = QRect(QPoint(r.x(), top), size);
    }

    const QVector<int> byLeft = orderBy(original, &QRect::x);
    for (int b : byLeft) {
        for (int a : byLeft) {
            if (a == b || rightOf(original[a]) > original[b].x()
                || !overlap(original[a].y(), bottomOf(original[a]), original[b].y(),
                            bottomOf(original[b])))
                continue;
            const int gap = std::min(original[b].x() - rightOf(original[a]), Spacing);
            placed[b].moveLeft(std::max(placed[b].x(), rightOf(placed[a]) + gap));
        }
    }

    const QVector<int> byTop = orderBy(original, &QRect::y);
    for (int b : byTop) {
        for (int a : byTop) {
            if (a == b || bottomOf(original[a]) > original[b].y()
                || !overlap(placed[a].x(), rightOf(placed[a]), placed[b].x(), rightOf(placed[b])))
                continue;
            const int gap = std::min(original[b].y() - bottomOf(original[a]), Spacing);
            placed[b].moveTop(std::max(placed[b].y(), bottomOf(placed[a]) + gap));
        }
    }
    return placed;
}

QSize FixedPlacement::containerSize(const QSize &size, const QVector<QRect> &original,
                                    const QVector<QRect> &placed)
{
    int originalRight = 0;
    int originalBottom = 0;
    int placedRight = 0;
    int placedBottom = 0;
    for (const QRect &r : original) {
        originalRight = std::max(originalRight, rightOf(r));
        originalBottom = std::max(originalBottom, bottomOf(r));
    }
    for (const QRect &r : placed) {
        placedRight = std::max(placedRight, rightOf(r));
        placedBottom = std::max(placedBottom, bottomOf(r));
    }
    const int rightMargin = std::max(0, size.width() - originalRight);
    const int bottomMargin = std::max(0, size.height() - originalBottom);
    return size.expandedTo(QSize(placedRight + rightMargin, placedBottom + bottomMargin));
}
