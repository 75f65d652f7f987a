#!/usr/bin/env python3
"""Meson's protocol: 'gtest' over a suite built against GoogleTest and against
zktest's GoogleTest-speaking header: Meson passes --gtest_output=xml:FILE and
reads each test's verdict from that file; both programs must give every
test the same verdict, suite by suite. GoogleTest lists a DISABLED_ test
with no verdict element (a pass to Meson) where zktest says skipped, so those
are left out. Usage: meson_gtest.py GTEST_PROGRAM ZKTEST_PROGRAM"""
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def verdicts(root, test):
    found = {}
    for suite in root.iter("testsuite"):
        if not suite.get("name", "").startswith("gtest.%s." % test):
            continue
        for case in suite.iter("testcase"):
            if case.get("name", "").startswith("DISABLED_"):
                continue
            verdict = ("fail" if case.find("failure") is not None or case.find("error") is not None
                       else "skip" if case.find("skipped") is not None else "pass")
            found[(suite.get("name").split(".", 2)[2], case.get("name"))] = verdict
    return found


def main():
    with tempfile.TemporaryDirectory() as work:
        with open(work + "/meson.build", "w") as build:
            build.write("project('gtest')\n")
            for name, program in (("itself", sys.argv[1]), ("zktest", sys.argv[2])):
                build.write("test('%s', find_program('%s'), protocol: 'gtest')\n" % (name, program))
        subprocess.run(["meson", "setup", "build"], cwd=work, capture_output=True, check=True)
        subprocess.run(["meson", "test", "-C", "build"], cwd=work, capture_output=True)
        root = ET.parse(work + "/build/meson-logs/testlog.junit.xml").getroot()
    theirs, ours = verdicts(root, "itself"), verdicts(root, "zktest")
    if theirs and theirs == ours:
        print("Meson reads the same %d verdicts from both" % len(ours))
        return 0
    print("GoogleTest:", sorted(theirs.items()), "\nzktest:    ", sorted(ours.items()))
    return 1


sys.exit(main())
