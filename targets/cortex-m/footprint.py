#!/usr/bin/env python3
"""Footprint of the modules and programs of a Cortex-M build, checked against a budget file.

For each module (a static library target) the sizes come from its objects as compiled, before the
linker drops unused sections: code (.text), constants (.rodata and other read-only sections),
initialised data (.data) and zeroed data (.bss), in bytes. For each program (an .elf in the build's
bin folder) they come from the linked image.

The worst-case stack of each public operation of a module is its own frame (from the
-fstack-usage records) plus the deepest chain of calls below it (from the -fcallgraph-info
graphs), across every object of the build. Calls into code compiled without those records (the C
library) and calls through function pointers cannot be followed there: the report names them next
to the number, which then covers the measured code only.

The worst-case stack of a program is taken from its linked machine code, C library included, from
the reset handler down: each function's frame from the instructions that lower the stack pointer
(push, vpush, sub sp), its calls from bl and from branches into other functions, and each call
through a pointer (blx/bx to a register) as a call of whichever function whose address the image
holds outside the vector table is deepest. A chain that comes back to a function already on it is
cut there and flagged; a frame whose size is only known at run time is flagged too. This is the
bound that the stack measured on the board must stay within.

With --measured, the report also shows the stack each program used on the board (written by
back-to-back.sh), and the check fails when a measurement exceeds its program's worst case, which
would mean the analysis misses something, or three quarters of the stack.

Exit status: 0 when everything is within budget, 1 when a budget is exceeded, a budgeted module
has no objects or a measured stack fails its check, 2 on a usage or tool error.
"""

import argparse
import dataclasses
import os
import re
import struct
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
# Stack of a linked program, from its machine code (Thumb-2)


# "    1a4:\tpush\t{r4, r5, lr}" as arm-none-eabi-objdump -d --no-show-raw-insn prints it.
INSTRUCTION = re.compile(r"^\s*(?P<address>[0-9a-f]+):\s+(?P<mnemonic>\S+)(?:\s+(?P<operands>.*))?$")
BRANCH = re.compile(r"^b(eq|ne|cs|cc|hs|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al)?(\.n|\.w)?$")
REGISTER_RANGE = re.compile(r"^([rsd])(\d+)-[rsd]?(\d+)$")
STACK_IMMEDIATE = re.compile(r"^sp, (?:sp, )?#(\d+)$")
STACK_REGISTER = re.compile(r"^sp, (?:sp, )?(r\d+|sl|fp|ip)$")
PRE_DECREMENT = re.compile(r"\[sp, #-(\d+)\]!$")

# Cycles of direct calls that run at most once around: newlib sets up its streams in __sinit,
# which takes them from __sfp, which calls __sinit only while no stream is set up yet; __sinit
# marks them set up before its first call of __sfp.
BOUNDED_CYCLES = [{"__sinit", "__sinit.part.0", "__sfp"}]


@dataclasses.dataclass
class MachineFunction:
    name: str
    start: int
    end: int
    frame: int = 0
    bounded: bool = True
    calls: set = dataclasses.field(default_factory=set)  # start addresses of callees
    indirect: bool = False


def register_count(register_list):
    """Registers in "{r4, r5, lr}" or "{d8-d9}", and the bytes one of them takes."""
    count, width = 0, 4
    for item in register_list.strip("{} ").split(","):
        item = item.strip()
        ranged = REGISTER_RANGE.match(item)
        if ranged is not None:
            count += int(ranged[3]) - int(ranged[2]) + 1
        elif item:
            count += 1
        if item.startswith("d"):
            width = 8
    return count, width


def stack_effect(mnemonic, operands):
    """(bytes pushed, bounded) of one instruction that lowers the stack pointer, else (0, True)."""
    base = mnemonic.split(".")[0]
    if base in ("push", "vpush"):
        count, width = register_count(operands)
        return count * width, True
    if base in ("stmdb", "stmfd", "vstmdb") and operands.startswith("sp!,"):
        count, width = register_count(operands[len("sp!,"):])
        return count * width, True
    if base in ("sub", "subw"):
        immediate = STACK_IMMEDIATE.match(operands)
        if immediate is not None:
            return int(immediate[1]), True
        if STACK_REGISTER.match(operands) is not None:
            return 0, False
    if base.startswith("str") or base.startswith("vstr"):
        decrement = PRE_DECREMENT.search(operands)
        if decrement is not None:
            return int(decrement[1]), True
    return 0, True


