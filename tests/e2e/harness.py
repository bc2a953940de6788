"""Shared helpers for the tests that run the built program as a student would."""
import fcntl
import os
import resource
import select
import shutil
import signal
import sys
import termios
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from exam_folder import PROGRAM, REPO, ExamFolder, Record  # noqa: E402,F401  (for the tests)

GOLDEN = os.path.join(REPO, "tests", "e2e", "golden")
KEY_PROGRAM = os.environ.get("MOCK_MIDTERM_KEY", os.path.join(REPO, "build", "key", "mock-midterm-key"))
IN_CI = os.environ.get("CI") == "true"

RESTORE = "Exam workspace exists. Restoring to previously saved state.\n"
MENU = "\n\nPress <Y> to run a check on signals.c. Press <E> to exit the program. "
FAREWELL = "\n\nexiting.\n"
TEXT_DONE = "\nMOCK_MIDTERM.txt has been generated.\nOpen it and follow the instructions."


def require_tool(test, name):
    """Skips the test when a real tool is missing, except in CI, where it must be there."""
    if shutil.which(name) is None:
        if IN_CI:
            test.fail(f"{name} is not installed; CI must install it")
        test.skipTest(f"{name} is not installed")


class PtySession:
    """The program on a pseudo-terminal, typed at like a student would.

    With job_control, a small shell stands between: the program runs in its own
    foreground process group, and when it stops the shell takes the terminal back,
    prints "[stopped]" and continues the program once a line ("fg") is typed.
    """

    def __init__(self, folder, real_tools=False, job_control=False, argv=None, tostop=False):
        self.fd, terminal = os.openpty()
        if tostop:  # background programs that write to the terminal are stopped
            settings = termios.tcgetattr(terminal)
            settings[3] |= termios.TOSTOP
            termios.tcsetattr(terminal, termios.TCSANOW, settings)
        self.before = termios.tcgetattr(terminal)
        argv = argv or [PROGRAM]
        self.pid = os.fork()
        if self.pid == 0:
            try:
                os.close(self.fd)
                os.setsid()
                fcntl.ioctl(terminal, termios.TIOCSCTTY, 0)
                for fd in (0, 1, 2):
                    os.dup2(terminal, fd)
                os.chdir(folder.path)
                resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # signal tests leave no cores
                for ignored_by_python in (signal.SIGPIPE, signal.SIGXFSZ):
                    signal.signal(ignored_by_python, signal.SIG_DFL)
                if job_control:
                    _run_as_job(folder.env(real_tools))
                os.execve(argv[0], argv, folder.env(real_tools))
            finally:
                os._exit(127)
        os.close(terminal)
        self.output = b""

    def settings(self):
        return termios.tcgetattr(self.fd)

    def raw(self):
        return not self.settings()[3] & termios.ICANON

    def read_until(self, text, timeout=30):
        deadline = time.time() + timeout
        wanted = text.encode("latin-1")
        while wanted not in self.output:
            remaining = deadline - time.time()
            if remaining <= 0:
                raise AssertionError(f"timed out waiting for {text!r}; got {self.output!r}")
            ready, _, _ = select.select([self.fd], [], [], remaining)
            if ready:
                try:
                    chunk = os.read(self.fd, 4096)
                except OSError:
                    chunk = b""
                if not chunk:
                    raise AssertionError(f"program ended before {text!r}; got {self.output!r}")
                self.output += chunk
        return self.output.decode("latin-1")

    def type(self, text):
        # At a person's pace, who reads the prompt first: the terminal is in
        # key mode only once the program has started to wait for keys.
        time.sleep(0.1)
        os.write(self.fd, text.encode("latin-1"))

    def wait(self, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                while select.select([self.fd], [], [], 0.05)[0]:  # what is still on its way
                    try:
                        chunk = os.read(self.fd, 4096)
                    except OSError:
                        chunk = b""
                    if not chunk:
                        break
                    self.output += chunk
                return status
            try:
                ready, _, _ = select.select([self.fd], [], [], 0.05)
                if ready:
                    self.output += os.read(self.fd, 4096)
            except OSError:
                pass
        os.kill(self.pid, signal.SIGKILL)
        raise AssertionError("program did not end")

    def close(self):
        try:
            os.close(self.fd)
        except OSError:
            pass


def _run_as_job(env):
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)  # a shell may hand the terminal around
    job = os.fork()
    if job == 0:
        os.setpgid(0, 0)
        os.tcsetpgrp(0, os.getpid())
        signal.signal(signal.SIGTTOU, signal.SIG_DFL)
        os.execve(PROGRAM, [PROGRAM], env)
    while True:
        _, status = os.waitpid(job, os.WUNTRACED)
        if not os.WIFSTOPPED(status):
            os._exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))
        os.tcsetpgrp(0, os.getpgrp())
        os.write(1, b"[stopped]\n")
        os.read(0, 100)  # a whole line: the terminal is in line mode again
        os.tcsetpgrp(0, job)
        os.killpg(job, signal.SIGCONT)


def main():
    unittest.main(verbosity=2)
