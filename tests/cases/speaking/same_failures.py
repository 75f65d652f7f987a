#!/usr/bin/env python3
"""Runs one suite built against its own framework and against zktest, and
fails unless both fail the same checks: the same source lines, as often, and
the same exit verdict. Usage:
    same_failures.py FRAMEWORK_PROGRAM ZKTEST_PROGRAM [FRAMEWORK_ARGS...]
Each program's failure lines are read from its output in the compiler's form,
"file:line: failed|failure|error" (in any case); the framework's arguments pick the
console that prints one such line per failed check (Catch2's -r compact)."""
import collections
import re
import subprocess
import sys
import tempfile

FAILURE = re.compile(r"^(?:.*[/\\])?([^/\\:]+):(\d+): (?:FATAL )?(?:failed|failure|error)\b", re.M | re.I)


def failures(command, cwd):
    run = subprocess.run(command, capture_output=True, text=True, cwd=cwd)
    # doctest tells an exception out of a subcase twice, first as a line that
    # says the real one follows.
    output = "\n".join(line for line in (run.stdout + run.stderr).splitlines()
                       if "will translate later" not in line)
    lines = FAILURE.findall(output)
    return run.returncode != 0, collections.Counter(lines), run.stdout + run.stderr


def main():
    framework, zktest, framework_args = sys.argv[1], sys.argv[2], sys.argv[3:]
    # The runs' reports go to a folder of their own, gone afterwards.
    with tempfile.TemporaryDirectory() as work:
        theirs = failures([framework] + framework_args, work)
        ours = failures([zktest], work)
    if theirs[:2] == ours[:2] and theirs[1]:
        print(f"both fail {sum(ours[1].values())} checks at the same lines")
        return 0
    print("framework: failed=%s %s\n%s" % (theirs[0], sorted(theirs[1].items()), theirs[2]))
    print("zktest:    failed=%s %s\n%s" % (ours[0], sorted(ours[1].items()), ours[2]))
    return 1


sys.exit(main())
