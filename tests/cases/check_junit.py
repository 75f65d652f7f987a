#!/usr/bin/env python3
# The JUnit files as CI servers read them, for junit_cases.
#
#   check_junit.py WORKDIR ZKREPORT [LAUNCHER...] PROGRAM
#
# Runs PROGRAM with --junit, checks the file against the rules of the xunit
# plugin's junit-10 schema and reads it with junitparser, whose verdicts must
# be the cases' own; then a run without the endings a report cannot tell (a
# fatal check, a skip, a hidden case) must give zkreport --junit, from its
# report, the runner's text, times, timestamps and host names aside.
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

try:
    from junitparser import JUnitXml
except ImportError:
    # A fresh machine may lack it; the test is skipped there, and CI installs it.
    print("junitparser is not installed: skipped")
    sys.exit(77)

# The schema's elements: required attributes, the others allowed, children.
RESULT, TEXT = (set(), {"type", "message"}, set()), (set(), set(), set())
RULES = {
    "testsuites": (set(), {"name", "time", "tests", "failures", "errors"}, {"testsuite"}),
    "testsuite": ({"name", "tests", "failures", "errors"},
                  {"group", "time", "skipped", "timestamp", "hostname", "id", "package", "file", "log", "url"},
                  {"testsuite", "properties", "testcase", "system-out", "system-err"}),
    "testcase": ({"name"}, {"time", "classname", "group"},
                 {"skipped", "error", "failure", "rerunFailure", "rerunError", "flakyFailure", "flakyError",
                  "system-out", "system-err"}),
    "failure": RESULT, "error": RESULT, "skipped": RESULT, "system-out": TEXT, "system-err": TEXT,
}
SUREFIRE_TIME = re.compile(r"(([0-9]{0,3},)*[0-9]{3}|[0-9]{0,3})*(\.[0-9]*)?")
DATE_TIME = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")
VOLATILE = re.compile(r'(time|timestamp|hostname)="[^"]*"')


def check_schema(path):
    root = ET.parse(path).getroot()
    totals = {}
    for element in [root] + list(root.iter()):
        required, optional, children = RULES.get(element.tag, ({"(none)"}, set(), set()))
        attributes = set(element.attrib)
        time = element.get("time", "") if element.tag in ("testsuites", "testsuite") else ""
        stamp = element.get("timestamp", "") if element.tag == "testsuite" else "2000-01-01T00:00:00"
        if (element is root and root.tag != "testsuites") or not required <= attributes <= required | optional or \
                any(child.tag not in children for child in element) or not SUREFIRE_TIME.fullmatch(time) or \
                not DATE_TIME.fullmatch(stamp):
            sys.exit(f"{path}: <{element.tag} {element.attrib}> holds {[child.tag for child in element]}")
        cases = element.findall("testcase")
        for name, tag in (("tests", "testcase"), ("failures", "failure"), ("errors", "error"), ("skipped", "skipped")):
            count = sum(tag == "testcase" or c.find(tag) is not None for c in cases)
            totals[name] = totals.get(name, 0) + count
            if element.tag == "testsuite" and element.get(name) != str(count):
                sys.exit(f"{path}: suite {element.get('name')}: {name}={element.get(name)}, counted {count}")
    for name in ("tests", "failures", "errors"):
        if root.get(name) != str(totals[name]):
            sys.exit(f"{path}: <testsuites> {name}={root.get(name)}, counted {totals[name]}")


workdir, zkreport, program = sys.argv[1], sys.argv[2], sys.argv[3:]
shutil.rmtree(workdir, ignore_errors=True)
os.makedirs(workdir)
os.chdir(workdir)
for command in (program + ["--junit", "all.xml"],
                program + ["--junit", "runner.xml", "-O", "told.out", "passes,checks in a section,throws"],
                program[:-1] + [zkreport, "--junit", "zkreport.xml", "told.out"]):
    if subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode not in (0, 1):
        sys.exit(f"{command} did not end with a verdict")
for name in ("all.xml", "runner.xml", "zkreport.xml"):
    check_schema(name)
expected = {"passes": "pass", "requires": "failure:require", "checks in a section": "failure:check",
            "throws": "failure:exception", "skips": "skipped:None", "hidden": "skipped:None",
            "hidden at the end": "skipped:None", "starts empty": "pass"}
# Each case's results as junitparser reads them.
seen = {case.name: ",".join(f"{type(r).__name__.lower()}:{r.type}" for r in case.result) or "pass"
        for suite in JUnitXml.fromfile("all.xml") for case in suite}
if seen != expected:
    sys.exit(f"junitparser reads all.xml as {seen}")
runner, zkreport = (VOLATILE.sub(r'\1="*"', open(name, encoding="utf-8").read())
                    for name in ("runner.xml", "zkreport.xml"))
if runner != zkreport:
    sys.exit("zkreport.xml differs from runner.xml:\n" + zkreport)
