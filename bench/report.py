#!/usr/bin/env python3
"""Measures `mock-midterm-key report` over a class of 300 exam folders (not a test: it reports figures).

A third of the attempts are right, a third fully wrong with named mistakes,
a third right but for one wrong answer; each folder is a student's with its
own ID, nested as a learning platform's bulk download unpacks them. The
report grades them on every core (the development machine has two) and
writes the gradebook CSV and class.png beside it; no check.png is drawn.
Target: all 300 within 15 s.

Measured on the 2-core development machine at a load average of 1.3: 14.3 s
(20.9 folders/s), 27.4 s of processor time in all, 91 ms a folder. Before the
test program kept its results in a shared mapping of the results file (on
POSIX; two flushed writes a point before), 16.1 s and 102 ms a folder on the
same machine. Of a folder's time about a fifth is tcc, the rest starting and
waiting for the programs. class.png is one gnuplot run after the gradings: about
0.07 s (9.5 s for the 300 with it, at a load average of 6.8, before the
fence and the repairs of wrong functions came in; 24 s after, at 7.7, 89 ms of
processor time a folder).

With the repair search (one compile and one run of every wrong function's
single edits an attempt; pairs only where nothing explains a function), at
a load average of 1.5 after the fence: 6.6 s, 11.7 s of processor time
(39 ms a folder), against 4.5 s and 7.6 s without it: the repairs take about
a third of the processor time (12.7 s in all at a load average of 8.8).

usage: bench/report.py [path/to/mock-midterm-key] [folders]
       REPORT_JOBS=N bench/report.py ...   (gradings at once; default the program's own)
"""
import csv
import resource
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "bench"))
sys.path.insert(0, os.path.join(REPO, "tests"))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from exam_folder import ExamFolder, Record  # noqa: E402
from grade import WRONG  # noqa: E402
from real_tools_test import COMPLETED_ANSWERS  # noqa: E402

PROGRAM = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "key", "mock-midterm-key")
FOLDERS = int(sys.argv[2]) if len(sys.argv) > 2 else 300
TARGET = 15.0
JOBS = os.environ.get("REPORT_JOBS")  # the program's own default (two per core) without
ONE_WRONG = COMPLETED_ANSWERS.replace("return x(2 * t + 1);", "return x(2 * t - 1);")


def main():
    with tempfile.TemporaryDirectory() as root:
        answers = [COMPLETED_ANSWERS, WRONG, ONE_WRONG]
        for i in range(FOLDERS):
            student = f"Student {i:03d}_{1000 + i}_assignsubmission_file_"
            folder = ExamFolder(os.path.join(root, "class"), os.path.join(student, "exam"))
            folder.write("exam.dat", Record(8, idNum=1000 + i, grpNum=1).pack())  # the fresh exam at the menu
            folder.write("signals.c", answers[i % 3] + f"/* student {i} */\n")
        start = time.perf_counter()
        jobs = ["--jobs", JOBS] if JOBS else []
        run = subprocess.run([PROGRAM, "report", *jobs, "--csv", "grades.csv", "class"],
                             cwd=root, capture_output=True, text=True)
        seconds = time.perf_counter() - start
        used = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = used.ru_utime + used.ru_stime
        with open(os.path.join(root, "grades.csv"), newline="", encoding="utf-8") as f:
            rows = list(csv.DictReader(f))
        graded = sum(1 for row in rows if row["status"] == "graded")
        if not os.path.exists(os.path.join(root, "class.png")):
            sys.exit(f"class.png was not drawn:\n{run.stderr}")
        if run.returncode != 0 or graded != FOLDERS:
            sys.exit(f"unexpected report (status {run.returncode}, {graded} graded):\n{run.stdout}{run.stderr}")
        print(run.stdout)
        print(f"report of {FOLDERS} folders on {os.cpu_count()} cores, jobs {JOBS or 'default'}: {seconds:.2f} s, {FOLDERS / seconds:.1f} folders/s; "
              f"{cpu:.2f} s of processor time ({cpu / FOLDERS * 1000:.0f} ms a folder), "
              f"load average {os.getloadavg()[0]:.1f}")
        print(f"target {FOLDERS} within {TARGET} s: {'met' if seconds < TARGET else 'MISSED'}")


if __name__ == "__main__":
    main()
