#pragma once

#include <QRect>
#include <QSize>
#include <QVector>

// Where widgets placed at fixed positions go when some of them must grow to
// show their text. Pure geometry, no widgets.
//
// Each item grows to its needed size: to the right, and down; an item a
// single line high grows up and down about its middle instead, so that a
// label stays level with the field beside it. An item that
// started wholly to the right of a grown neighbour in its row (their heights
// overlapped) moves right to keep a gap from it; one that started wholly
// below a neighbour it now overlaps in width moves down. The gap is the
// one the form had, at most Spacing. Nothing shrinks or moves left or up,
// except for the middle-centred growth.
namespace FixedPlacement {

// Qt's usual spacing between neighbouring widgets.
constexpr int Spacing = 6;
// The tallest item that counts as a single line (a label, field or button).
constexpr int LineHeight = 30;

QVector<QRect> place(const QVector<QRect> &original, const QVector<QSize> &needed);

// The size a container needs to hold `placed` with the right and bottom
// margins it had around `original` (never less than `size`).
QSize containerSize(const QSize &size, const QVector<QRect> &original,
                    const QVector<QRect> &placed);

} // namespace FixedPlacement
