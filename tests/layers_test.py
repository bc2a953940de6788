#!/usr/bin/env python3
"""Fails when a folder includes a header of a layer above it, or when
includes go round in a circle.

platform -> record -> generate, check -> exam (and key beside it) -> main.cpp:
each folder may include its own headers and those of the layers below. key/
has rooms of its own, in the same way: base -> model -> reading -> running
-> mistakes -> repairs -> judging -> plots -> variants -> report -> progress
-> front. In key/, no two units (a header and its
source) may need each other, through any number of others: the layers cannot
show such a circle inside a room.
"""
import pathlib
import re
import sys

BELOW = {
    "platform": set(),
    "record": {"platform"},
    "generate": {"record", "platform"},
    "check": {"platform"},
    "exam": {"generate", "check", "record", "platform"},
    "key": {"generate", "check", "record", "platform"},
}
KEY_ROOMS = ["base", "model", "reading", "running", "mistakes", "repairs", "judging", "plots", "variants", "report", "progress", "front"]
# Each room of key/ may use those before it in KEY_ROOMS.
for place, room in enumerate(KEY_ROOMS):
    BELOW[f"key/{room}"] = BELOW["key"] | {f"key/{r}" for r in KEY_ROOMS[:place]}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def layer_of(path):
    """The layer a repository path ("key/judging/grade.h") lies in."""
    parts = pathlib.PurePosixPath(path).parts
    if len(parts) > 2 and parts[0] == "key":
        return f"key/{parts[1]}"
    return parts[0] if len(parts) > 1 else None


def sources(root):
    for layer in BELOW:
        if "/" in layer:
            continue
        for source in sorted((root / layer).rglob("*")):
            if source.suffix in (".h", ".cpp"):
                yield source


def climbs(root):
    found = []
    for source in sources(root):
        own = layer_of(source.relative_to(root).as_posix())
        for included in INCLUDE.findall(source.read_text(encoding="utf-8")):
            target = layer_of(included)
            if target is None or target == own:
                continue
            if target not in BELOW.get(own, set()):
                found.append(f"{source.relative_to(root)} includes {included}, a layer above it")
    return found


def circles(root, within="key"):
    """Units (a path without its suffix) of the folder `within` that reach
    themselves through includes."""
    needs = {}
    for source in sources(root):
        unit = source.relative_to(root).with_suffix("").as_posix()
        if not unit.startswith(within + "/"):
            continue
        for included in INCLUDE.findall(source.read_text(encoding="utf-8")):
            target = str(pathlib.PurePosixPath(included).with_suffix(""))
            if target != unit and (root / included).exists():
                needs.setdefault(unit, set()).add(target)
    found = []
    state = {}  # unit: 1 while it is being followed, 2 once done

    def follow(unit, trail):
        state[unit] = 1
        for target in sorted(needs.get(unit, ())):
            if state.get(target) == 1:
                found.append(" -> ".join(trail[trail.index(target):] + [target]))
            elif target not in state:
                follow(target, trail + [target])
        state[unit] = 2

    for unit in sorted(needs):
        if unit not in state:
            follow(unit, [unit])
    return [f"includes go round: {circle}" for circle in found]


if __name__ == "__main__":
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    problems = climbs(root) + circles(root)
    for problem in problems:
        print(f"layers: {problem}", file=sys.stderr)
    sys.exit(1 if problems else 0)
