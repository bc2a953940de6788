"""What the reliability tests share beside tests/exam_folder.py: the built
program, a throw-away root for their exam folders with stand-in course tools,
and runs as another user when the test runs as root (root ignores file
permissions)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from exam_folder import EXITING, RECORD_SIZE, STATE_NAMES, ExamFolder, Record, with_state  # noqa: E402,F401

PROGRAM = os.environ.get("MOCK_MIDTERM", "")
SAVE_SPY = os.environ.get("MOCK_MIDTERM_SAVE_SPY", "")
KEY_PROGRAM = os.environ.get("MOCK_MIDTERM_KEY", "")

# The stand-ins answer at once, so the tests depend on no installed tool.
STAND_INS = {
    "gnuplot": "#!/bin/sh\nexit 0\n",
    "pdflatex": "#!/bin/sh\nexit 0\n",
    # A compiler that only accepts a file holding "double x(".
    "tcc": "#!/bin/sh\nfor a; do f=$a; done\ngrep -q 'double x(' \"$f\" || "
           "{ echo \"$f: error: not C\" >&2; exit 1; }\n",
}

NOBODY = 65534


def read_text(path):
    with open(path) as f:
        return f.read()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


# The save's temp files: "exam.dat.tmp-" and six letters or digits, made exclusively.
TEMP_NAME = re.compile(r"exam\.dat\.tmp-[A-Za-z0-9]{6}$")


def save_temps(folder):
    """Names in the folder that a save's temp file has."""
    return sorted(n for n in os.listdir(folder.path) if TEMP_NAME.match(n))


def check_program():
    if not PROGRAM or not os.access(PROGRAM, os.X_OK):
        raise SystemExit("set MOCK_MIDTERM to the built program")


def make_root():
    root = tempfile.mkdtemp(prefix="mock-midterm-reliability-")
    os.chmod(root, 0o755)
    tools = os.path.join(root, "tools")
    os.makedirs(tools)
    for name, text in STAND_INS.items():
        path = os.path.join(tools, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o755)
    program = os.path.join(root, "mock-midterm")
    shutil.copy(PROGRAM, program)
    os.chmod(program, 0o755)
    if KEY_PROGRAM:
        shutil.copy(KEY_PROGRAM, os.path.join(root, "mock-midterm-key"))
    return root


def remove_root(root):
    for folder, dirs, _ in os.walk(root):
        for d in dirs:
            try:
                os.chmod(os.path.join(folder, d), 0o755)
            except OSError:
                pass
    shutil.rmtree(root, ignore_errors=True)


def program_in(root):
    return os.path.join(root, "mock-midterm")


def environment(root, extra=None):
    env = {"PATH": os.path.join(root, "tools"), "LC_ALL": "C"}
    if extra:
        env.update(extra)
    return env


def other_user():
    """(uid, gid) to run as so that permissions count, or None when the test
    already runs as an ordinary user."""
    return (NOBODY, NOBODY) if os.geteuid() == 0 else None


def give_to_runner(path):
    """Makes `path` belong to whoever other_user() runs the program as."""
    user = other_user()
    if user:
        os.chown(path, *user)


def run(root, folder, input_bytes, timeout=30, as_other_user=False, env=None, **popen_args):
    """Runs the program in the folder; returns (status, stdout, stderr)."""
    user = other_user() if as_other_user else None
    extra = {}
    if user:
        extra = {"user": user[0], "group": user[1], "extra_groups": []}
    result = subprocess.run([program_in(root)], cwd=folder.path, input=input_bytes,
                            capture_output=True, timeout=timeout,
                            env=environment(root, env), **extra, **popen_args)
    return result.returncode, result.stdout.decode(errors="replace"), \
        result.stderr.decode(errors="replace")

