#include "exam/exam.h"

int main() { return runExam(); }
