"""Tests of footprint.py on hand-written compiler and readelf output."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import footprint  # noqa: E402


def ci_text(nodes, edges):
    """A call graph in the compiler's format. nodes: (title, location, bytes or None for a
    declaration only, kind); edges: (caller, callee)."""
    lines = ['graph: { title: "unit"']
    for title, location, frame, kind in nodes:
        if frame is None:
            lines.append(f'node: {{ title: "{title}" label: "{title}\\n{location}" shape : ellipse }}')
        else:
            lines.append(
                f'node: {{ title: "{title}" label: "{title}\\n{location}\\n{frame} bytes ({kind})" }}'
            )
    for caller, callee in edges:
        lines.append(f'edge: {{ sourcename: "{caller}" targetname: "{callee}" label: "x.c:1:1" }}')
    lines.append("}")
    return "\n".join(lines)


def unit(path, nodes, edges, su=""):
    return footprint.parse_ci(path, ci_text(nodes, edges), footprint.parse_su(su))


class StackRecords(unittest.TestCase):
    def test_su_lines_keyed_by_location_even_with_colons_in_cpp_names(self):
        frames = footprint.parse_su(
            "/src/a.cpp:12:6:void ns::Run(const Cal&)\t24\tstatic\n"
            "/src/a.cpp:30:13:void Grow(int)\t16\tdynamic\n"
            "/src/a.cpp:40:13:void Fixed()\t32\tdynamic,bounded\n"
            "garbage line\n"
        )
        self.assertEqual(
            frames,
            {
                "/src/a.cpp:12:6": (24, True),
                "/src/a.cpp:30:13": (16, False),
                "/src/a.cpp:40:13": (32, True),
            },
        )

    def test_su_record_overrides_frame_in_graph_and_declarations_are_not_definitions(self):
        u = unit(
            "a.ci",
            [("Run", "/src/a.c:3:6", 8, "static"), ("printf", "/inc/stdio.h:1:1", None, "")],
            [("Run", "printf"), ("Run", "printf")],
            su="/src/a.c:3:6:Run\t40\tdynamic\n",
        )
        self.assertEqual(list(u.functions), ["Run"])
        self.assertEqual(u.functions["Run"].frame, 40)
        self.assertFalse(u.functions["Run"].bounded)
        self.assertEqual(u.calls, {"Run": ["printf"]})  # repeated calls counted once


class WorstCaseStack(unittest.TestCase):
    def test_deepest_branch_across_units_plus_own_frame(self):
        component = unit(
            "comp.ci",
            [
                ("Comp_10ms", "c.c:1:1", 16, "static"),
                ("Helper", "c.c:9:1", 8, "static"),
                ("Rte_Write", "rte.h:1:1", None, ""),
            ],
            [("Comp_10ms", "Helper"), ("Comp_10ms", "Rte_Write")],
        )
        rte = unit(
            "rte.ci",
            [("Rte_Write", "rte.c:1:1", 40, "static"), ("Log", "rte.c:5:1", 8, "static")],
            [("Rte_Write", "Log")],
        )
        graph = footprint.CallGraph([component, rte])
        result = graph.worst_case(component, "Comp_10ms")
        # 16 (Comp_10ms) + 40 (Rte_Write) + 8 (Log) beats 16 + 8 (Helper).
        self.assertEqual(result.bytes, 64)
        self.assertTrue(result.bounded)
        self.assertFalse(result.recursive)
        self.assertEqual(result.outside, frozenset())

    def test_unmeasured_callees_and_indirect_calls_are_named(self):
        u = unit(
            "a.ci",
            [
                ("Report", "a.c:1:1", 24, "static"),
                ("printf", "stdio.h:1:1", None, ""),
                ("__indirect_call", "", None, ""),
            ],
            [("Report", "printf"), ("Report", "__indirect_call")],
        )
        result = footprint.CallGraph([u]).worst_case(u, "Report")
        self.assertEqual(result.bytes, 24)
        self.assertEqual(result.outside, frozenset({"printf", "indirect calls"}))

    def test_recursion_and_unbounded_frames_are_flagged(self):
        u = unit(
            "a.ci",
            [("A", "a.c:1:1", 8, "static"), ("B", "a.c:2:1", 16, "dynamic")],
            [("A", "B"), ("B", "A")],
        )
        result = footprint.CallGraph([u]).worst_case(u, "A")
        self.assertTrue(result.recursive)
        self.assertFalse(result.bounded)
        self.assertEqual(result.bytes, 24)

    def test_same_name_resolves_to_own_unit_then_to_preferred_units(self):
        first = unit(
            "one.ci",
            [("Entry", "one.c:1:1", 8, "static"), ("Step", "one.c:2:1", 100, "static")],
            [("Entry", "Step"), ("Entry", "main")],
        )
        second = unit("two.ci", [("Step", "two.c:1:1", 4, "static")], [])
        main_a = unit("a.ci", [("main", "a.c:1:1", 200, "static")], [])
        main_b = unit("b.ci", [("main", "b.c:1:1", 32, "static")], [])
        graph = footprint.CallGraph([first, second, main_a, main_b])
        # A static Step in another unit does not shadow the caller's own.
        self.assertEqual(graph.worst_case(second, "Step").bytes, 4)
        # Two different mains: only the program's own one counts, and without a preference
        # the call cannot be followed rather than guessed.
        self.assertEqual(graph.worst_case(first, "Entry", {"b.ci"}).bytes, 8 + 100)
        self.assertEqual(graph.worst_case(first, "Entry", {"a.ci"}).bytes, 8 + 200)
        self.assertIn("main", graph.worst_case(first, "Entry").outside)

    def test_same_source_compiled_twice_is_one_definition(self):
        caller = unit("c.ci", [("Run", "c.c:1:1", 8, "static")], [("Run", "Check")])
        copy_one = unit("t1/check.ci", [("Check", "check.c:5:1", 16, "static")], [])
        copy_two = unit("t2/check.ci", [("Check", "check.c:5:1", 16, "static")], [])
        result = footprint.CallGraph([caller, copy_one, copy_two]).worst_case(caller, "Run")
        self.assertEqual((result.bytes, result.outside), (24, frozenset()))


READELF_SECTIONS = """\
Section Headers:
  [Nr] Name              Type            Addr     Off    Size   ES Flg Lk Inf Al
  [ 0]                   NULL            00000000 000000 000000 00      0   0  0
  [ 1] .text             PROGBITS        00000000 000034 000000 00  AX  0   0  2
  [ 4] .text.Comp_10ms   PROGBITS        00000000 000034 0000a8 00  AX  0   0  4
  [ 5] .rel.text.Comp_10ms REL           00000000 0004d0 000058 08   I 16   6  4
  [ 6] .rodata.str1.4    PROGBITS        00000000 0000e8 000043 01 AMS  0   0  4
  [ 7] .bss.timer        NOBITS          00000000 0000e8 000004 00  WA  0   0  4
  [ 8] .data.raw         PROGBITS        00000000 0000e8 000003 00  WA  0   0  1
  [ 9] .init_array       INIT_ARRAY      00000000 0000ec 000004 04  WA  0   0  4
  [10] .ARM.exidx.text.f ARM_EXIDX       00000000 0000f0 000008 00  AL  4   0  4
  [11] .comment          PROGBITS        00000000 0000ec 000027 01  MS  0   0  1
  [12] .ARM.attributes   ARM_ATTRIBUTES  00000000 000113 000034 00      0   0  1
