"""Whole exams with the real tcc, gnuplot and pdflatex, in a folder made from the course kit."""
import csv
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from harness import KEY_PROGRAM as KEY, ExamFolder, PtySession, Record, main, require_tool

# The fresh exam's answers: s = 0, A = 3, p = 3, B = -1, y(t) = x(2t+1).
COMPLETED_ANSWERS = r"""
double u(double t) { return t >= 0 ? 1 : 0; }

double x(double t)
{
    if (t >= 0 && t <= 1) return 3 * t;
    if (t >= 1 && t <= 2) return 6 - 3 * t;
    if (t >= 3 && t < 4) return -1;
    return 0;
}

double y(double t) { return x(2 * t + 1); }

double z(double t)
{
    return 6 * (t + 0.5) * u(t + 0.5) - 12 * t * u(t) + 6 * (t - 0.5) * u(t - 0.5)
         - u(t - 1) + u(t - 1.5);
}

double r(double t)
{
    if (t <= 0) return 0;
    if (t <= 1) return 1.5 * t * t;
    if (t <= 2) return 3 - 1.5 * (2 - t) * (2 - t);
    if (t <= 3) return 3;
    if (t <= 4) return 3 - (t - 3);
    return 2;
}
"""


class RealTools(unittest.TestCase):
    def setUp(self):
        for tool in ("tcc", "gnuplot"):
            require_tool(self, tool)
        self.folder = ExamFolder(kit=True)

    def tearDown(self):
        self.folder.cleanup()

    def start_exam(self):
        status, out, err = self.folder.run("123\n3\nE", real_tools=True)
        self.assertEqual(status, 0, err)
        return out

    def check(self):
        return self.folder.run("YE", real_tools=True)

    def test_fresh_exam_plots_writes_and_checks_the_kit(self):
        self.start_exam()
        png = self.folder.read("q1.png")
        self.assertTrue(png.startswith(b"\x89PNG\r\n\x1a\n"), "q1.png is not a PNG")
        self.assertGreater(len(png), 5000, "the plot is suspiciously small")
        self.assertLess(len(png), 2_000_000)
        self.assertEqual(os.path.getsize(self.folder.file("exam.dat")), 144)
        self.assertIn(b"y(t) = x(2t+1)", self.folder.read("MOCK_MIDTERM.txt"))

        _, out, _ = self.check()
        self.assertIn("\nChecking signals.c...\n\nok\n\n", out)

    def test_compiler_messages_and_completed_answers(self):
        self.start_exam()
        self.folder.write("signals.c", "double x(double t) { return t +; }\n")
        _, out, err = self.check()
        self.assertNotIn("ok", out)
        self.assertIn("signals.c", out + err, "the compiler's message names the file")

        self.folder.write("signals.c", COMPLETED_ANSWERS)
        _, out, err = self.check()
        self.assertIn("ok\n\n", out, err)

    def test_typed_exam_on_a_terminal(self):
        session = PtySession(self.folder, real_tools=True)
        try:
            session.read_until("Enter your ID number: ")
            session.type("4242\r")
            session.read_until("To which group do you belong? ")
            session.type("1\r")
            session.read_until("Press <E> to exit the program. ")
            session.type("Y")
            session.read_until("ok")
            session.read_until("Press <E> to exit the program. ")
            session.type("e")
            self.assertEqual(os.WEXITSTATUS(session.wait()), 0)
        finally:
            session.close()
        self.assertEqual(Record.unpack(self.folder.read("exam.dat")).idNum, 4242)

    def test_stored_pdf_step_typesets_the_exam(self):
        require_tool(self, "pdflatex")
        require_tool(self, "pdftotext")
        self.start_exam()
        self.folder.write("exam.dat", Record(7, idNum=2024017, grpNum=4, varQT=-3,
                                             varTstart=1.25, varTend=1.5, varAmp=1).pack())
        status, out, err = self.folder.run("E", real_tools=True)
        self.assertEqual(status, 0, err)
        self.assertIn("Creating 2024017.pdf\n", out)
        pdf = self.folder.file("2024017.pdf")
        self.assertTrue(os.path.exists(pdf), out + err)
        text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True,
                              check=True).stdout
        self.assertIn("2024017", text)
        self.assertIn("Group No.: 4", text)
        self.assertIn("x(2t-3)", text)
        self.assertIn("1.25", text)
        leftovers = [name for pattern in ("*.aux", "*.log", "*.eps")
                     for name in glob.glob(os.path.join(self.folder.path, pattern))]
        self.assertEqual(leftovers, [])
        self.assertEqual(Record.unpack(self.folder.read("exam.dat")).state, 9)


