"""The built program in hostile folders, with hostile files and a broken
console. Each case states what the program must do and checks that the exam
is not lost: "exam.dat" keeps the last record saved, and a later start still
comes back with the same student and questions.

When run as root the program runs as user nobody where permissions matter,
since root ignores them. Disk full uses a small tmpfs in a private mount
namespace when the system allows one, and a file size limit always."""

import fcntl
import os
import resource
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import harness  # noqa: E402

ROOT = None
FINISHED = None  # the record of a finished first start: ID 123, group 3


def setUpModule():
    global ROOT, FINISHED
    harness.check_program()
    ROOT = harness.make_root()
    real_tcc = shutil.which("tcc")
    if real_tcc:  # the real compiler tells more than the stand-in
        os.remove(os.path.join(ROOT, "tools", "tcc"))
        os.symlink(real_tcc, os.path.join(ROOT, "tools", "tcc"))
    folder = harness.ExamFolder(ROOT, "finished")
    status, _, _ = harness.run(ROOT, folder, b"123\n3\nE")
    assert status == 0
    FINISHED = folder.read("exam.dat")


def tearDownModule():
    harness.remove_root(ROOT)


_count = 0


def new_folder(stored_state=None, owned_by_runner=False):
    global _count
    _count += 1
    folder = harness.ExamFolder(ROOT, "case-%d" % _count)
    if stored_state is not None:
        folder.write("exam.dat", harness.with_state(FINISHED, stored_state))
    if owned_by_runner:
        for name in [""] + os.listdir(folder.path):
            harness.give_to_runner(folder.file(name) if name else folder.path)
    return folder


def listing(folder):
    """Every name in the folder with its type and content."""
    result = {}
    for name in sorted(os.listdir(folder.path)):
        path = folder.file(name)
        if os.path.islink(path):
            result[name] = ("link", os.readlink(path))
        elif os.path.isdir(path):
            result[name] = ("folder", tuple(sorted(os.listdir(path))))
        elif os.path.isfile(path):
            with open(path, "rb") as f:
                result[name] = ("file", f.read(), os.stat(path).st_mode)
        else:
            result[name] = ("other", os.stat(path).st_mode)
    return result


class TestCase(unittest.TestCase):
    def assertFinishedAs(self, folder, state=harness.EXITING):
        """exam.dat holds the finished exam's student and questions."""
        data = folder.read("exam.dat")
        self.assertIsNotNone(data, "exam.dat is gone")
        self.assertEqual(len(data), harness.RECORD_SIZE)
        self.assertEqual(data[4:112], FINISHED[4:112], "student or question 1 changed")
        self.assertEqual(harness.Record.unpack(data).state, state)
        self.assertEqual(harness.save_temps(folder), [])

    def assertToldOnce(self, err, message):
        self.assertEqual(err.count(message), 1, err)


class ReadOnlyFolder(TestCase):
    """Nothing can be written: the exam goes on and says once that it cannot
    be saved."""

    def read_only(self, folder):
        if harness.other_user() is None:
            os.chmod(folder.path, 0o555)
        # otherwise the folder belongs to root and the program runs as nobody

    def test_first_start_goes_on_and_says_once(self):
        folder = new_folder()
        self.read_only(folder)
        status, out, err = harness.run(ROOT, folder, b"123\n3\nE", as_other_user=True)
        self.assertEqual(status, 0)
        self.assertTrue(out.endswith("exiting.\n"), out)
        self.assertToldOnce(err, "cannot save exam.dat: Permission denied. The exam goes on")
        self.assertIn("cannot write q1plot.dat: Permission denied", err)
        self.assertIn("cannot write MOCK_MIDTERM.txt: Permission denied", err)
        self.assertEqual(os.listdir(folder.path), [])

    def test_stored_exam_restores_and_is_left_as_it_was(self):
        folder = new_folder(stored_state=harness.EXITING - 1)
        before = listing(folder)
        self.read_only(folder)
        status, out, err = harness.run(ROOT, folder, b"E", as_other_user=True)
        self.assertEqual(status, 0)
        self.assertIn("Restoring to previously saved state", out)
        self.assertToldOnce(err, "cannot save exam.dat")
        self.assertEqual(listing(folder), before)


class UnusableWorkspace(TestCase):
    """An "exam.dat" that cannot be read: status 1, a clear error, nothing touched."""

    def check_refused(self, folder, reason, as_other_user=False):
        before = listing(folder)
        status, out, err = harness.run(ROOT, folder, b"123\n3\nE", as_other_user=as_other_user)
        self.assertEqual(status, 1)
        self.assertEqual(out, "")
        self.assertEqual(err, "mock-midterm: cannot read exam.dat: %s\n" % reason)
        self.assertEqual(listing(folder), before)

    def test_kinds_of_unusable_workspace(self):
        cases = {
            "a folder": (lambda f: os.mkdir(f.file("exam.dat")), "it is not a regular file"),
            "a folder holding files": (lambda f: (os.mkdir(f.file("exam.dat")),
                                                  f.write("exam.dat/exam.dat", FINISHED)),
                                       "it is not a regular file"),
            "a dangling link": (lambda f: os.symlink("gone.dat", f.file("exam.dat")),
                                "it is a link to nothing"),
            "a link to a folder": (lambda f: (os.mkdir(f.file("old")),
                                              os.symlink("old", f.file("exam.dat"))),
                                   "it is not a regular file"),
            "a named pipe": (lambda f: os.mkfifo(f.file("exam.dat")), "it is not a regular file"),
        }
        for name, (make, reason) in cases.items():
            with self.subTest(name):
                folder = new_folder()
                make(folder)
                self.check_refused(folder, reason)

    def test_unreadable_file(self):
        folder = new_folder(stored_state=harness.EXITING, owned_by_runner=True)
        os.chmod(folder.file("exam.dat"), 0)
        self.check_refused(folder, "Permission denied", as_other_user=True)


