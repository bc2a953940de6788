#include "generate/mock_midterm.h"

#include <cstdio>

#include "generate/text_file.h"

int writeMockMidterm(ExamRecord record) {
    std::FILE* f = openTextFile(mockMidtermFileName);
    if (f == nullptr) {
        return -1;
    }
    std::fprintf(f, "Mock Midterm Exam\n");
    std::fprintf(f, "ID Number: %ld\n", static_cast<long>(record.idNum));
    std::fprintf(f, "Group No.: %d\n\n", record.grpNum);
    std::fprintf(f, "QUESTION 1:\n");
    std::fprintf(f, "Given the signal x(t) found in the PNG-file named q1.png, edit the C-function \n");
    std::fprintf(f, "with the prototype \n\n");
    std::fprintf(f, "\tdouble x(double t)\n\n");
    std::fprintf(f, "found in signals.c so that it defines x(t) as a piecewise function. Note that \n");
    std::fprintf(f, "your definition must make use of inclusive relational operators e.g. <= or >= \n");
    std::fprintf(f, "where it applies.\n");
    std::fprintf(f, "\n\nQUESTION 2:\n");
    std::fprintf(f, "Using the signal x(t) from QUESTION 1, find the piecewise definition of \n");
    std::fprintf(f, "\n\ty(t) = x(%dt%+d)\n\n", record.varQK, record.varQT);
    std::fprintf(f, "Edit the C-function with the prototype\n\n\tdouble y(double t)\n\n");
    std::fprintf(f, "found in signals.c so that it defines the y(t) after the independent variable\n");
    std::fprintf(f, "manipulation of x(t).\n");
    std::fprintf(f, "\n\nQUESTION 3:\n");
    std::fprintf(f, "Using the signal y(t) from QUESTION 2, define y(t) using shifted and scaled \n");
    std::fprintf(f, "step signals u(t) and tu(t). Edit the C-function with the prototype\n");
    std::fprintf(f, "\n\tdouble z(double t)\n\n");
    std::fprintf(f, "for your definition. Note that the unit step signal u(t) has been provided in\n");
    std::fprintf(f, "signals.c. As a hint, the mathematical expression u(t+1) + tu(t-2)  would be\n");
    std::fprintf(f, "defined as u(t+1) + t*u(t-2).\n");
    std::fprintf(f, "\n\nQUESTION 4:\n");
    std::fprintf(f, "Find the running integral\n");
    std::fprintf(f, "\t           _\n");
    std::fprintf(f, "\t          /  t\n");
    std::fprintf(f, "\tr(t)  =   |        x(T) dT\n");
    std::fprintf(f, "\t         _/   - oo\n");
    std::fprintf(f, "\nwhere x(t) is the signal from QUESTION 1. Define r(t) as a piecewise function\n");
    std::fprintf(f, "by editing the C-function with the function prototype\n");
    std::fprintf(f, "\n\n\tdouble r(double t)\n\n");
    std::fprintf(f, "found in signals.c.");
    return closeTextFile(f, mockMidtermFileName);
}