def is_indirect_transfer(mnemonic, operands):
    """A call or jump through a register: blx rN, bx rN (but not the return bx lr), a load or
    move into pc that is no return from the stack."""
    base = mnemonic.split(".")[0]
    if base == "blx" and not operands[:1].isdigit():
        return True
    if base == "bx":
        return operands.strip() != "lr"
    if base.startswith("ldr") and operands.startswith("pc,"):
        return not operands.replace(" ", "").startswith("pc,[sp]")
    return base == "mov" and operands.startswith("pc,")


def branch_target(mnemonic, operands):
    """The address a direct call or branch goes to, or None."""
    base = mnemonic
    if base in ("bl", "blx") or BRANCH.match(base) is not None:
        target = operands.split(" ", 1)[0]
        if re.fullmatch(r"[0-9a-f]+", target):
            return int(target, 16)
    return None


def elf_sections(image):
    """{name: (flags, address, bytes)} of an ELF32 little-endian file's sections."""
    shoff, = struct.unpack_from("<I", image, 0x20)
    shentsize, shnum, shstrndx = struct.unpack_from("<HHH", image, 0x2E)
    headers = [struct.unpack_from("<IIIIIIIIII", image, shoff + i * shentsize) for i in range(shnum)]
    names_offset = headers[shstrndx][4]
    sections = {}
    for name, kind, flags, address, offset, size, *_ in headers:
        end = image.index(b"\0", names_offset + name)
        title = image[names_offset + name:end].decode()
        data = image[offset:offset + size] if kind != 8 else b""  # 8: NOBITS
        sections[title] = (flags, address, data)
    return sections


def data_words(image):
    """The 32-bit words of an ELF image's data and constant sections, where function pointers
    and virtual tables live. The vector table is left out: the core, not the program, calls
    through it."""
    alloc, execute = 0x2, 0x4
    words = []
    for name, (flags, _, data) in elf_sections(image).items():
        if flags & alloc and not flags & execute and name != ".isr_vector":
            words += struct.unpack_from(f"<{len(data) // 4}I", data)
    return words


