#!/usr/bin/env python3
"""Fails when a folder includes a header of a layer above it, when includes
go round in a circle, or when the CMake links and the includes disagree.

platform -> record -> generate, check -> exam (and key beside it) -> main.cpp:
each folder may include its own headers and those of the layers below. key/
has rooms of its own, in the same way: base -> model -> reading -> running
-> mistakes -> repairs -> judging -> plots -> variants -> gradebook -> report
-> progress -> front. No two units (a header and its source) may need each other,
through any number of others: the layers cannot show such a circle inside a
folder or a room.

Each project library a target links (target_link_libraries in the top
CMakeLists.txt and in key/CMakeLists.txt) must be one whose headers the
target's files include, and a header of another library that they include
must be one the target reaches through its links.
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
KEY_ROOMS = ["base", "model", "reading", "running", "mistakes", "repairs", "judging", "plots", "variants", "gradebook", "report", "progress", "front"]
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


def circles(root):
    """Units (a path without its suffix) that reach themselves through
    includes."""
    needs = {}
    for source in sources(root):
        unit = source.relative_to(root).with_suffix("").as_posix()
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


CMAKE_FILES = ["CMakeLists.txt", "key/CMakeLists.txt"]
CMAKE_CALL = re.compile(r"\b(add_library|add_executable|target_link_libraries)\s*\(([^)]*)\)")
CMAKE_KEYWORDS = {"STATIC", "SHARED", "MODULE", "OBJECT", "PUBLIC", "PRIVATE", "INTERFACE"}


def targets(root):
    """The project's targets: name: (is a library, its files, what it links)."""
    found = {}
    for cmake in CMAKE_FILES:
        folder = pathlib.PurePosixPath(cmake).parent
        text = re.sub(r"#.*", "", (root / cmake).read_text(encoding="utf-8"))
        for call, arguments in CMAKE_CALL.findall(text):
            name, *words = [w for w in arguments.split() if w not in CMAKE_KEYWORDS]
            if call == "target_link_libraries":
                found[name][2].update(words)
                continue
            listed = [(folder / w).as_posix() for w in words if "$" not in w]
            # A library is every file of its folders; a program, its own.
            files = listed
            if call == "add_library":
                files = sorted(f.relative_to(root).as_posix()
                               for place in {pathlib.PurePosixPath(f).parent for f in listed}
                               for f in (root / place).iterdir() if f.suffix in (".h", ".cpp", ".c"))
            found[name] = (call == "add_library", files, set())
    return found


def links(root):
    """Links without an include of the linked library, and includes of a
    library the target does not reach through its links."""
    found = []
    every = targets(root)
    folder_of = {}  # "key/running": "key_running"
    for name, (library, files, _) in every.items():
        for file in files if library else ():
            folder_of[str(pathlib.PurePosixPath(file).parent)] = name

    def reach(name, seen):
        for linked in every[name][2] & every.keys():
            if linked not in seen:
                seen.add(linked)
                reach(linked, seen)
        return seen

    for name, (_, files, linked) in sorted(every.items()):
        included = {}  # library: the first file of the target that includes it
        for file in files:
            for header in INCLUDE.findall((root / file).read_text(encoding="utf-8")):
                owner = folder_of.get(str(pathlib.PurePosixPath(header).parent))
                if owner not in (None, name):
                    included.setdefault(owner, f"{file} includes {header}")
        for library in sorted(linked & every.keys() - included.keys()):
            found.append(f"{name} links {library}, but none of its files includes a header of {library}")
        reached = reach(name, set())
        for library in sorted(included.keys() - reached):
            found.append(f"{included[library]}, of {library}, which {name} does not link")
    return found


if __name__ == "__main__":
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    problems = climbs(root) + circles(root) + links(root)
    for problem in problems:
        print(f"layers: {problem}", file=sys.stderr)
    sys.exit(1 if problems else 0)
