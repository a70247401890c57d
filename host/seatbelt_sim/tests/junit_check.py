#!/usr/bin/env python3
"""Reads seatbelt_sim's JUnit reports with junitparser, as CI servers read them: a scenario with
failing expectations, and one without any expectation.

    junit_check.py SEATBELT_SIM VERDICTS_SCENARIO
"""

import os
import subprocess
import sys
import tempfile

from junitparser import Error, Failure, JUnitXml


def report(program, scenario, folder):
    path = os.path.join(folder, "report.xml")
    subprocess.run([program, "--junit", path, scenario], stdout=subprocess.DEVNULL, check=False)
    return JUnitXml.fromfile(path)


def main(program, verdicts):
    with tempfile.TemporaryDirectory() as folder:
        xml = report(program, verdicts, folder)
        suites = list(xml)
        assert len(suites) == 1, suites
        suite = suites[0]
        assert suite.name == verdicts, suite.name
        assert (suite.tests, suite.failures, suite.errors) == (17, 7, 0), suite
        cases = list(suite)
        name = os.path.basename(verdicts)
        assert cases[0].name == f"VER-AT {verdicts}:13", cases[0].name
        assert cases[0].is_passed
        failed = [case for case in cases if not case.is_passed]
        assert len(failed) == 7
        first = failed[0].result[0]
        assert isinstance(first, Failure), first
        assert first.message == (f"{verdicts}:15: expect latch_filtered == unlatched at 1090 as "
                                 "VER-AT: latch_filtered was 1 (latched) at 1090 ms"), first.message
        assert name in failed[0].name

        plain = os.path.join(folder, "plain & <odd>.txt")
        with open(plain, "w", encoding="utf-8") as out:
            out.write("0 speed 30\nend 100\n")
        xml = report(program, plain, folder)
        suite = list(xml)[0]
        assert suite.name == plain, suite.name
        assert [case.name for case in suite] == ["run"]
        assert suite.tests == 1 and suite.failures == 0
        assert not any(isinstance(r, (Failure, Error)) for case in suite for r in case.result)
    print("junitparser read both reports")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
