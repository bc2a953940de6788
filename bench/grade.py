#!/usr/bin/env python3
"""Measures `mock-midterm-key grade` of a fully wrong attempt (not a test: it reports figures).

Every answer is wrong and named (pulse upside down, y shifted the wrong way, a
ramp missing from z, an area not carried in r), so the grader does all its
work: compile with tcc, four runs, the mistake catalogue, and check.png drawn
by the real gnuplot. Target: under 0.5 s wall time (median of 10 runs).

Measured on the 2-core development machine (tcc 0.9.27, gnuplot 5.4): median
0.28 s when idle, 0.41 s (max 0.48 s) with a load average of 7 from other
builds. Without gnuplot (a stand-in that does nothing) it takes 0.07 s: compile,
runs and catalogue; the rest is gnuplot drawing check.png. With the catalogue
that tries every kind of mistake on the exam's own numbers, and check.png
without the key: median 0.39 s (max 0.54 s) at a load average of 5.5, 0.77 s
at 8; 0.17 to 0.23 s of processor time, of which gnuplot takes most. With
the repair search (the single edits of all four compiled in one tcc run and
run in one run): median 0.16 s at a load average of 1.5, against 0.14 s
without it; 0.34 s (max 0.42 s) at a load average of 5 to 9.

usage: bench/grade.py [path/to/mock-midterm-key]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests"))
from exam_folder import ExamFolder, Record  # noqa: E402

# Made absolute here: the program is run from the exam folder.
PROGRAM = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "key", "mock-midterm-key")
RUNS = 10
TARGET = 0.5

WRONG = r"""#include <math.h>
double u(double t) { return t >= 0 ? 1 : 0; }
static double tri(double t) { return t >= 0 && t <= 2 ? 3 - 3 * fabs(t - 1) : 0; }
double x(double t) { return tri(t) + (t >= 3 && t <= 4 ? 1 : 0); }
double y(double t) { return tri(2 * t - 1) - (2 * t - 1 >= 3 && 2 * t - 1 <= 4 ? 1 : 0); }
double z(double t) { return 6 * (t + 0.5) * u(t + 0.5) + 6 * (t - 0.5) * u(t - 0.5) - u(t - 1) + u(t - 1.5); }
double r(double t)
{
    if (t <= 0) return 0;
    if (t <= 1) return 1.5 * t * t;
    if (t <= 2) return 3 - 1.5 * pow(2 - t, 2);
    if (t <= 3) return 3;
    if (t < 4) return -(t - 3);
    return -1;
}
"""


def main():
    with tempfile.TemporaryDirectory() as root:
        folder = ExamFolder(root)
        folder.write("exam.dat", Record(8, idNum=12345, grpNum=1).pack())  # the fresh exam at the menu
        folder.write("signals.c", WRONG)
        times = []
        for _ in range(RUNS):
            start = time.perf_counter()
            run = subprocess.run([PROGRAM, "grade"], cwd=folder.path, capture_output=True, text=True)
            times.append(time.perf_counter() - start)
        lines = run.stdout.splitlines()
        if run.returncode != 1 or not lines[-1].startswith("Your functions are drawn in check.png"):
            sys.exit("unexpected grading:\n" + run.stdout + run.stderr)
        # A named mistake is the first indented line under a verdict.
        named = sum(1 for i in range(1, len(lines))
                    if lines[i].startswith(" " * 18) and lines[i - 1].startswith("QUESTION"))
        median = statistics.median(times)
        print(f"grade, fully wrong, check.png drawn: median {median:.3f} s, "
              f"max {max(times):.3f} s over {RUNS} runs; {named} of 4 mistakes named")
        print(f"target under {TARGET} s: {'met' if median < TARGET else 'MISSED'}")


if __name__ == "__main__":
    main()
