"""The built program on a pseudo-terminal: keys without Enter, and the terminal left as it was."""
import os
import signal
import termios
import unittest

from harness import ExamFolder, PtySession, main, pack_record, unpack_record


class Terminal(unittest.TestCase):
    def setUp(self):
        self.folder = ExamFolder()
        for tool in ("gnuplot", "tcc"):
            self.folder.stand_in(tool)

    def tearDown(self):
        self.folder.cleanup()

    def test_typed_exam_with_single_keys(self):
        session = PtySession(self.folder)
        try:
            session.read_until("Enter your ID number: ")
            session.type("123\r")
            session.read_until("To which group do you belong? ")
            session.type("3\r")
            session.read_until("Press <E> to exit the program. ")
            session.await_key_read()
            session.type("y")  # no Enter: the check starts at once
            session.read_until("ok")
            session.read_until("Press <E> to exit the program. ")
            session.await_key_read()
            session.type("e")
            status = session.wait()
            self.assertTrue(os.WIFEXITED(status))
            self.assertEqual(os.WEXITSTATUS(status), 0)
            self.assertIn("exiting.", session.output.decode("latin-1"))
            # The key itself is not echoed.
            self.assertNotIn("program. y", session.output.decode("latin-1"))
        finally:
            session.close()
        self.assertEqual(unpack_record(self.folder.read("exam.dat", "rb"))["state"], 9)

    def test_confirmation_key_and_enter_in_await_key(self):
        self.folder.write("exam.dat", pack_record(2))
        session = PtySession(self.folder)
        try:
            session.read_until("Restoring")
            session.type("\r")  # Enter reads as 13, as on a Windows console
            session.read_until("13 ")
            session.read_until("Press <E>")
            session.await_key_read()
            session.type("E")
            self.assertEqual(os.WEXITSTATUS(session.wait()), 0)
        finally:
            session.close()

    def test_ctrl_c_at_the_menu_restores_the_terminal(self):
        self.folder.write("exam.dat", pack_record(8))
        session = PtySession(self.folder)
        try:
            session.read_until("Press <E>")
            session.await_key_read()
            session.type("\x03")
            status = session.wait()
            self.assertTrue(os.WIFSIGNALED(status))
            self.assertEqual(os.WTERMSIG(status), signal.SIGINT)
            after = termios.tcgetattr(session.fd)
            self.assertTrue(after[3] & termios.ICANON)
            self.assertTrue(after[3] & termios.ECHO)
            self.assertTrue(after[0] & termios.ICRNL)
        finally:
            session.close()
        # The last completed save is intact.
        self.assertEqual(unpack_record(self.folder.read("exam.dat", "rb"))["state"], 8)


if __name__ == "__main__":
    main()