class ProgramImage:
    """The functions of a linked program with their frames and calls. A function counts as a
    target of calls through pointers when its address, with the Thumb bit, is among the words of
    the data sections (data_words) or of the literal pools in the code."""

    def __init__(self, symbols_text, disassembly_text, data_section_words):
        self.functions = {}
        for line in symbols_text.splitlines():
            fields = line.split()
            if len(fields) == 8 and fields[3] == "FUNC" and fields[6] != "UND":
                size = int(fields[2], 0) if fields[2].isdigit() else int(fields[2], 16)
                start = int(fields[1], 16) & ~1
                if size > 0 and start not in self.functions:
                    self.functions[start] = MachineFunction(fields[7], start, start + size)
        self.starts = sorted(self.functions)
        literal_words = []
        for line in disassembly_text.splitlines():
            match = INSTRUCTION.match(line.split("@", 1)[0].rstrip())
            if match is None:
                continue
            address = int(match["address"], 16)
            mnemonic, operands = match["mnemonic"], (match["operands"] or "").strip()
            if mnemonic == ".word":
                literal_words.append(int(operands, 16))
                continue
            function = self.containing(address)
            if function is None:
                continue
            pushed, bounded = stack_effect(mnemonic, operands)
            function.frame += pushed
            function.bounded = function.bounded and bounded
            if is_indirect_transfer(mnemonic, operands):
                function.indirect = True
                continue
            target = branch_target(mnemonic, operands)
            if target is not None and not function.start <= target < function.end:
                callee = self.containing(target)
                if callee is not None:
                    function.calls.add(callee.start)
        self.taken = {
            word & ~1
            for word in literal_words + list(data_section_words)
            if word & 1 and (word & ~1) in self.functions
        }

    def containing(self, address):
        low, high = 0, len(self.starts)
        while low < high:
            middle = (low + high) // 2
            if self.starts[middle] <= address:
                low = middle + 1
            else:
                high = middle
        if low == 0:
            return None
        function = self.functions[self.starts[low - 1]]
        return function if address < function.end else None

    def callees(self, start, through_pointers=True):
        function = self.functions[start]
        if through_pointers and function.indirect:
            return function.calls | self.taken
        return function.calls

    def worst_case(self, name):
        """StackResult of the function called name, or None when the image has none.

        A call through a pointer may reach every function whose address is taken, so the graph
        has cycles that no run takes (a write callback "calling" the printf that called it).
        Each strongly connected part of the graph is therefore charged with the frames of all
        its functions, a bound on any chain through it that visits each function once. Only a
        cycle of direct calls is a real recursion; it is flagged, as no bound holds for it."""
        entry = next((f.start for f in self.functions.values() if f.name == name), None)
        if entry is None:
            return None
        parts, part_of = strongly_connected(entry, self.callees)
        direct_parts, _ = strongly_connected(entry, lambda s: self.callees(s, False))
        recursive = any(
            (len(part) > 1 or part[0] in self.functions[part[0]].calls)
            and not any({self.functions[f].name for f in part} <= known for known in BOUNDED_CYCLES)
            for part in direct_parts
        )
        memo = {}

        def cost(index):
            if index not in memo:
                part = parts[index]
                below = {part_of[c] for f in part for c in self.callees(f)} - {index}
                memo[index] = sum(self.functions[f].frame for f in part) + max(
                    (cost(b) for b in below), default=0
                )
            return memo[index]

        reached = set(part_of)
        bounded = all(self.functions[f].bounded for f in reached)
        return StackResult(cost(part_of[entry]), bounded, recursive)


def strongly_connected(entry, successors):
    """The strongly connected parts of the graph reachable from entry (Tarjan), each a list of
    nodes, and the index of each node's part. Parts come out callees first."""
    index, low, stack, on_stack = {}, {}, [], set()
    parts, part_of = [], {}
    # Iterative, so that a deep call chain cannot exhaust Python's own stack.
    work = [(entry, iter(successors(entry)))]
    index[entry] = low[entry] = 0
    stack.append(entry)
    on_stack.add(entry)
    while work:
        node, pending = work[-1]
        child = next(pending, None)
        if child is not None:
            if child not in index:
                index[child] = low[child] = len(index)
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(successors(child))))
            elif child in on_stack:
                low[node] = min(low[node], index[child])
            continue
        work.pop()
        if work:
            parent = work[-1][0]
            low[parent] = min(low[parent], low[node])
        if low[node] == index[node]:
            part = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                part_of[member] = len(parts)
                part.append(member)
                if member == node:
                    break
            parts.append(part)
    return parts, part_of

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

    def objdump(self, path):
        return subprocess.run(
            [self.tool_prefix + "objdump", "-d", "--no-show-raw-insn", path],
            check=True, capture_output=True, text=True,
        ).stdout

    def program(self, name):
        """(sizes, [("Reset_Handler", StackResult)]) of a linked program, or None when not
        built. The stack comes from the image's machine code, from the reset handler down."""
        elf = os.path.join(self.build_dir, "bin", name)
        if not os.path.exists(elf):
            return None
        sizes = section_sizes(self.readelf("-S", elf))
        with open(elf, "rb") as image_file:
            words = data_words(image_file.read())
        image = ProgramImage(self.readelf("-s", elf), self.objdump(elf), words)
        result = image.worst_case("Reset_Handler")
        return sizes, [] if result is None else [("Reset_Handler", result)]


# ----------------------------------------------------------------------------------------------
# Report


# ----------------------------------------------------------------------------------------------
# Stack measured on the board


# The most of its stack a program may use in the runs measured: what they did not reach, an
# input of another shape might.
MEASURED_STACK_SHARE = 0.75


