#include "evaluation/resultjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

namespace {

QByteArray text(const QString &value)
{
    // A one-element array is the shortest way to Qt's JSON string escaping.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray number(const std::optional<double> &value)
{
    return value ? number(*value) : QByteArrayLiteral("null");
}

QByteArray pointObject(const PointResult &point)
{
    return "{\"no\": " + QByteArray::number(point.number) + ", \"distance\": " + number(point.distance)
           + ", \"force\": " + number(point.force) + ", \"lower\": " + number(point.limits.lower)
           + ", \"upper\": " + number(point.limits.upper) + ", \"verdict\": \""
           + ResultJson::verdictWord(point.verdict) + "\"}";
}

} // namespace

namespace ResultJson {

QByteArray verdictWord(PointVerdict verdict)
{
    switch (verdict) {
    case PointVerdict::Pass:
        return QByteArrayLiteral("pass");
    case PointVerdict::Fail:
        return QByteArrayLiteral("fail");
    case PointVerdict::NotReached:
        break;
    }
    return QByteArrayLiteral("not reached");
}

QByteArray line(const QString &file, const Evaluation &evaluation)
{
    QByteArrayList points;
    for (const PointResult &point : evaluation.points)
        points.append(pointObject(point));
    QByteArrayList rates;
    for (const std::optional<double> &rate : evaluation.rates)
        rates.append(number(rate));
    return "{\"file\": " + text(file) + ", \"verdict\": \""
           + (evaluation.passed ? QByteArrayLiteral("pass") : QByteArrayLiteral("fail"))
           + "\", \"points\": [" + points.join(", ") + "], \"rates\": [" + rates.join(", ")
           + "], \"rate_fit\": " + number(evaluation.rateFit)
           + ", \"max_force\": " + number(evaluation.maxForce)
           + ", \"hysteresis_percent\": " + number(evaluation.hysteresisPercent) + "}";
}

} // namespace ResultJson
