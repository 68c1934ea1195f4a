#pragma once

#include <QString>
#include <QStringList>

class QTableView;
class QWidget;

// Lets the labels, buttons and fields of a form grow to what their texts
// need in the font and language in use, keeping the form's object names,
// layouts and geometries as the starting point:
// - a widget placed at a fixed position grows to its size hint (a field to
//   the text it holds or has reserved), and its neighbours move aside
//   (FixedPlacement);
// - a field, value label or button in a layout gets the minimum width of
//   its (reserved) text;
// - a container grows to hold what it contains; a dialog grows to hold
//   everything, and to its size hint, and may not be made smaller; a main
//   window may be made as small as its contents allow.
// Run it once the form is built, translated and filled.
namespace WidgetFit {

// Room for `widest`, the widest text the field or label will have to show
// (a value that arrives later, such as "-00000.000" for a force).
void reserve(QWidget *widget, const QString &widest);

// A reserved text of digits: a sign, `whole` digits, and `decimals`
// decimals. Digits are equally wide in the fonts in use.
QString digits(int whole, int decimals, bool sign = true);

void fit(QWidget *window);

// Each column as wide as its heading, its cells and `widest` (the widest
// text it will hold, by column; may be shorter than the columns), and the
// table's size hint wide enough for all of them. Run it again when the
// cells change; where the table gets less room, it scrolls.
void fitColumns(QTableView *table, const QStringList &widest = {});

// The column width a cell of `table` needs to show `text` whole.
int cellWidth(const QTableView *table, const QString &text);

} // namespace WidgetFit
