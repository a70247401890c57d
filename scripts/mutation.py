#!/usr/bin/env python3
"""Mutation testing of the four seatbelt components (seatbelt/*.cpp).

Generates mutants, each one small change in one place, by operators that model real slips:

  ror      a relational operator replaced: < <=, > >=, == !=, each way
  cst      an integer constant changed by one step: +1 and -1, and +10 and -10 where it is a
           time in ms (a multiple of 10 ms)
  neg      the condition of an if negated
  and/or   an operand of && or || replaced by true or by false
  call     a call that writes a signal or reports a diagnostic event removed
  assign   an assignment to a state variable of the module removed

Each mutant has a stable ID, FILE:LINE:OPERATOR-DETAIL (a second change of the same kind on one
line gets "#2"), so the same source gives the same list. Each is built and run against a suite:

  requirements  the requirement-based scenarios (requirements/scenarios/ through seatbelt_test)
  unit          the components' own tests (ctest in seatbelt/: the unit tests, beltcheck and the
                fuzz corpus replay)

A mutant is killed when its suite fails, survives when the suite passes, and is "not compiled"
when the build fails. mutation/equivalent.md records the survivors of the requirement-based
suite (### ID headings, a "Kind:" line and the reason): "equivalent" ones cannot change
behaviour; "beyond the host" ones change behaviour that no scenario reaches through the
simulation host, and the unit suite must kill them (checked with --suite all). The gate fails
on a survivor without a record, a record without a survivor, a record without a kind, and a
"beyond the host" mutant that the unit suite lets live. The unit suite's figure is reported
beside the gate.

  mutation.py [--suite requirements|unit|all] [--list] [--only ID,...] [--jobs N]
              [--work DIR] [--no-gate]

Two workers by default, each with a copy of the sources and a build folder of its own, in which
each mutant rebuilds only its file and what the suite runs.
"""

import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
COMPONENTS = ["Occupancy_Sensor_IF.cpp", "SeatbeltWarning_Logic.cpp", "Seatbelt_Sensor_IF.cpp",
              "VehicleState_IF.cpp"]
EQUIVALENT = os.path.join("mutation", "equivalent.md")
# What a record says of a survivor: it cannot change behaviour, or it changes behaviour that the
# simulation host cannot reach and the unit suite must kill.
KINDS = ("equivalent", "beyond the host")

ROR = {"<": ("le", "<="), "<=": ("lt", "<"), ">": ("ge", ">="), ">=": ("gt", ">"),
       "==": ("ne", "!="), "!=": ("eq", "==")}
ROR_NAMES = {"<": "lt", "<=": "le", ">": "gt", ">=": "ge", "==": "eq", "!=": "ne"}
# A comparison stands between blanks (the formatter puts them there); templates and shifts do not.
ROR_RE = re.compile(r"(?<= )(<=|>=|==|!=|<|>)(?= )")
CONSTANT_RE = re.compile(r"(?<![\w.])(\d+)u\b")
IF_RE = re.compile(r"\bif \((.*)\) \{$")
CALL_RE = re.compile(r"^(\s*)\(void\)(Rte_Update_\w+|Rte_Write_\w+|Dem_ReportErrorStatus)\(.*\);$")
STATE_RE = re.compile(r"^(?:uint8|uint16|uint32|boolean|OccupancyState_t|IgnitionState_t) (\w+) = ")


class Mutant:
    def __init__(self, ident, path, line, before, after):
        self.ident = ident
        self.path = path  # relative to the root
        self.line = line  # 1-based
        self.before = before
        self.after = after


def code_part(text):
    """The line without a trailing // comment and with string literals blanked."""
    text = re.sub(r'"(?:[^"\\]|\\.)*"', lambda m: '"' + " " * (len(m.group()) - 2) + '"', text)
    comment = text.find("//")
    return text if comment < 0 else text[:comment]


