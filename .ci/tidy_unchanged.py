"""Which of the given sources clang-tidy must look at again.

A file whose translation unit, preprocessed with its comments kept (so a
NOLINT counts), its compile command, the checks in .clang-tidy and the
clang-tidy version are all as they were on a clean run before gives the same
findings, none: it is skipped. Prints, for every other file, the stamp to
make once clang-tidy finds it clean and the file, each on a line of its own.

Usage: tidy_unchanged.py BUILD ROOT CACHE < sources
"""

import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys

build, root, cache = sys.argv[1:4]
entries = {}
for entry in json.load(open(os.path.join(build, "compile_commands.json"))):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    entries[os.path.relpath(path, root)] = entry

common = hashlib.sha256()
common.update(subprocess.run(["clang-tidy", "--version"], capture_output=True).stdout)
common.update(open(os.path.join(root, ".clang-tidy"), "rb").read())


def preprocessed(entry):
    """The compile command made to write the preprocessed text instead."""
    words = shlex.split(entry["command"])
    kept, skip = [], False
    for word in words:
        if skip:
            skip = False
        elif word == "-o":
            skip = True
        elif word != "-c":
            kept.append(word)
    result = subprocess.run(kept + ["-E", "-C", "-o", "-"], cwd=entry["directory"], capture_output=True)
    return result.stdout if result.returncode == 0 else None


def stamp(source):
    entry = entries.get(source)
    text = preprocessed(entry) if entry else None
    if text is None:
        return None  # no stamp: always checked
    digest = common.copy()
    digest.update(entry["command"].encode())
    digest.update(text)
    return os.path.join(cache, digest.hexdigest())


sources = [line.strip() for line in sys.stdin if line.strip()]
with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
    stamps = list(pool.map(stamp, sources))
for source, path in zip(sources, stamps):
    if path is None:
        print(os.devnull, source, sep="\n")
    elif not os.path.exists(path):
        print(path, source, sep="\n")
