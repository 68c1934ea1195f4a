#include "qdas/dfqexport.h"

#include "numbers/numbertext.h"
#include "evaluation/programfile.h"

#include <QHash>
#include <QMap>
#include <QStringList>

#include <algorithm>

namespace {

const char ForceUnit[] = "N";
const char RateUnit[] = "N/mm";

// What makes two tests' values one characteristic.
struct Definition
{
    double from = 0; // distance of the point, or of the rate's first point
    double to = 0;   // of the rate's second point
    std::optional<double> nominal;
    std::optional<double> lower;
    std::optional<double> upper;
    qint64 firstTest = 0;
    int decimals = 0;
    int index = 0;   // place in the document, from 0

    bool sameAs(const Definition &other) const
    {
        return from == other.from && to == other.to && nominal == other.nominal
               && lower == other.lower && upper == other.upper;
    }
};

// The programs tests were judged with, read once for each distinct text.
class Programs
{
public:
    const TestProgram &of(const StoredTest &test)
    {
        auto it = m_programs.find(test.evaluation.programJson);
        if (it == m_programs.end()) {
            TestProgram program;
            // A record always holds a program this version wrote; one it
            // cannot read simply has no nominals.
            ProgramFile::fromJson(test.evaluation.programJson.toUtf8(), &program, nullptr);
            it = m_programs.insert(test.evaluation.programJson, program);
        }
        return *it;
    }

private:
    QHash<QString, TestProgram> m_programs;
};

std::optional<double> nominalForce(const TestProgram &program, int pointNo)
{
    if (pointNo < 1 || pointNo > program.points.size())
        return std::nullopt;
    return program.points.at(pointNo - 1).force;
}

std::optional<double> nominalRate(const TestProgram &program)
{
    if (program.spring.rate > 0)
        return program.spring.rate;
    return std::nullopt;
}

} // namespace

bool DfqExport::document(const QString &partNumber, QVector<StoredTest> tests,
                         Dfq::Document *document, QString *error)
{
    std::stable_sort(tests.begin(), tests.end(), [](const StoredTest &a, const StoredTest &b) {
        return a.header.startedAt != b.header.startedAt ? a.header.startedAt < b.header.startedAt
                                                         : a.id < b.id;
    });

    Programs programs;
    QMap<int, Definition> forces;            // by point number
    QMap<QPair<int, int>, Definition> rates; // by the points it lies between
    QList<int> programNumbers;
    auto note = [&](auto *map, const auto &key, Definition definition, const QString &what) {
        auto it = map->find(key);
        if (it == map->end()) {
            map->insert(key, definition);
            return true;
        }
        if (!it->sameAs(definition)) {
            if (error) {
                *error = tr("Tests %1 and %2 were judged with different distances, limits or "
                            "nominal values at %3. Export the tests of one program at a time "
                            "(choose their batch or days).")
                             .arg(it->firstTest)
                             .arg(definition.firstTest)
                             .arg(what);
            }
            return false;
        }
        it->decimals = std::max(it->decimals, definition.decimals);
        return true;
    };
    for (const StoredTest &test : qAsConst(tests)) {
        const EvaluationRecord &e = test.evaluation;
        if (!e.judged)
            continue;
        if (!programNumbers.contains(e.programNumber))
            programNumbers.append(e.programNumber);
        const TestProgram &program = programs.of(test);
        QHash<int, double> distances;
        for (const PointResultRecord &point : e.points) {
            distances.insert(point.pointNo, point.distance);
            Definition d;
            d.from = point.distance;
            d.nominal = nominalForce(program, point.pointNo);
            d.lower = point.lower;
            d.upper = point.upper;
            d.firstTest = test.id;
            d.decimals = test.header.forceDecimals;
            if (!note(&forces, point.pointNo, d, tr("test point %1").arg(point.pointNo)))
                return false;
        }
        for (const RateRecord &rate : e.rates) {
            Definition d;
            d.from = distances.value(rate.fromPoint);
            d.to = distances.value(rate.toPoint);
            d.nominal = nominalRate(program);
            d.firstTest = test.id;
            d.decimals = test.header.forceDecimals;
            if (!note(&rates, qMakePair(rate.fromPoint, rate.toPoint), d,
                      tr("the rate between test points %1 and %2")
                          .arg(rate.fromPoint)
                          .arg(rate.toPoint)))
                return false;
        }
    }

    Dfq::Document result;
    result.partNumber = partNumber;
    std::sort(programNumbers.begin(), programNumbers.end());
    QStringList numbers;
    for (int number : qAsConst(programNumbers))
        numbers << QString::number(number);
    if (!numbers.isEmpty()) {
        result.partName = (numbers.size() == 1 ? QStringLiteral("Program %1")
                                               : QStringLiteral("Programs %1"))
                              .arg(numbers.join(QStringLiteral(", ")));
    }
    for (auto it = forces.begin(); it != forces.end(); ++it) {
        it->index = result.characteristics.size();
        Dfq::Characteristic c;
        c.number = QStringLiteral("F%1").arg(it.key());
        c.name = QStringLiteral("F%1 at %2 mm").arg(it.key()).arg(NumberText::distance(it->from));
        c.measuredQuantity = Dfq::QuantityForce;
        c.nominal = it->nominal;
        c.lower = it->lower;
        c.upper = it->upper;
        c.unit = QLatin1String(ForceUnit);
        c.decimals = it->decimals;
        result.characteristics.append(c);
    }
    for (auto it = rates.begin(); it != rates.end(); ++it) {
        it->index = result.characteristics.size();
        Dfq::Characteristic c;
        c.number = QStringLiteral("R%1-%2").arg(it.key().first).arg(it.key().second);
        c.name = QStringLiteral("%1 from %2 to %3 mm")
                     .arg(c.number, NumberText::distance(it->from), NumberText::distance(it->to));
        c.measuredQuantity = Dfq::QuantitySpringRate;
        c.nominal = it->nominal;
        c.unit = QLatin1String(RateUnit);
        c.decimals = it->decimals;
        result.characteristics.append(c);
    }

    for (const StoredTest &test : qAsConst(tests)) {
        Dfq::Measurement m;
        m.testId = test.id;
        m.time = test.header.startedAt;
        m.batch = test.header.identity.batch;
        m.operatorName = test.header.identity.operatorName;
        m.station = test.header.station;
        m.serialNumber = test.header.identity.serialNumber;
        m.values.resize(result.characteristics.size());
        bool any = false;
        for (const PointResultRecord &point : test.evaluation.points) {
            if (point.force) {
                m.values[forces.value(point.pointNo).index] = point.force;
                any = true;
            }
        }
        for (const RateRecord &rate : test.evaluation.rates) {
            if (rate.rate) {
                m.values[rates.value(qMakePair(rate.fromPoint, rate.toPoint)).index] = rate.rate;
                any = true;
            }
        }
        if (any)
            result.measurements.append(m);
    }
    *document = result;
    return true;
}

bool DfqExport::file(const QString &partNumber, const QVector<StoredTest> &tests,
                     Dfq::Encoding encoding, QByteArray *bytes, QString *error)
{
    Dfq::Document document;
    return DfqExport::document(partNumber.trimmed(), tests, &document, error)
           && DfqWriter::write(document, encoding, bytes, error);
}
