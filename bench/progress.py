#!/usr/bin/env python3
"""Measures `mock-midterm-key progress` in an exam folder with 10 kept attempts and the current one
(not a test: it reports figures). Target: within 2 s.

The attempts are made as a student makes them, by `variant`, here always
the first exam (variant 64) again, with answers that are in turn wrong with
named mistakes, right but for one answer, and right, as in bench/report.py.
Fully wrong answers cost the most (each wrong function's repairs are
tried): `bench/progress.py KEY 10 random` takes random variants instead,
where every answer is wrong.

usage: bench/progress.py [path/to/mock-midterm-key] [attempts] [variant: 64, or random]
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "bench"))
sys.path.insert(0, os.path.join(REPO, "tests"))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from grade import WRONG  # noqa: E402
from real_tools_test import COMPLETED_ANSWERS  # noqa: E402
from exam_folder import KIT, ExamFolder, Record  # noqa: E402

PROGRAM = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "key", "mock-midterm-key")
ATTEMPTS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
VARIANT = sys.argv[3] if len(sys.argv) > 3 else "64"
TARGET = 2.0


def main():
    with tempfile.TemporaryDirectory() as root:
        folder = ExamFolder(root)
        shutil.copy(os.path.join(KIT, "q1.gp"), folder.path)
        folder.write("exam.dat", Record(8, idNum=12345, grpNum=1).pack())  # the fresh exam at the menu
        answers = [WRONG, COMPLETED_ANSWERS.replace("return x(2 * t + 1);", "return x(2 * t - 1);"), COMPLETED_ANSWERS]
        for i in range(ATTEMPTS):
            folder.write("signals.c", answers[i % 3])
            subprocess.run([PROGRAM, "variant", VARIANT], cwd=folder.path, capture_output=True, check=True)
        used = resource.getrusage(resource.RUSAGE_CHILDREN)
        before = used.ru_utime + used.ru_stime
        start = time.perf_counter()
        run = subprocess.run([PROGRAM, "progress"], cwd=folder.path, capture_output=True, text=True)
        seconds = time.perf_counter() - start
        used = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = used.ru_utime + used.ru_stime - before
        if run.returncode != 0 or not os.path.exists(folder.file("progress.png")):
            sys.exit(f"unexpected progress (status {run.returncode}):\n{run.stdout}{run.stderr}")
        print(run.stdout)
        print(f"progress of {ATTEMPTS} attempts and the current one on {os.cpu_count()} cores: {seconds:.2f} s, "
              f"{cpu:.2f} s of processor time, load average {os.getloadavg()[0]:.1f}")
        print(f"target within {TARGET} s: {'met' if seconds < TARGET else 'MISSED'}")


if __name__ == "__main__":
    main()
