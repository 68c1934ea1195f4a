#include "fit/widgetfit.h"

#include "fit/fixedplacement.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
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
// boxes and dialogs (and the window being fitted, whatever its class).
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

QSize fitWidget(QWidget *widget);

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
QSize fitWidget(QWidget *widget)
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
    if (isContainer(widget)) {
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
    QSize need = fitWidget(window);
    // A dialog opens at least at its size hint. A main window's size hint
    // holds its docks and tool bars at their preferred widths: it needs only
    // its minimum, or it would not fit a small screen.
    if (window->layout() && !qobject_cast<QMainWindow *>(window))
        need = need.expandedTo(window->sizeHint());
    window->setMinimumSize(need.boundedTo(window->maximumSize()));
    window->resize(need);
}
