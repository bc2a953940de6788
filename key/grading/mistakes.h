// The catalogue of known mistakes: which slip gives exactly the values a
// student's function gave, said in the exam's notation.
#pragma once

#include <string>
#include <vector>

#include "key/grading/points.h"
#include "key/model/answer_key.h"

// Names the known mistake that gives exactly the student's values of
// `function` ('x', 'y', 'z' or 'r') at every point; "" when none does.
// `values` has one value per point.
std::string nameMistake(const AnswerKey& key, char function, const std::vector<GradePoint>& points,
                        const std::vector<double>& values);
