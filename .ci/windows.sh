#!/usr/bin/env bash
# The Windows build, checked on Linux: cross-compiles it with MinGW-w64
# (a warning fails it), runs the unit tests under wine, packs the ZIP, and
# runs exams from the unpacked ZIP under wine on a pseudo-terminal, typed as a
# student types, comparing what they leave with the Linux program given the
# same input.
#
# Usage: .ci/windows.sh [LINUX_PROGRAM]
#   LINUX_PROGRAM  a Linux build of mock-midterm to compare with; without it
#                  one is built in build-windows-compare.
# Needs cmake, make, g++, g++-mingw-w64-x86-64, googletest (its sources),
# wine, wine64 and script (bsdutils). Everything it makes is in build-windows
# and build-windows-compare, the wine prefix too.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows
work=$build/check
linux=${1:-}
jobs=$(nproc 2>/dev/null || echo 2)
step="start"

export WINEPREFIX=$build/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or browser installer at first start

finish() {
    local status=$?
    if [[ -d $WINEPREFIX ]]; then
        wineserver -k 2>/dev/null || true  # this prefix's server only
    fi
    if ((status == 0)); then
        echo "windows: PASS"
    else
        echo "windows: FAIL while: $step"
    fi
}
trap finish EXIT

fail() {
    echo "windows: $*" >&2
    exit 1
}

begin() {
    step=$1
    echo "== $step"
}

# --- The text a terminal log shows: no escape sequences, no blanks (wine's
# console moves the cursor over blanks instead of writing them).
screenText() {
    sed -e 's/\x1b\][^\x07]*\x07//g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1b[()][A-Z0-9]//g' \
        "$1" 2>/dev/null | tr -d ' \t\r\n' || true
}

shown=0   # how much of the screen text earlier waits have matched
runner=0  # the process that runs the program on the terminal

