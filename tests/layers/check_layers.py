#!/usr/bin/env python3
"""Checks every #include of src/ against the layer table that src/CMakeLists.txt writes, and that
every source of src/ is in its folder's list.

    check_layers.py LAYERS_TXT SRC_DIR

The table holds "layer NAME: LOWER..." (the layers NAME sits over) and "source FOLDER/FILE" lines.
A file of a layer may include the headers of its own layer and of the layers beneath it; the logic
(outside qt/) never a qt/ header. Each fault is printed as FILE:LINE with what is wrong, and the
test fails."""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def read_table(path):
    over, sources = {}, set()
    with open(path) as table:
        for line in table:
            kind, _, rest = line.strip().partition(" ")
            if kind == "layer":
                name, _, lower = rest.partition(":")
                over[name] = lower.split()
            elif kind == "source":
                sources.add(rest)
    return over, sources


def beneath(over, layer, seen=None):
    """The layers beneath layer, all the way down."""
    seen = set() if seen is None else seen
    for lower in over.get(layer, []):
        if lower not in seen:
            seen.add(lower)
            beneath(over, lower, seen)
    return seen


def faults_of(relative, text, over):
    parts = relative.split("/")
    layer, in_qt = parts[0], len(parts) > 2 and parts[1] == "qt"
    allowed = beneath(over, layer) | {layer}
    for number, line in enumerate(text.splitlines(), 1):
        match = INCLUDE.match(line)
        if not match or "/" not in match.group(1):
            continue
        included = match.group(1)
        target, *rest = included.split("/")
        where = f"src/{relative}:{number}: {layer}{'/qt' if in_qt else ''} includes {included}"
        if target not in over:
            yield f"{where}, which is in no layer"
        elif target not in allowed:
            sits_on = ", ".join(sorted(beneath(over, layer))) or "nothing"
            yield f"{where}, but {target} is not beneath {layer} ({layer} sits over {sits_on})"
        elif rest[0] == "qt" and not in_qt:
            yield f"{where}: the logic of a layer includes no qt/ header"


def main():
    table_path, src = sys.argv[1], sys.argv[2]
    over, sources = read_table(table_path)
    faults = []
    for folder, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src)
            if "/" not in relative:
                continue  # the build file of src/ itself
            layer = relative.split("/")[0]
            if layer not in over:
                faults.append(f"src/{relative}: {layer} is no layer of src/CMakeLists.txt")
                continue
            if name.endswith(".cpp") and relative not in sources:
                faults.append(f"src/{relative}: not in the sources of src/{layer}/CMakeLists.txt")
            if name.endswith((".cpp", ".h")):
                with open(path, encoding="utf-8", errors="replace") as source:
                    faults.extend(faults_of(relative, source.read(), over))
    for fault in faults:
        print(fault)
    print(f"{len(faults)} fault(s)" if faults else "every include is of the layer or beneath it")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
