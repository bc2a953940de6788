#!/usr/bin/env python3
"""Measures `mock-midterm-key progress` in an exam folder with 10 kept attempts and the current one
(not a test: it reports figures). Target: within 2 s.

The attempts are made as a student makes them, by `variant`, with answers
that are right, wrong with named mistakes, or right but for one answer.

usage: bench/progress.py [path/to/mock-midterm-key] [attempts]
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "bench"))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from grade import WRONG  # noqa: E402
from real_tools_test import COMPLETED_ANSWERS  # noqa: E402
from report import exam  # noqa: E402

PROGRAM = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "key", "mock-midterm-key")
ATTEMPTS = int(sys.argv[2]) if len(sys.argv) > 2 else 10
TARGET = 2.0


def main():
    with tempfile.TemporaryDirectory() as root:
        shutil.copy(os.path.join(REPO, "exam-kit", "q1.gp"), root)
        with open(os.path.join(root, "exam.dat"), "wb") as f:
            f.write(exam(12345))
        answers = [WRONG, COMPLETED_ANSWERS.replace("return x(2 * t + 1);", "return x(2 * t - 1);"), COMPLETED_ANSWERS]
        for i in range(ATTEMPTS):
            with open(os.path.join(root, "signals.c"), "w") as f:
                f.write(answers[i % 3])
            subprocess.run([PROGRAM, "variant", "random"], cwd=root, capture_output=True, check=True)
        start = time.perf_counter()
        run = subprocess.run([PROGRAM, "progress"], cwd=root, capture_output=True, text=True)
        seconds = time.perf_counter() - start
        if run.returncode != 0 or not os.path.exists(os.path.join(root, "progress.png")):
            sys.exit(f"unexpected progress (status {run.returncode}):\n{run.stdout}{run.stderr}")
        print(run.stdout)
        print(f"progress of {ATTEMPTS} attempts and the current one on {os.cpu_count()} cores: {seconds:.2f} s, "
              f"load average {os.getloadavg()[0]:.1f}")
        print(f"target within {TARGET} s: {'met' if seconds < TARGET else 'MISSED'}")


if __name__ == "__main__":
    main()