# The fresh exam's answers with one mistake each: y(t) = x(2t-1), and x's pulse
# upside down (which y and r, built on x, inherit).
WRONG_Y = COMPLETED_ANSWERS.replace("return x(2 * t + 1);", "return x(2 * t - 1);")
WRONG_PULSE = COMPLETED_ANSWERS.replace("if (t >= 3 && t < 4) return -1;", "if (t >= 3 && t < 4) return 1;")
ENDLESS_X = COMPLETED_ANSWERS.replace("double x(double t)\n{", "double x(double t)\n{\n    for (;;) {}")
# Hostile: an x that prints without end, and an r that leaves a child spinning.
FLOODING_X = "#include <stdio.h>\n" + COMPLETED_ANSWERS.replace(
    "double x(double t)\n{", "double x(double t)\n{\n    for (;;) puts(\"flood\");")
FORKING_R = "#include <unistd.h>\n" + WRONG_PULSE.replace(
    "double r(double t)\n{", "double r(double t)\n{\n    static int forked;\n    if (!forked++ && fork() == 0) for (;;) {}")
# Runs the program after it as on a kernel without Landlock: its calls fail
# with ENOSYS, under a seccomp filter of libseccomp's that the program inherits.
WITHOUT_LANDLOCK = """
import ctypes, os, sys
seccomp = ctypes.CDLL("libseccomp.so.2")
seccomp.seccomp_init.restype = ctypes.c_void_p
filter = ctypes.c_void_p(seccomp.seccomp_init(ctypes.c_uint32(0x7fff0000)))
for name in (b"landlock_create_ruleset", b"landlock_add_rule", b"landlock_restrict_self"):
    number = seccomp.seccomp_syscall_resolve_name(name)
    assert seccomp.seccomp_rule_add(filter, ctypes.c_uint32(0x00050000 | 38), number, 0) == 0
assert seccomp.seccomp_load(filter) == 0
os.execv(sys.argv[1], sys.argv[1:])
"""
HEADER = ["folder", "ID", "group", "variant", "Q1", "Q2", "Q3", "Q4", "Q1 mistake", "Q2 mistake",
          "Q3 mistake", "Q4 mistake", "score", "status", "flags"]


