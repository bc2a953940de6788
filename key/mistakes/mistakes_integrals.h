// The mistakes of Questions 3 and 4, as candidates of the catalogue.
#pragma once

#include "key/mistakes/diagnosis.h"
#include "key/mistakes/mistake_tools.h"

// z as steps and ramps: each term's form, coefficient, sign and time, and a
// z that repeats the student's own wrong y.
void addMistakesOfZ(const AnswerKey& key, const MistakeClues& clues, Candidates* candidates);
// r, the running integral: the areas taken, carried and signed.
void addMistakesOfR(const AnswerKey& key, Candidates* candidates);
