#include "key/grading/value_facts.h"

Diagnosis valueFacts(char function, const Signal& expected, const std::vector<GradePoint>& points,
                     const std::vector<double>& values, const std::string& check) {
    (void)function;
    (void)expected;
    (void)points;
    (void)values;
    (void)check;
    return {};
}
