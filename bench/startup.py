#!/usr/bin/env python3
"""Measures a fresh exam from start to exit (not a test: it reports figures).

- wall time of a first start through the menu to E, against the floor of its six
  100 ms pauses (target: within 5 %), with stand-in tools that do nothing;
- the same start to the menu with the real gnuplot, against the stand-ins: the
  program's own share is the pauses and nothing else measurable;
- peak resident memory (target: under 4 MiB);
- CPU time spent while waiting at the menu (target: 0, no busy wait).

usage: bench/startup.py [path/to/mock-midterm]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests"))
from exam_folder import ExamFolder, Record  # noqa: E402

PROGRAM = sys.argv[1] if len(sys.argv) > 1 else os.path.join(REPO, "build", "mock-midterm")
PAUSES = 6
FLOOR = PAUSES * 0.100
RUNS = 10


def exam_folder(root, real_tools=False):
    """A fresh exam folder from the kit; with stand-in tools that answer at once, or the real ones."""
    folder = ExamFolder(root, kit=True)
    for tool in () if real_tools else ("gnuplot", "tcc", "pdflatex"):
        folder.stand_in(tool)
    return folder


def timed_exam(real_tools):
    with tempfile.TemporaryDirectory() as root:
        folder = exam_folder(root, real_tools)
        start = time.perf_counter()
        subprocess.run([PROGRAM], input=b"123\n3\nE", cwd=folder.path, env=folder.env(real_tools), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return time.perf_counter() - start


def peak_memory_kib():
    """GNU time's figure: Python's own counts for its children include the fork before exec."""
    if not os.path.exists("/usr/bin/time"):
        return None
    with tempfile.TemporaryDirectory() as root:
        folder = exam_folder(root)
        done = subprocess.run(["/usr/bin/time", "-f", "%M", PROGRAM], input=b"123\n3\nE", cwd=folder.path,
                              env=folder.env(), check=True, capture_output=True)
        return int(done.stderr.decode().strip().splitlines()[-1])


def menu_cpu_seconds(wait=2.0):
    with tempfile.TemporaryDirectory() as root:
        folder = exam_folder(root)
        # A workspace at the menu; the program then blocks on a key.
        folder.write("exam.dat", Record(8).pack())
        child = subprocess.Popen([PROGRAM], stdin=subprocess.PIPE, cwd=folder.path,
                                 stdout=subprocess.DEVNULL)
        time.sleep(0.5)

        def cpu():
            with open(f"/proc/{child.pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

        before = cpu()
        time.sleep(wait)
        used = cpu() - before
        child.communicate(b"E")
        return used


def main():
    stand_in = [timed_exam(False) for _ in range(RUNS)]
    real = [timed_exam(True) for _ in range(3)] if shutil.which("gnuplot") else []
    median = statistics.median(stand_in)
    print(f"fresh exam, stand-in tools: median {median * 1000:.1f} ms over {RUNS} runs, "
          f"floor {FLOOR * 1000:.0f} ms, {100 * (median / FLOOR - 1):+.1f} % over the floor")
    if real:
        real_median = statistics.median(real)
        print(f"fresh exam, real gnuplot:   median {real_median * 1000:.1f} ms over {len(real)} runs "
              f"({(real_median - median) * 1000:.1f} ms of it is gnuplot)")
    peak_kib = peak_memory_kib()
    if peak_kib is not None:
        print(f"peak resident memory of the program: {peak_kib / 1024:.2f} MiB")
    print(f"CPU time while waiting 2 s at the menu: {menu_cpu_seconds() * 1000:.0f} ms")


if __name__ == "__main__":
    main()