def parse_measured(text):
    """{program: (bytes used, stack size)} from lines 'program used size'."""
    measured = {}
    for number, line in enumerate(text.splitlines(), 1):
        fields = line.split("#", 1)[0].split()
        if not fields:
            continue
        if len(fields) != 3 or not all(f.isdigit() for f in fields[1:]):
            raise ValueError(f"measured stack line {number}: expected a name and two numbers")
        measured[fields[0]] = (int(fields[1]), int(fields[2]))
    return measured


def measured_stack_failures(name, used, size, worst_case):
    """Messages for a measured stack beyond the program's worst case or its share of the
    stack."""
    failures = []
    if used > worst_case:
        failures.append(
            f"{name}: {used} bytes of stack measured on the board exceed the worst case of "
            f"{worst_case} found in its code: the analysis misses a frame or a call"
        )
    if used > size * MEASURED_STACK_SHARE:
        failures.append(
            f"{name}: {used} bytes of stack measured on the board are more than "
            f"{MEASURED_STACK_SHARE:.0%} of its {size} bytes"
        )
    return failures


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


def report(entries, measured=None):
    """Markdown: one size table, then the worst-case stack of each operation. With measured
    stacks, the size table gains a column for them."""
    measured = measured or {}
    header = "| Module | Code (.text) | Constants (.rodata) | Data (.data) | Zeroed (.bss) | Stack |"
    rule = "|---|---:|---:|---:|---:|---:|"
    if measured:
        header += " Stack measured on the board |"
        rule += "---:|"
    lines = [header, rule]
    for name, sizes, operations in entries:
        deepest = max((r.bytes for _, r in operations), default=0)
        row = [sizes[c] for c in COLUMNS[:4]] + [deepest]
        if measured:
            row.append(measured[name][0] if name in measured else "")
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
        "--measured", help="stack used on the board: lines 'program.elf used_bytes stack_bytes'"
    )
    parser.add_argument(
        "--suggest-budget", action="store_true",
        help="print budget lines a little above the measurement instead of checking",
    )
    args = parser.parse_args(argv)

    try:
        with open(args.budget, encoding="utf-8") as budget_file:
            budget = parse_budget(budget_file.read())
        build = Build(args.build_dir, args.tool_prefix)
        measured_stacks = {}
        if args.measured:
            with open(args.measured, encoding="utf-8") as measured_file:
                measured_stacks = parse_measured(measured_file.read())
        entries, failures, stack_failures = [], [], []
        for name, ceilings in budget.items():
            measured = build.program(name) if name.endswith(".elf") else build.module(name)
            if measured is None:
                failures.append(f"{name}: not found in {args.build_dir}")
                continue
            sizes, operations = measured
            entries.append((name, sizes, operations))
            deepest = max((r.bytes for _, r in operations), default=0)
            failures += over_budget(name, dict(sizes, stack=deepest), ceilings)
            if name in measured_stacks:
                stack_failures += measured_stack_failures(name, *measured_stacks[name], deepest)
        stack_failures += [
            f"{name}: measured on the board but not in the budget"
            for name in measured_stacks
            if name not in budget
        ]
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print(f"footprint: {error}", file=sys.stderr)
        return 2

    if args.suggest_budget:
        for name, sizes, operations in entries:
            deepest = max((r.bytes for _, r in operations), default=0)
            ceilings = [suggest_ceiling(v) for v in [sizes[c] for c in COLUMNS[:4]] + [deepest]]
            print(f"{name:<20}" + "".join(f"{c:>8}" for c in ceilings))
        return 0

    text = report(entries, measured_stacks)
    print(text)
    if args.output:
        with open(args.output, "w", encoding="utf-8") as out:
            out.write(text + "\n")
    for failure in failures:
        print(f"footprint: OVER BUDGET: {failure}", file=sys.stderr)
    for failure in stack_failures:
        print(f"footprint: STACK: {failure}", file=sys.stderr)
    if not failures:
        print(f"footprint: all {len(entries)} entries within budget")
    if measured_stacks and not stack_failures:
        print(f"footprint: {len(measured_stacks)} measured stacks within their worst case and "
              f"{MEASURED_STACK_SHARE:.0%} of the stack")
    return 1 if failures or stack_failures else 0


if __name__ == "__main__":
    sys.exit(main())
