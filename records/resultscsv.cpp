#include "records/resultscsv.h"

#include "numbers/numbertext.h"
#include "records/schema.h"

#include <algorithm>
#include <iterator>

namespace {

using namespace Schema;

constexpr int HysteresisDecimals = 2;
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

// The columns of a test, each under its column's name in the database.
struct TestField
{
    Column column;
    QString (*text)(const StoredTest &test);
};

int decimalsOf(const StoredTest &test)
{
    return test.header.forceDecimals;
}

const TestField TestFields[] = {
    {Tests::id, [](const StoredTest &t) { return QString::number(t.id); }},
    {Tests::startedAt, [](const StoredTest &t) { return timeText(t.header.startedAt); }},
    {Tests::finishedAt, [](const StoredTest &t) { return timeText(t.finishedAt); }},
    {Tests::status, [](const StoredTest &t) { return t.status; }},
    {Tests::station, [](const StoredTest &t) { return plainText(t.header.station); }},
    {Tests::operatorName, [](const StoredTest &t) { return plainText(t.header.identity.operatorName); }},
    {Tests::partNumber, [](const StoredTest &t) { return plainText(t.header.identity.partNumber); }},
    {Tests::batch, [](const StoredTest &t) { return plainText(t.header.identity.batch); }},
    {Tests::serialNumber, [](const StoredTest &t) { return plainText(t.header.identity.serialNumber); }},
    {Tests::mode,
     [](const StoredTest &t) {
         return t.header.setting.mode == 0 ? QStringLiteral("PUSH") : QStringLiteral("PULL");
     }},
    {Tests::distanceMode,
     [](const StoredTest &t) {
         return t.header.setting.distanceMode == 0 ? QStringLiteral("relative") : QStringLiteral("absolute");
     }},
    {Tests::speed, [](const StoredTest &t) { return QString::number(t.header.setting.speed); }},
    {Tests::distance, [](const StoredTest &t) { return NumberText::distance(t.header.setting.distance); }},
    {Tests::machineType, [](const StoredTest &t) { return QString::number(t.header.machineType); }},
    {Tests::forceDecimals, [](const StoredTest &t) { return QString::number(decimalsOf(t)); }},
    {Tests::programNumber,
     [](const StoredTest &t) {
         return t.evaluation.judged ? QString::number(t.evaluation.programNumber) : QString();
     }},
    {Tests::verdict, [](const StoredTest &t) { return t.evaluation.judged ? Verdicts::key(t.evaluation.verdict) : QString(); }},
    {Tests::maxForce, [](const StoredTest &t) { return number(t.evaluation.maxForce, decimalsOf(t)); }},
    {Tests::rateFit, [](const StoredTest &t) { return number(t.evaluation.rateFit, decimalsOf(t)); }},
    {Tests::hysteresisPercent,
     [](const StoredTest &t) { return number(t.evaluation.hysteresisPercent, HysteresisDecimals); }},
};

// The columns of each test point k, named pk_ and the column's name.
struct PointField
{
    Column column;
    QString (*text)(const PointResultRecord &point, int decimals);
};

const PointField PointFields[] = {
    {PointResults::distance, [](const PointResultRecord &p, int) { return NumberText::distance(p.distance); }},
    {PointResults::force, [](const PointResultRecord &p, int decimals) { return number(p.force, decimals); }},
    {PointResults::lower, [](const PointResultRecord &p, int decimals) { return NumberText::fixed(p.lower, decimals); }},
    {PointResults::upper, [](const PointResultRecord &p, int decimals) { return NumberText::fixed(p.upper, decimals); }},
    {PointResults::verdict, [](const PointResultRecord &p, int) { return Verdicts::key(p.verdict); }},
};

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
    QStringList names;
    for (const TestField &field : TestFields)
        names << field.column.nameText();
    for (int no = 1; no <= pointCount; ++no) {
        for (const PointField &field : PointFields)
            names << QStringLiteral("p%1_%2").arg(no).arg(field.column.nameText());
    }
    return names;
}

QStringList row(const StoredTest &test, int pointCount)
{
    QStringList fields;
    for (const TestField &field : TestFields)
        fields << field.text(test);
    const QVector<PointResultRecord> &points = test.evaluation.points;
    for (int no = 1; no <= pointCount; ++no) {
        const auto point = std::find_if(points.cbegin(), points.cend(),
                                        [no](const PointResultRecord &p) { return p.pointNo == no; });
        for (const PointField &field : PointFields)
            fields << (point == points.cend() ? QString() : field.text(*point, decimalsOf(test)));
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
