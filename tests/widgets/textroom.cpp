#include "textroom.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QTextDocument>

namespace {

// QLineEdit's own free space on either side of its text.
constexpr int LineEditTextMargin = 2;

QString describe(const QWidget *widget, const QString &text, int need, int room)
{
    return QStringLiteral("%1 (%2) \"%3\": needs %4 px, has %5")
        .arg(widget->objectName(), QLatin1String(widget->metaObject()->className()), text)
        .arg(need)
        .arg(room);
}

int widest(const QFontMetrics &metrics, const QString &text)
{
    int width = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

QString plainText(const QLabel *label)
{
    if (!Qt::mightBeRichText(label->text()))
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

int lineEditRoom(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * LineEditTextMargin;
}

int comboRoom(const QComboBox *combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.currentText = combo->currentText();
    option.subControls = QStyle::SC_All;
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        .width();
}

void checkText(QWidget *widget, QStringList *findings)
{
    const QFontMetrics metrics(widget->font());
    const auto report = [&](const QString &text, int need, int room) {
        if (need > room)
            *findings << describe(widget, text, need, room);
    };
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        const QString text = plainText(label);
        if (text.isEmpty())
            return;
        const QRect room = label->contentsRect().marginsRemoved(
            QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
        // A wrapped text needs its lines' height at the width it has.
        if (label->wordWrap()) {
            report(text + QStringLiteral(" (wrapped height)"), label->heightForWidth(label->width()),
                   label->height());
            return;
        }
        report(text, widest(metrics, text), room.width());
        report(text + QStringLiteral(" (height)"),
               metrics.height() * (text.count(QLatin1Char('\n')) + 1), room.height());
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        if (!edit->text().isEmpty())
            report(edit->text(), metrics.horizontalAdvance(edit->text()), lineEditRoom(edit));
        report(edit->text() + QStringLiteral(" (height)"), metrics.height(),
               edit->height() - 2 * LineEditTextMargin);
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            report(combo->itemText(i), metrics.horizontalAdvance(combo->itemText(i)),
                   comboRoom(combo));
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        // The style's padding, indicator and spacing are part of the need.
        if (button->text().isEmpty())
            return;
        report(button->text(), button->sizeHint().width(), button->width());
        report(button->text() + QStringLiteral(" (height)"), metrics.height(), button->height());
    } else if (auto *table = qobject_cast<QTableView *>(widget)) {
        // Every cell and heading whole, and every column in sight.
        const QHeaderView *header = table->horizontalHeader();
        const int columns = table->model() ? table->model()->columnCount() : 0;
        for (int column = 0; column < columns; ++column) {
            if (table->isColumnHidden(column))
                continue;
            const QString heading =
                table->model()->headerData(column, Qt::Horizontal).toString();
            const int width = table->columnWidth(column);
            // QTableView hides the override that QAbstractItemView makes public.
            const QAbstractItemView *view = table;
            report(QStringLiteral("column \"%1\"").arg(heading), view->sizeHintForColumn(column),
                   width);
            if (header->isVisible())
                report(QStringLiteral("heading \"%1\"").arg(heading),
                       header->sectionSizeHint(column), width);
            report(QStringLiteral("column \"%1\" (in sight)").arg(heading),
                   table->columnViewportPosition(column) + width, table->viewport()->width());
        }
    } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
        if (!group->title().isEmpty())
            report(group->title(), group->minimumSizeHint().width(), group->width());
    }
}

// A widget that reaches outside one of its ancestors is cut off there.
void checkInside(QWidget *widget, QWidget *window, QStringList *findings)
{
    for (QWidget *ancestor = widget->parentWidget(); ancestor;
         ancestor = ancestor->parentWidget()) {
        const QRect placed(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
        if (!ancestor->rect().contains(placed)) {
            *findings << QStringLiteral("%1 (%2) reaches outside %3: %4,%5 %6x%7 in %8x%9")
                             .arg(widget->objectName(),
                                  QLatin1String(widget->metaObject()->className()),
                                  ancestor->objectName())
                             .arg(placed.x())
                             .arg(placed.y())
                             .arg(placed.width())
                             .arg(placed.height())
                             .arg(ancestor->width())
                             .arg(ancestor->height());
            return;
        }
        if (ancestor == window)
            return;
    }
}

} // namespace

QStringList textsWithoutRoom(QWidget *window)
{
    QStringList findings;
    const auto widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // Widgets of other windows (popups, dialogs), hidden pages, and Qt's
        // own parts (a dock's icon-only title buttons, scroll areas' insides).
        if (widget->window() != window || !widget->isVisibleTo(window)
            || widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        checkText(widget, &findings);
        checkInside(widget, window, &findings);
    }
    return findings;
}
