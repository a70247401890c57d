"""The JUnit report of seatbelt_test as CI servers read it, through junitparser.

    check_junit.py SEATBELT_TEST WORK_DIR

Runs a small campaign (a passing, a failing and a rejected scenario, with a requirements
catalogue) in WORK_DIR and checks that junitparser reads its report: one suite per scenario
and one for the requirements, with the counts of the report's closing line.
"""
import os
import shutil
import subprocess
import sys

from junitparser import Error, Failure, JUnitXml

program, work = os.path.abspath(sys.argv[1]), sys.argv[2]
shutil.rmtree(work, ignore_errors=True)
os.makedirs(os.path.join(work, "s"))
files = {
    "s/pass.txt": "0 ignition on\nend 500\nexpect ignition_state == on during 10..500 as R-1\n",
    "s/fail.txt": "end 500\nexpect warning_request == active at 200 as R-2\n"
                  "expect door_closed == closed always as R-1\n",
    "s/bad <&>.txt": "end 500\n100 door ajar\n",
    "req.md": "# Catalogue\n### R-1 Door & ignition\n### R-2 Warning\n### R-3 Uncovered\n",
}
for name, text in files.items():
    with open(os.path.join(work, name), "w", encoding="utf-8") as out:
        out.write(text)

run = subprocess.run([program, "--junit", "out.xml", "--requirements", "req.md", "s"],
                     cwd=work, capture_output=True, text=True, check=False)
assert run.returncode == 1, (run.returncode, run.stderr)
closing = run.stdout.splitlines()[-1]

report = JUnitXml.fromfile(os.path.join(work, "out.xml"))
suites = {suite.name: suite for suite in report}
assert sorted(suites) == ["requirements", "s/bad <&>.txt", "s/fail.txt", "s/pass.txt"], suites

passed = failed = 0
for suite in suites.values():
    for case in suite:
        if case.result:
            failed += 1
            assert all(isinstance(r, (Failure, Error)) and r.message for r in case.result), case
        else:
            passed += 1
assert closing == f"{passed} passed, {failed} failed", (closing, passed, failed)
assert (report.tests, report.failures, report.errors) == (passed + failed, failed, 0)

bad = list(suites["s/bad <&>.txt"])
assert bad[0].result[0].type == "scenario", bad[0].result[0].type
assert bad[0].result[0].message.startswith("bad scenario: s/bad <&>.txt:2: "), bad
requirements = {case.name: case for case in suites["requirements"]}
assert not requirements["R-1"].result
assert requirements["R-2"].result[0].message == "failed: s/fail.txt:2"
assert requirements["R-3"].result[0].message == "not covered: no expectation verifies it"
print("junitparser read", report.tests, "testcases:", closing)
