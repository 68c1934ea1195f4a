#include "results/resultsdock.h"

#include "numbers/numbertext.h"
#include "evaluation/testprogram.h"
#include "widgets/widgetfit.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { PointColumn, DistanceColumn, ForceColumn, LimitsColumn, VerdictColumn, ColumnCount };

constexpr int RateDecimals = 3;
constexpr int PercentDecimals = 2;
constexpr double VerdictFontScale = 2.5;
const char NoFigure[] = "–";
const char AlarmColour[] = "#c00000";

QString figure(const std::optional<double> &value, int decimals)
{
    return value ? NumberText::fixed(*value, decimals) : QString::fromUtf8(NoFigure);
}

QString force(const std::optional<double> &value)
{
    return figure(value, forceDecimals);
}

} // namespace

ResultsDock::ResultsDock(QWidget *parent)
    : QDockWidget(tr("Results"), parent)
    , m_program(new QLabel(this))
    , m_points(new QTableWidget(0, ColumnCount, this))
    , m_figures(new QLabel(this))
    , m_verdict(new QLabel(this))
    , m_alarm(new QLabel(this))
{
    setObjectName(QStringLiteral("resultsDock"));
    m_program->setObjectName(QStringLiteral("resultsProgramLabel"));
    m_points->setObjectName(QStringLiteral("resultsTable"));
    m_figures->setObjectName(QStringLiteral("resultsFiguresLabel"));
    m_verdict->setObjectName(QStringLiteral("resultsVerdictLabel"));
    m_alarm->setObjectName(QStringLiteral("resultsAlarmLabel"));

    m_program->setWordWrap(true);
    m_points->setHorizontalHeaderLabels({tr("Point"), tr("Distance (mm)"), tr("Force (N)"),
                                         tr("Limits (N)"), tr("Verdict")});
    m_points->verticalHeader()->hide();
    m_points->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_points->setSelectionMode(QAbstractItemView::NoSelection);
    // Five rows and every column in view, without scrolling, where the
    // window has the room; where it has not, the table scrolls sideways, so
    // that no verdict is ever out of reach.
    m_points->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);

    QFont big = m_verdict->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * VerdictFontScale);
    m_verdict->setFont(big);
    m_verdict->setAlignment(Qt::AlignCenter);
    m_alarm->setWordWrap(true);
    m_alarm->setStyleSheet(QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(QLatin1String(AlarmColour)));
    m_alarm->hide();

    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->addWidget(m_program);
    layout->addWidget(m_points);
    layout->addWidget(m_figures);
    layout->addWidget(m_verdict);
    layout->addWidget(m_alarm);
    layout->addStretch();
    setWidget(content);

    showProgram(QString());
    showEvaluation(Evaluation(), false);
}

void ResultsDock::showProcessAlarm(const QString &text)
{
    m_alarm->setText(text);
    m_alarm->setVisible(!text.isEmpty());
}

QString ResultsDock::verdictText(PointVerdict verdict)
{
    switch (verdict) {
    case PointVerdict::Pass:
        return tr("Pass");
    case PointVerdict::Fail:
        return tr("Fail");
    case PointVerdict::NotReached:
        break;
    }
    return tr("Not reached");
}

QColor ResultsDock::verdictColour(PointVerdict verdict)
{
    switch (verdict) {
    case PointVerdict::Pass:
        return QColor(0x1b, 0x80, 0x3a);
    case PointVerdict::Fail:
        return QColor(0xc6, 0x28, 0x28);
    case PointVerdict::NotReached:
        break;
    }
    return QColor(0x80, 0x80, 0x80);
}

void ResultsDock::showProgram(const QString &name)
{
    m_program->setText(name.isEmpty() ? tr("No program chosen (Program menu).")
                                      : tr("Program: %1").arg(name));
}

void ResultsDock::setCell(int row, int column, const QString &text, const QColor &colour)
{
    QTableWidgetItem *item = m_points->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_points->setItem(row, column, item);
    }
    if (item->text() != text) {
        item->setText(text);
        // Rare (the columns keep room for five-digit forces): asking every
        // column's size at each curve block would cost the line rate.
        if (WidgetFit::cellWidth(m_points, text) > m_points->columnWidth(column))
            m_columnsOutgrown = true;
    }
    if (colour.isValid() && item->foreground().color() != colour)
        item->setForeground(colour);
}

// Room from the start for the widest figures a test shows (five-digit
// forces), so that the panel does not widen, or scroll, in mid-test.
void ResultsDock::fitColumns()
{
    const QString force = WidgetFit::digits(5, forceDecimals);
    const QString distance = WidgetFit::digits(3, NumberText::DistanceDecimals);
    QString verdict;
    for (PointVerdict each : {PointVerdict::Pass, PointVerdict::Fail, PointVerdict::NotReached}) {
        if (verdictText(each).size() > verdict.size())
            verdict = verdictText(each);
    }
    WidgetFit::fitColumns(m_points, {QString::number(TestProgram::MaxPoints), distance, force,
                                     QStringLiteral("%1 … %1").arg(force), verdict});
    m_columnsOutgrown = false;
}

void ResultsDock::showEvaluation(const Evaluation &evaluation, bool judged, Phase phase)
{
    const bool testing = phase == Phase::Testing;
    if (m_points->rowCount() != evaluation.points.size()) {
        m_points->setRowCount(evaluation.points.size());
        m_columnsOutgrown = true;
    }
    for (int row = 0; row < evaluation.points.size(); ++row) {
        const PointResult &point = evaluation.points.at(row);
        setCell(row, PointColumn, QString::number(point.number));
        setCell(row, DistanceColumn, NumberText::distance(point.distance));
        setCell(row, ForceColumn, force(point.force));
        setCell(row, LimitsColumn,
                QStringLiteral("%1 … %2").arg(NumberText::force(point.limits.lower),
                                  NumberText::force(point.limits.upper)));
        // The stroke may still get there.
        if (testing && point.verdict == PointVerdict::NotReached)
            setCell(row, VerdictColumn, QString::fromUtf8(NoFigure), verdictColour(point.verdict));
        else
            setCell(row, VerdictColumn, verdictText(point.verdict), verdictColour(point.verdict));
    }

    if (m_columnsOutgrown)
        fitColumns();

    QStringList rates;
    for (const std::optional<double> &rate : evaluation.rates)
        rates.append(figure(rate, RateDecimals));
    m_figures->setText(tr("Rates between points: %1 N/mm\n"
                          "Fitted rate: %2 N/mm\n"
                          "Maximum force: %3 N\n"
                          "Hysteresis: %4 %")
                           .arg(rates.isEmpty() ? QString::fromUtf8(NoFigure)
                                                : rates.join(QStringLiteral(", ")),
                                figure(evaluation.rateFit, RateDecimals),
                                force(evaluation.maxForce),
                                figure(evaluation.hysteresisPercent, PercentDecimals)));

    const bool aborted = phase == Phase::Aborted;
    const QString verdict = !judged    ? QString()
                            : testing  ? tr("Testing…")
                            : aborted  ? tr("Aborted")
                            : evaluation.passed ? tr("PASS")
                                                : tr("FAIL");
    if (m_verdict->text() != verdict) {
        const PointVerdict overall = testing || aborted  ? PointVerdict::NotReached
                                     : evaluation.passed ? PointVerdict::Pass
                                                         : PointVerdict::Fail;
        QPalette palette = m_verdict->palette();
        palette.setColor(QPalette::WindowText, verdictColour(overall));
        m_verdict->setPalette(palette);
        m_verdict->setText(verdict);
    }
}
