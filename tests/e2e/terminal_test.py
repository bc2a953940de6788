"""The built program on a pseudo-terminal: keys without Enter, and the terminal left as it was."""
import os
import random
import signal
import termios
import time
import unittest

from harness import FAREWELL, KEY_PROGRAM, MENU, RESTORE, ExamFolder, PtySession, Record, main


class Terminal(unittest.TestCase):
    def setUp(self):
        self.folder = ExamFolder(kit=True)
        for tool in ("gnuplot", "tcc"):
            self.folder.stand_in(tool)

    def tearDown(self):
        self.folder.cleanup()

    def test_typed_exam_with_single_keys(self):
        # The compiler gets the terminal in line mode, and may write to it
        # from its own process group even under `stty tostop`.
        self.folder.stand_in("tcc", also='/bin/stty -a </dev/tty >> "%s"; echo compiled' % self.folder.log)
        session = PtySession(self.folder, tostop=True)
        try:
            session.read_until("Enter your ID number: ")
            session.type("123\r")
            session.read_until("To which group do you belong? ")
            session.type("3\r")
            session.read_until("Press <E> to exit the program. ")
            session.type("y")  # no Enter: the check starts at once
            session.read_until("ok")
            session.read_until("Press <E> to exit the program. ")
            session.type("e")
            status = session.wait()
            self.assertTrue(os.WIFEXITED(status))
            self.assertEqual(os.WEXITSTATUS(status), 0)
            self.assertIn("exiting.", session.output.decode("latin-1"))
            # The key itself is not echoed.
            self.assertNotIn("program. y", session.output.decode("latin-1"))
            self.assertIn("compiled", session.output.decode("latin-1"))
            modes = " ".join(self.folder.calls()).split()
            self.assertIn("icanon", modes)
            self.assertIn("echo", modes)
        finally:
            session.close()
        self.assertEqual(Record.unpack(self.folder.read("exam.dat")).state, 9)

    def test_the_key_s_compiler_writes_and_changes_the_terminal_under_tostop(self):
        # A fenced compiler, in a session of its own, is not stopped by `stty
        # tostop` when it says what is wrong, and the mode it leaves on the
        # terminal it writes to is put right.
        self.folder.write("exam.dat", Record(9).pack())
        self.folder.compiled_stand_in("tcc", """#include <stdio.h>
#include <termios.h>
int main(void) {
    struct termios mode;
    if (tcgetattr(2, &mode) == 0) {
        mode.c_lflag &= ~(ECHO | ICANON);
        tcsetattr(2, TCSANOW, &mode);
    }
    fputs("signals.c:1: error: not C\\n", stderr);
    return 1;
}
""")
        session = PtySession(self.folder, argv=[KEY_PROGRAM, "grade"], tostop=True)
        try:
            status = session.wait()
            self.assertEqual(os.WEXITSTATUS(status), 2)
            out = session.output.decode("latin-1")
            self.assertIn("signals.c:1: error: not C", out)
            self.assertIn("signals.c does not compile", out)
            self.assertEqual(session.settings(), session.before)
        finally:
            session.close()

    def test_sigstop_and_sigcont_at_the_menu(self):
        # No handler sees SIGSTOP; the shell takes its line mode back while the
        # program is stopped, and SIGCONT must bring key mode back.
        self.folder.write("exam.dat", Record(8).pack())
        session = PtySession(self.folder)
        try:
            session.read_until("Press <E>")
            self.assertTrue(wait_for(session.raw))
            os.kill(session.pid, signal.SIGSTOP)
            self.assertTrue(wait_for(lambda: process_state(session.pid) == "T"))
            termios.tcsetattr(session.fd, termios.TCSANOW, session.before)
            os.kill(session.pid, signal.SIGCONT)
            self.assertTrue(wait_for(session.raw), "key mode is back after SIGCONT")
            session.type("e")
            self.assertEqual(os.WEXITSTATUS(session.wait()), 0)
            self.assertNotIn("program. e", session.output.decode("latin-1"))
        finally:
            session.close()

    def test_confirmation_key_and_enter_in_await_key(self):
        self.folder.write("exam.dat", Record(2).pack())
        session = PtySession(self.folder)
        try:
            session.read_until("Restoring")
            session.type("\r")  # Enter reads as 13, as on a Windows console
            session.read_until("13 ")
            session.read_until("Press <E>")
            session.type("E")
            self.assertEqual(os.WEXITSTATUS(session.wait()), 0)
        finally:
            session.close()

    def test_keys_typed_at_any_moment_arrive_once_unechoed(self):
        # Bursts, and keys typed during the pauses between polls: per-read raw
        # mode left the terminal echoing and line editing nearly all the time.
        seed = random.randrange(1 << 30)
        rng = random.Random(seed)
        for _ in range(3):
            waited = [rng.choice("aZ5 ~yE\x7f\x15\x04\n") for _ in range(12)] + ["\r"]
            menu = [rng.choice("nq \x7f\x15\x04\r") for _ in range(6)] + ["E"]
            self.folder.write("exam.dat", Record(2).pack())
            session = PtySession(self.folder)
            try:
                session.read_until("Restoring")
                time.sleep(0.5)  # the first poll comes after a save and a pause
                keys = waited + menu
                while keys:
                    burst = rng.choice([1, 1, 1, 2, 4])
                    os.write(session.fd, "".join(keys[:burst]).encode("latin-1"))
                    keys = keys[burst:]
                    time.sleep(rng.uniform(0, 0.25))
                self.assertEqual(os.WEXITSTATUS(session.wait()), 0)
                expected = (RESTORE + "".join(f"{ord(k)} {k}\n" for k in waited)
                            + MENU * len(menu) + FAREWELL)
                self.assertEqual(session.output.decode("latin-1"), expected.replace("\n", "\r\n"),
                                 f"seed {seed}")
                self.assertEqual(session.settings(), session.before)
            finally:
                session.close()

    def test_ctrl_z_and_fg_at_the_menu(self):
        self.folder.write("exam.dat", Record(8).pack())
        session = PtySession(self.folder, job_control=True)
        try:
            session.read_until("Press <E>")
            self.assertTrue(wait_for(session.raw))
            session.type("\x1a")
            session.read_until("[stopped]")
            self.assertEqual(session.settings(), session.before)
            session.type("fg\r")
            self.assertTrue(wait_for(session.raw), "raw mode is back after fg")
            session.type("y")
            session.read_until("ok")
            session.type("e")
            self.assertEqual(os.WEXITSTATUS(session.wait()), 0)
            self.assertNotIn("program. y", session.output.decode("latin-1"))
            self.assertEqual(session.settings(), session.before)
        finally:
            session.close()

    def test_ending_signals_restore_the_terminal(self):
        typed = {signal.SIGINT: "\x03", signal.SIGQUIT: "\x1c"}
        for sig in (signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGHUP, signal.SIGALRM,
                    signal.SIGUSR1, signal.SIGUSR2, signal.SIGXCPU, signal.SIGXFSZ,
                    signal.SIGVTALRM, signal.SIGPROF, signal.SIGPIPE):
            with self.subTest(signal=sig.name):
                self.folder.write("exam.dat", Record(8).pack())
                session = PtySession(self.folder)
                try:
                    session.read_until("Press <E>")
                    self.assertTrue(wait_for(session.raw))
                    if sig in typed:
                        session.type(typed[sig])
                    else:
                        os.kill(session.pid, sig)
                    status = session.wait()
                    self.assertTrue(os.WIFSIGNALED(status))
                    self.assertEqual(os.WTERMSIG(status), sig)
                    self.assertEqual(session.settings(), session.before)
                finally:
                    session.close()
                # The last completed save is intact.
                self.assertEqual(Record.unpack(self.folder.read("exam.dat")).state, 8)


def process_state(pid):
    with open("/proc/%d/stat" % pid) as f:
        return f.read().rsplit(")", 1)[1].split()[0]


def wait_for(condition, timeout=10):
    deadline = time.time() + timeout
    while not condition():
        if time.time() > deadline:
            return False
        time.sleep(0.01)
    return True


if __name__ == "__main__":
    main()
