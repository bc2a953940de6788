#!/usr/bin/env bash
# Takes a practice exam: installs what is missing, builds the program, lays
# out an exam folder from the course kit (the first time only) and starts the
# exam in it. Run it again to resume the same exam.
#
#   scripts/exam.sh [--new] [--variant N|random|id] [FOLDER]
#                                        FOLDER defaults to ./mock-exam
#
# --new keeps the old folder as FOLDER.old-<time> and starts a new exam.
# --variant keeps the attempt in FOLDER/attempts/ and goes on with variant N
# (1 to 200), one not taken in the folder yet, or the student's own. A folder
# without an exam first takes the ID and group: exit at the menu with E.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

new=false
variant=
while [ $# -gt 0 ]; do
  case $1 in
    --new) new=true; shift ;;
    --variant)
      [ $# -ge 2 ] || { echo "--variant needs N (1 to 200), random or id" >&2; exit 2; }
      variant=$2; shift 2 ;;
    --variant=*) variant=${1#--variant=}; shift ;;
    -*) echo "unknown option $1; usage: scripts/exam.sh [--new] [--variant N|random|id] [FOLDER]" >&2; exit 2 ;;
    *) break ;;
  esac
done
folder=${1:-$repo/mock-exam}
# Checked before the exam runs, so a typo does not cost a first start.
case $variant in
  ''|random|id|[1-9]|[1-9][0-9]|1[0-9][0-9]|200) ;;
  *) echo "--variant takes N (1 to 200), random or id, not '$variant'" >&2; exit 2 ;;
esac

"$repo/scripts/install-deps.sh" exam
cmake -S "$repo" --preset default >/dev/null
targets=(mock-midterm)
[ -z "$variant" ] || targets+=(mock-midterm-key)
cmake --build "$repo/build" --target "${targets[@]}" -j"$(nproc)" >/dev/null

if $new && [ -d "$folder" ]; then
  kept="$folder.old-$(date +%Y%m%d-%H%M%S)"
  mv "$folder" "$kept"
  echo "The previous exam is kept in $kept"
fi
if [ ! -d "$folder" ]; then
  mkdir -p "$folder"
  cp "$repo"/exam-kit/* "$folder"/
  echo "A new exam folder: $folder"
fi
cd "$folder"
if [ -n "$variant" ]; then
  # Questions are made once Question 2's time scale, always 2, is in the
  # record (bytes 116 to 119); an exam stopped before that goes on first.
  scale=$(od -An -t d4 -j 116 -N 4 exam.dat 2>/dev/null | tr -d ' ' || true)
  if [ "$scale" != 2 ]; then
    echo "Variant $variant follows once the exam has made your questions: give your ID and group if asked, then press E."
    "$repo/build/mock-midterm"
  fi
  "$repo/build/key/mock-midterm-key" variant "$variant"
fi
exec "$repo/build/mock-midterm"
