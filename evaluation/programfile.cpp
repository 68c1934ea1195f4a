#include "evaluation/programfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <climits>
#include <cmath>

namespace {

const QString NumberKey = QStringLiteral("number");
const QString SpeedKey = QStringLiteral("speed");
const QString PointsKey = QStringLiteral("points");
const QString SpringKey = QStringLiteral("spring");
const QString DistanceKey = QStringLiteral("distance");
const QString ForceKey = QStringLiteral("force");
const QString LowerKey = QStringLiteral("lower");
const QString UpperKey = QStringLiteral("upper");
const QString ToleranceKey = QStringLiteral("tolerance_percent");
const QString FreeLengthKey = QStringLiteral("free_length");
const QString MeanDiameterKey = QStringLiteral("mean_diameter");
const QString WireDiameterKey = QStringLiteral("wire_diameter");
const QString EffectiveCoilsKey = QStringLiteral("effective_coils");
const QString RateKey = QStringLiteral("rate");

// A program file is a few hundred bytes; anything this large is no program.
constexpr qint64 MaxFileSize = 1024 * 1024;

// Reads the object's known keys and hands back the others.
class ObjectReader
{
public:
    ObjectReader(const QJsonObject &object, const QString &where, QString *error)
        : m_rest(object)
        , m_where(where)
        , m_error(error)
    {
    }

    double number(const QString &key)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined() || value.isNull())
            return 0;
        if (!value.isDouble())
            return fail(key);
        return value.toDouble();
    }

    int integer(const QString &key)
    {
        const double value = number(key);
        if (value != std::trunc(value) || std::fabs(value) > double(INT_MAX))
            return fail(key);
        return int(value);
    }

    QJsonValue take(const QString &key)
    {
        const QJsonValue value = m_rest.value(key);
        m_rest.remove(key);
        return value;
    }

    int fail(const QString &key)
    {
        if (m_error->isEmpty()) {
            *m_error = ProgramFile::tr("\"%1\" in %2 is not a number of the right kind.")
                           .arg(key, m_where);
        }
        return 0;
    }

    QJsonObject rest() const { return m_rest; }

private:
    QJsonObject m_rest;
    QString m_where;
    QString *m_error;
};

QJsonObject withOthers(QJsonObject object, const QJsonObject &others)
{
    for (auto it = others.begin(); it != others.end(); ++it) {
        if (!object.contains(it.key()))
            object.insert(it.key(), it.value());
    }
    return object;
}

} // namespace

constexpr char ProgramFile::Suffix[];

bool ProgramFile::fromJson(const QByteArray &json, TestProgram *program, QString *error)
{
    QString failure;
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        failure = tr("It is no JSON: %1 at byte %2.").arg(parse.errorString()).arg(parse.offset);
    } else if (!document.isObject()) {
        failure = tr("It holds no JSON object.");
    }

    TestProgram read;
    if (failure.isEmpty()) {
        ObjectReader top(document.object(), tr("the program"), &failure);
        read.number = top.integer(NumberKey);
        read.speed = top.integer(SpeedKey);

        const QJsonValue points = top.take(PointsKey);
        if (!points.isUndefined() && !points.isNull() && !points.isArray() && failure.isEmpty())
            failure = tr("\"points\" is not a list.");
        const QJsonArray pointList = points.toArray();
        if (pointList.size() > TestProgram::MaxPoints && failure.isEmpty())
            failure = tr("A program holds at most %1 test points.").arg(TestProgram::MaxPoints);
        for (int i = 0; i < pointList.size() && failure.isEmpty(); ++i) {
            const QString where = tr("test point %1").arg(i + 1);
            if (!pointList.at(i).isObject()) {
                failure = tr("%1 is not an object.").arg(where);
                break;
            }
            ObjectReader reader(pointList.at(i).toObject(), where, &failure);
            TestPoint point;
            point.distance = reader.number(DistanceKey);
            point.force = reader.number(ForceKey);
            point.lower = reader.number(LowerKey);
            point.upper = reader.number(UpperKey);
            point.tolerancePercent = reader.number(ToleranceKey);
            point.otherKeys = reader.rest();
            read.points.append(point);
        }

        const QJsonValue spring = top.take(SpringKey);
        if (!spring.isUndefined() && !spring.isNull() && !spring.isObject() && failure.isEmpty())
            failure = tr("\"spring\" is not an object.");
        ObjectReader springReader(spring.toObject(), tr("the spring data"), &failure);
        read.spring.freeLength = springReader.number(FreeLengthKey);
        read.spring.meanDiameter = springReader.number(MeanDiameterKey);
        read.spring.wireDiameter = springReader.number(WireDiameterKey);
        read.spring.effectiveCoils = springReader.number(EffectiveCoilsKey);
        read.spring.rate = springReader.number(RateKey);
        read.spring.otherKeys = springReader.rest();
        read.otherKeys = top.rest();
    }

    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return false;
    }
    *program = read;
    return true;
}

QByteArray ProgramFile::toJson(const TestProgram &program)
{
    QJsonArray points;
    for (const TestPoint &point : program.points) {
        points.append(withOthers(QJsonObject{{DistanceKey, point.distance},
                                             {ForceKey, point.force},
                                             {LowerKey, point.lower},
                                             {UpperKey, point.upper},
                                             {ToleranceKey, point.tolerancePercent}},
                                 point.otherKeys));
    }
    const SpringData &spring = program.spring;
    const QJsonObject springObject = withOthers(QJsonObject{{FreeLengthKey, spring.freeLength},
                                                            {MeanDiameterKey, spring.meanDiameter},
                                                            {WireDiameterKey, spring.wireDiameter},
                                                            {EffectiveCoilsKey, spring.effectiveCoils},
                                                            {RateKey, spring.rate}},
                                                spring.otherKeys);
    const QJsonObject top = withOthers(QJsonObject{{NumberKey, program.number},
                                                   {SpeedKey, program.speed},
                                                   {PointsKey, points},
                                                   {SpringKey, springObject}},
                                       program.otherKeys);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

bool ProgramFile::load(const QString &path, TestProgram *program, QString *error)
{
    QString failure;
    QFile file(path);
    if (!QFileInfo(path).isFile())
        failure = tr("It is no regular file.");
    else if (!file.open(QIODevice::ReadOnly))
        failure = file.errorString();
    else if (file.size() > MaxFileSize)
        failure = tr("It is too large for a test program.");
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return false;
    }
    return fromJson(file.readAll(), program, error);
}

bool ProgramFile::save(const QString &path, const TestProgram &program, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson(program)) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