def operands(expression, operator):
    """The spans of the top-level operands of operator (&& or ||) in expression, or []."""
    spans, depth, start, i = [], 0, 0, 0
    while i < len(expression):
        c = expression[i]
        if c in "([":
            depth += 1
        elif c in ")]":
            depth -= 1
        elif depth == 0 and expression.startswith(f" {operator} ", i):
            spans.append((start, i))
            start = i + len(operator) + 2
            i = start
            continue
        i += 1
    if not spans:
        return []
    spans.append((start, len(expression)))
    return spans


def mutants_of(path):
    name = os.path.basename(path)
    with open(os.path.join(ROOT, path), encoding="utf-8") as source:
        lines = source.read().split("\n")
    state = {m.group(1) for line in lines if (m := STATE_RE.match(line))}
    result = []
    seen = {}

    def add(number, kind, before, after):
        ident = f"{name}:{number}:{kind}"
        seen[ident] = seen.get(ident, 0) + 1
        if seen[ident] > 1:
            ident += f"#{seen[ident]}"
        result.append(Mutant(ident, path, number, before, after))

    for index, line in enumerate(lines):
        number = index + 1
        code = code_part(line)
        stripped = code.strip()
        if not stripped or stripped.startswith("#") or "printf" in code:
            continue
        declaration = STATE_RE.match(line) or stripped.startswith("constexpr")
        for match in ROR_RE.finditer(code):
            op = match.group(1)
            new_name, new_op = ROR[op]
            after = line[:match.start()] + new_op + line[match.end():]
            add(number, f"ror-{ROR_NAMES[op]}-{new_name}", line, after)
        for match in CONSTANT_RE.finditer(code):
            value = int(match.group(1))
            steps = [1, -1]
            if value >= 10 and value % 10 == 0:
                steps += [10, -10]
            for step in steps:
                if value + step < 0:
                    continue
                after = line[:match.start()] + f"{value + step}u" + line[match.end():]
                add(number, f"cst-{value}{'+' if step > 0 else ''}{step}", line, after)
        if declaration:
            continue
        found = IF_RE.search(code)
        if found:
            condition = found.group(1)
            start = line.index(condition, found.start())
            after = line[:start] + f"!({condition})" + line[start + len(condition):]
            add(number, "neg", line, after)
        for operator, word in (("&&", "and"), ("||", "or")):
            # The operands of the expression after the line's '=' or inside its if.
            if found:
                expression_start = line.index(found.group(1), found.start())
                expression = found.group(1)
            elif " = " in code and code.rstrip().endswith(";"):
                expression_start = code.index(" = ") + 3
                expression = code.rstrip()[expression_start:-1]
            else:
                continue
            for position, (first, last) in enumerate(operands(expression, operator), start=1):
                for value in ("true", "false"):
                    after = (line[:expression_start + first] + value +
                             line[expression_start + last:])
                    add(number, f"{word}{position}-{value}", line, after)
        call = CALL_RE.match(line)
        if call:
            add(number, "call", line, call.group(1) + "// removed: " + line.strip())
        assignment = re.match(r"^(\s*)(\w+) (=|\+=) .*;$", line)
        if assignment and assignment.group(2) in state:
            add(number, "assign", line, assignment.group(1) + "// removed: " + line.strip())
    return result


def all_mutants():
    mutants = []
    for name in COMPONENTS:
        mutants += mutants_of(os.path.join("seatbelt", name))
    return mutants


def recorded_survivors():
    """The records of mutation/equivalent.md: ID -> kind ("equivalent" or "beyond the host"),
    from each ### heading and the "Kind:" line below it."""
    path = os.path.join(ROOT, EQUIVALENT)
    records = {}
    if not os.path.exists(path):
        return records
    ident = None
    with open(path, encoding="utf-8") as text:
        for line in text:
            if line.startswith("### "):
                ident = line[4:].strip().strip("`")
                records[ident] = None
            elif ident is not None and line.startswith("Kind: "):
                kind = line[6:].split(".")[0].strip()
                records[ident] = kind if kind in KINDS else None
    return records


def source_files():
    listed = subprocess.run([os.path.join(ROOT, "scripts", "list_sources.sh"), "*"],
                            capture_output=True, text=True, check=True)
    return listed.stdout.split()


