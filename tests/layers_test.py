#!/usr/bin/env python3
"""Fails when a folder includes a header of a layer above it.

platform -> record -> generate, check -> exam (and key beside it) -> main.cpp:
each folder may include its own headers and those of the layers below.
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
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/[^"]+"', re.MULTILINE)


def climbs(root):
    found = []
    for layer, allowed in BELOW.items():
        for source in sorted((root / layer).rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            for folder in INCLUDE.findall(source.read_text(encoding="utf-8")):
                if folder != layer and folder not in allowed:
                    found.append(f"{source.relative_to(root)} includes {folder}/")
    return found


if __name__ == "__main__":
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    problems = climbs(root)
    for problem in problems:
        print(f"layers: {problem}, a layer above it", file=sys.stderr)
    sys.exit(1 if problems else 0)