class BadWorkspaceContent(TestCase):
    """What a start makes of odd bytes in "exam.dat"."""

    def test_short_or_empty_file_starts_a_new_exam(self):
        for size in (0, 1, 143):
            with self.subTest(size=size):
                folder = new_folder()
                folder.write("exam.dat", FINISHED[:size])
                status, out, _ = harness.run(ROOT, folder, b"123\n3\nE")
                self.assertEqual(status, 0)
                self.assertIn("Enter your ID number: ", out)
                self.assertFinishedAs(folder)

    def test_longer_file_gives_its_first_record(self):
        folder = new_folder()
        folder.write("exam.dat", harness.with_state(FINISHED, 8) + b"\xff" * 156)
        status, out, _ = harness.run(ROOT, folder, b"E")
        self.assertEqual(status, 0)
        self.assertNotIn("Enter your ID number", out)
        self.assertFinishedAs(folder)

    def test_unknown_state_ends_at_once_and_keeps_the_file(self):
        for state in (10, 77, -1, -2147483648):
            with self.subTest(state=state):
                folder = new_folder()
                stored = harness.with_state(FINISHED, state)
                folder.write("exam.dat", stored)
                status, out, _ = harness.run(ROOT, folder, b"123\n3\nE")
                self.assertEqual(status, 0)
                self.assertEqual(out, "Exam workspace exists. Restoring to previously saved state.\n")
                self.assertEqual(folder.read("exam.dat"), stored)

    def test_whatever_is_at_a_temp_name_is_never_written(self):
        # (how it is made, its name, whether it is left there); a hard link
        # and a named pipe at the old name are in the workspace unit tests.
        answers = b"double x(double t) { return t; }\n"
        stale = "exam.dat.tmp-k3Q9zP"  # a name of the save's own scheme
        cases = {
            "a temp a kill left": (lambda f: f.write(stale, b"torn"), stale, False),
            "a hard link to the answers at a temp name":
                (lambda f: os.link(f.file("signals.c"), f.file(stale)), stale, False),
            "a link to the answers at the old temp name":
                (lambda f: os.symlink("signals.c", f.file("exam.dat.tmp")), "exam.dat.tmp", True),
            "a folder at the old temp name":
                (lambda f: (os.mkdir(f.file("exam.dat.tmp")), f.write("exam.dat.tmp/x", b"")),
                 "exam.dat.tmp", True),
        }
        for name, (make, at, kept) in cases.items():
            with self.subTest(name):
                folder = new_folder(stored_state=4)
                folder.write("signals.c", answers)
                make(folder)
                before = listing(folder).get(at)
                status, out, err = harness.run(ROOT, folder, b"E", timeout=10)
                self.assertEqual((status, err), (0, ""))
                self.assertIn("MOCK_MIDTERM.txt has been generated", out)
                self.assertEqual(folder.read("signals.c"), answers)
                self.assertEqual(listing(folder).get(at), before if kept else None)
                self.assertFinishedAs(folder)


class TwoCopies(TestCase):
    """A second copy started in the folder while one runs is refused before
    it touches anything, and the running one saves on undisturbed."""

    def test_second_copy_is_refused(self):
        # Both wait at a stored key wait, saving every turn; saves slowed by
        # the spy, as on a slow disk, are where two savers would collide.
        folder = new_folder(stored_state=2)
        env = {"LD_PRELOAD": harness.SAVE_SPY, "ASAN_OPTIONS": "verify_asan_link_order=0",
               "MOCK_MIDTERM_SAVE_DELAY_MS": "5"} \
            if harness.SAVE_SPY else None
        copies = [subprocess.Popen([harness.program_in(ROOT)], cwd=folder.path, stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   env=harness.environment(ROOT, env)) for _ in range(2)]
        sizes = set()
        reads = 0
        deadline = time.monotonic() + 1.5
        while time.monotonic() < deadline:
            try:
                sizes.add(os.stat(folder.file("exam.dat")).st_size)
                reads += 1
            except FileNotFoundError:
                sizes.add(None)
        results = [c.communicate(b"\rE", timeout=10) for c in copies]
        statuses = sorted(c.returncode for c in copies)
        self.assertEqual(statuses, [0, 1], results)
        refused = [r for c, r in zip(copies, results) if c.returncode == 1][0]
        self.assertEqual(refused, (b"", b"mock-midterm: another copy of the exam is running in this folder.\n"))
        self.assertEqual(sizes, {harness.RECORD_SIZE}, "exam.dat seen otherwise in %d reads" % reads)
        self.assertFinishedAs(folder)

    def test_the_key_leaves_a_running_exam_alone(self):
        # variant is refused; other commands skip the repair of a stale q1plot.dat.
        if not harness.KEY_PROGRAM:
            self.skipTest("set MOCK_MIDTERM_KEY to the built key program")
        folder = new_folder(stored_state=2)
        folder.write("q1plot.dat", b"0 0\n")
        exam = subprocess.Popen([harness.program_in(ROOT)], cwd=folder.path, stdin=subprocess.PIPE,
                                stdout=subprocess.DEVNULL, env=harness.environment(ROOT))
        descriptor = os.open(folder.path, os.O_RDONLY)
        try:
            while exam.poll() is None:  # until the exam holds the folder's lock
                try:
                    fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
                    fcntl.flock(descriptor, fcntl.LOCK_UN)
                    time.sleep(0.01)
                except BlockingIOError:
                    break
        finally:
            os.close(descriptor)
        def untouched():  # the running exam's own saves come and go meanwhile
            return {n: v for n, v in listing(folder).items() if not harness.TEMP_NAME.match(n)}
        before = untouched()
        cases = {"variant": (["variant", "37"], 1), "answers": (["answers"], 2)}
        for name, (arguments, expected) in cases.items():
            with self.subTest(name):
                result = subprocess.run([os.path.join(ROOT, "mock-midterm-key")] + arguments,
                                        cwd=folder.path, capture_output=True, timeout=30,
                                        env=harness.environment(ROOT))
                self.assertEqual(result.returncode, expected, result.stderr)
                if name == "variant":
                    self.assertIn(b"is running in this folder", result.stderr)
                self.assertEqual(untouched(), before)
        exam.communicate(b"\rE", timeout=10)
        self.assertEqual(exam.returncode, 0)

    def test_an_exam_refused_while_the_key_works_names_it(self):
        if not harness.KEY_PROGRAM:
            self.skipTest("set MOCK_MIDTERM_KEY to the built key program")
        folder = new_folder(stored_state=harness.EXITING)
        slow = tools_env("slow", {"gnuplot": "#!/bin/sh\nexec /bin/sleep 3\n"})
        key = subprocess.Popen([os.path.join(ROOT, "mock-midterm-key"), "variant", "37"], cwd=folder.path,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=harness.environment(ROOT, slow))
        self.assertTrue(wait_until(lambda: len(running_in(folder)) > 1), "gnuplot never ran")
        status, _, err = harness.run(ROOT, folder, b"E")
        self.assertEqual((status, err), (1, "mock-midterm: mock-midterm-key is changing this folder's "
                                            "exam or its plot: start the exam again once it has ended.\n"))
        self.assertEqual(key.wait(timeout=30), 0)



