#include "records/resultscsv.h"

#include "numbers/numbertext.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int HysteresisDecimals = 2;
const char *const PointFieldNames[] = {"distance", "force", "lower", "upper", "verdict"};
const char CrLf[] = "\r\n";

QString number(const std::optional<double> &value, int decimals)
{
    return value ? NumberText::fixed(*value, decimals) : QString();
}

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

// A text a spreadsheet would take for a formula (=, +, -, @ first) is
// written as text: a part number typed as "=1+2" must not compute.
QString plainText(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@");
    if (!text.isEmpty() && formulaStarts.contains(text.at(0)))
        return QLatin1Char('\'') + text;
    return text;
}

int pointCountOf(const QVector<StoredTest> &tests)
{
    int count = 0;
    for (const StoredTest &test : tests) {
        for (const PointResultRecord &point : test.evaluation.points)
            count = std::max(count, point.pointNo);
    }
    return count;
}

} // namespace

namespace Csv {

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString record(const QStringList &fields)
{
    QStringList escaped;
    escaped.reserve(fields.size());
    for (const QString &text : fields)
        escaped << field(text);
    return escaped.join(QLatin1Char(',')) + QLatin1String(CrLf);
}

} // namespace Csv

namespace ResultsCsv {

QStringList header(int pointCount)
{
    QStringList names{QStringLiteral("id"),
                      QStringLiteral("started_at"),
                      QStringLiteral("finished_at"),
                      QStringLiteral("status"),
                      QStringLiteral("station"),
                      QStringLiteral("operator"),
                      QStringLiteral("part_number"),
                      QStringLiteral("batch"),
                      QStringLiteral("serial_number"),
                      QStringLiteral("mode"),
                      QStringLiteral("distance_mode"),
                      QStringLiteral("speed"),
                      QStringLiteral("distance"),
                      QStringLiteral("machine_type"),
                      QStringLiteral("force_decimals"),
                      QStringLiteral("program_number"),
                      QStringLiteral("verdict"),
                      QStringLiteral("max_force"),
                      QStringLiteral("rate_fit"),
                      QStringLiteral("hysteresis_percent")};
    for (int no = 1; no <= pointCount; ++no) {
        for (const char *suffix : PointFieldNames)
            names << QStringLiteral("p%1_%2").arg(no).arg(QLatin1String(suffix));
    }
    return names;
}

QStringList row(const StoredTest &test, int pointCount)
{
    const TestHeader &h = test.header;
    const EvaluationRecord &e = test.evaluation;
    const int decimals = h.forceDecimals;
    QStringList fields{
        QString::number(test.id),
        timeText(h.startedAt),
        timeText(test.finishedAt),
        test.status,
        plainText(h.station),
        plainText(h.identity.operatorName),
        plainText(h.identity.partNumber),
        plainText(h.identity.batch),
        plainText(h.identity.serialNumber),
        h.setting.mode == 0 ? QStringLiteral("PUSH") : QStringLiteral("PULL"),
        h.setting.distanceMode == 0 ? QStringLiteral("relative") : QStringLiteral("absolute"),
        QString::number(h.setting.speed),
        NumberText::distance(h.setting.distance),
        QString::number(h.machineType),
        QString::number(decimals),
        e.judged ? QString::number(e.programNumber) : QString(),
        e.judged ? e.verdict : QString(),
        number(e.maxForce, decimals),
        number(e.rateFit, decimals),
        number(e.hysteresisPercent, HysteresisDecimals),
    };
    for (int no = 1; no <= pointCount; ++no) {
        const auto point = std::find_if(e.points.cbegin(), e.points.cend(),
                                        [no](const PointResultRecord &p) { return p.pointNo == no; });
        if (point == e.points.cend()) {
            for (size_t i = 0; i < std::size(PointFieldNames); ++i)
                fields << QString();
            continue;
        }
        fields << NumberText::distance(point->distance) << number(point->force, decimals)
               << NumberText::fixed(point->lower, decimals)
               << NumberText::fixed(point->upper, decimals) << point->verdict;
    }
    return fields;
}

QByteArray document(const QVector<StoredTest> &tests)
{
    const int pointCount = pointCountOf(tests);
    QString text = Csv::record(header(pointCount));
    for (const StoredTest &test : tests)
        text += Csv::record(row(test, pointCount));
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace ResultsCsv