"""

READELF_SYMBOLS = """\
Symbol table '.symtab' contains 6 entries:
   Num:    Value  Size Type    Bind   Vis      Ndx Name
     3: 00000001    12 FUNC    LOCAL  DEFAULT    4 Helper
     4: 00000001   168 FUNC    GLOBAL DEFAULT    4 Comp_10ms
     5: 00000000     0 NOTYPE  GLOBAL DEFAULT  UND Rte_Write
     6: 00000000     0 FUNC    GLOBAL DEFAULT  UND NvM_GetCal
     7: 00000004     4 OBJECT  GLOBAL DEFAULT    7 g_time_ms
"""


class Sections(unittest.TestCase):
    def test_sizes_per_column_skip_relocations_comments_and_attributes(self):
        self.assertEqual(
            footprint.section_sizes(READELF_SECTIONS),
            # init_array and exidx are constant tables in flash, not RAM.
            {"text": 0xA8, "rodata": 0x43 + 4 + 8, "data": 3, "bss": 4},
        )

    def test_public_functions_are_defined_global_functions_only(self):
        self.assertEqual(footprint.public_functions(READELF_SYMBOLS), ["Comp_10ms"])


class Budget(unittest.TestCase):
    def test_parse_ignores_comments_and_rejects_short_lines(self):
        budget = footprint.parse_budget("# name text rodata data bss stack\nmod 1 2 3 4 5  # why\n")
        self.assertEqual(budget, {"mod": {"text": 1, "rodata": 2, "data": 3, "bss": 4, "stack": 5}})
        with self.assertRaises(ValueError):
            footprint.parse_budget("mod 1 2 3 4\n")
        with self.assertRaises(ValueError):
            footprint.parse_budget("mod 1 2 3 4 five\n")

    def test_only_columns_above_their_ceiling_fail_and_equal_is_within(self):
        ceilings = {"text": 100, "rodata": 10, "data": 4, "bss": 8, "stack": 32}
        measured = {"text": 100, "rodata": 11, "data": 0, "bss": 8, "stack": 33}
        self.assertEqual(
            footprint.over_budget("mod", measured, ceilings),
            [
                "mod: rodata 11 bytes exceeds the budget of 10",
                "mod: stack 33 bytes exceeds the budget of 32",
            ],
        )

    def test_suggested_ceiling_leaves_a_little_room(self):
        self.assertEqual(footprint.suggest_ceiling(0), 8)
        self.assertEqual(footprint.suggest_ceiling(180), 200)  # 10 %, to a multiple of 8
        self.assertEqual(footprint.suggest_ceiling(84005), 92408)


class MissingModule(unittest.TestCase):
    def test_budgeted_module_without_objects_fails_the_check(self):
        import tempfile

        with tempfile.TemporaryDirectory() as build_dir:
            budget = os.path.join(build_dir, "budget.txt")
            with open(budget, "w", encoding="utf-8") as f:
                f.write("absent_module 1 1 1 1 1\n")
            with open(os.devnull, "w", encoding="utf-8") as quiet:
                stdout, stderr = sys.stdout, sys.stderr
                sys.stdout = sys.stderr = quiet
                try:
                    status = footprint.main(["--build-dir", build_dir, "--budget", budget])
                finally:
                    sys.stdout, sys.stderr = stdout, stderr
        self.assertEqual(status, 1)


# A linked program as readelf -s and objdump -d --no-show-raw-insn print it. Reset_Handler calls
# main; main calls printf, tail-calls Helper and calls through a pointer; the pointer's target
# (Callback, its address in main's literal pool) prints too. Unused is never reached.
IMAGE_SYMBOLS = """
    10: 00000101    16 FUNC    GLOBAL DEFAULT    2 Reset_Handler
    11: 00000111    48 FUNC    GLOBAL DEFAULT    2 main
    12: 00000141    16 FUNC    GLOBAL DEFAULT    2 printf
    13: 00000151    16 FUNC    LOCAL  DEFAULT    2 Callback
    14: 00000161     8 FUNC    LOCAL  DEFAULT    2 Helper
    15: 00000171     8 FUNC    GLOBAL DEFAULT    2 Unused
    16: 00000000     0 FUNC    GLOBAL DEFAULT  UND abort
