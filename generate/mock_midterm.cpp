#include "generate/mock_midterm.h"

#include <string>

#include "generate/exam_rules.h"
#include "generate/text_file.h"

int writeMockMidterm(ExamRecord record) {
    std::string f;
    appendText(&f, "Mock Midterm Exam\n");
    appendText(&f, "ID Number: %ld\n", static_cast<long>(record.idNum));
    appendText(&f, "Group No.: %d\n\n", record.grpNum);
    appendText(&f, "QUESTION 1:\n");
    appendText(&f, "Given the signal x(t) found in the PNG-file named q1.png, edit the C-function \n");
    appendText(&f, "with the prototype \n\n");
    appendText(&f, "\tdouble x(double t)\n\n");
    appendText(&f, "found in signals.c so that it defines x(t) as a piecewise function. Note that \n");
    appendText(&f, "your definition must make use of inclusive relational operators e.g. <= or >= \n");
    appendText(&f, "where it applies.\n");
    appendText(&f, "\n\nQUESTION 2:\n");
    appendText(&f, "Using the signal x(t) from QUESTION 1, find the piecewise definition of \n");
    appendText(&f, "\n\t%s\n\n", formatTransform(record.varQK, record.varQT).c_str());
    appendText(&f, "Edit the C-function with the prototype\n\n\tdouble y(double t)\n\n");
    appendText(&f, "found in signals.c so that it defines the y(t) after the independent variable\n");
    appendText(&f, "manipulation of x(t).\n");
    appendText(&f, "\n\nQUESTION 3:\n");
    appendText(&f, "Using the signal y(t) from QUESTION 2, define y(t) using shifted and scaled \n");
    appendText(&f, "step signals u(t) and tu(t). Edit the C-function with the prototype\n");
    appendText(&f, "\n\tdouble z(double t)\n\n");
    appendText(&f, "for your definition. Note that the unit step signal u(t) has been provided in\n");
    appendText(&f, "signals.c. As a hint, the mathematical expression u(t+1) + tu(t-2)  would be\n");
    appendText(&f, "defined as u(t+1) + t*u(t-2).\n");
    appendText(&f, "\n\nQUESTION 4:\n");
    appendText(&f, "Find the running integral\n");
    appendText(&f, "\t           _\n");
    appendText(&f, "\t          /  t\n");
    appendText(&f, "\tr(t)  =   |        x(T) dT\n");
    appendText(&f, "\t         _/   - oo\n");
    appendText(&f, "\nwhere x(t) is the signal from QUESTION 1. Define r(t) as a piecewise function\n");
    appendText(&f, "by editing the C-function with the function prototype\n");
    appendText(&f, "\n\n\tdouble r(double t)\n\n");
    appendText(&f, "found in signals.c.");
    return writeTextFile(mockMidtermFileName, f);
}