# Waits for TEXT (blanks do not count) to show in LOG after what earlier
# waits matched; gives up after 60 s, or at once when the program has ended
# without showing it.
waitFor() {
    local log=$1 want=${2// /} deadline=$((SECONDS + 60)) text rest before ended=0
    while ((SECONDS < deadline)); do
        kill -0 "$runner" 2>/dev/null || ended=1
        text=$(screenText "$log")
        rest=${text:shown}
        if [[ $rest == *"$want"* ]]; then
            before=${rest%%"$want"*}
            shown=$((shown + ${#before} + ${#want}))
            return 0
        fi
        ((ended == 0)) || break
        sleep 0.2
    done
    echo "did not see \"$2\"; the screen showed after what was matched:" >&2
    echo "${text:shown}" >&2
    return 1
}

# onTerminal FOLDER NAME EXPECT KEYS ... EXPECT
# Runs the Windows program in FOLDER under wine on a pseudo-terminal. Waits
# for each EXPECT, then types the KEYS after it (printf %b escapes: \r is
# Enter); returns once the last EXPECT has shown and the program has ended,
# with its exit status in $status. The terminal log is $work/NAME.log.
onTerminal() {
    local folder=$1 name=$2
    shift 2
    local log=$work/$name.log keys=$work/$name.keys typing
    rm -f "$log" "$keys"
    mkfifo "$keys"
    (cd "$folder" && exec timeout 120 script -qefc "wine ./mock-midterm.exe" "$log" <"$keys" >/dev/null) &
    runner=$!
    exec {typing}>"$keys"
    shown=0
    local seen=1
    while (($# > 1)); do
        waitFor "$log" "$1" || { seen=0; break; }
        printf '%b' "$2" >&"$typing"
        shift 2
    done
    if ((seen)); then
        waitFor "$log" "$1" || seen=0
    fi
    exec {typing}>&-
    ((seen)) || kill "$runner" 2>/dev/null || true
    status=0
    wait "$runner" || status=$?
    rm -f "$keys"
    ((seen)) || fail "$name: the exam did not go as typed (log: $log)"
}

# onLinux FOLDER INPUT: the Linux program in FOLDER with INPUT (printf %b) on a pipe.
onLinux() {
    local folder=$1 input=$2
    linuxStatus=0
    (cd "$folder" && printf '%b' "$input" | timeout 60 "$linux" >/dev/null 2>&1) || linuxStatus=$?
}

storeState() {  # FOLDER STATE: the workspace's stored step, as the README shows
    printf "\\$(printf '%03o' "$2")" | dd of="$1/exam.dat" bs=1 count=1 conv=notrunc 2>/dev/null
}

sameWorkspace() {  # WHAT: exam.dat of both runs, 144 bytes and the same bytes
    local size
    size=$(stat -c %s "$win/exam.dat")
    ((size == 144)) || fail "$1: the Windows exam.dat has $size bytes, not 144"
    cmp -s "$win/exam.dat" "$lin/exam.dat" ||
        fail "$1: exam.dat differs from the Linux run: $(cmp "$win/exam.dat" "$lin/exam.dat" || true)"
}

sameText() {  # FILE: CRLF line ends on Windows, LF on Linux, the same text
    local file=$1 lines crlf
    [[ -f $win/$file && -f $lin/$file ]] || fail "$file was not written on both"
    lines=$(tr -cd '\n' <"$win/$file" | wc -c)
    crlf=$(grep -c $'\r$' "$win/$file" || true)
    ((lines > 0 && crlf == lines)) || fail "$file: $crlf of $lines line ends are CRLF"
    ! grep -q $'\r' "$lin/$file" || fail "$file: the Linux run wrote CR"
    cmp -s <(tr -d '\r' <"$win/$file") "$lin/$file" || fail "$file: the text differs from the Linux run"
}

menu="Press <Y> to run a check on signals.c. Press <E> to exit the program."
restored="Exam workspace exists. Restoring to previously saved state."

begin "cross-compiling the Windows build (MinGW-w64)"
cd "$root"
SECONDS=0
mkdir -p "$build"
# A warning is an error, so a file that warned is compiled again next time:
# outside CI the build may then start from the last one.
clean=()
if [[ ${CI:-} == true ]]; then
    clean=(--clean-first)
fi
cmake --preset windows -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; fail "configure failed"; }
cmake --build --preset windows "${clean[@]}" -j "$jobs" >"$build/build.log" 2>&1 ||
    { tail -50 "$build/build.log"; fail "build failed"; }
if grep -n "warning:" "$build/build.log"; then
    fail "the build has warnings"
fi
exe=$build/mock-midterm.exe
echo "built in ${SECONDS} s; mock-midterm.exe $(stat -c %s "$exe") bytes"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
echo "imports: $dlls"
if grep -qiE "libstdc|libgcc|winpthread" <<<"$dlls"; then
    fail "the program needs MinGW's runtime DLLs: $dlls"
fi

begin "building the ZIP"
rm -rf "$build/package"
(cd "$build" && cpack -B package >"$build/package.log" 2>&1) || { cat "$build/package.log"; fail "cpack failed"; }
zip=$(echo "$build"/package/mock-midterm-*-win64.zip)
[[ -f $zip ]] || fail "no ZIP in $build/package"
rm -rf "$work"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
top=$(echo "$work"/zip/mock-midterm-*)
for file in README.txt exam/mock-midterm.exe exam/signals.c exam/q1.gp exam/create.tex; do
    [[ -f $top/$file ]] || fail "the ZIP has no $file"
done
grep -q $'\r$' "$top/README.txt" || fail "the ZIP's README.txt has no CRLF line ends"
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes"

begin "starting wine"
SECONDS=0
wine wineboot --init >/dev/null 2>&1 || true
wineserver -w
echo "wine prefix ready in ${SECONDS} s"

begin "unit tests under wine"
SECONDS=0
for suite in unit_tests key_tests; do
    testStatus=0
    exe=$(find "$build" -name "$suite.exe" -print -quit)
    [[ -n $exe ]] || fail "$suite.exe was not built"
    (cd "$(dirname "$exe")" && timeout 600 wine "./$suite.exe" --gtest_brief=1 </dev/null) \
        >"$work/$suite.log" 2>&1 || testStatus=$?
    if ((testStatus != 0)) || ! grep -q "^\[  PASSED  \]" "$work/$suite.log"; then
        tail -60 "$work/$suite.log"
        fail "$suite failed under wine (status $testStatus)"
    fi
    grep -E "^\[==========\]|^\[  PASSED  \]" "$work/$suite.log"
done
echo "in ${SECONDS} s"

begin "the Linux program to compare with"
if [[ -z $linux ]]; then
    cmake -S "$root" -B "$root/build-windows-compare" -DCMAKE_BUILD_TYPE=Release -DMOCK_MIDTERM_TESTS=OFF \
        >"$work/compare.log" 2>&1 &&
        cmake --build "$root/build-windows-compare" --target mock-midterm -j "$jobs" >>"$work/compare.log" 2>&1 ||
        { tail -30 "$work/compare.log"; fail "the Linux build failed"; }
    linux=$root/build-windows-compare/mock-midterm
fi
[[ -x $linux ]] || fail "no Linux program at $linux"
linux=$(cd "$(dirname "$linux")" && pwd)/$(basename "$linux")
echo "$linux"

win=$top/exam
lin=$work/linux
mkdir -p "$lin"
cp "$root"/exam-kit/signals.c "$root"/exam-kit/q1.gp "$root"/exam-kit/create.tex "$lin"/

begin "a fresh exam on a terminal: ID, group, E"
onTerminal "$win" fresh "Enter your ID number:" '123\r' "To which group do you belong?" '3\r' \
    "MOCK_MIDTERM.txt has been generated." "" "$menu" E "exiting."
((status == 0)) || fail "E ended the Windows exam with status $status"
onLinux "$lin" '123\n3\nE'
((linuxStatus == 0)) || fail "the Linux exam ended with status $linuxStatus"
sameWorkspace "fresh exam"
sameText q1plot.dat
sameText MOCK_MIDTERM.txt
cp "$win/exam.dat" "$work/fresh-exam.dat"

begin "the second start resumes at the menu"
onTerminal "$win" resume "$restored" "" "$menu" E "exiting."
((status == 0)) || fail "the resumed exam ended with status $status"
cmp -s "$win/exam.dat" "$work/fresh-exam.dat" || fail "resuming changed exam.dat"

begin "a stored key wait: keys through conio, Enter as 13"
storeState "$win" 2
storeState "$lin" 2
onTerminal "$win" keys "$restored" x "120 x" '\r' "13 $menu" E "exiting."
((status == 0)) || fail "status $status"
onLinux "$lin" 'x\rE'
sameWorkspace "key wait"

begin "the window step and the typeset exam's definitions"
storeState "$win" 5
storeState "$lin" 5
onTerminal "$win" window "$restored" "" "$menu" E "exiting."
onLinux "$lin" 'E'
sameWorkspace "window"
storeState "$win" 7
storeState "$lin" 7
onTerminal "$win" typeset "$restored" "" "Creating 123.pdf" "" "$menu" E "exiting."
((status == 0)) || fail "status $status"
onLinux "$lin" 'E'
sameWorkspace "typeset"
sameText defs.tex

begin "a pipe: lines and keys from the same bytes, then the end of input"
piped=$work/piped
mkdir -p "$piped"
cp "$root"/exam-kit/signals.c "$root"/exam-kit/q1.gp "$root"/exam-kit/create.tex "$piped"/
cp "$top/exam/mock-midterm.exe" "$piped"/
pipeStatus=0
(cd "$piped" && printf '123\r\n3\r\n' | timeout 60 wine ./mock-midterm.exe >"$work/piped.log" 2>&1) || pipeStatus=$?
((pipeStatus == 0)) || fail "the end of piped input ended the exam with status $pipeStatus (124: it never ended)"
grep -q "exiting." "$work/piped.log" || fail "the piped exam did not leave through its menu"
cmp -s "$piped/exam.dat" "$work/fresh-exam.dat" || fail "the piped exam's exam.dat differs from the typed one"

step="done"
