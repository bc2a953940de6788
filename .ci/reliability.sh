#!/usr/bin/env bash
# Reliability checks beyond the unit tests, run after the normal build (the
# build folder "build" must exist with the tests built):
#   - the libFuzzer targets in fuzz/: their corpus as regression tests, then
#     FUZZ_SECONDS of fuzzing each from the stored corpus (default 5, a
#     quick look; CI's .ci/run fuzzes 60 s each);
#   - valgrind memcheck on scripted exams and on the unit tests;
#   - clang-tidy with .clang-tidy, and cppcheck, on the project's own sources.
# The crash and hostile-folder tests are in ctest (label "reliability").
# Needs the Debian packages clang, libclang-rt-dev (libFuzzer and the
# sanitizer runtimes), valgrind, cppcheck and clang-tidy; and cmake, python3.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build}
# Absolute: the fuzz targets work in a scratch folder of their own.
fuzz_build=$(realpath -m "${FUZZ_BUILD:-build-fuzz}")
fuzz_seconds=${FUZZ_SECONDS:-5}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

results=()
record() {  # record NAME STATUS SECONDS
    local verdict=PASS
    [ "$2" -eq 0 ] || verdict=FAIL
    results+=("$(printf '%s %4d s  %s' "$verdict" "$3" "$1")")
}
run_step() {  # run_step NAME FUNCTION: a failed step does not stop the others
    echo
    echo "==== $1"
    local status=0 start=$SECONDS
    "$2" || status=$?
    record "$1" "$status" $((SECONDS - start))
}

need_tools() {
    local missing=()
    for tool in clang++ valgrind cppcheck clang-tidy cmake python3; do
        command -v "$tool" > /dev/null || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "missing: ${missing[*]} (apt-get install clang libclang-rt-dev valgrind cppcheck clang-tidy)"
        return 1
    fi
    # clang's runtimes are only recommended by clang, not required.
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
        > "$scratch/probe.cpp"
    clang++ -fsanitize=fuzzer,address,undefined "$scratch/probe.cpp" -o "$scratch/probe" 2> /dev/null \
        || { echo "clang cannot link a fuzzer: apt-get install libclang-rt-dev"; return 1; }
    [ -x "$build/mock-midterm" ] || { echo "no $build/mock-midterm: build first"; return 1; }
}

build_fuzzers() {
    cmake -S fuzz -B "$fuzz_build" -DCMAKE_CXX_COMPILER=clang++ > "$scratch/fuzz-configure.log" 2>&1 \
        || { cat "$scratch/fuzz-configure.log"; return 1; }
    cmake --build "$fuzz_build" -j2 2>&1 | tail -n 5
    return "${PIPESTATUS[0]}"
}

