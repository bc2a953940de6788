"""Kills the exam at random instants and checks that nothing is lost.

Scenarios: a first start through the menu, and starts from a stored exam in
each state from Identify to Exiting. For each, an uninterrupted run under the
save spy gives every record the program saves. Then, with a fixed seed, runs
are killed (SIGKILL to the program and any tool it started) at a random
instant (one in five within the first 15 ms, around the first save); half
of them with saves slowed by the spy so that kills often land inside a save.
Further runs start two copies in the folder at once, as a student clicking
twice does, and kill both. After every kill, once the folder's lock is free
(wait_gone):
  - "exam.dat" is absent or empty (only before a first start's first save),
    or exactly 144 bytes equal to the stored record or to one that a turn of
    the uninterrupted run saved;
  - a restart, answering what the program asks, ends with status 0 at the
    Exiting state with the student and question 1 of the uninterrupted run,
    keeps every question the killed record already held, leaves no temp
    file of a save, and the text files it leaves agree with the record.
Bounded by MOCK_MIDTERM_KILLS (default 500), MOCK_MIDTERM_PAIR_KILLS (two
copies, default 200) and MOCK_MIDTERM_KILL_SECONDS (default 150); prints a
summary for docs/reliability.md.

Then "mock-midterm-key variant 37" is killed likewise (MOCK_MIDTERM_VARIANT_KILLS,
default 200), with a stand-in gnuplot that draws q1.png from q1plot.dat slowly, in
place; the checks are in variant_kill_run.
"""

import collections
import concurrent.futures
import fcntl
import os
import random
import signal
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import harness  # noqa: E402

SEED = 20260317
KILLS = int(os.environ.get("MOCK_MIDTERM_KILLS", "500"))
PAIR_KILLS = int(os.environ.get("MOCK_MIDTERM_PAIR_KILLS", "200"))
SECONDS = float(os.environ.get("MOCK_MIDTERM_KILL_SECONDS", "150"))
WORKERS = int(os.environ.get("MOCK_MIDTERM_KILL_WORKERS", "8"))
VARIANT_KILLS = int(os.environ.get("MOCK_MIDTERM_VARIANT_KILLS", "200"))
SLOW_SAVE_MS = "15"
FIRST_START = -1  # scenario key: no stored exam


def answer_for(data):
    """What a student types to finish from the exam the file holds."""
    if not data or len(data) < harness.RECORD_SIZE:
        return b"123\n3\nE"
    record = harness.Record.unpack(data[:harness.RECORD_SIZE])
    if record.state in (0, 1):
        return b"yE" if record.idNum != 0 else b"123\n3\nE"
    if record.state == 2:
        return b"\rE"
    return b"E"


def spy_env(log=None, delay=None):
    env = {"LD_PRELOAD": harness.SAVE_SPY, "ASAN_OPTIONS": "verify_asan_link_order=0"}
    if log:
        env["MOCK_MIDTERM_SAVE_LOG"] = log
    if delay:
        env["MOCK_MIDTERM_SAVE_DELAY_MS"] = delay
    return env


class Scenario:
    def __init__(self, state, stored):
        self.state = state
        self.stored = stored
        self.input = answer_for(stored)
        self.saves = []
        self.duration = 0.0

    @property
    def name(self):
        return "first start" if self.state == FIRST_START else \
            "stored %d %s" % (self.state, harness.STATE_NAMES[self.state])

    def prepare(self, folder):
        if self.stored is not None:
            folder.write("exam.dat", self.stored)

    def valid(self, data):
        if data is None or data == b"":
            return self.stored is None  # the probe's empty file, before the first save
        return data == self.stored or data in self.saves


