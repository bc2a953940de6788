"""The built program on a pipe: the whole dialogue, the files it writes, resuming."""
import os
import unittest

from harness import FAREWELL, GOLDEN, MENU, RESTORE, TEXT_DONE, ExamFolder, Record, main

GNUPLOT_CALL = "gnuplot q1.gp"


class Dialogue(unittest.TestCase):
    def setUp(self):
        self.folder = ExamFolder(kit=True)
        for tool in ("gnuplot", "tcc", "pdflatex"):
            self.folder.stand_in(tool)

    def tearDown(self):
        self.folder.cleanup()

    def golden(self, name):
        with open(os.path.join(GOLDEN, name), "rb") as f:
            return f.read()

    def test_first_start_writes_the_known_exam(self):
        status, out, _ = self.folder.run("123\n3\nE")
        self.assertEqual(status, 0)
        self.assertEqual(out, "Enter your ID number: To which group do you belong? " + TEXT_DONE
                         + MENU + FAREWELL)
        self.assertEqual(self.folder.read("MOCK_MIDTERM.txt"), self.golden("MOCK_MIDTERM.txt"))
        self.assertEqual(self.folder.read("q1plot.dat"), self.golden("q1plot.dat"))
        # Byte for byte: the record starts all zero, and a fresh exam draws no window.
        self.assertEqual(self.folder.read("exam.dat"), Record(9, varTstart=0.0, varTend=0.0, varAmp=0).pack())
        record = Record.unpack(self.folder.read("exam.dat"))
        self.assertEqual((record.state, record.idNum, record.grpNum, record.varQT,
                          record.varQK), (9, 123, 3, 1, 2))
        self.assertEqual(self.folder.calls(), [GNUPLOT_CALL])
        self.assertEqual([n for n in os.listdir(self.folder.path) if n.startswith("exam.dat.")], [])

        # A second start resumes at the menu with the same exam.
        before = self.folder.read("exam.dat")
        status, out, _ = self.folder.run("e")
        self.assertEqual((status, out), (0, RESTORE + MENU + FAREWELL))
        self.assertEqual(self.folder.read("exam.dat"), before)

    def test_retries_then_a_valid_entry(self):
        status, out, _ = self.folder.run("-5\n0\nabc\n  77 trailing words\n2\n5\n0\n4\nE")
        self.assertEqual(status, 0)
        self.assertEqual(out.count("Invalid ID Number!\n"), 3)
        self.assertEqual(out.count("Invalid group!\n"), 3)
        record = Record.unpack(self.folder.read("exam.dat"))
        self.assertEqual((record.idNum, record.grpNum), (77, 4))

    def test_end_of_input_at_each_prompt(self):
        cases = [
            ("", 255, "Enter your ID number: Ending exam abruptly! Goodbye.\n", 1),
            ("0\n" * 10, 255, "You have exceeded the max allowable tries. Contact your professor\n"
                              "Ending exam abruptly! Goodbye.\n", 1),
            ("123\n", 255, "To which group do you belong? Ending exam abruptly! Goodbye.\n", 1),
            ("123\n3\n", 0, MENU + FAREWELL, 9),
        ]
        for keys, status, ending, saved_state in cases:
            with self.subTest(keys=keys):
                folder = ExamFolder(kit=True)
                try:
                    got_status, out, _ = folder.run(keys)
                    self.assertEqual(got_status, status)
                    self.assertTrue(out.endswith(ending), out)
                    record = Record.unpack(folder.read("exam.dat"))
                    self.assertEqual(record.state, saved_state)
                    if saved_state == 1:
                        self.assertEqual(record.idNum, 0)
                finally:
                    folder.cleanup()

    def test_menu_check_and_missing_compiler(self):
        self.folder.write("exam.dat", Record(8).pack())
        status, out, _ = self.folder.run("yE")
        self.assertEqual(status, 0)
        self.assertIn("\nChecking signals.c...\n\nok\n\n", out)
        self.assertEqual(self.folder.calls(), ["tcc -c signals.c"])

        os.remove(os.path.join(self.folder.bin, "tcc"))
        status, out, err = self.folder.run("YE")
        self.assertNotIn("ok", out)
        self.assertIn("tcc.exe: command not found", err)

        os.remove(self.folder.file("signals.c"))
        status, out, _ = self.folder.run("YE")
        self.assertIn("\nChecking signals.c...\n\nError opening file: signals.c" + MENU, out)

    def test_stored_pdf_step_typesets_and_cleans_up(self):
        self.folder.write("exam.dat", Record(7, idNum=123, grpNum=1, varQT=-2, varTstart=0.25,
                                             varTend=0.5, varAmp=-1).pack())
        for name in ("old.aux", "old.log", "q1.eps", "q1-eps-converted-to.pdf"):
            self.folder.write(name, "x")
        status, out, _ = self.folder.run("E")
        self.assertEqual(status, 0)
        self.assertEqual(out, RESTORE + "Creating 123.pdf\n" + MENU + FAREWELL)
        self.assertEqual(self.folder.read("defs.tex"),
                         b"\\newcommand\\idNum{123}\n\\newcommand\\grpNum{1}\n"
                         b"\\newcommand\\varQT{-2}\n\\newcommand\\varQK{2}\n"
                         b"\\newcommand\\varTstart{0.25}\n\\newcommand\\varTend{0.5}\n"
                         b"\\newcommand\\varAmp{-}\n")
        self.assertEqual(self.folder.calls(),
                         ["pdflatex -jobname=123 -interaction=batchmode create.tex"] * 2)
        for name in ("old.aux", "old.log", "q1.eps", "q1-eps-converted-to.pdf"):
            self.assertFalse(os.path.exists(self.folder.file(name)), name)
        for name in ("create.tex", "signals.c", "q1.gp", "defs.tex", "exam.dat"):
            self.assertTrue(os.path.exists(self.folder.file(name)), name)

    def test_stored_window_step_draws_and_goes_to_the_menu(self):
        self.folder.write("exam.dat", Record(5, varTstart=9.0, varTend=9.0, varAmp=7).pack())
        status, out, _ = self.folder.run("E")
        self.assertEqual((status, out), (0, RESTORE + MENU + FAREWELL))
        record = Record.unpack(self.folder.read("exam.dat"))
        # The unseeded sequence starts 41, 18467: 41 mod 7 = 6, 18467 is odd.
        self.assertEqual((record.varTstart, record.varTend, record.varAmp), (1.5, 1.75, -1))

    def test_stored_states_outside_the_machine_end_quietly(self):
        for state in (10, -1):
            with self.subTest(state=state):
                self.folder.write("exam.dat", Record(state).pack())
                before = self.folder.read("exam.dat")
                status, out, _ = self.folder.run("E")
                self.assertEqual((status, out), (0, RESTORE))
                self.assertEqual(self.folder.read("exam.dat"), before)

    def test_unreadable_workspace_stops_with_status_1(self):
        os.mkdir(self.folder.file("exam.dat"))
        status, out, err = self.folder.run("123\n3\nE")
        self.assertEqual((status, out), (1, ""))
        self.assertIn("exam.dat", err)
        self.assertTrue(os.path.isdir(self.folder.file("exam.dat")))


if __name__ == "__main__":
    main()
