#!/usr/bin/env bash
# Checks the steps of the test run (tests/run-steps.sh) against a real
# ctest: every test that did not run reaches the SKIPPED list with its
# reason, whether GoogleTest skipped it, its exit status said so or it is
# disabled; a failure still fails; a quiet command is reported as running.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "run-steps-test: FAIL: $*" >&2; exit 1; }

# A project of shell tests; the skip rule is the one gtest_discover_tests
# gives every test.
mkdir "$tmp/p"
cat >"$tmp/p/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(steps NONE)
enable_testing()
add_test(NAME Suite.Passes COMMAND sh -c "echo '[       OK ] Suite.Passes'")
add_test(NAME Suite.GtestSkip COMMAND sh -c
  "printf 'x_test.cpp:81: Skipped\\n!!! SKIPPED: tmux is not installed\\n[  SKIPPED ] Suite.GtestSkip (0 ms)\\n'")
add_test(NAME Suite.SkipWithoutReason COMMAND sh -c
  "printf 'x_test.cpp:9: Skipped\\n[  SKIPPED ] Suite.SkipWithoutReason (0 ms)\\n'")
add_test(NAME Suite/Param.ExitStatus/0 COMMAND sh -c "exit 77")
add_test(NAME Suite.Disabled COMMAND true)
set_tests_properties(Suite.Passes Suite.GtestSkip Suite.SkipWithoutReason
  PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
set_tests_properties(Suite/Param.ExitStatus/0 PROPERTIES SKIP_RETURN_CODE 77)
set_tests_properties(Suite.Disabled PROPERTIES DISABLED ON)
add_test(NAME Suite.Fails COMMAND false)
set_tests_properties(Suite.Fails PROPERTIES LABELS failing)
CMAKE
cmake -S "$tmp/p" -B "$tmp/b" >"$tmp/cmake.log" 2>&1 || { cat "$tmp/cmake.log"; fail "cmake"; }

skipped=()
. "$src/tests/run-steps.sh"

run_ctest "Suite" "$tmp/b" -LE failing -j2 >"$tmp/out" || fail "a run with skips only failed: $(cat "$tmp/out")"
printf '%s\n' "${skipped[@]}" | sort >"$tmp/got"
sort >"$tmp/want" <<'WANT'
Suite: Suite.GtestSkip: tmux is not installed
Suite: Suite.SkipWithoutReason: skipped without a reason
Suite: Suite/Param.ExitStatus/0: Skipped
Suite: Suite.Disabled: Disabled
WANT
diff -u "$tmp/want" "$tmp/got" || fail "the skipped list differs"
grep -q 'Suite.Passes .*Passed' "$tmp/out" || fail "ctest's output is not passed on"

skipped=()
if run_ctest "Suite" "$tmp/b" -L failing >"$tmp/out"; then fail "a failing test passed"; fi
[ ${#skipped[@]} = 0 ] || fail "a failure listed as skipped: ${skipped[*]}"

status=0
PROGRESS_SECONDS=1 with_progress sh -c 'echo first; sleep 3; echo last; exit 3' >"$tmp/out" || status=$?
[ $status = 3 ] || fail "with_progress gave status $status, not the command's 3"
[ "$(head -1 "$tmp/out")" = first ] && [ "$(tail -1 "$tmp/out")" = last ] || fail "output: $(cat "$tmp/out")"
grep -q '^\.\.\. still running ([0-9]* s): sh -c' "$tmp/out" || fail "no progress line: $(cat "$tmp/out")"
echo "run-steps-test: ok"
