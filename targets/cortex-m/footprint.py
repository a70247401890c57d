#!/usr/bin/env python3
"""Footprint of the modules and programs of a Cortex-M build, checked against a budget file.

For each module (a static library target) the sizes come from its objects as compiled, before the
linker drops unused sections: code (.text), constants (.rodata and other read-only sections),
initialised data (.data) and zeroed data (.bss), in bytes. For each program (an .elf in the build's
bin folder) they come from the linked image.

The worst-case stack of each public operation is its own frame (from the -fstack-usage records)
plus the deepest chain of calls below it (from the -fcallgraph-info graphs), across every object
of the build. Calls into code compiled without those records (the C library) and calls through
function pointers cannot be followed: the report names them next to the number, which then covers
the measured code only.

Exit status: 0 when everything is within budget, 1 when a budget is exceeded or a budgeted module
has no objects, 2 on a usage or tool error.
"""

import argparse
import dataclasses
import os
import re
import subprocess
import sys

COLUMNS = ("text", "rodata", "data", "bss", "stack")

# Node titles that stand for something other than a function.
INDIRECT_CALL = "__indirect_call"


@dataclasses.dataclass
class Function:
    title: str
    location: str  # file:line:col of the definition
    frame: int  # bytes
    bounded: bool  # False when the frame has a size only known at run time


@dataclasses.dataclass
class Unit:
    """One translation unit's call graph: the functions it defines and the calls they make."""

    path: str
    functions: dict  # title -> Function
    calls: dict  # caller title -> list of callee titles


@dataclasses.dataclass
class StackResult:
    bytes: int
    bounded: bool = True
    recursive: bool = False
    outside: frozenset = frozenset()  # callees whose stack is not measured


# ----------------------------------------------------------------------------------------------
# Stack-usage records and call graphs


SU_LINE = re.compile(r"^(?P<location>.+?:\d+:\d+):(?P<name>.*)\t(?P<bytes>\d+)\t(?P<kind>[a-z,]+)$")


def parse_su(text):
    """Frames of a .su file: {location: (bytes, bounded)}. The name field is the function's
    display name (a C++ signature may contain colons), so records are matched by location."""
    frames = {}
    for line in text.splitlines():
        match = SU_LINE.match(line)
        if match is None:
            continue
        kinds = match["kind"].split(",")
        bounded = "dynamic" not in kinds or "bounded" in kinds
        frames[match["location"]] = (int(match["bytes"]), bounded)
    return frames


NODE = re.compile(r'^node: \{ title: "(?P<title>[^"]*)" label: "(?P<label>[^"]*)"(?P<rest>.*)\}$')
EDGE = re.compile(r'^edge: \{ sourcename: "(?P<source>[^"]*)" targetname: "(?P<target>[^"]*)"')
FRAME_IN_LABEL = re.compile(r"^(\d+) bytes \(([a-z,]+)\)$")


def parse_ci(path, text, frames):
    """A unit from a .ci graph. A node drawn as an ellipse is only declared in this unit; the
    others are defined here, and their frame comes from the unit's .su records when present."""
    functions = {}
    calls = {}
    for line in text.splitlines():
        node = NODE.match(line)
        if node is not None:
            if "ellipse" in node["rest"]:
                continue
            label = node["label"].split("\\n")
            location = label[1] if len(label) > 1 else ""
            frame, bounded = 0, True
            if len(label) > 2:
                in_label = FRAME_IN_LABEL.match(label[2])
                if in_label is not None:
                    frame = int(in_label[1])
                    kinds = in_label[2].split(",")
                    bounded = "dynamic" not in kinds or "bounded" in kinds
            frame, bounded = frames.get(location, (frame, bounded))
            functions[node["title"]] = Function(node["title"], location, frame, bounded)
            continue
        edge = EDGE.match(line)
        if edge is not None:
            callees = calls.setdefault(edge["source"], [])
            if edge["target"] not in callees:
                callees.append(edge["target"])
    return Unit(path, functions, calls)


class CallGraph:
    """All units of a build. A call resolves to a definition in the caller's own unit first,
    then to the one unit that defines that name; a name defined in several units (a program's
    main) resolves among the preferred units given for the query."""

    def __init__(self, units):
        self.units = list(units)
        self.definitions = {}  # title -> list of units defining it
        for unit in self.units:
            for title in unit.functions:
                self.definitions.setdefault(title, []).append(unit)

    def _resolve(self, unit, title, preferred):
        if title in unit.functions:
            return unit
        candidates = self.definitions.get(title, [])
        if len(candidates) > 1:
            candidates = [c for c in candidates if c.path in preferred] or candidates
            # The same source compiled into several targets defines the same function.
            if len({c.functions[title].location for c in candidates}) > 1:
                return None
        return candidates[0] if candidates else None

    def worst_case(self, unit, title, preferred=frozenset()):
        memo = {}
        return self._walk(unit, title, preferred, memo, set())

    def _walk(self, unit, title, preferred, memo, active):
        key = (unit.path, title)
        if key in memo:
            return memo[key]
        if key in active:
            return StackResult(0, recursive=True)
        active.add(key)
        function = unit.functions[title]
        deepest = StackResult(0)
        bounded, recursive, outside = function.bounded, False, set()
        for callee in unit.calls.get(title, []):
            target = self._resolve(unit, callee, preferred)
            if target is None:
                outside.add("indirect calls" if callee == INDIRECT_CALL else callee)
                continue
            below = self._walk(target, callee, preferred, memo, active)
            bounded = bounded and below.bounded
            recursive = recursive or below.recursive
            outside |= below.outside
            if below.bytes > deepest.bytes:
                deepest = below
        active.discard(key)
        result = StackResult(function.frame + deepest.bytes, bounded, recursive, frozenset(outside))
        memo[key] = result
        return result


