#!/usr/bin/env bash
# Takes a practice exam: installs what is missing, builds the program, lays
# out an exam folder from the course kit (the first time only) and starts the
# exam in it. Run it again to resume the same exam.
#
#   scripts/exam.sh [--new] [FOLDER]     FOLDER defaults to ./mock-exam
#
# --new keeps the old folder as FOLDER.old-<time> and starts a new exam.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

new=false
if [ "${1:-}" = "--new" ]; then
  new=true
  shift
fi
folder=${1:-$repo/mock-exam}

"$repo/scripts/install-deps.sh" exam
cmake -S "$repo" --preset default >/dev/null
cmake --build "$repo/build" --target mock-midterm -j"$(nproc)" >/dev/null

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
exec "$repo/build/mock-midterm"