SIGNALS_C = b"double x(double t) { return t; }\n"
# Tools that write what the real ones write, in place: the picture, the
# PDF and pdflatex's by-products. And tools that never end.
DRAWING_TOOLS = {
    "gnuplot": "#!/bin/sh\nprintf PNG > q1.png\n",
    "pdflatex": "#!/bin/sh\nfor a; do case $a in -jobname=*) j=${a#-jobname=};; esac; done\n"
                "printf PDF > $j.pdf; printf LOG > $j.log; printf AUX > $j.aux\n",
}
HANGING_TOOLS = {"gnuplot": "#!/bin/sh\nexec /bin/sleep 1000\n"}


def tools_env(name, tools):
    """An environment whose PATH finds `tools` before the usual stand-ins."""
    folder = os.path.join(ROOT, name)
    if not os.path.isdir(folder):
        os.mkdir(folder)
        for tool, text in tools.items():
            with open(os.path.join(folder, tool), "w") as f:
                f.write(text)
            os.chmod(os.path.join(folder, tool), 0o755)
    return {"PATH": folder + ":" + os.path.join(ROOT, "tools")}


def running_in(folder, links=("exe", "cwd")):
    """The processes whose program or working folder is in the folder."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        for link in links:
            try:
                if os.readlink("/proc/%s/%s" % (pid, link)).startswith(folder.path):
                    found.append(int(pid))
                    break
            except OSError:
                pass
    return found


def wait_until(condition, timeout=10):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


class LinksAtOutputs(TestCase):
    """A link or a second name at a file the exam writes: the name is
    replaced, and the file it led to is left as it was."""

    def test_links_at_every_output(self):
        outputs = [("q1plot.dat", None, b"123\n3\nE"), ("MOCK_MIDTERM.txt", None, b"123\n3\nE"),
                   ("q1.png", None, b"123\n3\nE"), ("defs.tex", 7, b"E"), ("123.pdf", 7, b"E"),
                   ("123.log", 7, b"E")]
        for name, state, answers in outputs:
            for kind in ("symbolic", "hard"):
                with self.subTest(file=name, link=kind):
                    folder = new_folder(stored_state=state)
                    folder.write("signals.c", SIGNALS_C)
                    if kind == "symbolic":
                        os.symlink("signals.c", folder.file(name))
                    else:
                        os.link(folder.file("signals.c"), folder.file(name))
                    status, out, err = harness.run(ROOT, folder, answers,
                                                   env=tools_env("drawing", DRAWING_TOOLS))
                    self.assertEqual(status, 0, err)
                    self.assertEqual(folder.read("signals.c"), SIGNALS_C)
                    self.assertEqual(os.stat(folder.file("signals.c")).st_nlink, 1)
                    self.assertFalse(os.path.islink(folder.file(name)))
                    self.assertFinishedAs(folder)

    def test_a_hard_linked_backup_keeps_its_files(self):
        folder = new_folder()
        env = tools_env("drawing", DRAWING_TOOLS)
        self.assertEqual(harness.run(ROOT, folder, b"123\n3\nE", env=env)[0], 0)
        backup = folder.path + ".backup"
        subprocess.run(["cp", "-al", folder.path, backup], check=True)
        def files():
            found = {}
            for name in os.listdir(backup):
                with open(os.path.join(backup, name), "rb") as f:
                    found[name] = f.read()
            return found
        kept = files()
        for state in (3, 7):  # every output drawn and typeset again
            folder.write("stored", harness.with_state(FINISHED, state))
            os.replace(folder.file("stored"), folder.file("exam.dat"))  # the backup's stays
            self.assertEqual(harness.run(ROOT, folder, b"E", env=env)[0], 0)
        self.assertEqual(files(), kept)


class ToolsThatHang(TestCase):
    """The exam's tools read the null device and are stopped at their
    limits, with all they started; the exam goes on."""

    def test_tools_read_nothing_and_end_within_their_limits(self):
        started = time.monotonic()
        stuck = new_folder()  # a gnuplot that never ends, at the first start
        piped = new_folder(stored_state=8)  # a compiler stuck opening a pipe
        os.mkfifo(piped.file("pipe.h"))
        piped.write("signals.c", b'#include "pipe.h"\n' + SIGNALS_C)
        runs = []
        for f, env, keys in ((stuck, tools_env("hanging", HANGING_TOOLS), b"123\n3\nE"), (piped, None, b"YE")):
            reader, writer = os.pipe()  # both run at once
            os.write(writer, keys)
            os.close(writer)
            runs.append(subprocess.Popen([harness.program_in(ROOT)], cwd=f.path, stdin=reader,
                                         stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                         env=harness.environment(ROOT, env)))
            os.close(reader)
        results = [r.communicate(timeout=150) for r in runs]
        self.assertLess(time.monotonic() - started, 100)
        for run, (out, err), tool in zip(runs, results, ("gnuplot", "tcc")):
            self.assertEqual(run.returncode, 0, err)
            self.assertTrue(out.endswith(b"exiting.\n"), out)
            self.assertEqual(err.count(b"%s did not finish within 60 s and was stopped." % tool.encode()), 1, err)
        self.assertIsNotNone(stuck.read("MOCK_MIDTERM.txt"))
        self.assertEqual(running_in(stuck) + running_in(piped), [])
        if shutil.which("tcc"):  # the real compiler: its input is the null device, not the keys
            folder = new_folder(stored_state=8)
            folder.write("signals.c", b'#include "/dev/stdin"\n' + SIGNALS_C)
            status, out, _ = harness.run(ROOT, folder, b"YyE")
            self.assertEqual((status, out.count("ok\n")), (0, 2), out)
        self.assertFinishedAs(piped)


class GraderChildren(TestCase):
    """The student's program, run by `mock-midterm-key grade`, never outlives
    the grader, and stops and goes on with it."""

    LOOPING = (b"#include <signal.h>\n#include <unistd.h>\n"
               b"double x(double t) { (void)t; KILL; for (;;) {} }\n"
               b"double u(double t) { return t >= 0; }\n"
               b"double y(double t) { return t; }\ndouble z(double t) { return t; }\n"
               b"double r(double t) { return t; }\n")

    def grade(self, kill_parent=False, stdout=subprocess.DEVNULL, **popen_args):
        folder = new_folder(stored_state=harness.EXITING)
        folder.write("signals.c", self.LOOPING.replace(
            b"KILL", b"kill(getppid(), SIGKILL)" if kill_parent else b"(void)0"))
        # Its private scratch folder in the exam folder, where running_in looks.
        key = subprocess.Popen([os.path.join(ROOT, "mock-midterm-key"), "grade", "--time-limit", "3"],
                               cwd=folder.path, stdout=stdout, stderr=subprocess.DEVNULL,
                               env=harness.environment(ROOT, {"TMPDIR": folder.path}), **popen_args)
        harnesses = lambda: running_in(folder, links=("exe",))  # noqa: E731  (not the compiler)
        return folder, key, harnesses

    def test_the_student_s_program_ends_with_the_grader(self):
        if not harness.KEY_PROGRAM or not shutil.which("tcc"):
            self.skipTest("needs the key program and the real compiler")
        for name in ("Ctrl-\\", "kill -9", "its own kill of the grader", "SIGPIPE"):
            with self.subTest(name):
                folder, key, harnesses = self.grade(kill_parent=name.startswith("its own"),
                                                    stdout=subprocess.PIPE if name == "SIGPIPE" else
                                                    subprocess.DEVNULL)
                if name == "SIGPIPE":  # `grade | head -1`
                    key.stdout.readline()
                    key.stdout.close()
                if name in ("Ctrl-\\", "kill -9"):  # the others end the grader by themselves
                    self.assertTrue(wait_until(harnesses), "the harness never ran")
                if name == "Ctrl-\\":
                    key.send_signal(signal.SIGQUIT)
                elif name == "kill -9":
                    key.kill()
                key.wait(timeout=20)
                self.assertTrue(wait_until(lambda: not harnesses(), timeout=3), name)
                if name in ("Ctrl-\\", "SIGPIPE"):
                    self.assertEqual(key.returncode, -signal.SIGQUIT if name == "Ctrl-\\" else -signal.SIGPIPE)
                    self.assertEqual([n for n in os.listdir(folder.path) if n.startswith(".key-")], [])

    def test_the_student_s_program_stops_and_goes_on_with_the_grader(self):
        if not harness.KEY_PROGRAM or not shutil.which("tcc"):
            self.skipTest("needs the key program and the real compiler")
        # A group of its own under us, as a shell's job is: the system ignores
        # a stop of an orphaned group, as ctest may leave ours.
        folder, key, harnesses = self.grade(stdout=subprocess.PIPE, process_group=0)
        self.assertTrue(wait_until(harnesses), "the harness never ran")
        key.send_signal(signal.SIGTSTP)  # Ctrl-Z
        def stopped():
            with open("/proc/%d/stat" % harnesses()[0]) as f:
                return f.read().rsplit(")", 1)[1].split()[0] == "T"
        self.assertTrue(wait_until(stopped, timeout=3), "the harness runs on while the grader is stopped")
        time.sleep(4)  # longer than the time limit: stopped time is not the program's
        key.send_signal(signal.SIGCONT)  # fg
        out, _ = key.communicate(timeout=30)
        self.assertIn(b"never returned a value within 3 s", out)
        self.assertEqual(running_in(folder), [])


ANSWER = harness.read_text(os.path.join(os.path.dirname(__file__), "..", "key", "front", "hand_written_answer.c"))
# Each hostile student tries one thing from x's first call; x then returns
# its right value only when the attempt got through, so a fence that fails
# shows in the verdict as well as on the disk.
HOSTILE = {
    "writes outside": 'FILE *f = fopen("%(root)s/outside.txt", "w"); got = f != 0;',
    "rewrites a classmate": 'FILE *f = fopen("%(root)s/class/honest/signals.c", "w"); '
                            'if (f) { fputs("int broken;", f); fclose(f); } got = f != 0;',
    "rewrites the gradebook later": 'if (fork() == 0) { sleep(1); FILE *f = fopen("%(root)s/grades.csv", "w"); '
                                    'if (f) fputs("all 4 of 4", f); _exit(0); }',
    "kills every process": 'got = kill(-1, SIGKILL) == 0;',
    "forks children": 'for (int i = 0; i < 20; ++i) { pid_t p = fork(); if (p == 0) { sleep(5); _exit(0); } '
                      'got |= p > 0; }',
    "touches 3 GB": 'char *p = malloc(3UL << 30); if (p) { memset(p, 1, 3UL << 30); got = 1; }',
    "writes a big file": 'FILE *f = fopen("big", "w"); static char block[1 << 20]; '
                         'for (int i = 0; f && i < 200; ++i) got = fwrite(block, 1, sizeof block, f) == sizeof block;',
    "starts a shell": 'execl("/bin/sh", "sh", "-c", "touch %(root)s/shell.txt", (char *)0);',
    "reads a secret": 'got = fopen("%(root)s/secret.txt", "r") != 0;',
    "reads the environment": 'got = getenv("INSTRUCTOR_TOKEN") != 0;',
    "types into the terminal": 'got = open("/dev/tty", O_RDWR) >= 0; char c = 0; '
                               'got |= ioctl(2, TIOCSTI, &c) == 0;',
}
HOSTILE_HEAD = ("#include <fcntl.h>\n#include <signal.h>\n#include <stdio.h>\n#include <stdlib.h>\n"
                "#include <string.h>\n#include <sys/ioctl.h>\n#include <unistd.h>\ndouble x(double t);\n")


def in_pid_namespace(script, root):
    """Runs `script` (sh) in a PID namespace of its own, as an unprivileged
    user, so a fence that fails harms nothing here; None where that cannot be had."""
    unshare, setpriv = shutil.which("unshare"), shutil.which("setpriv")
    if unshare is None:
        return None
    if os.geteuid() == 0:
        if setpriv is None:
            return None
        command = [unshare, "--pid", "--fork", "--mount-proc", setpriv, "--reuid=%d" % harness.NOBODY,
                   "--regid=%d" % harness.NOBODY, "--clear-groups", "/bin/sh", "-c", script]
    else:
        command = [unshare, "--user", "--pid", "--fork", "--mount-proc", "/bin/sh", "-c", script]
    probe = subprocess.run(command[:command.index("/bin/sh")] + ["/bin/true"], capture_output=True)
    if probe.returncode != 0:
        return None
    return subprocess.run(command, cwd=root, capture_output=True, text=True, timeout=300,
                          env=harness.environment(ROOT, {"INSTRUCTOR_TOKEN": "secret", "TMPDIR": root + "/tmp"}))


class HostileClass(TestCase):
    """A class where each of several students attacks from signals.c, graded in
    one report: the classmates come out as alone, nothing outside the scratch
    folders changes, the gradebook stays as written, nothing runs on."""

    def make_class(self, root, students):
        for name, source in students.items():
            folder = os.path.join(root, "class", name)
            os.makedirs(folder)
            with open(os.path.join(folder, "exam.dat"), "wb") as f:
                f.write(harness.with_state(FINISHED, harness.EXITING))
            with open(os.path.join(folder, "signals.c"), "w") as f:
                f.write(source)
        for top, folders, files in os.walk(root):
            for name in [""] + folders + files:
                harness.give_to_runner(os.path.join(top, name) if name else top)

    def report(self, root):
        done = in_pid_namespace(
            "export PATH=\"$PATH:/usr/bin:/bin\"; "
            "../mock-midterm-key report --csv grades.csv --feedback feedback class > out.txt 2>&1; "
            "echo $? > status.txt; cp grades.csv written.csv; sleep 2; ls /proc > running.txt", root)
        if done is None:
            self.skipTest("no PID namespace of our own for an unprivileged user here")
        read = lambda name: harness.read_text(os.path.join(root, name))  # noqa: E731
        running = [name for name in read("running.txt").split() if name.isdigit()]
        return read("status.txt").strip(), read("written.csv"), read("grades.csv"), running

    def rows(self, csv_text):
        """The gradebook's rows by folder, without the flags (the class's shared ID)."""
        return {line.split(",")[0]: line.split(",")[:14] for line in csv_text.splitlines()[1:]}

    def test_each_attack_stays_inside_the_fence(self):
        if not harness.KEY_PROGRAM or not shutil.which("tcc"):
            self.skipTest("needs the key program and the real compiler")
        alone = os.path.join(ROOT, "alone")
        os.makedirs(os.path.join(alone, "tmp"))
        self.make_class(alone, {"honest": ANSWER})
        status, written, _, _ = self.report(alone)
        self.assertEqual(status, "0")
        root = os.path.join(ROOT, "hostile-class")
        os.makedirs(os.path.join(root, "tmp"))
        with open(os.path.join(root, "secret.txt"), "w") as f:
            f.write("the instructor's\n")
        students = {"honest": ANSWER}
        for n, attack in enumerate(HOSTILE.values()):
            body = (attack % {"root": root}).replace("\n", " ")
            students["hostile-%02d" % n] = ANSWER.replace("double x(double t)", "double rightX(double t)", 1).replace(
                "#include", HOSTILE_HEAD + "#include", 1) + (
                "\ndouble x(double t) { static int tried, got; if (!tried) { tried = 1; %s } "
                "return got ? rightX(t) : 0; }\n" % body)
        self.make_class(root, students)
        before = {p: harness.read_bytes(p) for p in self.files(root)}
        status, written, later, running = self.report(root)
        out = harness.read_text(os.path.join(root, "out.txt"))
        self.assertEqual(status, "0", out)
        self.assertEqual(later, written, "the gradebook was changed after the report")
        self.assertEqual(len(running), 2, "only the namespace's shell and its ls are left")
        rows = self.rows(written)
        self.assertEqual(rows["class/honest"], self.rows(harness.read_text(os.path.join(alone, "written.csv")))["class/honest"])
        for n, name in enumerate(HOSTILE):
            with self.subTest(name):
                row = rows["class/hostile-%02d" % n]
                self.assertNotEqual(row[4], "right", "x got through: %s" % row)
        after = {p: harness.read_bytes(p) for p in self.files(root)}
        self.assertEqual(sorted(after), sorted(before))
        for path, content in before.items():
            self.assertEqual(after[path], content, path)
        self.assertEqual(os.listdir(os.path.join(root, "tmp")), [], "the scratch folders are gone")
        # A kill -9 of the report in mid-grading leaves nothing running either.
        in_pid_namespace("export PATH=\"$PATH:/usr/bin:/bin\"; ../mock-midterm-key report class >/dev/null 2>&1 & "
                         "sleep 1; kill -9 $!; sleep 1; ls /proc > running.txt", root)
        running = [name for name in harness.read_text(os.path.join(root, "running.txt")).split() if name.isdigit()]
        self.assertEqual(len(running), 2, "only the namespace's shell and its ls are left")

    def files(self, root):
        """Every file under the root but what the report itself writes."""
        ours = {"grades.csv", "written.csv", "out.txt", "status.txt", "running.txt"}
        return [os.path.join(top, name) for top, _, names in os.walk(root) for name in names
                if not (top == root and name in ours) and "/feedback" not in top]

    def test_exam_dat_out_of_reach_of_grade(self):
        if not harness.KEY_PROGRAM or not shutil.which("tcc"):
            self.skipTest("needs the key program and the real compiler")
        folder = new_folder(stored_state=harness.EXITING)
        source = ANSWER.replace("#include", HOSTILE_HEAD + "#include", 1).replace(
            "double r(double t)", "double r(double t) { remove(\"../exam.dat\"); remove(\"%s/exam.dat\"); "
            "if (fork() == 0) { sleep(30); _exit(0); } return rightR(t); }\ndouble rightR(double t)"
            % folder.path, 1)
        source = source.replace("#include <stdio.h>", "#include <stdio.h>\ndouble rightR(double t);", 1)
        folder.write("signals.c", source.encode())
        stored = folder.read("exam.dat")
        key = subprocess.Popen([os.path.join(ROOT, "mock-midterm-key"), "grade"], cwd=folder.path,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               env=harness.environment(ROOT, {"TMPDIR": folder.path}))
        out, _ = key.communicate(timeout=60)
        self.assertIn(b"4 of 4 right", out)
        self.assertEqual(folder.read("exam.dat"), stored)
        self.assertEqual(running_in(folder), [], "a forked child would outlive the grader")


class DiskFull(TestCase):
    """A save that cannot be written keeps the previous "exam.dat"."""

    def test_full_tmpfs(self):
        unshare = shutil.which("unshare")
        if unshare is None or subprocess.run([unshare, "-m", "true"], capture_output=True).returncode != 0:
            self.skipTest("no private mount namespace here")
        folder = new_folder()
        stored = harness.with_state(FINISHED, 3)
        saved = os.path.join(ROOT, "disk-full-stored")
        with open(saved, "wb") as f:
            f.write(stored)
        answers = os.path.join(ROOT, "disk-full-input")
        with open(answers, "wb") as f:
            f.write(b"E")
        result = os.path.join(ROOT, "disk-full")
        script = r'''
            mount -t tmpfs -o size=16k,mode=755 tmpfs "$1" || exit 99
            cp "$2" "$1/exam.dat"
            dd if=/dev/zero of="$1/filler" bs=1024 2>/dev/null
            cd "$1"
            PATH="$6" "$3" < "$4" > "$5.out" 2> "$5.err"
            echo $? > "$5.status"
            cp exam.dat "$5.exam"
            ls -a > "$5.names"
        '''
        tools = harness.environment(ROOT)["PATH"]
        run = subprocess.run([unshare, "-m", "--propagation", "private", "sh", "-c", script, "sh",
                              folder.path, saved, harness.program_in(ROOT), answers, result, tools],
                             capture_output=True, timeout=30)
        if run.returncode == 99:
            self.skipTest("tmpfs cannot be mounted here")

        def read(ext):
            with open(result + ext, "rb") as f:
                return f.read().decode(errors="replace")
        self.assertEqual(read(".status").strip(), "0")
        err = read(".err")
        self.assertToldOnce(err, "cannot save exam.dat: No space left on device")
        self.assertIn("cannot write q1plot.dat: No space left on device", err)
        with open(result + ".exam", "rb") as f:
            self.assertEqual(f.read(), stored)
        self.assertEqual([n for n in read(".names").split() if harness.TEMP_NAME.match(n)], [])

    def run_limited(self, folder, ignore_signal):
        def limit():
            if ignore_signal:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (100, 100))
        return harness.run(ROOT, folder, b"E", preexec_fn=limit)

    def test_file_size_limit_makes_every_write_short(self):
        folder = new_folder(stored_state=3)
        before = folder.read("exam.dat")
        status, out, err = self.run_limited(folder, ignore_signal=True)
        self.assertEqual(status, 0)
        self.assertTrue(out.endswith("exiting.\n"), out)
        self.assertToldOnce(err, "cannot save exam.dat: File too large")
        self.assertEqual(folder.read("exam.dat"), before)
        self.assertEqual(harness.save_temps(folder), [])

    def test_killed_by_the_size_limit_in_mid_save(self):
        # SIGXFSZ's default action ends the program inside its first save.
        folder = new_folder(stored_state=3)
        before = folder.read("exam.dat")
        status, _, _ = self.run_limited(folder, ignore_signal=False)
        self.assertEqual(status, -signal.SIGXFSZ)
        self.assertEqual(folder.read("exam.dat"), before)
        status, _, err = harness.run(ROOT, folder, b"E")
        self.assertEqual((status, err), (0, ""))
        self.assertFinishedAs(folder)


class AnswerFileAndOutputs(TestCase):
    """A bad "signals.c" or an output file that cannot be written: the
    program goes on, says what failed, and "exam.dat" stays right."""

    def test_bad_signals_c(self):
        cases = {
            "a folder": lambda f: os.mkdir(f.file("signals.c")),
            "empty": lambda f: f.write("signals.c", b""),
            "not C": lambda f: f.write("signals.c", b"\x00\xff PK\x03\x04 not C at all {{{\n" * 1000),
            "huge": lambda f: f.write("signals.c", b"/* " + b"x" * (64 << 20) + b" */\n"
                                      b"double x(double t) { return t; }\n"),
        }
        for name, make in cases.items():
            with self.subTest(name):
                folder = new_folder(stored_state=8)
                make(folder)
                started = time.monotonic()
                status, out, err = harness.run(ROOT, folder, b"YE", timeout=60)
                self.assertEqual(status, 0)
                self.assertLess(time.monotonic() - started, 30)
                self.assertIn("Checking signals.c...", out)
                self.assertTrue(out.endswith("exiting.\n"), out)
                if name == "a folder":
                    self.assertIn("Error opening file: signals.c", out)
                if name in ("a folder", "not C"):
                    self.assertNotIn("ok\n", out)
                    self.assertTrue(name == "a folder" or err, "the compiler said nothing")
                self.assertFinishedAs(folder)

    def test_outputs_that_cannot_be_written(self):
        # (file, stored state that writes it, input)
        outputs = [("q1plot.dat", None, b"123\n3\nE"),
                   ("MOCK_MIDTERM.txt", None, b"123\n3\nE"),
                   ("defs.tex", 7, b"E")]
        for name, state, answers in outputs:
            for kind in ("folder", "read-only"):
                with self.subTest(file=name, kind=kind):
                    folder = new_folder(stored_state=state, owned_by_runner=True)
                    if kind == "folder":
                        os.mkdir(folder.file(name))
                        reason = "Is a directory"
                    else:
                        folder.write(name, b"kept\n")
                        harness.give_to_runner(folder.file(name))
                        os.chmod(folder.file(name), 0o444)
                        reason = "Permission denied"
                    status, out, err = harness.run(ROOT, folder, answers, as_other_user=True)
                    self.assertEqual(status, 0)
                    self.assertTrue(out.endswith("exiting.\n"), out)
                    self.assertToldOnce(err, "cannot write %s: %s" % (name, reason))
                    if kind == "read-only":
                        self.assertEqual(folder.read(name), b"kept\n")
                    self.assertFinishedAs(folder)


class BrokenConsole(TestCase):
    """Standard input or output gone: the program ends promptly, and what it
    saved is a whole record."""

    def start(self, folder, answers=b"", close=(), stdout=subprocess.DEVNULL, ignore_pipe=False):
        def prepare():
            for fd in close:
                os.close(fd)
            if ignore_pipe:
                signal.signal(signal.SIGPIPE, signal.SIG_IGN)
        stdin = subprocess.PIPE if 0 not in close else None
        started = time.monotonic()
        process = subprocess.Popen([harness.program_in(ROOT)], cwd=folder.path, stdin=stdin,
                                   stdout=None if 1 in close else stdout, stderr=subprocess.PIPE,
                                   env=harness.environment(ROOT), preexec_fn=prepare)
        _, err = process.communicate(answers if stdin else None, timeout=10)
        self.assertLess(time.monotonic() - started, 5, "the program did not end promptly")
        return process.returncode, err.decode()

    def test_standard_input_closed(self):
        folder = new_folder()
        status, _ = self.start(folder, close=(0,))
        self.assertEqual(status, 255)  # the student could not be identified
        self.assertEqual(harness.Record.unpack(folder.read("exam.dat")).state, 1)
        folder = new_folder(stored_state=2)
        status, _ = self.start(folder, close=(0,))
        self.assertEqual(status, 0)
        self.assertFinishedAs(folder)

    def test_standard_output_closed(self):
        # Files the program opens may take descriptor 1; nothing meant for
        # the console may end up in them.
        for state in (None, 2, 7):
            with self.subTest(stored=state):
                folder = new_folder(stored_state=state)
                answers = b"123\n3\nE" if state is None else b"\rE"
                status, err = self.start(folder, answers, close=(1,))
                self.assertEqual(status, 0, err)
                self.assertFinishedAs(folder)
                text = folder.read("MOCK_MIDTERM.txt")
                if text is not None:
                    self.assertTrue(text.startswith(b"Mock Midterm Exam\nID Number: 123\n"), text[:80])
                    self.assertNotIn(b"Press <Y>", text)

    def pipe_without_reader(self):
        reader, writer = os.pipe()
        os.close(reader)
        return writer

    def test_output_to_a_closed_pipe_ends_the_program(self):
        for state in (None, 8):
            with self.subTest(stored=state):
                folder = new_folder(stored_state=state)
                before = folder.read("exam.dat")
                writer = self.pipe_without_reader()
                status, _ = self.start(folder, b"123\n3\nE", stdout=writer)
                os.close(writer)
                self.assertEqual(status, -signal.SIGPIPE)
                after = folder.read("exam.dat")
                if state is None:  # ended at the first prompt, after the first save
                    self.assertEqual(harness.Record.unpack(after).state, 1)
                else:  # ended at the restore message, before any save
                    self.assertEqual(after, before)
                status, _, _ = harness.run(ROOT, folder, b"123\n3\nE" if state is None else b"E")
                self.assertEqual(status, 0)
                self.assertFinishedAs(folder)

    def test_output_to_a_closed_pipe_with_the_signal_ignored(self):
        folder = new_folder()
        writer = self.pipe_without_reader()
        status, _ = self.start(folder, b"123\n3\nE", stdout=writer, ignore_pipe=True)
        os.close(writer)
        self.assertEqual(status, 0)
        self.assertFinishedAs(folder)


def built_with_address_sanitizer(program):
    with open(program, "rb") as f:
        return b"__asan_init" in f.read()


class KeyInAHostileFolder(TestCase):
    """mock-midterm-key against links at its outputs, a student's program
    that goes for the exam folder or ends oddly, odd attempt folders and an
    oversize exam.dat: each case one finding of the third round."""

    REAL_TOOLS = {"PATH": "/usr/bin:/bin"}

    def key(self, folder, arguments, env=None, as_other_user=False, limit=None):
        user = harness.other_user() if as_other_user else None
        extra = {"user": user[0], "group": user[1], "extra_groups": []} if user else {}
        # AddressSanitizer reserves terabytes of address space at start, so
        # a build with it cannot run under any address-space limit: the plain
        # build's run is the one that measures memory.
        if limit and not built_with_address_sanitizer(os.path.join(ROOT, "mock-midterm-key")):
            extra["preexec_fn"] = lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        result = subprocess.run([os.path.join(ROOT, "mock-midterm-key")] + arguments, cwd=folder.path,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
                                env=harness.environment(ROOT, env), **extra)
        return result.returncode, result.stdout.decode(errors="replace"), result.stderr.decode(errors="replace")

    def need(self, *tools):
        if not harness.KEY_PROGRAM:
            self.skipTest("set MOCK_MIDTERM_KEY to the built key program")
        for tool in tools:
            if not shutil.which(tool):
                self.skipTest(tool + " is not installed")

    def test_links_at_the_keys_pictures_are_replaced(self):
        self.need("gnuplot", "tcc")
        folder = new_folder(stored_state=8)
        answers = b"double x(double t) { return t; }\ndouble y(double t) { return t; }\n" \
                  b"double z(double t) { return t; }\ndouble r(double t) { return t; }\n"
        folder.write("signals.c", answers)
        for name, command in (("key.png", "answers"), ("check.png", "grade")):
            with self.subTest(name):
                os.symlink("signals.c", folder.file(name))
                self.key(folder, [command], self.REAL_TOOLS)
                self.assertEqual(folder.read("signals.c"), answers)
                self.assertFalse(os.path.islink(folder.file(name)))
                self.assertEqual(folder.read(name)[:4], b"\x89PNG")

    def test_the_students_program_runs_apart_and_its_ending_is_named(self):
        self.need("tcc")
        folder = new_folder(stored_state=8)
        folder.write("signals.c", b"""#include <stdio.h>
