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
plain() {
  cmake --preset default && cmake --build --preset default -j"$jobs" &&
    with_kills 250 100 60 ctest --preset default -j"$jobs"
}
sanitized() {
  cmake --preset sanitize && cmake --build --preset sanitize -j"$jobs" &&
    with_kills 100 40 30 ctest --preset sanitize -j"$jobs"
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

run_part "plain build and tests" plain
run_part "sanitizer build and tests" sanitized
optional_part "Windows build under wine" x86_64-w64-mingw32-g++ .ci/windows.sh build/mock-midterm
optional_part "reliability checks" clang .ci/reliability.sh

echo
echo "=== summary ($SECONDS s in all)"
printf '%s\n' "${summary[@]}"
if printf '%s\n' "${summary[@]}" | grep -q '^FAIL'; then
  exit 1
fi