def reference(root, scenario, index):
    """The uninterrupted run: every record it saves, and how long it takes."""
    folder = harness.ExamFolder(root, "reference-%d" % index)
    scenario.prepare(folder)
    log = os.path.join(root, "saves-%d" % index)
    started = time.monotonic()
    status, out, err = harness.run(root, folder, scenario.input, env=spy_env(log=log))
    scenario.duration = time.monotonic() - started
    if status != 0 or "save spy:" in err:
        raise AssertionError("%s: reference run ended with %d\n%s%s" % (scenario.name, status, out, err))
    with open(log, "rb") as f:
        data = f.read()
    if not data or len(data) % harness.RECORD_SIZE:
        raise AssertionError("%s: the save log holds %d bytes" % (scenario.name, len(data)))
    scenario.saves = [data[i:i + harness.RECORD_SIZE] for i in range(0, len(data), harness.RECORD_SIZE)]
    if scenario.saves[-1] != folder.read("exam.dat"):
        raise AssertionError("%s: the last save is not what exam.dat holds" % scenario.name)


def kept_fields(killed, final, reference_final):
    """Names of what the killed record already held but the final one lost.
    The student and question 1 must moreover be those of the uninterrupted run."""
    student = lambda r: (r.idNum, r.grpNum)  # noqa: E731
    question_1 = lambda r: (r.q1Shift, r.q1T, r.q1X)  # noqa: E731
    lost = []
    if student(final) != student(reference_final) or (killed.idNum != 0 and student(final) != student(killed)):
        lost.append("student")
    if question_1(final) != question_1(reference_final) or \
            (any(killed.q1T) and question_1(final) != question_1(killed)):
        lost.append("question 1")
    if killed.varQT != 0 and (final.varQT, final.varQK) != (killed.varQT, killed.varQK):
        lost.append("question 2")
    window = lambda r: (r.varTstart, r.varTend, r.varAmp)  # noqa: E731
    if killed.varAmp != 0 and window(final) != window(killed):
        lost.append("time window")
    return lost


def text_agrees(folder, final):
    """The exam text and plot data, where present, are whole and match the record."""
    problems = []
    text = folder.read("MOCK_MIDTERM.txt")
    if text is not None:
        t = text.decode(errors="replace")
        if ("ID Number: %d\n" % final.idNum) not in t or not t.endswith("found in signals.c."):
            problems.append("MOCK_MIDTERM.txt is torn or names another student")
        elif ("y(t) = x(%dt%+d)" % (final.varQK, final.varQT)) not in t:
            problems.append("MOCK_MIDTERM.txt holds another question 2")
    plot = folder.read("q1plot.dat")
    if plot is not None and plot != plot_lines(final):
        problems.append("q1plot.dat does not match question 1")
    return problems


def kill_group(group):
    try:
        os.killpg(group, signal.SIGKILL)
    except ProcessLookupError:
        pass


def wait_gone(group, folder):
    """The killed program's group gone, and the folder's lock free. A program
    the exam was starting shares the lock until it execs: killed before that,
    in a group of its own, it dies with the exam (or exits, seeing it gone)
    as soon as the system runs it. Returns whether the lock had to be awaited."""
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        try:
            os.killpg(group, 0)
        except ProcessLookupError:
            break
        time.sleep(0.002)
    descriptor = os.open(folder.path, os.O_RDONLY)
    try:
        for tries in range(2500):
            try:
                fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
                # Given back at once, and not by the close only: a program this
                # test is starting meanwhile has the descriptor until it execs.
                fcntl.flock(descriptor, fcntl.LOCK_UN)
                return tries > 0
            except BlockingIOError:
                time.sleep(0.002)
        return True
    finally:
        os.close(descriptor)


