#!/usr/bin/env python3
"""The folders stand in floors: a folder includes its own floor and the floors
below it, never one above, and only the plug-in and its hosts speak the
player's module record (host/winamp_vis.h). Prints the folder-to-folder
include table and fails on an arrow up a floor or a forbidden record.

Usage: scripts/check-floors.py [--table]   (--table: print the table too)
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Floor of each part, lowest first; a part is a folder, or a group of files
# in one (the oscilloscope and the title share overlays/).
FLOORS = [
    ("base", ["frame", "files"]),
    ("analysis", ["analysis", "third_party"]),
    ("tracer", ["raytracer"]),
    ("scenes", ["scenes"]),
    ("composition", ["compose", "overlays/scope"]),
    ("audio", ["audio"]),
    ("support", ["cli"]),
    ("plug-in", ["host", "display", "about", "overlays/title", "resources", "scenes_plugin"]),
    ("front end", ["player", "app", "web"]),
    ("programs", ["tools"]),
]
FLOOR_OF = {part: level for level, (_, parts) in enumerate(FLOORS) for part in parts}
# Parts that may include the player's module record.
RECORD_SPEAKERS = {"host", "display", "about", "overlays/title", "scenes_plugin", "player", "tests/windows", "tests/e2e",
                   "tests/smoke", "tests/dll"}
RECORD = "host/winamp_vis.h"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def part_of(path):
    """The part a repository path belongs to, or None outside every part."""
    parts = pathlib.PurePosixPath(path).parts
    if len(parts) < 2:
        return None
    if parts[0] == "overlays":
        return "overlays/title" if parts[1].startswith("title") else "overlays/scope"
    if parts[0] == "tests":
        return "tests/" + parts[1] if len(parts) > 2 else None
    return parts[0]


def main():
    show_table = "--table" in sys.argv[1:]
    sources = [p for p in ROOT.rglob("*") if p.suffix in (".cpp", ".h", ".inc") and "build" not in p.parts
               and not any(part.startswith(".") for part in p.relative_to(ROOT).parts)]
    arrows = {}   # (from part, to part) -> include lines
    problems = []
    for source in sorted(sources):
        name = source.relative_to(ROOT).as_posix()
        here = part_of(name)
        if here is None:
            continue
        text = source.read_text(errors="replace")
        if "winampVisModule" in text and here not in RECORD_SPEAKERS:
            problems.append(f"{name} names winampVisModule, the player's record")
        for included in INCLUDE.findall(text):
            there = part_of(included)
            if there is None or there.startswith("tests/") or not (ROOT / included).exists():
                continue
            if included == RECORD and here not in RECORD_SPEAKERS:
                problems.append(f"{name} includes {RECORD}, the player's record")
            if there != here:
                arrows.setdefault((here, there), []).append(name)
            if here in FLOOR_OF and there in FLOOR_OF and FLOOR_OF[there] > FLOOR_OF[here]:
                problems.append(f"{name} ({FLOORS[FLOOR_OF[here]][0]}) includes {included} "
                                f"({FLOORS[FLOOR_OF[there]][0]}), a floor above")
    if show_table:
        print(f"{'from':<16} {'floor':<12} includes")
        for part in sorted({a for a, _ in arrows}, key=lambda p: (FLOOR_OF.get(p, 99), p)):
            floor = FLOORS[FLOOR_OF[part]][0] if part in FLOOR_OF else "tests"
            targets = sorted({b for a, b in arrows if a == part}, key=lambda p: (FLOOR_OF.get(p, 99), p))
            print(f"{part:<16} {floor:<12} {', '.join(targets)}")
    for problem in problems:
        print("FLOORS: " + problem)
    if problems:
        return 1
    print(f"floors: {len(sources)} files, {len(arrows)} folder-to-folder arrows, none up a floor")
    return 0


if __name__ == "__main__":
    sys.exit(main())
