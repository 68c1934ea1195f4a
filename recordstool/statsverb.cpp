// torvelin-records stats: one test point's capability and control chart
// over a filter, as the statistics window computes them, for the quality
// engineer's scripts (--json) or to read.
#include "numbers/numbertext.h"
#include "records/pointseries.h"
#include "records/recordsdatabase.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"
#include "spc/nelsonrules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace VerbSupport;

namespace {

constexpr int ForceDecimals = 3;
constexpr int IndexDecimals = 2;

class StatsText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

// --rules: "nelson" (all eight), "western-electric", or rule numbers
// ("1,2,5"); false for anything else.
bool parseRules(const QString &text, Spc::RuleSet *rules)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("nelson")) {
        *rules = Spc::RuleSet::nelson();
        return true;
    }
    if (t == QLatin1String("western-electric")) {
        *rules = Spc::RuleSet::westernElectric();
        return true;
    }
    bool allRules = false;
    const Spc::RuleSet chosen = Spc::RuleSet::fromNumbers(t, &allRules);
    if (!allRules)
        return false;
    *rules = chosen;
    return true;
}

QJsonValue number(const std::optional<double> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// What the chart and its violations are, in JSON and as text.
struct Figures
{
    PointSeries series;
    Spc::ControlChart chart;
    QVector<Spc::Violation> violations;
    bool individuals() const { return series.summary.subgroupSize == 1; }
};

QJsonObject chartObject(const std::optional<Spc::ChartLine> &line, const QJsonArray &points)
{
    return {{QStringLiteral("center"), number(line ? std::optional<double>(line->center) : std::nullopt)},
            {QStringLiteral("ucl"), number(line ? std::optional<double>(line->upper) : std::nullopt)},
            {QStringLiteral("lcl"), number(line ? std::optional<double>(line->lower) : std::nullopt)},
            {QStringLiteral("points"), points}};
}

QByteArray json(const Figures &f)
{
    const BatchStatistics::PointSummary &s = f.series.summary;
    const Spc::Capability &c = s.capability;
    QJsonArray location;
    for (double value : f.chart.location)
        location.append(value);
    QJsonArray spread;
    for (const std::optional<double> &value : f.chart.spread)
        spread.append(number(value));
    QJsonArray violations;
    for (const Spc::Violation &v : f.violations)
        violations.append(QJsonObject{{QStringLiteral("rule"), v.rule}, {QStringLiteral("subgroup"), v.point}});
    QJsonObject object{
        {QStringLiteral("n"), s.n},
        {QStringLiteral("mean"), number(s.mean)},
        {QStringLiteral("s"), number(s.standardDeviation)},
        {QStringLiteral("min"), number(s.minimum)},
        {QStringLiteral("max"), number(s.maximum)},
        {QStringLiteral("pp"), number(c.pp)},
        {QStringLiteral("ppk"), number(c.ppk)},
        {QStringLiteral("cp"), number(c.cp)},
        {QStringLiteral("cpk"), number(c.cpk)},
        {QStringLiteral("subgroup_size"), s.subgroupSize},
        // Whether the charts' limits are the ones frozen for the part.
        {QStringLiteral("frozen"), f.chart.frozen},
        {QStringLiteral("violations"), violations},
    };
    object.insert(f.individuals() ? QStringLiteral("i_chart") : QStringLiteral("xbar_chart"),
                  chartObject(f.chart.locationLimits, location));
    object.insert(f.individuals() ? QStringLiteral("mr_chart") : QStringLiteral("s_chart"),
                  chartObject(f.chart.spreadLimits, spread));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QString text(const Figures &f, const QString &part, int pointNo)
{
    const BatchStatistics::PointSummary &s = f.series.summary;
    const Spc::Capability &c = s.capability;
    const QString none = StatsText::tr("none");
    auto force = [&](const std::optional<double> &v) {
        return v ? NumberText::fixed(*v, ForceDecimals) : none;
    };
    auto index = [&](const std::optional<double> &v) {
        return v ? NumberText::fixed(*v, IndexDecimals) : none;
    };
    QStringList lines;
    lines << StatsText::tr("Part %1, test point %2, subgroups of %3").arg(part).arg(pointNo).arg(s.subgroupSize);
    auto row = [&](const QString &label, const QString &value) {
        lines << QStringLiteral("  %1 %2").arg(label, -22).arg(value);
    };
    row(StatsText::tr("n"), QString::number(s.n));
    row(StatsText::tr("mean (N)"), force(s.mean));
    row(StatsText::tr("overall s (N)"), force(s.standardDeviation));
    row(StatsText::tr("min (N)"), force(s.minimum));
    row(StatsText::tr("max (N)"), force(s.maximum));
    row(StatsText::tr("lower, upper (N)"), s.limitsDiffer ? StatsText::tr("differ")
                                                          : force(s.lower) + QStringLiteral(", ") + force(s.upper));
    row(StatsText::tr("Pp, Ppk (overall s)"), index(c.pp) + QStringLiteral(", ") + index(c.ppk));
    row(StatsText::tr("σ within (N)"), force(c.sigmaWithin));
    row(StatsText::tr("Cp, Cpk (σ within)"), index(c.cp) + QStringLiteral(", ") + index(c.cpk));
    auto line = [&](const QString &label, const std::optional<Spc::ChartLine> &l) {
        row(label, l ? StatsText::tr("centre %1, UCL %2, LCL %3")
                           .arg(force(l->center), force(l->upper), force(l->lower))
                     : none);
    };
    line(f.individuals() ? StatsText::tr("I chart") : StatsText::tr("X-bar chart"), f.chart.locationLimits);
    line(f.individuals() ? StatsText::tr("MR chart") : StatsText::tr("s chart"), f.chart.spreadLimits);
    row(StatsText::tr("limits"), f.chart.frozen ? StatsText::tr("frozen for the part")
                                                : StatsText::tr("from the data shown"));
    row(StatsText::tr("subgroups"), QString::number(f.chart.location.size()));
    if (f.violations.isEmpty())
        row(StatsText::tr("violations"), none);
    for (const Spc::Violation &v : f.violations)
        row(StatsText::tr("violation"), StatsText::tr("rule %1 at subgroup %2 (from 0)").arg(v.rule).arg(v.point));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

int statsVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, StatsText::tr("One test point's capability (Pp/Ppk with the overall s, "
                                             "Cp/Cpk with the within-subgroup σ) and control chart over "
                                             "the tests of a filter, in the order they were tested."));
    verb.addDatabaseOption();
    verb.addFilterOptions();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("point"), StatsText::tr("The test point (its number)."), StatsText::tr("N")},
        {QStringLiteral("subgroup"),
         StatsText::tr("Consecutive tests per subgroup, 2 to 10, or 1 for individuals and moving range "
                       "(default %1).")
             .arg(Spc::DefaultSubgroupSize),
         StatsText::tr("K"), QString::number(Spc::DefaultSubgroupSize)},
        {QStringLiteral("rules"),
         StatsText::tr("The rules judged: nelson (all eight, the default), western-electric, or "
                       "numbers such as 1,2,5."),
         StatsText::tr("RULES"), QStringLiteral("nelson")},
        {QStringLiteral("json"), StatsText::tr("One JSON object instead of the table.")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("part"), QStringLiteral("point")},
                    &exitCode))
        return exitCode;
    bool pointOk = false;
    bool sizeOk = false;
    const int pointNo = NumberText::toInt(parser.value(QStringLiteral("point")), &pointOk);
    const int size = NumberText::toInt(parser.value(QStringLiteral("subgroup")), &sizeOk);
    Spc::RuleSet rules;
    if (!pointOk || pointNo < 1)
        return verb.usageError(err, StatsText::tr("--point is a test point's number."));
    if (!sizeOk || size < Spc::MinSubgroupSize || size > Spc::MaxSubgroupSize)
        return verb.usageError(err, StatsText::tr("--subgroup is 1 to %1.").arg(Spc::MaxSubgroupSize));
    if (!parseRules(parser.value(QStringLiteral("rules")), &rules))
        return verb.usageError(err, StatsText::tr("--rules is nelson, western-electric or rule numbers 1 to %1.")
                                        .arg(Spc::RuleCount));

    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    const HistoryFilter filter = verb.filter();
    QVector<PointSeries> points;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    // The statistics the window shows, read as the window reads them.
    RecordsDatabase::settleReaderSession(db);
    if (!PointSeriesQuery::load(db, filter, size, &points, &error, pointNo))
        return verb.refuse(err, error);
    Figures figures;
    // No test with the point: n 0 and nothing else known.
    if (!points.isEmpty())
        figures.series = points.first();
    figures.series.summary.pointNo = pointNo;
    figures.series.summary.subgroupSize = size;
    figures.chart = figures.series.chart();
    if (figures.chart.locationLimits)
        figures.violations = Spc::violations(figures.chart.location, *figures.chart.locationLimits, rules);
    if (parser.isSet(QStringLiteral("json")))
        out->write(json(figures));
    else
        print(out, text(figures, filter.partNumber.trimmed(), pointNo));
    return RecordsTool::Success;
}
