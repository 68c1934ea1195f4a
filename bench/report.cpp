#include "bench/report.h"

#include <QTextStream>

#include <algorithm>

namespace {
QString verdictText(Report::Verdict verdict)
{
    switch (verdict) {
    case Report::Verdict::Met:
        return QStringLiteral("met");
    case Report::Verdict::Missed:
        return QStringLiteral("MISSED");
    case Report::Verdict::Shown:
        break;
    }
    return QString();
}
} // namespace

void Report::addRow(const QString &measure, const QString &figure, const QString &goal, Verdict verdict)
{
    m_rows.append({measure, figure, goal, verdict});
}

void Report::addAtMost(const QString &measure, double value, double bound, const QString &figure,
                       const QString &goal)
{
    addRow(measure, figure, goal, value <= bound ? Verdict::Met : Verdict::Missed);
}

void Report::addAtLeast(const QString &measure, double value, double bound, const QString &figure,
                        const QString &goal)
{
    addRow(measure, figure, goal, value >= bound ? Verdict::Met : Verdict::Missed);
}

void Report::addFailure(const QString &measure, const QString &why)
{
    addRow(measure, QStringLiteral("not measured: ") + why, QString(), Verdict::Missed);
}

void Report::addNote(const QString &note)
{
    m_notes.append(note);
}

int Report::missed() const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(),
                             [](const Row &row) { return row.verdict == Verdict::Missed; }));
}

void Report::print(QTextStream &out) const
{
    const QStringList header = {QStringLiteral("Measure"), QStringLiteral("Figure"),
                                QStringLiteral("Goal"), QStringLiteral("Verdict")};
    QVector<int> width;
    for (const QString &title : header)
        width.append(title.size());
    for (const Row &row : m_rows) {
        width[0] = std::max(width[0], row.measure.size());
        width[1] = std::max(width[1], row.figure.size());
        width[2] = std::max(width[2], row.goal.size());
        width[3] = std::max(width[3], verdictText(row.verdict).size());
    }
    const auto line = [&](const QStringList &cells) {
        out << '|';
        for (int i = 0; i < cells.size(); ++i)
            out << ' ' << cells.at(i).leftJustified(width.at(i)) << " |";
        out << '\n';
    };
    line(header);
    QStringList rule;
    for (int w : width)
        rule.append(QString(w, QLatin1Char('-')));
    line(rule);
    for (const Row &row : m_rows)
        line({row.measure, row.figure, row.goal, verdictText(row.verdict)});
    if (!m_notes.isEmpty())
        out << '\n';
    for (const QString &note : m_notes)
        out << note << '\n';
    out.flush();
}