# fuzz_target NAME MAX_LEN
fuzz_target() {
    local name=$1 max_len=$2
    local binary="$fuzz_build/${name}_fuzz" corpus="$root/fuzz/corpus/$name"
    local found="$scratch/$name-new" log="$scratch/$name.log"
    mkdir -p "$found" "$fuzz_build/artifacts"
    local inputs=()
    mapfile -t inputs < <(find "$corpus" -type f | sort)
    local seeds=${#inputs[@]}
    echo "corpus regression: $seeds inputs"
    "$binary" -artifact_prefix="$fuzz_build/artifacts/$name-" "${inputs[@]}" \
        > "$log" 2>&1 || { tail -n 30 "$log"; return 1; }
    echo "fuzzing for $fuzz_seconds s"
    "$binary" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -print_final_stats=1 -artifact_prefix="$fuzz_build/artifacts/$name-" "$found" "$corpus" \
        > "$log" 2>&1 || { tail -n 40 "$log"; return 1; }
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $name: $runs executions in $fuzz_seconds s, corpus $seeds seeds + $(find "$found" -type f | wc -l) new inputs"
}
fuzz_number_line() { fuzz_target number_line 4096; }
fuzz_dialogue() { fuzz_target dialogue 1024; }
fuzz_restore() { fuzz_target restore 300; }

# memcheck on the program itself, started in a scratch exam folder with
# stand-in tools, from a first start and from stored states.
valgrind_exam() {
    local tools="$scratch/tools" exam="$scratch/valgrind-exam" program
    program="$root/$build/mock-midterm"
    mkdir -p "$tools" "$exam"
    for tool in gnuplot pdflatex tcc; do
        printf '#!/bin/sh\nexit 0\n' > "$tools/$tool"
        chmod +x "$tools/$tool"
    done
    printf 'double x(double t) { return t; }\n' > "$exam/signals.c"
    local valgrind
    valgrind=$(command -v valgrind)
    # input, then the states the runs that follow start from
    local inputs=('123\n3\nYE' '\rE' 'E' 'yE')
    local states=('' 2 7 1)
    for i in "${!inputs[@]}"; do
        if [ -n "${states[$i]}" ]; then
            python3 -c 'import sys; d=open("exam.dat","rb").read(); open("exam.dat","wb").write(int(sys.argv[1]).to_bytes(4,"little")+d[4:])' \
                "${states[$i]}" 2>/dev/null || true
        fi
        (cd "$exam" && printf '%b' "${inputs[$i]}" | PATH="$tools" "$valgrind" -q --error-exitcode=99 \
            --leak-check=full --errors-for-leak-kinds=definite,indirect "$program" > /dev/null) \
            || { echo "memcheck: errors on input '${inputs[$i]}' from state '${states[$i]}'"; return 1; }
        echo "memcheck clean: input '${inputs[$i]}' from stored state '${states[$i]:-none}'"
    done
}

valgrind_unit_tests() {
    local tests="$build/tests/unit_tests"
    [ -x "$tests" ] || { echo "no $tests"; return 1; }
    valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
        "$tests" > "$scratch/unit-valgrind.log" 2>&1 || { tail -n 40 "$scratch/unit-valgrind.log"; return 1; }
    grep -E '^\[  PASSED  \]' "$scratch/unit-valgrind.log"
}

# The exam program's sources that the build compiles.
own_sources() {
    python3 - "$build/compile_commands.json" "$root" <<'PY'
import json, os, sys
root = os.path.realpath(sys.argv[2])
for entry in json.load(open(sys.argv[1])):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    relative = os.path.relpath(path, root)
    if relative == "main.cpp" or relative.startswith(("exam/", "generate/", "check/", "record/", "platform/", "key/")):
        print(relative)
PY
}

tidy() {
    local sources cache=${XDG_CACHE_HOME:-$HOME/.cache}/mock-midterm/clang-tidy
    sources=$(own_sources | sort -u)
    mkdir -p "$cache"
    python3 .ci/tidy_unchanged.py "$build" "$root" "$cache" <<<"$sources" > "$scratch/tidy.todo" || return 1
    echo "$(echo "$sources" | wc -l) files, $(( $(wc -l < "$scratch/tidy.todo") / 2 )) changed since a clean run"
    # One file per run, one run per core: clang-tidy uses one core, and its
    # va_list check keeps state from the first file of a run, so a later file's
    # va_start goes unseen and its findings would depend on the grouping.
    # A file found clean leaves its stamp (see .ci/tidy_unchanged.py).
    xargs -r -d '\n' -P "$(nproc)" -n 2 sh -c 'clang-tidy -p "$0" --quiet "$2" && : > "$1"' "$build" \
        < "$scratch/tidy.todo" > "$scratch/tidy.log" 2>&1 \
        || { grep -E 'warning:|error:' -A3 "$scratch/tidy.log"; return 1; }
}

cppcheck_sources() {
    # useStlAlgorithm: the house style is plain loops, not <algorithm> calls.
    # The platform folder is checked whole, Windows files included.
    local sources
    sources=$( (own_sources; find platform fuzz -name '*.cpp'; echo tests/reliability/save_spy.cpp) | sort -u)
    # shellcheck disable=SC2086
    cppcheck --quiet --std=c++20 --language=c++ --enable=warning,style,performance,portability \
        --suppress=useStlAlgorithm --inline-suppr --error-exitcode=1 -I . $sources
}

started=$(date +%s)
run_step "tools" need_tools
run_step "fuzz targets build (clang, libFuzzer, ASan, UBSan)" build_fuzzers
run_step "fuzz number_line" fuzz_number_line
run_step "fuzz dialogue" fuzz_dialogue
run_step "fuzz restore" fuzz_restore
run_step "valgrind memcheck: scripted exams" valgrind_exam
run_step "valgrind memcheck: unit tests" valgrind_unit_tests
run_step "clang-tidy (.clang-tidy)" tidy
run_step "cppcheck" cppcheck_sources

echo
echo "==== reliability summary ($(( $(date +%s) - started )) s)"
printf '%s\n' "${results[@]}"
if printf '%s\n' "${results[@]}" | grep -q '^FAIL'; then
    echo "RELIABILITY: FAIL"
    exit 1
fi
echo "RELIABILITY: PASS"