# ----------------------------------------------------------------------------------------------
# Section sizes and symbols (readelf)


SECTION = re.compile(
    r"^\s*\[\s*\d+\]\s+(?P<name>\S+)\s+(?P<type>\S+)\s+[0-9a-f]+\s+[0-9a-f]+\s+(?P<size>[0-9a-f]+)"
    r"\s+[0-9a-f]+\s+(?P<flags>[A-Za-z]*)\s+\d+"
)
# Tables of addresses the start-up code reads: constant, placed with the code.
CONSTANT_TABLE_TYPES = {"INIT_ARRAY", "FINI_ARRAY", "PREINIT_ARRAY", "ARM_EXIDX"}


def classify_section(section_type, flags):
    """The footprint column of a section, or None when it takes no target memory."""
    if "A" not in flags:
        return None
    if "X" in flags:
        return "text"
    if section_type in CONSTANT_TABLE_TYPES or "W" not in flags:
        return "rodata"
    return "bss" if section_type == "NOBITS" else "data"


def section_sizes(readelf_sections):
    """Bytes per column from the output of readelf -S -W."""
    sizes = dict.fromkeys(COLUMNS[:4], 0)
    for line in readelf_sections.splitlines():
        match = SECTION.match(line)
        if match is None:
            continue
        column = classify_section(match["type"], match["flags"])
        if column is not None:
            sizes[column] += int(match["size"], 16)
    return sizes


SYMBOL = re.compile(
    r"^\s*\d+:\s+[0-9a-f]+\s+\d+\s+FUNC\s+GLOBAL\s+\S+\s+(?P<ndx>\S+)\s+(?P<name>\S+)$"
)


def public_functions(readelf_symbols):
    """Names of the functions an object defines and exports (readelf -s -W)."""
    return [
        m["name"]
        for m in map(SYMBOL.match, readelf_symbols.splitlines())
        if m is not None and m["ndx"] != "UND"
    ]


# ----------------------------------------------------------------------------------------------
# Budget file


def parse_budget(text):
    """{name: {column: ceiling}} from lines 'name text rodata data bss stack'; # starts a
    comment."""
    budget = {}
    for number, line in enumerate(text.splitlines(), 1):
        fields = line.split("#", 1)[0].split()
        if not fields:
            continue
        if len(fields) != 1 + len(COLUMNS) or not all(f.isdigit() for f in fields[1:]):
            raise ValueError(f"budget line {number}: expected a name and {len(COLUMNS)} numbers")
        budget[fields[0]] = dict(zip(COLUMNS, map(int, fields[1:])))
    return budget


