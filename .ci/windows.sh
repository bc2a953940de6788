#!/usr/bin/env bash
# The Windows build, checked on Linux: cross-compiles the programs with
# MinGW-w64 (a warning fails it) by the windows preset's plain build, which
# makes the ZIP's tcc from Debian's source (scripts/windows-tcc.sh, cached)
# too, runs the unit tests under wine, packs the
# ZIP, and runs exams from the unpacked ZIP under wine on a pseudo-terminal,
# typed as a student types, with the ZIP's own tcc: the menu's check and
# mock-midterm-key's grading, compared with the Linux programs given the
# same input.
#
# Usage: .ci/windows.sh [LINUX_PROGRAM]
#   LINUX_PROGRAM  a Linux build of mock-midterm to compare with (its
#                  key/mock-midterm-key beside it too); without it both are
#                  built in build-windows-compare.
# Needs cmake, make, g++, g++-mingw-w64-x86-64, googletest (its sources),
# wine, wine64, script (bsdutils) and what scripts/windows-tcc.sh needs.
# Everything it makes is in build-windows and build-windows-compare, the wine
# prefix too; the tcc build is cached in ~/.cache/mock-midterm.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows
work=$build/check
linux=${1:-}
jobs=$(nproc 2>/dev/null || echo 2)
step="start"

export WINEPREFIX=$build/wine
export WINEDEBUG=-all
# No .NET or browser installer at first start, and no debugger when a
# graded answer crashes: wine would start winedbg and wait on it.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

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
skipped=""  # what the last wait passed over before its text
runner=0  # the process that runs the program on the terminal
terminal=""  # its pseudo-terminal, /dev/pts/N

# Waits until wine's console has taken the terminal out of line mode (no
# canonical input, no echo): a key typed before that is echoed by the
# terminal itself and may never reach the program.
waitForKeyMode() {
    local deadline=$((SECONDS + 60)) name=$1 settings
    while ((SECONDS < deadline)); do
        kill -0 "$runner" 2>/dev/null || break
        if [[ -z $terminal && -s $work/$name.tty ]]; then
            terminal=$(<"$work/$name.tty")
        fi
        if [[ -n $terminal ]] && settings=$(stty -F "$terminal" -a 2>/dev/null) &&
            [[ " $settings " == *" -icanon "* && " $settings " == *" -echo "* ]]; then
            return 0
        fi
        sleep 0.05
    done
    echo "the terminal ${terminal:-(unknown)} never left line mode: ${settings:-}" >&2
    return 1
}

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
            skipped=$before
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