def kill_run(root, scenario, number, delay, slowed, copies=1):
    folder = harness.ExamFolder(root, "kill-%d" % number)
    scenario.prepare(folder)
    env = spy_env(delay=SLOW_SAVE_MS) if slowed else None
    input_path = os.path.join(root, "input-%d" % number)
    with open(input_path, "wb") as answers:
        answers.write(scenario.input)
    processes = []
    for _ in range(copies):
        with open(input_path, "rb") as answers:  # each copy reads the whole input
            processes.append(subprocess.Popen([harness.program_in(root)], cwd=folder.path, stdin=answers,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                              env=harness.environment(root, env), start_new_session=True))
    time.sleep(delay)
    for process in processes:
        kill_group(process.pid)
    statuses = [process.wait() for process in processes]
    awaited = [wait_gone(process.pid, folder) for process in processes]
    outcome = {"scenario": scenario.name, "finished": 0 in statuses, "problems": [],
               "copies": copies, "refused": statuses.count(1), "lock awaited": any(awaited)}
    killed = folder.read("exam.dat")
    outcome["temp left"] = bool(harness.save_temps(folder))
    if killed is None:
        outcome["found"] = "absent"
    elif killed == b"":
        outcome["found"] = "empty"
    elif len(killed) != harness.RECORD_SIZE:
        outcome["found"] = "%d bytes" % len(killed)
    else:
        state = harness.Record.unpack(killed).state
        outcome["found"] = harness.STATE_NAMES[state] if 0 <= state <= harness.EXITING else "bad state"
    if not scenario.valid(killed):
        outcome["problems"].append("after a kill at %.3f s exam.dat is %s, not a saved record"
                                   % (delay, outcome["found"]))
        return outcome

    status, out, err = harness.run(root, folder, answer_for(killed))
    final_data = folder.read("exam.dat")
    if status != 0 or final_data is None or len(final_data) != harness.RECORD_SIZE:
        outcome["problems"].append("restart after a kill at %.3f s (exam.dat %s) ended with %d\n%s%s"
                                   % (delay, outcome["found"], status, out, err))
        return outcome
    final = harness.Record.unpack(final_data)
    if final.state != harness.EXITING:
        outcome["problems"].append("restart ended at state %d" % final.state)
    if killed and len(killed) == harness.RECORD_SIZE:
        reference_final = harness.Record.unpack(scenario.saves[-1])
        for lost in kept_fields(harness.Record.unpack(killed), final, reference_final):
            outcome["problems"].append("restart lost the %s (killed at %.3f s)" % (lost, delay))
    if harness.save_temps(folder):
        outcome["problems"].append("a save's temp file is left after the restart")
    outcome["problems"].extend(text_agrees(folder, final))
    return outcome


def plot_lines(record):
    return "".join("%d %d\n" % p for p in zip(record.q1T, record.q1X)).encode()


# q1.png as the stand-in below draws it: a PNG's first and last bytes around the data.
PNG_START = b"\x89PNG\r\n\x1a\n"
PNG_END = b"\0\0\0\0IEND\xaeB`\x82"
DRAWING_GNUPLOT = ("#!/bin/sh\ncase \"$1\" in *q1.gp) ;; *) exit 0;; esac\n"
                   "{ printf '\\211PNG\\r\\n\\032\\n'; /bin/sleep 0.02; /bin/cat q1plot.dat; /bin/sleep 0.02; "
                   "printf '\\000\\000\\000\\000IEND\\256B\\140\\202'; } > q1.png\n")


def picture_of(record):
    return PNG_START + plot_lines(record) + PNG_END


def run_key(root, folder, arguments, env=None):
    result = subprocess.run([os.path.join(root, "mock-midterm-key")] + arguments, cwd=folder.path,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=30,
                            env=harness.environment(root, env))
    return result.returncode, result.stderr.decode(errors="replace")


