# The steps of tests/run-all.sh: sections, progress while a step is
# quiet, and ctest runs whose skipped tests join the list "skipped" (an
# array the caller defines). Sourced; tests/run-steps-test.sh checks it.

section() { printf '\n==== %s  (%d s in)\n' "$*" "$SECONDS"; }

# Runs a command with its standard error merged into its output and says
# so whenever it has been silent for 25 s (PROGRESS_SECONDS): no step goes
# quiet for long.
with_progress() {
  local start=$SECONDS
  "$@" 2>&1 | {
    local line part=
    while :; do
      if IFS= read -r -t "${PROGRESS_SECONDS:-25}" line; then
        printf '%s\n' "$part$line"
        part=
      elif [ $? -gt 128 ]; then
        # Timed out, perhaps inside a line (on a loaded machine even
        # between two bytes of one write): what came of it is kept for
        # the rest, so that no line is ever split.
        part+=$line
        echo "... still running ($((SECONDS - start)) s): ${*:1:3}"
      else
        [ -z "$part$line" ] || printf '%s\n' "$part$line"
        break
      fi
    done
  }
  return "${PIPESTATUS[0]}"
}

# ctest, through with_progress. The tests it did not run (a GoogleTest
# skip, a disabled test) join the SKIPPED list, each with the reason it
# gave. Arguments: what the suite is, the build directory, ctest's options.
run_ctest() {
  local what=$1 dir=$2 out rc=0 name reason
  shift 2
  out=$(mktemp)
  with_progress ctest --test-dir "$dir" "$@" | tee "$out" || rc=$?
  declare -A why=()
  while IFS=$'\t' read -r name reason; do
    why[$name]=$reason
  done < <(awk '
    /^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); name = $0; next }
    want { if ($0 !~ /^\[  SKIPPED \]/) { sub(/^(!!! )?SKIPPED: /, ""); r[name] = $0 } want = 0; next }
    /: Skipped$/ { want = 1; r[name] = "skipped without a reason" }
    END { for (n in r) print n "\t" r[n] }' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null)
  while IFS= read -r name; do
    reason=${name##* (}
    name=${name% (*}
    skipped+=("$what: $name: ${why[$name]:-${reason%)}}")
  done < <(sed -n '/^The following tests did not run:/,/^$/s/^[[:space:]]*[0-9]* - //p' "$out")
  rm -f "$out"
  return "$rc"
}
