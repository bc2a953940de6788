#!/usr/bin/env bash
# Runs every test: the unit and end-to-end tests in a plain build and under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build
# under wine and the reliability checks. Outside CI a part whose tools are
# missing is skipped with the reason; in CI (CI=true) that is a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
jobs=$(nproc)
summary=()

run_part() {
  local name=$1 start=$SECONDS verdict=PASS
  shift
  echo
  echo "=== $name"
  "$@" || verdict=FAIL
  summary+=("$(printf '%s %4d s  %s' "$verdict" $((SECONDS - start)) "$name")")
}

# The crash test's kills of the exam, of two copies at once and of a variant.
# CI makes all of them (820) in both builds; outside CI a sample, smaller
# under the sanitizers, which run the same code slower.
with_kills() {  # with_kills EXAM PAIRS VARIANT COMMAND...
  if [ "${CI:-}" = "true" ]; then
    "${@:4}"
  else
    MOCK_MIDTERM_KILLS=$1 MOCK_MIDTERM_PAIR_KILLS=$2 MOCK_MIDTERM_VARIANT_KILLS=$3 "${@:4}"
  fi
}
# Most tests wait on the programs they run and on time limits, not on the
# processor: twice as many at once as there are cores.
plain() {
  cmake --preset default && cmake --build --preset default -j"$jobs" &&
    with_kills 250 100 60 ctest --preset default -j$((2 * jobs))
}
sanitized() {
  cmake --preset sanitize && cmake --build --preset sanitize -j"$jobs" &&
    with_kills 100 40 30 ctest --preset sanitize -j$((2 * jobs))
}
optional_part() {
  local name=$1 tool=$2
  shift 2
  local script=$1
  if [ ! -x "$script" ]; then
    return
  fi
  if ! command -v "$tool" >/dev/null 2>&1; then
    if [ "${CI:-}" = "true" ]; then
      summary+=("FAIL  $name: $tool is not installed")
    else
      summary+=("SKIP  $name: $tool is not installed")
    fi
    return
  fi
  run_part "$name" "$@"
}

# Outside CI the last two parts run side by side, as the Windows checks
# mostly wait on wine; each one's output is shown whole once both have ended.
# In CI one after the other: a cold build beside them would crowd the time
# limits of the answers graded under wine.
side_by_side=()
beside() {  # beside NAME TOOL SCRIPT [ARGS...]: optional_part, in the background outside CI
  if [ "${CI:-}" = "true" ]; then
    optional_part "$@"
    return
  fi
  local log
  log=$(mktemp)
  (summary=(); optional_part "$@"; printf '%s\n' "${summary[@]}" > "$log.summary") > "$log" 2>&1 &
  side_by_side+=("$!" "$log")
}
shown_beside() {
  local i
  for ((i = 0; i < ${#side_by_side[@]}; i += 2)); do
    wait "${side_by_side[i]}" || true
    cat "${side_by_side[i + 1]}"
    if [ -f "${side_by_side[i + 1]}.summary" ]; then
      while IFS= read -r line; do
        [ -z "$line" ] || summary+=("$line")
      done < "${side_by_side[i + 1]}.summary"
    else
      summary+=("FAIL  a part run beside another ended without its verdict")
    fi
    rm -f "${side_by_side[i + 1]}" "${side_by_side[i + 1]}.summary"
  done
}

run_part "plain build and tests" plain
run_part "sanitizer build and tests" sanitized
beside "Windows build under wine" x86_64-w64-mingw32-g++ .ci/windows.sh build/mock-midterm
beside "reliability checks" clang .ci/reliability.sh
shown_beside

echo
echo "=== summary ($SECONDS s in all)"
printf '%s\n' "${summary[@]}"
if printf '%s\n' "${summary[@]}" | grep -q '^FAIL'; then
  exit 1
fi
