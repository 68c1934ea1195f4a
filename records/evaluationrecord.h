#pragma once

#include "evaluation/evaluation.h"
#include "records/testrecord.h"

// The verdict on a test as its record keeps it: the evaluation's numbers
// with the program they were judged against, whole, as JSON.
namespace EvaluationRecords {

EvaluationRecord of(const Evaluation &evaluation, const TestProgram &program);
// The evaluation a record keeps, as the results panel shows it: the verdict
// as it was given then, not judged again.
Evaluation toEvaluation(const EvaluationRecord &record);

// "pass", "fail", "not reached".
QString verdictText(PointVerdict verdict);

} // namespace EvaluationRecords
