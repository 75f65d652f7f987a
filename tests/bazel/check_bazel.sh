#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the programs of examples/bazel under a real Bazel (Debian's
# bazel-bootstrap, offline with the stand-in rule repositories) against an
# installed zktest, and checks what Bazel recorded in bazel-testlogs:
#  - shard_count = 3: each of the eleven cases runs in exactly one shard, the
#    two failing ones fail their shards;
#  - --test_filter: only the selected cases run, and pass;
#  - exit(0) inside a case fails the test, naming the case;
#  - report and status file are kept among the undeclared outputs.
# Usage: check_bazel.sh <install prefix> <stand-ins folder> <scratch folder>
set -euo pipefail
workspace=$(cd "$(dirname "$0")/../../examples/bazel" && pwd)
prefix=$1 offline=$2 scratch=$3
[[ -d $offline/rules_cc_stub ]] || { echo "check_bazel: no stand-ins in $offline" >&2; exit 1; }
rm -rf "$scratch"
mkdir -p "$scratch/ws/zktest/lib" "$scratch/root"
ws=$scratch/ws
cp "$workspace"/BUILD "$workspace"/*.cpp "$ws/"
# The platforms repository ships with the Debian package; where depends on its
# version.
platforms=/usr/share/bazel/platforms
[[ -f $platforms/WORKSPACE ]] || platforms=/usr/share/bazel/tools/platforms
cp -r "$prefix/include" "$ws/zktest/"
cp -L "$prefix"/lib*/libzktest.so.0 "$ws/zktest/lib/"
cat >"$ws/WORKSPACE" <<END
workspace(name = "zktest_bazel")
local_repository(name = "rules_cc", path = "$offline/rules_cc_stub")
local_repository(name = "rules_java", path = "$offline/rules_java_stub")
local_repository(name = "remote_coverage_tools", path = "$offline/coverage_stub")
local_repository(name = "platforms", path = "$platforms")
END
cat >"$ws/.bazelrc" <<'END'
startup --host_jvm_args=-Xmx1g
build --jobs=2 --local_cpu_resources=2
build --cxxopt=-std=c++17
build --nosandbox_debug
test --test_output=errors
END
cd "$ws"
bazel_() { bazel --output_user_root="$scratch/root" "$@"; }
trap 'bazel_ shutdown >/dev/null 2>&1 || true' EXIT

# Bazel's own log is shown whatever the outcome.
fail() { cat "$scratch"/*.log; echo "check_bazel: $*" >&2; exit 1; }
# The test cases of every test.xml under a test's logs, one "name failed?" a line.
cases_of() {
    find -L bazel-testlogs/"$1" -name test.xml -print0 | sort -z | xargs -0 cat |
        tr '\n' ' ' | grep -o '<testcase [^>]*>\( *<failure\)\?' |
        sed -E 's/.* name="([^"]*)"[^>]*>( *<failure)?$/\1\2/; s/ *<failure$/ FAILED/' | sort
    true
}

status=0
bazel_ test //:sharded //:exits >"$scratch/first.log" 2>&1 || status=$?
[[ $status != 0 ]] || fail "a run with failing cases passed"
grep -Eq '//:sharded +FAILED in 2 out of 3' "$scratch/first.log" || fail "not 2 shards failed"
grep -Eq '//:exits +FAILED' "$scratch/first.log" || fail "//:exits did not fail"
ran=$(cases_of sharded)
[[ $(grep -c . <<<"$ran") == 11 ]] || fail "the shards ran $(grep -c . <<<"$ran") case runs, not 11"
[[ $(sort -u <<<"$ran" | grep -c .) == 11 ]] || fail "a case ran in two shards"
[[ $(grep -c FAILED <<<"$ran") == 2 ]] || fail "not exactly the two failing cases failed"
grep -q 'the process ended during case "leaves", before the summary' bazel-testlogs/exits/test.log ||
    fail "the exits log does not name the case"
# Report and status file are among the outputs Bazel keeps.
for file in sharded.out sharded.sta; do
    grep -aq "$file" bazel-testlogs/sharded/shard_1_of_3/test.outputs/outputs.zip ||
        fail "$file is not among the kept outputs"
done

status=0
bazel_ test //:sharded --test_filter='passes*' >"$scratch/filter.log" 2>&1 || status=$?
[[ $status == 0 ]] || fail "the filtered run failed"
ran=$(cases_of sharded)
echo "$ran"
[[ $(grep -c . <<<"$ran") == 9 ]] || fail "the filter ran $(grep -c . <<<"$ran") cases, not 9"
echo "check_bazel: shards 11 cases once each (2 failed), filter 9 cases, exit(0) fails"
