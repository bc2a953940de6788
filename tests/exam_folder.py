"""What the tests and benchmarks that run the built programs share: an exam
folder with stand-in course tools beside it, and the exam record laid out as
record/record.h lays it out."""
import dataclasses
import os
import shutil
import struct
import subprocess
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
KIT = os.path.join(REPO, "exam-kit")
PROGRAM = os.environ.get("MOCK_MIDTERM", os.path.join(REPO, "build", "mock-midterm"))

# ExamRecord's fields in order; its two reserved gaps ("4x") are written as zeros.
RECORD_FORMAT = "<3i4xd11i11i2i2di4x"
RECORD_SIZE = 144
assert struct.calcsize(RECORD_FORMAT) == RECORD_SIZE

STATE_NAMES = ["Restore", "Identify", "AwaitKey", "MakeQuestion1", "MakeQuestion2",
               "MakeWindow", "WriteText", "BuildPdf", "Menu", "Exiting"]
EXITING = STATE_NAMES.index("Exiting")


@dataclasses.dataclass
class Record:
    """The exam record by its fields' names; by default the fresh exam of ID 123
    in group 3 (s = 0, a = 3, p = 3, b = -1, y(t) = x(2t+1)) with a window."""
    state: int = EXITING
    idNum: int = 123
    grpNum: int = 3
    q1Shift: float = 0.0
    q1T: tuple = (-2, 0, 1, 2, 3, 3, 4, 4, 8, 8, 8)
    q1X: tuple = (0, 0, 3, 0, 0, -1, -1, 0, 0, 0, 0)
    varQT: int = 1
    varQK: int = 2
    varTstart: float = 0.25
    varTend: float = 0.5
    varAmp: int = -1

    def pack(self):
        return struct.pack(RECORD_FORMAT, self.state, self.idNum, self.grpNum, self.q1Shift, *self.q1T,
                           *self.q1X, self.varQT, self.varQK, self.varTstart, self.varTend, self.varAmp)

    @classmethod
    def unpack(cls, data):
        fields = struct.unpack(RECORD_FORMAT, data)
        return cls(*fields[:4], fields[4:15], fields[15:26], *fields[26:])


def with_state(data, state):
    """The record's bytes `data` with its state replaced, every other byte kept."""
    return struct.pack("<i", state) + data[4:]


class ExamFolder:
    """An exam folder `name` in `root`, empty or with the course kit; without a
    root, in a scratch folder of its own, so that '..' is the test's too. The
    stand-in tools go beside it, and cleanup() removes the root."""

    def __init__(self, root=None, name="exam", kit=False):
        self.root = root or tempfile.mkdtemp(prefix="mock-midterm-e2e-")
        self.path = os.path.join(self.root, name)
        os.makedirs(self.path)
        if kit:
            for kit_file in os.listdir(KIT):
                shutil.copy(os.path.join(KIT, kit_file), self.path)
        self.bin = os.path.join(self.root, "bin")
        self.log = os.path.join(self.root, "calls.log")

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def file(self, name):
        return os.path.join(self.path, name)

    def read(self, name):
        """The file's bytes, or None when there is none."""
        try:
            with open(self.file(name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def write(self, name, content):
        with open(self.file(name), "wb" if isinstance(content, bytes) else "w") as f:
            f.write(content)

    def stand_in(self, name, status=0, also=""):
        """A program on PATH that records how it was called, and does `also` (shell)."""
        os.makedirs(self.bin, exist_ok=True)
        path = os.path.join(self.bin, name)
        with open(path, "w") as f:
            f.write(f'#!/bin/sh\necho "{name} $*" >> "{self.log}"\n{also}\nexit {status}\n')
        os.chmod(path, 0o755)

    def compiled_stand_in(self, name, c_source):
        """A program on PATH built from C: the fence runs no shell script."""
        os.makedirs(self.bin, exist_ok=True)
        source = os.path.join(self.root, name + ".c")
        with open(source, "w") as f:
            f.write(c_source)
        subprocess.run(["cc", "-o", os.path.join(self.bin, name), source], check=True)

    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()

    def env(self, real_tools=False):
        # Without the real tools only the stand-ins answer.
        return dict(os.environ, PATH=self.bin + (":" + os.environ.get("PATH", "") if real_tools else ""))

    def run(self, keys, real_tools=False, timeout=60, program=PROGRAM):
        """Runs the program with the keys on a pipe; returns (status, stdout, stderr)."""
        done = subprocess.run([program], input=keys.encode("latin-1"), cwd=self.path,
                              env=self.env(real_tools), capture_output=True, timeout=timeout)
        return (done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1"))
