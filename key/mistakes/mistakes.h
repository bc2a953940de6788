// The mistakes students make in the four questions, each recognised only by
// the values it gives: a candidate answer is worked out from the exam's
// numbers for every known slip, and a slip is named when its values are the
// student's. Each diagnosis says what the student did, why it is wrong and
// how to check it, in the exam's notation, and never prints a whole answer.
#pragma once

#include <string>
#include <vector>

#include "key/mistakes/diagnosis.h"
#include "key/running/points.h"
#include "key/reading/source_scan.h"
#include "key/model/answer_key.h"

// Names the mistake whose values are the student's values of `function`
// ('x', 'y', 'z' or 'r'), one per point; an empty diagnosis when none fits
// or the values are right.
Diagnosis diagnoseMistake(const AnswerKey& key, char function, const std::vector<GradePoint>& points,
                          const std::vector<double>& values, const MistakeClues& clues);

// Remarks on the form of a right answer, which the exam asks for besides the
// values: z without calls of y or x, y without calls of x, inclusive
// operators at the corners of x, y and r. Never changes a verdict.
std::vector<std::string> formRemarks(char function, const SourceFacts& facts);