def suggest_ceiling(measured):
    """A ceiling a little above a measurement: 10 % more, at least 8 bytes, rounded up to a
    multiple of 8."""
    ceiling = measured + max(8, -(-measured // 10))
    return -(-ceiling // 8) * 8


def over_budget(name, measured, ceilings):
    """One message per column above its ceiling."""
    return [
        f"{name}: {column} {measured[column]} bytes exceeds the budget of {ceilings[column]}"
        for column in COLUMNS
        if measured[column] > ceilings[column]
    ]


# ----------------------------------------------------------------------------------------------
# The build


class Build:
    def __init__(self, build_dir, tool_prefix):
        self.build_dir = build_dir
        self.tool_prefix = tool_prefix
        self.target_dirs = {}  # target name -> its CMakeFiles/<target>.dir folder
        ci_files = []
        for root, dirs, files in os.walk(build_dir):
            # CMake's compiler identification compiles a throw-away unit of its own, and a build
            # nested in this one (the desktop tools) is another machine's.
            dirs[:] = [d for d in dirs if not re.fullmatch(r"\d+\.\d+\.\d+", d)
                       and not os.path.exists(os.path.join(root, d, "CMakeCache.txt"))]
            if root.endswith(".dir") and os.path.basename(os.path.dirname(root)) == "CMakeFiles":
                self.target_dirs[os.path.basename(root)[: -len(".dir")]] = root
            ci_files += [os.path.join(root, f) for f in files if f.endswith(".ci")]
        self.graph = CallGraph(self._load_unit(path) for path in sorted(ci_files))

    @staticmethod
    def _load_unit(ci_path):
        stem = ci_path[: -len(".ci")]
        frames = {}
        if os.path.exists(stem + ".su"):
            with open(stem + ".su", encoding="utf-8") as su:
                frames = parse_su(su.read())
        with open(ci_path, encoding="utf-8") as ci:
            return parse_ci(ci_path, ci.read(), frames)

    def readelf(self, option, path):
        return subprocess.run(
            [self.tool_prefix + "readelf", option, "-W", path],
            check=True, capture_output=True, text=True,
        ).stdout

    def objects(self, target):
        folder = self.target_dirs.get(target)
        found = []
        for root, _, files in os.walk(folder) if folder else ():
            found += [os.path.join(root, f) for f in files if f.endswith((".obj", ".o"))]
        return sorted(found)

    def unit_of(self, obj):
        ci_path = os.path.splitext(obj)[0] + ".ci"
        return next((u for u in self.graph.units if u.path == ci_path), None)

    def module(self, name):
        """(sizes, [(operation, StackResult)]) of a library target, or None without objects."""
        objects = self.objects(name)
        if not objects:
            return None
        sizes = dict.fromkeys(COLUMNS[:4], 0)
        operations = []
        for obj in objects:
            for column, size in section_sizes(self.readelf("-S", obj)).items():
                sizes[column] += size
            unit = self.unit_of(obj)
            for title in public_functions(self.readelf("-s", obj)):
                if unit is not None and title in unit.functions:
                    operations.append((title, self.graph.worst_case(unit, title)))
        return sizes, sorted(operations, key=lambda op: op[0])

    def program(self, name):
        """(sizes, [("main", StackResult)]) of a linked program, or None when not built. The
        stack runs from the reset handler through the program's own main."""
        elf = os.path.join(self.build_dir, "bin", name)
        if not os.path.exists(elf):
            return None
        sizes = section_sizes(self.readelf("-S", elf))
        target = name[: -len(".elf")]
        own_units = {u.path for u in map(self.unit_of, self.objects(target)) if u is not None}
        entry = next((u for u in self.graph.units if "Reset_Handler" in u.functions), None)
        if entry is None:
            return sizes, []
        return sizes, [("Reset_Handler", self.graph.worst_case(entry, "Reset_Handler", own_units))]


# ----------------------------------------------------------------------------------------------
# Report


def stack_text(result):
    text = str(result.bytes)
    notes = []
    if not result.bounded:
        notes.append("unbounded")
    if result.recursive:
        notes.append("recursive")
    if result.outside:
        notes.append("+ " + ", ".join(sorted(result.outside)))
    return text + (f" ({'; '.join(notes)})" if notes else "")


def report(entries):
    """Markdown: one size table, then the worst-case stack of each operation."""
    lines = [
        "| Module | Code (.text) | Constants (.rodata) | Data (.data) | Zeroed (.bss) | Stack |",
        "|---|---:|---:|---:|---:|---:|",
    ]
    for name, sizes, operations in entries:
        deepest = max((r.bytes for _, r in operations), default=0)
        row = [sizes[c] for c in COLUMNS[:4]] + [deepest]
        lines.append(f"| {name} | " + " | ".join(map(str, row)) + " |")
    lines += ["", "| Module | Operation | Worst-case stack (bytes) |", "|---|---|---:|"]
    for name, _, operations in entries:
        for operation, result in operations:
            lines.append(f"| {name} | `{operation}` | {stack_text(result)} |")
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--budget", required=True, help="budget file: name and five ceilings")
    parser.add_argument("--tool-prefix", default="arm-none-eabi-")
    parser.add_argument("--output", help="also write the markdown report to this file")
    parser.add_argument(
        "--suggest-budget", action="store_true",
        help="print budget lines a little above the measurement instead of checking",
    )
    args = parser.parse_args(argv)

    try:
        with open(args.budget, encoding="utf-8") as budget_file:
            budget = parse_budget(budget_file.read())
        build = Build(args.build_dir, args.tool_prefix)
        entries, failures = [], []
        for name, ceilings in budget.items():
            measured = build.program(name) if name.endswith(".elf") else build.module(name)
            if measured is None:
                failures.append(f"{name}: not found in {args.build_dir}")
                continue
            sizes, operations = measured
            entries.append((name, sizes, operations))
            deepest = max((r.bytes for _, r in operations), default=0)
            failures += over_budget(name, dict(sizes, stack=deepest), ceilings)
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print(f"footprint: {error}", file=sys.stderr)
        return 2

    if args.suggest_budget:
        for name, sizes, operations in entries:
            deepest = max((r.bytes for _, r in operations), default=0)
            ceilings = [suggest_ceiling(v) for v in [sizes[c] for c in COLUMNS[:4]] + [deepest]]
            print(f"{name:<20}" + "".join(f"{c:>8}" for c in ceilings))
        return 0

    text = report(entries)
    print(text)
    if args.output:
        with open(args.output, "w", encoding="utf-8") as out:
            out.write(text + "\n")
    for failure in failures:
        print(f"footprint: OVER BUDGET: {failure}", file=sys.stderr)
    if not failures:
        print(f"footprint: all {len(entries)} entries within budget")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
