#include "verification/verificationjson.h"

#include "verification/verificationrules.h"

#include <QJsonArray>

namespace {

const QString PermittedKey = QStringLiteral("permitted_error_percent");
const QString PerformedByKey = QStringLiteral("performed_by");
const QString ReferenceKey = QStringLiteral("reference");
const QString NameKey = QStringLiteral("name");
const QString CertificateKey = QStringLiteral("certificate");
const QString DueKey = QStringLiteral("due");
const QString AsFoundKey = QStringLiteral("as_found");
const QString AsLeftKey = QStringLiteral("as_left");
const QString ForceKey = QStringLiteral("force");
const QString DistanceKey = QStringLiteral("distance");
const QString IndicatedKey = QStringLiteral("indicated");

bool readPoints(const QJsonValue &value, const QString &where, QVector<VerificationPoint> *points,
                QString *error)
{
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isArray()) {
        *error = VerificationJson::tr("\"%1\" is not a list of points.").arg(where);
        return false;
    }
    points->clear();
    for (const QJsonValue &item : value.toArray()) {
        const QJsonObject point = item.toObject();
        if (!item.isObject() || !point.value(ReferenceKey).isDouble() || !point.value(IndicatedKey).isDouble()) {
            *error = VerificationJson::tr("A point of \"%1\" needs a \"reference\" and an \"indicated\" number.")
                         .arg(where);
            return false;
        }
        points->append({point.value(ReferenceKey).toDouble(), point.value(IndicatedKey).toDouble()});
    }
    return true;
}

bool readPass(const QJsonObject &object, const QString &key, VerificationPass *pass, QString *error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isObject()) {
        *error = VerificationJson::tr("\"%1\" is not an object of force and distance points.").arg(key);
        return false;
    }
    const QJsonObject series = value.toObject();
    return readPoints(series.value(ForceKey), key + QLatin1Char('.') + ForceKey, &pass->force, error)
           && readPoints(series.value(DistanceKey), key + QLatin1Char('.') + DistanceKey, &pass->distance, error);
}

QJsonArray pointsJson(const QVector<VerificationPoint> &points)
{
    QJsonArray array;
    for (const VerificationPoint &point : points) {
        QJsonObject object{{ReferenceKey, point.reference}, {IndicatedKey, point.indicated}};
        if (const std::optional<double> error = point.errorPercent())
            object.insert(QStringLiteral("error_percent"), *error);
        array.append(object);
    }
    return array;
}

QJsonObject passJson(const VerificationPass &pass)
{
    QJsonObject object{{ForceKey, pointsJson(pass.force)}};
    if (!pass.distance.isEmpty())
        object.insert(DistanceKey, pointsJson(pass.distance));
    return object;
}

bool readText(const QJsonObject &object, const QString &key, QString *text, QString *error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString()) {
        *error = VerificationJson::tr("\"%1\" is not a text.").arg(key);
        return false;
    }
    *text = value.toString();
    return true;
}

} // namespace

bool VerificationJson::read(const QJsonObject &object, MachineVerification *verification, QString *error)
{
    MachineVerification v = *verification;
    const QJsonValue permitted = object.value(PermittedKey);
    if (!permitted.isUndefined() && !permitted.isNull()) {
        if (!permitted.isDouble()) {
            *error = tr("\"%1\" is not a number.").arg(PermittedKey);
            return false;
        }
        v.permittedErrorPercent = permitted.toDouble();
    }
    if (!readText(object, PerformedByKey, &v.performedBy, error))
        return false;
    const QJsonValue reference = object.value(ReferenceKey);
    if (!reference.isUndefined() && !reference.isNull()) {
        const QJsonObject r = reference.toObject();
        QString due;
        if (!reference.isObject() || !readText(r, NameKey, &v.reference.name, error)
            || !readText(r, CertificateKey, &v.reference.certificate, error) || !readText(r, DueKey, &due, error)) {
            if (error->isEmpty())
                *error = tr("\"%1\" is not an object.").arg(ReferenceKey);
            return false;
        }
        if (!due.isEmpty()) {
            v.reference.dueDate = QDate::fromString(due, Qt::ISODate);
            if (!v.reference.dueDate.isValid()) {
                *error = tr("\"reference.due\" is a date as yyyy-MM-dd, not \"%1\".").arg(due);
                return false;
            }
        }
    }
    if (!readPass(object, AsFoundKey, &v.asFound, error) || !readPass(object, AsLeftKey, &v.asLeft, error))
        return false;
    *verification = v;
    return true;
}

QJsonObject VerificationJson::write(const MachineVerification &v)
{
    QJsonObject object{
        {QStringLiteral("id"), v.id},
        {QStringLiteral("station"), v.station},
        {QStringLiteral("performed_at"), v.performedAt.toUTC().toString(Qt::ISODateWithMs)},
        {PerformedByKey, v.performedBy},
        {ReferenceKey, QJsonObject{{NameKey, v.reference.name},
                                   {CertificateKey, v.reference.certificate},
                                   {DueKey, v.reference.dueDate.isValid() ? QJsonValue(v.reference.dueDate.toString(Qt::ISODate))
                                                                          : QJsonValue()}}},
        {PermittedKey, v.permittedErrorPercent},
        {QStringLiteral("as_found_verdict"), VerificationRules::verdictName(v.asFoundVerdict)},
        {QStringLiteral("as_left_verdict"),
         v.asLeftVerdict ? QJsonValue(VerificationRules::verdictName(*v.asLeftVerdict)) : QJsonValue()},
        {QStringLiteral("next_due"), v.nextDue.toString(Qt::ISODate)},
        {QStringLiteral("source"), v.source},
        {CertificateKey, v.certificatePath},
        {AsFoundKey, passJson(v.asFound)},
    };
    if (!v.asLeft.isEmpty())
        object.insert(AsLeftKey, passJson(v.asLeft));
    return object;
}
