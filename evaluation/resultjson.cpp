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
           + Verdicts::key(point.verdict).toLatin1() + "\"}";
}

} // namespace

namespace ResultJson {

QByteArray line(const QString &file, const Evaluation &evaluation)
{
    QByteArrayList points;
    for (const PointResult &point : evaluation.points)
        points.append(pointObject(point));
    QByteArrayList rates;
    for (const std::optional<double> &rate : evaluation.rates)
        rates.append(number(rate));
    return "{\"file\": " + text(file) + ", \"verdict\": \""
           + Verdicts::key(evaluation.verdict).toLatin1()
           + "\", \"points\": [" + points.join(", ") + "], \"rates\": [" + rates.join(", ")
           + "], \"rate_fit\": " + number(evaluation.rateFit)
           + ", \"max_force\": " + number(evaluation.maxForce)
           + ", \"hysteresis_percent\": " + number(evaluation.hysteresisPercent) + "}";
}

} // namespace ResultJson