#include <stdlib.h>
#include <signal.h>
#include <unistd.h>
static double deep(double t) { volatile char pad[256]; pad[0] = 1; return deep(t + pad[0]) + 1; }
double x(double t) { FILE *f; remove("exam.dat"); f = fopen("mine.txt", "w"); if (f) fclose(f);
                     return t > 1 ? deep(t) : 0; }
double y(double t) { if (t > 1) exit(136); return 0; }
double z(double t) { if (t > 1) kill(getpid(), SIGKILL); return 0; }
double r(double t) { return 0; }
""")
        status, out, err = self.key(folder, ["grade"], self.REAL_TOOLS)
        self.assertEqual(status, 1, out + err)
        self.assertEqual(folder.read("exam.dat"), harness.with_state(FINISHED, 8))
        self.assertEqual(sorted(n for n in listing(folder) if n.startswith((".key", "mine"))), [])
        self.assertIn("just after t = 1: stack overflow", out)
        self.assertIn("without a value: it called exit(136)", out)
        self.assertIn("it crashed just after t = 1: it was killed (SIGKILL)", out)

    def test_variant_refusals_and_attempt_names(self):
        self.need()
        folder = new_folder(stored_state=8)
        status, _, err = self.key(folder, ["variant", "7", "--variant", "9"])
        self.assertEqual(status, 2, err)
        self.assertEqual(folder.read("exam.dat"), harness.with_state(FINISHED, 8))
        for name in ("00001", "007"):
            os.makedirs(folder.file(os.path.join("attempts", name)))
            folder.write(os.path.join("attempts", name, "exam.dat"), FINISHED)
        status, out, err = self.key(folder, ["variant", "7"])
        self.assertEqual(status, 0, err)
        self.assertIn("kept in attempts/1.", out)
        self.assertNotIn("\n7  ", folder.read(os.path.join("attempts", "README.txt")).decode())
        # attempts as a link: nothing kept there, nothing removed through it
        other = new_folder(stored_state=8)
        os.makedirs(os.path.join(folder.path, "elsewhere", ".keeping-1"))
        os.symlink(os.path.join(folder.path, "elsewhere"), other.file("attempts"))
        status, _, err = self.key(other, ["variant", "7"])
        self.assertEqual(status, 1, err)
        self.assertTrue(os.path.isdir(os.path.join(folder.path, "elsewhere", ".keeping-1")))
        self.assertEqual(other.read("exam.dat"), harness.with_state(FINISHED, 8))

    def test_an_oversize_exam_is_kept_as_its_record(self):
        self.need()
        folder = new_folder(stored_state=8)
        with open(folder.file("exam.dat"), "r+b") as f:
            f.truncate(2 << 30)  # sparse: 2 GB that take no disk
        status, _, err = self.key(folder, ["variant", "7"], limit=1500 << 20)
        self.assertEqual(status, 0, err)
        self.assertEqual(folder.read(os.path.join("attempts", "1", "exam.dat")),
                         harness.with_state(FINISHED, 8))

    def test_answers_in_a_read_only_folder_says_why(self):
        self.need()
        folder = new_folder(stored_state=8)
        os.chmod(folder.path, 0o555)
        status, _, err = self.key(folder, ["answers"], as_other_user=True)
        os.chmod(folder.path, 0o755)
        self.assertEqual(status, 2, err)
        self.assertIn("key.png was not drawn: cannot make a scratch folder here", err)
        self.assertNotIn("gnuplot status", err)


if __name__ == "__main__":
    # "--except NAME": every class but NAME, so ctest can run a class that
    # mostly waits out time limits beside the others.
    if len(sys.argv) == 3 and sys.argv[1] == "--except":
        cases = [case for name, case in list(globals().items()) if isinstance(case, type)
                 and issubclass(case, TestCase) and case is not TestCase and name != sys.argv[2]]
        suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(case) for case in cases)
        sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
    unittest.main(verbosity=2)