class Worker:
    """A copy of the sources and a build folder of its own."""

    def __init__(self, work, number, suite):
        self.src = os.path.join(work, f"worker{number}", "src")
        self.build = os.path.join(work, f"worker{number}", "build")
        self.suite = suite

    def prepare(self, files):
        # Only what differs is written, with a new time: a folder kept from an earlier run then
        # rebuilds what changed, a file a mutant left behind included.
        for path in files:
            target = os.path.join(self.src, path)
            with open(os.path.join(ROOT, path), "rb") as source:
                content = source.read()
            if os.path.exists(target):
                with open(target, "rb") as kept:
                    if kept.read() == content:
                        continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as copy:
                copy.write(content)
            shutil.copymode(os.path.join(ROOT, path), target)
        # The mutated files are rebuilt once whatever their times say: a mutant's object may be
        # newer than the restored source.
        for name in COMPONENTS:
            os.utime(os.path.join(self.src, "seatbelt", name))
        subprocess.run(["cmake", "-S", self.src, "-B", self.build, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DVC_WARNINGS_AS_ERRORS=OFF",
                        "-DVC_BUILD_BENCHMARKS=OFF"],
                       stdout=subprocess.DEVNULL, check=True)
        if not self.compile():
            raise RuntimeError(f"the unchanged sources do not build in {self.build}")
        if not self.run_suite():
            raise RuntimeError(f"the {self.suite} suite fails on the unchanged components")

    def targets(self):
        targets = []
        if self.suite in ("requirements", "all"):
            targets.append("seatbelt_test")
        if self.suite in ("unit", "all"):
            targets.append("seatbelt/all")
        return targets

    def compile(self):
        built = subprocess.run(["ninja", "-C", self.build, "-j1"] + self.targets(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return built.returncode == 0

    def run_suite(self, suite=None):
        suite = suite or self.suite
        if suite == "all":
            return self.run_suite("requirements") and self.run_suite("unit")
        if suite == "requirements":
            command = [os.path.join(self.build, "bin", "seatbelt_test"), "--jobs", "1",
                       "--timeout", "60", "--output-dir", os.path.join(self.build, "campaign"),
                       os.path.join(self.src, "requirements", "scenarios")]
        else:
            command = ["ctest", "--test-dir", os.path.join(self.build, "seatbelt"),
                       "--timeout", "60", "--stop-on-failure"]
        ran = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return ran.returncode == 0

    def judge(self, mutant):
        path = os.path.join(self.src, mutant.path)
        with open(path, encoding="utf-8") as source:
            original = source.read()
        lines = original.split("\n")
        assert lines[mutant.line - 1] == mutant.before, mutant.ident
        lines[mutant.line - 1] = mutant.after
        try:
            with open(path, "w", encoding="utf-8") as source:
                source.write("\n".join(lines))
            if not self.compile():
                return "not compiled"
            return "survived" if self.run_suite() else "killed"
        finally:
            with open(path, "w", encoding="utf-8") as source:
                source.write(original)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("--suite", choices=("requirements", "unit", "all"), default="requirements")
    parser.add_argument("--list", action="store_true", help="list the mutants and exit")
    parser.add_argument("--only", default="", help="comma-separated mutant IDs")
    parser.add_argument("--jobs", type=int, default=2, help="mutants at a time (default 2)")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutation"))
    parser.add_argument("--no-gate", action="store_true",
                        help="report only: survivors do not fail the run")
    args = parser.parse_args(argv)

    mutants = all_mutants()
    if args.only:
        wanted = set(args.only.split(","))
        unknown = wanted - {m.ident for m in mutants}
        if unknown:
            print(f"mutation: unknown mutant IDs: {', '.join(sorted(unknown))}", file=sys.stderr)
            return 2
        mutants = [m for m in mutants if m.ident in wanted]
    if args.list:
        for mutant in mutants:
            print(f"{mutant.ident}\t{mutant.after.strip()}")
        print(f"{len(mutants)} mutants")
        return 0

    started = time.monotonic()
    suites = ["requirements", "unit"] if args.suite == "all" else [args.suite]
    files = source_files()
    jobs = max(1, args.jobs)
    workers = [Worker(args.work, number, args.suite) for number in range(1, jobs + 1)]
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        list(pool.map(lambda worker: worker.prepare(files), workers))
    print(f"mutation: {len(mutants)} mutants of {', '.join(COMPONENTS)}; "
          f"suite {args.suite}; {jobs} at a time", flush=True)

    records = recorded_survivors()
    equivalent = {ident for ident, kind in records.items() if kind == "equivalent"}
    status = 0
    if not args.no_gate:
        unkinded = sorted(ident for ident, kind in records.items() if kind is None)
        if unkinded:
            print(f"records in {EQUIVALENT} without a kind ({' or '.join(KINDS)}): "
                  f"{', '.join(unkinded)}", file=sys.stderr)
            status = 1
    survivors_of = {}
    for suite in suites:
        print(f"suite {suite}:", flush=True)
        for worker in workers:
            worker.suite = suite
        free = list(workers)
        verdicts = {}
        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            pending = {}
            queue = list(mutants)
            while queue or pending:
                while queue and free:
                    worker = free.pop()
                    mutant = queue.pop(0)
                    pending[pool.submit(worker.judge, mutant)] = (mutant, worker)
                done, _ = concurrent.futures.wait(pending, return_when="FIRST_COMPLETED")
                for future in done:
                    mutant, worker = pending.pop(future)
                    free.append(worker)
                    verdicts[mutant.ident] = future.result()
        counts = {"killed": 0, "survived": 0, "not compiled": 0}
        recorded = 0
        for mutant in mutants:
            verdict = verdicts[mutant.ident]
            counts[verdict] += 1
            shown = verdict
            if verdict == "survived" and mutant.ident in equivalent:
                recorded += 1
                shown = "survived (recorded equivalent)"
            elif verdict == "survived" and records.get(mutant.ident) == "beyond the host":
                shown = "survived (recorded beyond the host)"
            print(f"{mutant.ident}: {shown}")
        survivors = {m.ident for m in mutants if verdicts[m.ident] == "survived"}
        survivors_of[suite] = survivors
        print(f"mutants: {counts['killed']} killed, {counts['survived']} survived, "
              f"{counts['not compiled']} not compiled, {recorded} recorded equivalent "
              f"of {len(mutants)}")
        # The requirement suite is judged on what the host lets it reach; the unit suite on
        # every mutant that is not equivalent.
        beyond = 0
        if suite == "requirements":
            beyond = sum(1 for m in mutants if verdicts[m.ident] == "survived" and
                         records.get(m.ident) == "beyond the host")
        judged = len(mutants) - counts["not compiled"] - recorded - beyond
        score = 100.0 * counts["killed"] / judged if judged else 100.0
        reach = " and recorded beyond the host" if suite == "requirements" else ""
        print(f"score: {counts['killed']} killed of {judged} (the mutants less those not "
              f"compiled, recorded equivalent{reach}): {score:.1f} %", flush=True)
        if suite != "requirements" or args.no_gate:
            continue
        unrecorded = sorted(survivors - set(records))
        if unrecorded:
            print(f"survivors without a record in {EQUIVALENT}: {', '.join(unrecorded)}",
                  file=sys.stderr)
            status = 1
        stale = sorted(set(records) - survivors) if not args.only else []
        if stale:
            print(f"records in {EQUIVALENT} that cover no survivor: {', '.join(stale)}",
                  file=sys.stderr)
            status = 1
    if "unit" in survivors_of and "requirements" in survivors_of and not args.no_gate:
        beyond = {ident for ident, kind in records.items() if kind == "beyond the host"}
        unkilled = sorted(beyond & survivors_of["requirements"] & survivors_of["unit"])
        if unkilled:
            print(f"recorded beyond the host, yet the unit suite lets them live too: "
                  f"{', '.join(unkilled)}", file=sys.stderr)
            status = 1
    print(f"mutation: {time.monotonic() - started:.0f} s")
    return status


if __name__ == "__main__":
    sys.exit(main())
