#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class QTextStream;

// The benchmark's table: one row per figure, with its goal and whether the
// figure meets it, printed as a Markdown table so that it can be pasted.
class Report
{
public:
    enum class Verdict { Met, Missed, Shown };

    void addRow(const QString &measure, const QString &figure, const QString &goal = QString(),
                Verdict verdict = Verdict::Shown);
    // A figure against an upper or lower bound.
    void addAtMost(const QString &measure, double value, double bound, const QString &figure,
                   const QString &goal);
    void addAtLeast(const QString &measure, double value, double bound, const QString &figure,
                    const QString &goal);
    void addFailure(const QString &measure, const QString &why);
    void addNote(const QString &note);

    int missed() const;
    void print(QTextStream &out) const;

private:
    struct Row
    {
        QString measure;
        QString figure;
        QString goal;
        Verdict verdict;
    };

    QVector<Row> m_rows;
    QStringList m_notes;
};
