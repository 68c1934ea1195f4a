#pragma once

#include <QString>

class QWidget;

// Lets the labels, buttons and fields of a form grow to what their texts
// need in the font and language in use, keeping the form's object names,
// layouts and geometries as the starting point:
// - a widget placed at a fixed position grows to its size hint (a field to
//   the text it holds or has reserved), and its neighbours move aside
//   (FixedPlacement);
// - a field in a layout gets the minimum width of its reserved text;
// - a container grows to hold what it contains; the window grows to hold
//   everything, and to its size hint, and may not be made smaller.
// Run it once the form is built, translated and filled.
namespace WidgetFit {

// Room for `widest`, the widest text the field or label will have to show
// (a value that arrives later, such as "-00000.000" for a force).
void reserve(QWidget *widget, const QString &widest);

// A reserved text of digits: a sign, `whole` digits, and `decimals`
// decimals. Digits are equally wide in the fonts in use.
QString digits(int whole, int decimals, bool sign = true);

void fit(QWidget *window);

} // namespace WidgetFit
