"""Whole exams with the real tcc, gnuplot and pdflatex, in a folder made from the course kit."""
import glob
import os
import subprocess
import unittest

from harness import ExamFolder, PtySession, main, pack_record, require_tool, unpack_record

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
        self.folder = ExamFolder()

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
        with open(self.folder.file("q1.png"), "rb") as f:
            png = f.read()
        self.assertTrue(png.startswith(b"\x89PNG\r\n\x1a\n"), "q1.png is not a PNG")
        self.assertGreater(len(png), 5000, "the plot is suspiciously small")
        self.assertLess(len(png), 2_000_000)
        self.assertEqual(os.path.getsize(self.folder.file("exam.dat")), 144)
        self.assertIn("y(t) = x(2t+1)", self.folder.read("MOCK_MIDTERM.txt"))

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
        self.assertEqual(unpack_record(self.folder.read("exam.dat", "rb"))["idNum"], 4242)

    def test_stored_pdf_step_typesets_the_exam(self):
        require_tool(self, "pdflatex")
        require_tool(self, "pdftotext")
        self.start_exam()
        self.folder.write("exam.dat", pack_record(7, id_num=2024017, group=4, shift_k=-3,
                                                  start=1.25, end=1.5, amp=1))
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
        self.assertEqual(unpack_record(self.folder.read("exam.dat", "rb"))["state"], 9)


if __name__ == "__main__":
    main()
