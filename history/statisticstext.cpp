#include "history/statisticstext.h"

#include "numbers/numbertext.h"
#include "spc/ruletext.h"

namespace {
constexpr int CapabilityDecimals = 2;
// Where row() puts the capabilities.
constexpr int PpColumn = 9;
constexpr int PpkColumn = 10;
constexpr int CpColumn = 12;
constexpr int CpkColumn = 13;
} // namespace

QStringList StatisticsText::headers()
{
    return {tr("Point"),          tr("n"),          tr("Not reached"),       tr("Mean (N)"),
            tr("Overall s (N)"),  tr("Min (N)"),    tr("Max (N)"),           tr("Lower (N)"),
            tr("Upper (N)"),      tr("Pp"),         tr("Ppk"),               tr("σ within (N)"),
            tr("Cp"),             tr("Cpk")};
}

QStringList StatisticsText::row(const BatchStatistics::PointSummary &point)
{
    auto force = [](const std::optional<double> &value) {
        return value ? NumberText::force(*value) : tr("none");
    };
    auto capability = [](const std::optional<double> &value) {
        return value ? NumberText::fixed(*value, CapabilityDecimals) : tr("none");
    };
    const QString mixed = tr("differ");
    const Spc::Capability &c = point.capability;
    return {QString::number(point.pointNo),
            QString::number(point.n),
            QString::number(point.notReached),
            force(point.mean),
            force(point.standardDeviation),
            force(point.minimum),
            force(point.maximum),
            point.limitsDiffer ? mixed : force(point.lower),
            point.limitsDiffer ? mixed : force(point.upper),
            capability(c.pp),
            capability(c.ppk),
            force(c.sigmaWithin),
            capability(c.cp),
            capability(c.cpk)};
}

QString StatisticsText::filterDescription(const HistoryFilter &filter, const QDateTime &firstStarted,
                                          const QDateTime &lastStarted)
{
    const QString any = tr("any");
    const QString part = filter.partNumber.trimmed().isEmpty() ? any : filter.partNumber.trimmed();
    const QString batch = filter.batch.trimmed().isEmpty() ? any : filter.batch.trimmed();
    auto day = [](const QDateTime &time) {
        return time.isValid() ? time.toLocalTime().date().toString(QStringLiteral("yyyy-MM-dd"))
                              : QString();
    };
    // The bound is the start of the day after the last one chosen.
    const QString from = filter.startedFrom.isValid() ? day(filter.startedFrom) : day(firstStarted);
    const QString to = filter.startedBefore.isValid() ? day(filter.startedBefore.addMSecs(-1))
                                                      : day(lastStarted);
    const QString days = !from.isEmpty() && !to.isEmpty() ? tr("%1 – %2").arg(from, to)
                         : !from.isEmpty()                ? tr("from %1").arg(from)
                         : !to.isEmpty()                  ? tr("until %1").arg(to)
                                                          : tr("no tests");
    QString verdict;
    switch (filter.verdict) {
    case HistoryFilter::Verdict::Any: verdict = any; break;
    case HistoryFilter::Verdict::Pass: verdict = tr("pass"); break;
    case HistoryFilter::Verdict::Fail: verdict = tr("fail"); break;
    case HistoryFilter::Verdict::NotJudged: verdict = tr("not judged"); break;
    }
    return tr("Part number: %1 · Batch: %2 · Days: %3 · Verdict: %4")
        .arg(part, batch, days, verdict);
}

QVector<int> StatisticsText::lowCapabilityColumns(const BatchStatistics::PointSummary &point)
{
    const Spc::Capability &c = point.capability;
    QVector<int> columns;
    const std::pair<const std::optional<double> &, int> indices[] = {
        {c.pp, PpColumn}, {c.ppk, PpkColumn}, {c.cp, CpColumn}, {c.cpk, CpkColumn}};
    for (const auto &[index, column] : indices) {
        if (Spc::belowGoal(index))
            columns << column;
    }
    return columns;
}

QString StatisticsText::subgroupSize(int size)
{
    return size == 1 ? tr("1 (moving range)") : QString::number(size);
}

QString StatisticsText::formulas(int subgroupSize)
{
    const QString within = subgroupSize == 1
                               ? tr("σ within = MR-bar / d2 with d2 = %1, MR-bar the mean moving "
                                    "range of consecutive tests")
                                     .arg(Spc::MovingRange::d2)
                               : tr("σ within = s-bar / c4 with c4 = %1, s-bar the mean standard "
                                    "deviation of subgroups of %2 consecutive tests (an "
                                    "incomplete last subgroup left out)")
                                     .arg(Spc::subgroupConstants(subgroupSize)->c4)
                                     .arg(subgroupSize);
    return tr("Overall s: the sample standard deviation of every test (n − 1). "
              "Pp = (USL − LSL) / 6s, Ppk = min(USL − mean, mean − LSL) / 3s. "
              "%1; Cp = (USL − LSL) / (6 σ within), "
              "Cpk = min(USL − mean, mean − LSL) / (3 σ within). "
              "None without both limits or without spread. Figures below %2 are marked red.")
        .arg(within)
        .arg(Spc::CapabilityGoal);
}

QString StatisticsText::ruleNumbers(const Spc::RuleSet &rules)
{
    QStringList on;
    for (int rule = 1; rule <= Spc::RuleCount; ++rule) {
        if (rules.isOn(rule))
            on << RuleText::name(rule, rules);
    }
    return on.isEmpty() ? tr("none") : on.join(QStringLiteral("; "));
}

QString StatisticsText::violation(const Spc::Violation &violation, const Spc::RuleSet &rules)
{
    return tr("Subgroup %1: rule %2").arg(violation.point + 1).arg(RuleText::name(violation.rule, rules));
}

QString StatisticsText::limitsSource(const Spc::ControlChart &chart, const Spc::FrozenLimits *frozen)
{
    auto day = [](const QDateTime &time) {
        return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) : tr("?");
    };
    if (chart.frozen && frozen) {
        return tr("Limits frozen by %1 on %2 from %3 tests (%4 – %5).")
            .arg(frozen->frozenBy, day(frozen->frozenAt))
            .arg(frozen->baseTests)
            .arg(day(frozen->baseFrom), day(frozen->baseTo));
    }
    if (frozen) {
        return tr("Limits from the data shown: the frozen limits are for subgroups of %1.")
            .arg(subgroupSize(frozen->subgroupSize));
    }
    return tr("Limits from the data shown.");
}

QString StatisticsText::counts(int count, int passed, int failed)
{
    return tr("%1 tests · %2 pass · %3 fail").arg(count).arg(passed).arg(failed);
}

QString StatisticsText::pointTitle(int pointNo)
{
    return tr("Force at test point %1 (N)").arg(pointNo);
}
