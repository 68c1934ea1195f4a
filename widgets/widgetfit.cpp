#include "widgets/widgetfit.h"

#include "widgets/fixedplacement.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTableView>
#include <QVariant>

namespace {

const char ReservedProperty[] = "widgetFitReserved";
// QLineEdit keeps this much free on either side of its text.
constexpr int LineEditTextMargin = 2;

QString reservedText(const QWidget *widget)
{
    return widget->property(ReservedProperty).toString();
}

int textWidth(const QWidget *widget, const QString &text)
{
    return QFontMetrics(widget->font()).horizontalAdvance(text);
}

// The width a line edit needs to show its text, or the reserved one, whole.
int lineEditWidth(const QLineEdit *edit)
{
    const int text = std::max(textWidth(edit, edit->text()), textWidth(edit, reservedText(edit)));
    const QMargins margins = edit->textMargins();
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QSize contents(text + 2 * LineEditTextMargin + margins.left() + margins.right(),
                         edit->fontMetrics().height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, edit).width();
}

QSize labelSize(const QLabel *label)
{
    const int margins = 2 * label->margin() + label->contentsMargins().left()
                        + label->contentsMargins().right();
    return label->sizeHint().expandedTo(
        QSize(textWidth(label, reservedText(label)) + margins, 0));
}

// What a widget needs, by itself, to show its text whole.
QSize ownNeed(QWidget *widget)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return QSize(lineEditWidth(edit), edit->sizeHint().height());
    if (auto *label = qobject_cast<QLabel *>(widget))
        return labelSize(label);
    return widget->sizeHint().expandedTo(widget->minimumSizeHint());
}

// Widgets that hold others at fixed places: plain widgets, frames, group
// boxes and dialogs.
bool isContainer(const QWidget *widget)
{
    const char *name = widget->metaObject()->className();
    return widget->isWindow() || qstrcmp(name, "QWidget") == 0 || qstrcmp(name, "QFrame") == 0
           || qobject_cast<const QGroupBox *>(widget) || qobject_cast<const QDialog *>(widget);
}

QList<QWidget *> childWidgets(QWidget *widget)
{
    return widget->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

// `window`: the widget being fitted, a container whatever its class (a
// form may be a plain widget that becomes a window only after it is built).
QSize fitWidget(QWidget *widget, bool window = false);

// Children at fixed positions: each grows to its need, its neighbours move
// aside. Returns the size the parent needs to hold them.
QSize placeChildren(QWidget *parent)
{
    QList<QWidget *> children;
    for (QWidget *child : childWidgets(parent)) {
        if (!child->isWindow() && !child->isHidden())
            children << child;
    }
    QVector<QRect> original;
    QVector<QSize> needed;
    for (QWidget *child : children) {
        original << child->geometry();
        needed << fitWidget(child);
    }
    const QVector<QRect> placed = FixedPlacement::place(original, needed);
    for (int i = 0; i < children.size(); ++i)
        children[i]->setGeometry(placed[i]);
    return FixedPlacement::containerSize(parent->size(), original, placed);
}

// Fits the widget's insides and returns the size it needs.
QSize fitWidget(QWidget *widget, bool window)
{
    if (QLayout *layout = widget->layout()) {
        for (QWidget *child : childWidgets(widget)) {
            // A field in a grid may shrink below its text; a reserved
            // width is the least it keeps.
            if (auto *edit = qobject_cast<QLineEdit *>(child))
                edit->setMinimumWidth(std::max(edit->minimumWidth(), lineEditWidth(edit)));
            else if (auto *label = qobject_cast<QLabel *>(child))
                label->setMinimumWidth(std::max(label->minimumWidth(), labelSize(label).width()));
            // A layout squeezes a button or check box below its text
            // (its minimum size hint) before anything else.
            else if (auto *button = qobject_cast<QAbstractButton *>(child))
                button->setMinimumWidth(
                    std::max(button->minimumWidth(), button->sizeHint().width()));
            else if (!child->isWindow())
                fitWidget(child);
        }
        layout->invalidate();
        layout->activate();
        return widget->size().expandedTo(layout->totalMinimumSize());
    }
    if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
        for (int i = 0; i < tabs->count(); ++i)
            fitWidget(tabs->widget(i));
        return tabs->size().expandedTo(tabs->minimumSizeHint());
    }
    QSize need = ownNeed(widget);
    if (window || isContainer(widget)) {
        need = need.expandedTo(placeChildren(widget));
        // A page in a stack, or a container in a layout, keeps its room.
        if (widget->parentWidget() && widget->parentWidget()->layout())
            widget->setMinimumSize(need);
    }
    return widget->size().expandedTo(need);
}

} // namespace

void WidgetFit::reserve(QWidget *widget, const QString &widest)
{
    widget->setProperty(ReservedProperty, widest);
}

QString WidgetFit::digits(int whole, int decimals, bool sign)
{
    QString text = sign ? QStringLiteral("-") : QString();
    text += QString(whole, QLatin1Char('0'));
    if (decimals > 0)
        text += QLatin1Char('.') + QString(decimals, QLatin1Char('0'));
    return text;
}

void WidgetFit::fit(QWidget *window)
{
    window->ensurePolished();
    const QSize need = fitWidget(window, true);
    // A main window's form size is where it opens, not its least: it may be
    // made as small as its contents allow. Its size hint holds docks and tool
    // bars at their preferred widths, which need not fit a small screen.
    if (qobject_cast<QMainWindow *>(window)) {
        window->setMinimumSize(
            window->minimumSize().expandedTo(window->layout()->totalMinimumSize()));
        window->resize(window->size().expandedTo(window->minimumSize()));
        return;
    }
    // A dialog keeps the form's size as its least, and opens at least at
    // its size hint.
    const QSize opening = window->layout() ? need.expandedTo(window->sizeHint()) : need;
    window->setMinimumSize(opening.boundedTo(window->maximumSize()));
    window->resize(opening);
}

void WidgetFit::fitColumns(QTableView *table, const QStringList &widest)
{
    // QTableView hides the override that QAbstractItemView makes public.
    const QAbstractItemView *view = table;
    QHeaderView *header = table->horizontalHeader();
    const int columns = table->model() ? table->model()->columnCount() : 0;
    bool changed = false;
    for (int column = 0; column < columns; ++column) {
        int width = std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
        if (column < widest.size())
            width = std::max(width, cellWidth(table, widest.at(column)));
        if (table->columnWidth(column) != width) {
            table->setColumnWidth(column, width);
            changed = true;
        }
    }
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    // The layouts around the table ask its size hint again.
    if (changed)
        table->updateGeometry();
}

int WidgetFit::cellWidth(const QTableView *table, const QString &text)
{
    // A cell keeps the focus frame's margin and a pixel on either side of
    // its text, and the grid takes a line.
    const int padding =
        2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1)
        + (table->showGrid() ? 1 : 0);
    return QFontMetrics(table->font()).horizontalAdvance(text) + padding;
}