def variant_kill_run(root, number, delay, slowed, attempt, new):
    """exam.dat is old or new, whole; each attempts/<n> is the whole attempt, and attempts/1
    exists once the new exam is in place; the next command repairs q1plot.dat; variant
    37 then succeeds and every attempt has its line in attempts/README.txt."""
    folder = harness.ExamFolder(root, "variant-%d" % number)
    for name, data in attempt.items():
        folder.write(name, data)
    folder.write("q1.gp", b"")
    process = subprocess.Popen([os.path.join(root, "mock-midterm-key"), "variant", "37"], cwd=folder.path,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True,
                               env=harness.environment(root, spy_env(delay=SLOW_SAVE_MS) if slowed else None))
    time.sleep(delay)
    kill_group(process.pid)
    process.wait()
    awaited = wait_gone(process.pid, folder)
    problems = []
    killed = folder.read("exam.dat")
    found = "old" if killed == attempt["exam.dat"] else "new" if killed == new else "neither"
    if found == "neither":
        problems.append("exam.dat is neither the old exam nor the new one")
    attempts = folder.file("attempts")
    kept = sorted(n for n in os.listdir(attempts) if n.isdigit()) if os.path.isdir(attempts) else []
    for n in kept:
        names = sorted(os.listdir(os.path.join(attempts, n)))
        if names != sorted(attempt) or any(folder.read(os.path.join("attempts", n, name)) != data
                                           for name, data in attempt.items()):
            problems.append("attempts/%s is not the whole attempt: %s" % (n, names))
    if found == "new" and "1" not in kept:
        problems.append("the new exam is in place but the attempt is not kept")
    killed_exam = harness.Record.unpack(killed) if found != "neither" else None
    stale_plot = killed_exam is not None and folder.read("q1plot.dat") != plot_lines(killed_exam)
    redrawn = killed_exam is not None and folder.read("q1.png") != picture_of(killed_exam)

    status, err = run_key(root, folder, ["answers"])
    exam = harness.Record.unpack(folder.read("exam.dat"))
    if status not in (0, 2) or folder.read("q1plot.dat") != plot_lines(exam):
        problems.append("answers after the kill (exam.dat %s) left q1plot.dat wrong, status %d: %s"
                        % (found, status, err))
    elif folder.read("q1.png") != picture_of(exam):
        problems.append("answers after the kill (exam.dat %s) left q1.png %s: %s"
                        % (found, "missing" if folder.read("q1.png") is None else "wrong", err))
    elif stale_plot and "q1plot.dat does not match" not in err:
        problems.append("answers rewrote q1plot.dat without saying so")
    status, err = run_key(root, folder, ["variant", "37"])
    leftovers = [n for n in os.listdir(attempts) if n.startswith(".")] if os.path.isdir(attempts) else []
    if status != 0 or folder.read("exam.dat") != new or leftovers:
        problems.append("variant 37 after the kill ended with %d, leaving %s: %s" % (status, leftovers, err))
    readme = (folder.read(os.path.join("attempts", "README.txt")) or b"").decode()
    unnoted = [n for n in os.listdir(attempts) if n.isdigit() and
               not any(line.startswith(n + "  ") for line in readme.splitlines())]
    if unnoted:
        problems.append("attempts/README.txt has no line for %s" % unnoted)
    return {"found": found, "stale plot": stale_plot, "redrawn": redrawn, "problems": problems,
            "lock awaited": awaited}


