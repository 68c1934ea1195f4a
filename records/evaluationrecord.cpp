#include "records/evaluationrecord.h"

#include "evaluation/programfile.h"

namespace EvaluationRecords {

QString verdictText(PointVerdict verdict)
{
    switch (verdict) {
    case PointVerdict::Pass:
        return QStringLiteral("pass");
    case PointVerdict::Fail:
        return QStringLiteral("fail");
    case PointVerdict::NotReached:
        break;
    }
    return QStringLiteral("not reached");
}

EvaluationRecord of(const Evaluation &evaluation, const TestProgram &program)
{
    EvaluationRecord record;
    record.judged = true;
    record.programNumber = program.number;
    record.programJson = QString::fromUtf8(ProgramFile::toJson(program));
    record.verdict = evaluation.passed ? QStringLiteral("pass") : QStringLiteral("fail");
    for (const PointResult &point : evaluation.points) {
        record.points.append({point.number, point.distance, point.force, point.limits.lower,
                              point.limits.upper, verdictText(point.verdict)});
    }
    // Rate i lies between used points i and i + 1.
    for (int i = 0; i < evaluation.rates.size() && i + 1 < evaluation.points.size(); ++i) {
        record.rates.append({evaluation.points.at(i).number, evaluation.points.at(i + 1).number,
                             evaluation.rates.at(i)});
    }
    record.rateFit = evaluation.rateFit;
    record.maxForce = evaluation.maxForce;
    record.hysteresisPercent = evaluation.hysteresisPercent;
    return record;
}

Evaluation toEvaluation(const EvaluationRecord &record)
{
    Evaluation evaluation;
    if (!record.judged)
        return evaluation;
    for (const PointResultRecord &point : record.points) {
        PointResult result;
        result.number = point.pointNo;
        result.distance = point.distance;
        result.force = point.force;
        result.limits = {point.lower, point.upper};
        result.verdict = point.verdict == verdictText(PointVerdict::Pass)   ? PointVerdict::Pass
                         : point.verdict == verdictText(PointVerdict::Fail) ? PointVerdict::Fail
                                                                            : PointVerdict::NotReached;
        evaluation.points.append(result);
    }
    for (const RateRecord &rate : record.rates)
        evaluation.rates.append(rate.rate);
    evaluation.rateFit = record.rateFit;
    evaluation.maxForce = record.maxForce;
    evaluation.hysteresisPercent = record.hysteresisPercent;
    evaluation.passed = record.verdict == verdictText(PointVerdict::Pass);
    return evaluation;
}

} // namespace EvaluationRecords