# echoedKey KEYS PROMPT: fails when the key presses KEYS, typed at PROMPT,
# show on the screen before the text that followed them (the prompt shown
# again aside): a key the program reads is never echoed.
echoedKey() {
    local passed=${skipped//"${2// /}"/}
    [[ -z $1 || $passed != *"$1"* ]] && return 0
    echo "the key \"$1\" typed was echoed: \"$passed\" came before what followed" >&2
    return 1
}

# onTerminal FOLDER NAME EXPECT KEYS ... EXPECT
# Runs the Windows program in FOLDER under wine on a pseudo-terminal. Waits
# for each EXPECT, then, once the console reads keys, types the KEYS after
# it (printf %b escapes: \r is Enter; keys without one must not be echoed);
# returns once the last EXPECT has shown and the program has ended, with its
# exit status in $status. The terminal log is $work/NAME.log.
onTerminal() {
    local folder=$1 name=$2
    shift 2
    local log=$work/$name.log keys=$work/$name.keys typing
    rm -f "$log" "$keys" "$work/$name.tty"
    mkfifo "$keys"
    (cd "$folder" && exec timeout 120 script -qefc "tty >'$work/$name.tty'; exec wine ./mock-midterm.exe" \
        "$log" <"$keys" >/dev/null) &
    runner=$!
    terminal=""
    exec {typing}>"$keys"
    shown=0
    local seen=1 pressed="" prompt=""
    while (($# > 1)); do
        waitFor "$log" "$1" || { seen=0; break; }
        echoedKey "$pressed" "$prompt" || { seen=0; break; }
        pressed=""
        if [[ -n $2 ]]; then
            waitForKeyMode "$name" || { seen=0; break; }
            printf '%b' "$2" >&"$typing"
            [[ $2 == *'\r'* ]] || { pressed=$2; prompt=$1; }
        fi
        shift 2
    done
    if ((seen)); then
        waitFor "$log" "$1" && echoedKey "$pressed" "$prompt" || seen=0
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

begin "cross-compiling the Windows build (MinGW-w64), the ZIP's tcc from Debian's source among it"
cd "$root"
SECONDS=0
mkdir -p "$build"
# A warning is an error, so a file that warned is compiled again next time:
# outside CI the build may then start from the last one.
clean=()
if [[ ${CI:-} == true ]]; then
    clean=(--clean-first)
fi
# The plain route, as a developer takes it: the build runs
# scripts/windows-tcc.sh itself, whose first build makes tcc.exe twice and
# fails unless both give the same bytes (then it copies from its cache).
cmake --preset windows -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DMOCK_MIDTERM_WINDOWS_TCC= \
    >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; fail "configure failed"; }
cmake --build --preset windows "${clean[@]}" -j "$jobs" >"$build/build.log" 2>&1 ||
    { tail -50 "$build/build.log"; fail "build failed"; }
if grep -n "warning:" "$build/build.log"; then
    fail "the build has warnings"
fi
tcc=$build/tcc/tcc.exe
[[ -f $tcc ]] || fail "the build made no $tcc"
dlls=$(x86_64-w64-mingw32-objdump -p "$tcc" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
echo "tcc.exe $(stat -c %s "$tcc") bytes, sha256 $(sha256sum "$tcc" | cut -c1-16), imports: $dlls"
[[ $dlls == "KERNEL32.dll msvcrt.dll " ]] || fail "tcc.exe needs more than KERNEL32 and msvcrt: $dlls"
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
for file in README.txt exam/mock-midterm.exe exam/mock-midterm-key.exe exam/signals.c exam/q1.gp \
    exam/create.tex tcc/tcc.exe tcc/include/stdio.h tcc/include/math.h tcc/lib/libtcc1.a \
    tcc/lib/msvcrt.def tcc/COPYING.txt tcc/GPL-2.txt tcc/debian-copyright.txt \
    licences/mingw-w64-x86-64-dev.txt licences/gcc-mingw-w64-base.txt; do
    [[ -f $top/$file ]] || fail "the ZIP has no $file"
done
ls "$top"/tcc/source/tcc_*.dsc "$top"/tcc/source/tcc_*.orig.tar.* "$top"/tcc/source/tcc_*.debian.tar.* \
    >/dev/null || fail "the ZIP lacks the source tcc was built from"
cmp -s "$top/tcc/tcc.exe" "$tcc" || fail "the ZIP's tcc.exe is not the one built"
grep -q $'\r$' "$top/README.txt" || fail "the ZIP's README.txt has no CRLF line ends"
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes ($(du -sk "$top" | cut -f1) KB unpacked)"

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
        cmake --build "$root/build-windows-compare" --target mock-midterm mock-midterm-key -j "$jobs" \
            >>"$work/compare.log" 2>&1 ||
        { tail -30 "$work/compare.log"; fail "the Linux build failed"; }
    linux=$root/build-windows-compare/mock-midterm
fi
[[ -x $linux ]] || fail "no Linux program at $linux"
linux=$(cd "$(dirname "$linux")" && pwd)/$(basename "$linux")
linuxKey=$(dirname "$linux")/key/mock-midterm-key
[[ -x $linuxKey ]] || fail "no Linux mock-midterm-key at $linuxKey"
echo "$linux and $linuxKey"

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
# There is no gnuplot beside the ZIP's exam folder: one line of the
# program's own says so, and the command interpreter says nothing.
noGnuplot="q1.png was not drawn: there is no gnuplot at ..\\gnuplot\\bin\\gnuplot.exe"
[[ $(screenText "$work/fresh.log") == *"${noGnuplot// /}"* ]] ||
    fail "the exam did not say that gnuplot is missing: \"$noGnuplot\" (log: $work/fresh.log)"
! grep -qi "recogni" "$work/fresh.log" || fail "the command interpreter spoke of the missing gnuplot"

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

begin "the menu's check with the ZIP's tcc: ok, the compiler's message, no compiler"
rm -f "$win/signals.o"
onTerminal "$win" check-ok "$restored" "" "$menu" Y "Checking signals.c..." "" "ok" "" "$menu" E "exiting."
[[ -f $win/signals.o ]] || fail "the check said ok but left no signals.o"
cp "$win/signals.c" "$work/kit-signals.c"
printf 'double x(double t)\r\n{\r\n    return t +;\r\n}\r\n' >"$win/signals.c"
onTerminal "$win" check-error "$restored" "" "$menu" Y "Checking signals.c..." \
    "" "signals.c:4: error: identifier expected" "" "$menu" E "exiting."
saidOk() { screenText "$work/$1.log" | sed 's/.*Checkingsignals\.c\.\.\.//' | grep -q ok; }
! saidOk check-error || fail "the check of a wrong signals.c said ok"
cp "$work/kit-signals.c" "$win/signals.c"
mv "$top/tcc" "$top/tcc-away"
onTerminal "$win" check-none "$restored" "" "$menu" Y "Checking signals.c..." "" "tcc.exe" "" "$menu" E "exiting."
mv "$top/tcc-away" "$top/tcc"
! saidOk check-none || fail "the check without a compiler said ok"
cmp -s "$win/exam.dat" "$lin/exam.dat" || fail "the checks changed exam.dat"

begin "grading under wine with the ZIP's tcc, as the Linux key grades"
SECONDS=0
answers=$work/answers
mkdir -p "$answers"
cp "$root/tests/key/front/hand_written_answer.c" "$answers/right.c"
sed 's/x(2 \* t + 1)/x(2 * t - 1)/' "$answers/right.c" >"$answers/wrong.c"
sed '/^double x(double t)$/,/^{$/ s/^{$/{\n    while (t == t)\n        t = t + 0;/' "$answers/right.c" \
    >"$answers/endless.c"
sed '/^double z(double t)$/,/^{$/ s/^{$/{\n    if (t > 0)\n        *(volatile int *)0 = 0;/' "$answers/right.c" \
    >"$answers/crashing.c"
verdicts() { tr -d '\r' <"$1" | sed -n '/^QUESTION 1/,/ of 4 right\.$/p'; }
for answer in right wrong endless crashing; do
    cp "$answers/$answer.c" "$win/signals.c"
    cp "$answers/$answer.c" "$lin/signals.c"
    winStatus=0
    (cd "$win" && timeout 120 wine ./mock-midterm-key.exe grade --time-limit 2 </dev/null \
        >"$work/grade-$answer.out" 2>"$work/grade-$answer.err") || winStatus=$?
    linStatus=0
    (cd "$lin" && timeout 60 "$linuxKey" grade --time-limit 2 </dev/null \
        >"$work/grade-$answer.linux" 2>&1) || linStatus=$?
    echo "$answer: $(verdicts "$work/grade-$answer.out" | tail -1) (status $winStatus)"
    verdicts "$work/grade-$answer.out" | grep -q . ||
        { cat "$work/grade-$answer.out" "$work/grade-$answer.err"; fail "grade of the $answer answer gave no verdicts"; }
    diff <(verdicts "$work/grade-$answer.linux") <(verdicts "$work/grade-$answer.out") ||
        fail "grade of the $answer answer differs from the Linux key's (above: Linux <, Windows >)"
    ((winStatus == linStatus)) || fail "grade of the $answer answer: status $winStatus, on Linux $linStatus"
    grep -q "mock-midterm-key: check.png was not drawn: there is no gnuplot at" "$work/grade-$answer.err" ||
        fail "grade did not say on stderr that check.png was not drawn without gnuplot"
done
grep -qx $'4 of 4 right.\r' "$work/grade-right.out" || fail "the right answer did not get 4 of 4"
cp "$work/kit-signals.c" "$win/signals.c"
cp "$work/kit-signals.c" "$lin/signals.c"
echo "in ${SECONDS} s"

begin "a pipe: lines and keys from the same bytes, then the end of input"
piped=$work/piped
mkdir -p "$piped"
cp "$root"/exam-kit/signals.c "$root"/exam-kit/q1.gp "$root"/exam-kit/create.tex "$piped"/
cp "$top/exam/mock-midterm.exe" "$piped"/
pipeStatus=0
(cd "$piped" && printf '123\r\n3\r\n' | timeout 60 wine ./mock-midterm.exe >"$work/piped.log" 2>"$work/piped.err") ||
    pipeStatus=$?
((pipeStatus == 0)) || fail "the end of piped input ended the exam with status $pipeStatus (124: it never ended)"
grep -q "exiting." "$work/piped.log" || fail "the piped exam did not leave through its menu"
cmp -s "$piped/exam.dat" "$work/fresh-exam.dat" || fail "the piped exam's exam.dat differs from the typed one"
[[ $(grep -c "q1.png was not drawn" "$work/piped.err") == 1 ]] && ! grep -q "was not drawn" "$work/piped.log" ||
    fail "the missing gnuplot was not said in one line on stderr alone"

begin "a small class graded by report: the gradebook read back, nothing left behind"
class=$work/class
rm -rf "$class"
mkdir -p "$class/submissions/Ana Lima_101/exam" "$class/submissions/Ben_102" "$class/submissions/Cy_103"
cp "$work/fresh-exam.dat" "$class/submissions/Ana Lima_101/exam/exam.dat"
cp "$root/exam-kit/signals.c" "$class/submissions/Ana Lima_101/exam/"
cp "$work/fresh-exam.dat" "$class/submissions/Ben_102/exam.dat"
printf 'not an exam' >"$class/submissions/Cy_103/exam.dat"
reportStatus=0
(cd "$class" && timeout 120 wine "$top/exam/mock-midterm-key.exe" report --csv grades.csv --feedback feedback submissions \
    </dev/null >"$work/report.log" 2>&1) || reportStatus=$?
((reportStatus == 0)) || { cat "$work/report.log"; fail "report ended with status $reportStatus"; }
python3 - "$class" <<'PYTHON' || { cat "$work/report.log"; fail "the gradebook is not as expected"; }
import csv, os, sys
root = sys.argv[1]
with open(os.path.join(root, "grades.csv"), newline="", encoding="utf-8") as f:
    rows = [(row["folder"], row["ID"], row["status"]) for row in csv.DictReader(f)]
ana, ben, cy = rows
# graded from a scratch folder with the ZIP's tcc, found beside the key's own folder
assert ana == ("submissions/Ana Lima_101/exam", "123", "graded"), ana
assert ben == ("submissions/Ben_102", "123", "no signals.c"), ben
assert cy[0] == "submissions/Cy_103" and cy[2].startswith("exam.dat holds no exam"), cy
assert len(os.listdir(os.path.join(root, "feedback"))) == 3
left = [top for top, _, _ in os.walk(root) if os.path.basename(top).startswith(".key-")]
assert not left, left
PYTHON
grep -q "3 exam folders:" "$work/report.log" || fail "the report printed no summary"

step="done"