def variant_crash(root, finished):
    """Kills mock-midterm-key variant at random instants; returns 0 or 1."""
    if not harness.KEY_PROGRAM:
        raise SystemExit("set MOCK_MIDTERM_KEY to the built mock-midterm-key")
    exam = harness.Record.unpack(finished)
    attempt = {"exam.dat": finished, "signals.c": b"double x(double t) { return 0; }\n",
               "MOCK_MIDTERM.txt": b"Mock Midterm Exam\n", "q1plot.dat": plot_lines(exam),
               "q1.png": picture_of(exam), "123.pdf": b"%PDF a typeset exam"}
    gnuplot = os.path.join(root, "tools", "gnuplot")
    with open(gnuplot, "w") as f:
        f.write(DRAWING_GNUPLOT)
    os.chmod(gnuplot, 0o755)
    durations = {}
    new = None
    for slowed in (False, True):
        folder = harness.ExamFolder(root, "variant-reference-%d" % slowed)
        for name, data in attempt.items():
            folder.write(name, data)
        started = time.monotonic()
        status, err = run_key(root, folder, ["variant", "37"], spy_env(delay=SLOW_SAVE_MS) if slowed else None)
        durations[slowed] = time.monotonic() - started
        if status != 0:
            raise AssertionError("variant reference run ended with %d: %s" % (status, err))
        new = folder.read("exam.dat")
    rng = random.Random(SEED + 1)
    plan = [(number, rng.uniform(0.0, durations[number % 2 == 1] * 1.05), number % 2 == 1)
            for number in range(VARIANT_KILLS)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        outcomes = list(pool.map(lambda item: variant_kill_run(root, *item, attempt, new), plan))
    problems = [p for o in outcomes for p in o["problems"]]
    found = collections.Counter(o["found"] for o in outcomes)
    print("variant crash test: %d kills (runs of %.3f s, %.3f s slowed); exam.dat found %s; %d stale "
          "q1plot.dat rewritten; %d q1.png redrawn; %d left the lock with a dying child; problems: %d"
          % (len(outcomes), durations[False], durations[True], dict(found),
             sum(o["stale plot"] for o in outcomes), sum(o["redrawn"] for o in outcomes),
             sum(o["lock awaited"] for o in outcomes), len(problems)))
    for p in problems[:20]:
        print("FAIL variant: " + p)
    return 1 if problems else 0


def main():
    harness.check_program()
    if not harness.SAVE_SPY or not os.path.exists(harness.SAVE_SPY):
        raise SystemExit("set MOCK_MIDTERM_SAVE_SPY to the built save spy")
    root = harness.make_root()
    try:
        return crash(root)
    finally:
        harness.remove_root(root)


def crash(root):
    first = Scenario(FIRST_START, None)
    reference(root, first, 0)
    final = first.saves[-1]
    by_state = {harness.Record.unpack(r).state: r for r in first.saves if harness.Record.unpack(r).idNum != 0}
    scenarios = [first]
    # Stored exams as this program leaves them; the states it never stores
    # take the finished exam. Identify is stored with the student but no
    # question yet, as an exam interrupted right after the ID would be.
    identified = harness.with_state(final[:16] + bytes(harness.RECORD_SIZE - 16), 1)
    for state in range(1, harness.EXITING + 1):
        stored = identified if state == 1 else by_state.get(state, harness.with_state(final, state))
        scenario = Scenario(state, stored)
        reference(root, scenario, len(scenarios))
        scenarios.append(scenario)

    rng = random.Random(SEED)
    plan = []
    for number in range(KILLS):
        scenario = scenarios[number % len(scenarios)]
        early = rng.random() < 0.2
        delay = rng.uniform(0.0, 0.015 if early else scenario.duration * 1.05)
        plan.append((scenario, number, delay, number % 2 == 1))
    for number in range(KILLS, KILLS + PAIR_KILLS):
        scenario = scenarios[number % len(scenarios)]
        early = rng.random() < 0.2
        delay = rng.uniform(0.0, 0.015 if early else scenario.duration * 1.05)
        plan.append((scenario, number, delay, number % 2 == 1, 2))
    rng.shuffle(plan)  # a deadline reached cuts both kinds alike

    deadline = time.monotonic() + SECONDS
    outcomes = []
    lock = threading.Lock()

    def one(item):
        if time.monotonic() > deadline:
            return None
        result = kill_run(root, *item)
        with lock:
            outcomes.append(result)
        return result

    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        list(pool.map(one, plan))

    problems = [p for o in outcomes for p in ("%s: %s" % (o["scenario"], q) for q in o["problems"])]
    found = collections.Counter(o["found"] for o in outcomes)
    per_scenario = collections.Counter(o["scenario"] for o in outcomes)
    pairs = [o for o in outcomes if o["copies"] == 2]
    print("crash test: seed %d, %d kills (%d planned), %d runs finished before their kill, "
          "%d left a save's temp file, %d with slowed saves"
          % (SEED, len(outcomes), KILLS + PAIR_KILLS, sum(o["finished"] for o in outcomes),
             sum(o["temp left"] for o in outcomes), (len(outcomes) + 1) // 2))
    print("  two copies at once: %d kills, %d second copies refused before their kill"
          % (len(pairs), sum(o["refused"] for o in pairs)))
    awaited = collections.Counter(o["scenario"] for o in outcomes if o["lock awaited"])
    print("  %d kills left the folder's lock with a child the exam was starting, until it died too: %s"
          % (sum(awaited.values()), dict(awaited)))
    for s in scenarios:
        print("  %-24s %3d kills, %d saves in an uninterrupted run of %.2f s"
              % (s.name, per_scenario[s.name], len(s.saves), s.duration))
    print("  exam.dat found after the kill: " +
          ", ".join("%s %d" % (k, v) for k, v in sorted(found.items())))
    print("  exams lost: %d" % len(problems))
    for p in problems[:20]:
        print("FAIL " + p)
    if len(outcomes) < min(KILLS + PAIR_KILLS, 100):
        print("FAIL only %d kills within %.0f s" % (len(outcomes), SECONDS))
        return 1
    return variant_crash(root, final) or (1 if problems else 0)


if __name__ == "__main__":
    sys.exit(main())