"""
IMAGE_CODE = """
00000100 <Reset_Handler>:
     100:\tpush\t{r4, lr}
     102:\tbl\t110 <main>
     106:\tpop\t{r4, pc}

00000110 <main>:
     110:\tstmdb\tsp!, {r4, r5, r6, r7, r8, lr}
     114:\tsub\tsp, #16
     116:\tvpush\t{d8-d9}
     11a:\tbl\t140 <printf>
     11e:\tldr\tr3, [pc, #12]\t@ (12c <main+0x1c>)
     120:\tblx\tr3
     122:\tbeq.n\t118 <main+0x8>
     124:\tldmia.w\tsp!, {r4, r5, r6, r7, r8, lr}
     128:\tb.w\t160 <Helper>
     12c:\t.word\t0x00000151

00000140 <printf>:
     140:\tpush\t{r3, lr}
     142:\tsub.w\tsp, sp, #100\t@ 0x64
     146:\tbx\tlr

00000150 <Callback>:
     150:\tpush\t{r4, r5, r6, lr}
     152:\tbl\t140 <printf>
     156:\tpop\t{r4, r5, r6, pc}

00000160 <Helper>:
     160:\tstr.w\tlr, [sp, #-4]!
     164:\tldr.w\tpc, [sp], #4

00000170 <Unused>:
     170:\tsub.w\tsp, sp, #4000
     174:\tbx\tlr
"""


def program_image(code=IMAGE_CODE, symbols=IMAGE_SYMBOLS, words=()):
    return footprint.ProgramImage(symbols, code, words)


class ProgramStack(unittest.TestCase):
    def test_frames_calls_tail_calls_and_calls_through_pointers(self):
        image = program_image()
        frames = {f.name: f.frame for f in image.functions.values()}
        # 6 registers, 16 bytes, 2 doubles; 2 registers and 100 bytes; one pre-decrement store.
        self.assertEqual(frames["main"], 24 + 16 + 16)
        self.assertEqual(frames["printf"], 108)
        self.assertEqual(frames["Helper"], 4)
        result = image.worst_case("Reset_Handler")
        # Reset_Handler 8 + main 56 + the pointer call's deepest target, Callback 16 + printf 108.
        self.assertEqual(result.bytes, 8 + 56 + 16 + 108)
        self.assertTrue(result.bounded)
        self.assertFalse(result.recursive)
        self.assertIsNone(image.worst_case("NoSuchFunction"))

    def test_pointer_targets_come_from_data_words_and_need_the_thumb_bit(self):
        # Without the pool entry, and with the vector-table-like even address, no target is known.
        code = IMAGE_CODE.replace(".word\t0x00000151", ".word\t0x00000150")
        self.assertEqual(program_image(code).worst_case("Reset_Handler").bytes, 8 + 56 + 108)
        image = program_image(code, words=[0x171])  # a virtual table holding Unused
        self.assertEqual(image.worst_case("Reset_Handler").bytes, 8 + 56 + 4000)

    def test_cycles_through_pointers_are_charged_once_and_direct_recursion_is_flagged(self):
        # printf calls through a pointer that may reach Callback, which calls printf: no run
        # does, but the bound charges both frames once rather than looping or flagging it.
        code = IMAGE_CODE.replace("     146:\tbx\tlr", "     146:\tblx\tr2")
        result = program_image(code).worst_case("Reset_Handler")
        self.assertEqual(result.bytes, 8 + 56 + 108 + 16)
        self.assertFalse(result.recursive)

        recursive = IMAGE_CODE.replace("     164:\tldr.w\tpc, [sp], #4", "     164:\tb.n\t128 <main+0x18>")
        self.assertTrue(program_image(recursive).worst_case("Reset_Handler").recursive)
        # The C library's own guarded cycle is known not to recurse.
        known = recursive.replace("<main>", "<__sinit>").replace("<Helper>", "<__sfp>")
        symbols = IMAGE_SYMBOLS.replace(" main", " __sinit").replace("Helper", "__sfp")
        self.assertFalse(program_image(known, symbols).worst_case("Reset_Handler").recursive)

    def test_stack_pointer_lowered_by_a_register_is_unbounded(self):
        code = IMAGE_CODE.replace("sub.w\tsp, sp, #100\t@ 0x64", "sub.w\tsp, sp, r3")
        self.assertFalse(program_image(code).worst_case("Reset_Handler").bounded)


class MeasuredStack(unittest.TestCase):
    def test_measurement_within_the_worst_case_and_three_quarters_of_the_stack(self):
        self.assertEqual(footprint.parse_measured("# program used size\np.elf 700 8192\n"),
                         {"p.elf": (700, 8192)})
        with self.assertRaises(ValueError):
            footprint.parse_measured("p.elf 700\n")
        self.assertEqual(footprint.measured_stack_failures("p.elf", 700, 8192, 700), [])
        above_estimate = footprint.measured_stack_failures("p.elf", 701, 8192, 700)
        self.assertEqual(len(above_estimate), 1)
        self.assertIn("exceed the worst case of 700", above_estimate[0])
        too_deep = footprint.measured_stack_failures("p.elf", 6145, 8192, 7000)
        self.assertEqual(len(too_deep), 1)
        self.assertIn("more than 75% of its 8192 bytes", too_deep[0])
        self.assertEqual(footprint.measured_stack_failures("p.elf", 6144, 8192, 7000), [])


class NestedBuild(unittest.TestCase):
    def test_a_build_nested_in_the_build_folder_is_not_searched(self):
        import tempfile

        with tempfile.TemporaryDirectory() as build_dir:
            own = os.path.join(build_dir, "seatbelt", "CMakeFiles", "rte_services.dir")
            nested = os.path.join(build_dir, "host-tools", "rte", "CMakeFiles", "rte_services.dir")
            os.makedirs(own)
            os.makedirs(nested)
            with open(os.path.join(build_dir, "host-tools", "CMakeCache.txt"), "w",
                      encoding="utf-8"):
                pass
            self.assertEqual(footprint.Build(build_dir, "").target_dirs, {"rte_services": own})


if __name__ == "__main__":
    unittest.main()