class ClassReport(unittest.TestCase):
    """mock-midterm-key report over a made-up class, its gradebook read back with a CSV parser."""

    def setUp(self):
        for tool in ("tcc", "gnuplot"):
            require_tool(self, tool)
        self.root = tempfile.mkdtemp(prefix="mock-midterm-report-")
        # The key starts its workers by its own path, here one with a blank.
        self.key = os.path.join(self.root, "course kit", "mock-midterm-key")
        os.makedirs(os.path.dirname(self.key))
        shutil.copy(KEY, self.key)

    def tearDown(self):
        shutil.rmtree(self.root)

    def student(self, folder, id_num, answers, record=None):
        exam = ExamFolder(os.path.join(self.root, "class"), folder)
        exam.write("exam.dat", record or Record(8, idNum=id_num, grpNum=1).pack())
        if answers is not None:
            exam.write("signals.c", answers)
        return exam.path

    def env(self):
        # The key's private scratch folders under the root too, where left_behind looks.
        return dict(os.environ, TMPDIR=self.root)

    def report(self, *options):
        # gnuplot as found through PATH, keeping the data it was given.
        tools = os.path.join(self.root, "tools")
        os.makedirs(tools, exist_ok=True)
        with open(os.path.join(tools, "gnuplot"), "w") as f:
            f.write(f'#!/bin/sh\nfor last; do :; done\ncp "$(dirname "$last")/plot.dat" "{self.root}/plot.dat"\n'
                    f'PATH="{os.environ["PATH"]}" exec gnuplot "$@"\n')
        os.chmod(os.path.join(tools, "gnuplot"), 0o755)
        env = dict(self.env(), PATH=tools + ":" + os.environ["PATH"])
        return subprocess.run([self.key, "report", *options, "class"], cwd=self.root, capture_output=True,
                              text=True, timeout=120, env=env)

    def left_behind(self):
        """Scratch folders anywhere under the root, and programs still working in it."""
        scratch = [os.path.join(top, name) for top, folders, _ in os.walk(self.root)
                   for name in folders if name.startswith(".key-")]
        running = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink(f"/proc/{pid}/cwd").startswith(self.root):
                    running.append(pid)
            except OSError:
                pass
        return scratch, running

    def test_a_class_is_graded_into_rows_feedback_and_a_summary(self):
        ana = self.student("Ana Lima_101_assignsubmission_file_/exam", 101, COMPLETED_ANSWERS)
        self.student("Ben, Jr_102_assignsubmission_file_/exam", 102, WRONG_Y)
        self.student("Cy_103/unpacked/deep/exam", 19, FORKING_R)  # exam 64 is ID 19's own
        self.student("Dee_104", 104, "double x(double t) { return t }\n")
        self.student("Eli_105", 105, None)
        self.student("Fay_106", 106, COMPLETED_ANSWERS, Record(8, idNum=106, grpNum=2).pack())
        self.student("Gus_107", 107, FLOODING_X)
        self.student("Hal_108", 101, WRONG_Y)
        os.mkfifo(os.path.join(self.student("Ivy_109", 109, None), "signals.c"))
        # Not students: an exam kept by `variant`, a scratch folder, a link looping back.
        os.makedirs(os.path.join(ana, "attempts", "7"))
        shutil.copy(os.path.join(ana, "exam.dat"), os.path.join(ana, "attempts", "7"))
        planted = os.path.join(self.root, "class", ".key-harness.abc123")
        os.makedirs(planted)
        shutil.copy(os.path.join(ana, "exam.dat"), planted)
        os.symlink("..", os.path.join(self.root, "class", "Gus_107", "loop"))

        run = self.report("--csv", "grades.csv", "--feedback", "feedback", "--time-limit", "1", "--own-variant",
                          "--canvas-csv", "canvas.csv", "--moodle-csv", "moodle.csv")
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(os.path.join(self.root, "grades.csv"), newline="", encoding="utf-8") as f:
            table = list(csv.reader(f))
        self.assertEqual(table[0], HEADER)
        rows = {row[0].split("/")[1]: dict(zip(HEADER, row)) for row in table[1:]}
        self.assertEqual([row[0] for row in table[1:]], sorted(row[0] for row in table[1:]))
        wanted = {  # folder: ID, answers, score, status
            "Ana Lima_101_assignsubmission_file_": ("101", "right right right right", "4", "graded"),
            "Ben, Jr_102_assignsubmission_file_": ("102", "right wrong right right", "3", "graded"),
            "Cy_103": ("19", "wrong wrong right right", "2", "graded"),
            "Dee_104": ("104", "not graded " * 3 + "not graded", "", "does not compile: signals.c:1:"),
            "Eli_105": ("105", "not graded " * 3 + "not graded", "", "no signals.c"),
            "Fay_106": ("", "not graded " * 3 + "not graded", "", "exam.dat does not hold an exam"),
            "Gus_107": ("107", "timed out timed out right right", "2", "graded"),
            "Hal_108": ("101", "right wrong right right", "3", "graded"),
            "Ivy_109": ("109", "not graded " * 3 + "not graded", "", "signals.c is no regular file"),
        }
        self.assertEqual(sorted(rows), sorted(wanted))
        for folder, (id_num, answers, score, status) in wanted.items():
            row = rows[folder]
            self.assertEqual((row["ID"], " ".join(row[q] for q in ("Q1", "Q2", "Q3", "Q4")), row["score"]),
                             (id_num, answers, score), folder)
            self.assertTrue(row["status"].startswith(status), row)
        self.assertEqual(rows["Cy_103"]["folder"], "class/Cy_103/unpacked/deep/exam")
        not_own = "variant 64, not the student's own (178)"
        self.assertEqual(rows["Ana Lima_101_assignsubmission_file_"]["flags"], "ID 101 in 2 folders; " + not_own)
        self.assertEqual(rows["Hal_108"]["flags"],
                         "ID 101 in 2 folders; the same signals.c in 2 folders; " + not_own)
        self.assertEqual(rows["Cy_103"]["flags"], "")
        mistake = rows["Ben, Jr_102_assignsubmission_file_"]["Q2 mistake"]
        self.assertIn("x(2t-1)", mistake)
        self.assertEqual(rows["Hal_108"]["Q2 mistake"], mistake)

        lines = run.stdout.splitlines()
        self.assertEqual(lines[:6], ["9 exam folders: 5 graded, 4 not graded.", "  1 does not compile",
                                     "  1 exam.dat does not hold an exam made by mock-midterm",
                                     "  1 no signals.c", "  1 signals.c is no regular file", ""])
        scores = [line.split()[:4] for line in lines if line.endswith(" of 4") or " of 4  " in line]
        self.assertEqual(scores, [["4", "of", "4", "1"], ["3", "of", "4", "2"], ["2", "of", "4", "2"],
                                  ["1", "of", "4", "0"], ["0", "of", "4", "0"]])
        # The summary names the mistake by what it says first, before its reason.
        self.assertIn(f"Question 2: 20 % right (1 of 5); 2 of 5: {mistake.split(': ')[0]}; 1 timed out", lines)
        self.assertTrue(any(line.startswith("Question 3: 100 % right (5 of 5)") for line in lines))
        self.assertIn("  ID 101 in 2 folders: class/Ana Lima_101_assignsubmission_file_/exam, "
                      "class/Hal_108", lines)
        self.assertIn("  the same signals.c in 2 folders: class/Ben, Jr_102_assignsubmission_file_/exam, "
                      "class/Hal_108", lines)

        feedback = sorted(os.listdir(os.path.join(self.root, "feedback")))
        self.assertEqual(len(feedback), 9, feedback)
        self.assertIn("class_Ben__Jr_102_assignsubmission_file__exam-102.txt", feedback)
        flood = os.path.getsize(os.path.join(self.root, "feedback", "class_Gus_107-107.txt"))
        self.assertLess(flood, 4096, "what the functions print is dropped")
        with open(os.path.join(self.root, "feedback", "class_Dee_104-104.txt")) as f:
            self.assertIn("signals.c:1: error", f.read(), "the compiler's message is handed back")
        self.assertEqual(self.left_behind(), ([planted], []))
        self.assertFalse(os.path.exists(os.path.join(ana, "check.png")), "a student's folder is only read")

        # The learning platforms match the exam's ID; a folder without an exam has no row.
        scores = [("101", "3"), ("101", "4"), ("102", "3"), ("104", ""), ("105", ""), ("107", "2"), ("109", ""),
                  ("19", "2")]
        with open(os.path.join(self.root, "canvas.csv"), newline="", encoding="utf-8") as f:
            canvas = list(csv.reader(f))
        self.assertEqual(canvas[0], ["Student", "ID", "SIS User ID", "SIS Login ID", "Section", "Mock midterm"])
        self.assertEqual(sorted((row[2], row[5]) for row in canvas[1:]), scores)
        with open(os.path.join(self.root, "moodle.csv"), newline="", encoding="utf-8") as f:
            moodle = list(csv.reader(f))
        self.assertEqual(moodle[0], ["ID", "Mock midterm"])
        self.assertEqual(sorted(tuple(row) for row in moodle[1:]), scores)

        # class.png beside the CSV, drawn from the rows: scores, each question's results, the mistakes.
        self.assertEqual(lines[-1], "The class is drawn in class.png.")
        with open(os.path.join(self.root, "class.png"), "rb") as f:
            self.assertEqual(f.read(4), b"\x89PNG")
        with open(os.path.join(self.root, "plot.dat")) as f:
            scores, results, mistakes = [[line for line in block.splitlines() if not line.startswith("#")]
                                         for block in f.read().split("\n\n\n")]
        self.assertEqual(scores, ["0 0", "1 0", "2 2", "3 2", "4 1"])
        # question, then right, wrong, crashed, timed out, not graded
        self.assertEqual(results, ["1 3 1 0 1 4", "2 1 3 0 1 4", "3 5 0 0 0 4", "4 5 0 0 0 4"])
        self.assertEqual(mistakes, ['1 1 "Question 1, 1 of 5 graded: your pulse is 1, the wrong sign"',
                                    f'2 2 "Question 2, 2 of 5 graded: {mistake.split(": ")[0]}"'])

    def test_links_are_not_followed_and_a_system_without_the_fence_is_refused(self):
        with open(os.path.join(self.root, "secret.c"), "w") as f:
            f.write(COMPLETED_ANSWERS)
        self.student("-Lee_110", 110, COMPLETED_ANSWERS)
        linked = self.student("Mo_111", 111, None)
        os.symlink(os.path.join(self.root, "secret.c"), os.path.join(linked, "signals.c"))
        # "--": the folder named "-Lee_110" is a folder, not an option.
        run = subprocess.run([self.key, "report", "--csv", "grades.csv", "--", "-Lee_110", "Mo_111"],
                             cwd=os.path.join(self.root, "class"), capture_output=True, text=True,
                             timeout=120, env=self.env())
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(os.path.join(self.root, "class", "grades.csv"), newline="", encoding="utf-8") as f:
            rows = {row[0]: row for row in csv.reader(f)}
        self.assertEqual(rows["'-Lee_110"][12:14], ["4", "graded"], "written as text")
        self.assertEqual(rows["Mo_111"][13], "signals.c is a link, not followed")

        unfenced = [sys.executable, "-c", WITHOUT_LANDLOCK, self.key]
        refused = subprocess.run(unfenced + ["report", "class"], cwd=self.root, capture_output=True,
                                 text=True, timeout=120, env=self.env())
        self.assertEqual(refused.returncode, 2, refused.stderr)
        self.assertIn("cannot fence the students' programs: no Landlock", refused.stderr)
        self.assertEqual(self.left_behind(), ([], []))
        allowed = subprocess.run(unfenced + ["report", "--grade-unfenced", "class"], cwd=self.root,
                                 capture_output=True, text=True, timeout=120, env=self.env())
        self.assertEqual(allowed.returncode, 0, allowed.stderr)
        self.assertIn("\nGraded unfenced: no Landlock", allowed.stdout)
        graded = subprocess.run(unfenced + ["grade"], cwd=os.path.join(self.root, "class", "-Lee_110"),
                                capture_output=True, text=True, timeout=120, env=self.env())
        self.assertEqual(graded.returncode, 0, graded.stdout)
        self.assertEqual(graded.stderr.count("lacks part of the fence around your functions: no Landlock"), 1)

    def test_an_interrupt_keeps_what_was_graded_and_leaves_nothing_running(self):
        for name in ("a", "b"):
            self.student(name, 1, COMPLETED_ANSWERS)
        for name in ("c", "d", "e"):
            self.student(name, 2, ENDLESS_X)
        report = subprocess.Popen([KEY, "report", "--jobs", "1", "--csv", "grades.csv", "class"],
                                  cwd=self.root, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                  env=self.env())
        deadline = time.monotonic() + 30
        while not glob.glob(os.path.join(self.root, ".key-report.*", "2")) and time.monotonic() < deadline:
            time.sleep(0.05)
        time.sleep(0.3)  # the grading of c is under way
        report.send_signal(signal.SIGINT)
        out, _ = report.communicate(timeout=30)
        self.assertEqual(report.returncode, -signal.SIGINT, out)
        with open(os.path.join(self.root, "grades.csv"), newline="", encoding="utf-8") as f:
            table = list(csv.reader(f))
        self.assertEqual([(row[0], row[13]) for row in table[1:]], [("class/a", "graded"), ("class/b", "graded")])
        self.assertIn("Interrupted: 2 of 5 folders graded", out)
        self.assertEqual(self.left_behind(), ([], []))


if __name__ == "__main__":
    main()
