#!/usr/bin/env bash
# Installs the Debian packages that are missing for one purpose:
#   exam   building the program and running an exam with the real tools
#   test   everything the tests need (exam's packages, plus the Windows,
#          Windows tcc (built from Debian's source), Debian package and
#          reliability tool chains)
# Installs nothing when everything is there already. Without root or sudo it
# says what to install and carries on.
set -euo pipefail

exam_packages=(g++ cmake make libgtest-dev libgmock-dev libseccomp-dev python3 tcc gnuplot-nox texlive-latex-base)
test_packages=("${exam_packages[@]}" poppler-utils g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64-posix wine wine64
               dpkg-dev lintian
               clang libclang-rt-dev valgrind cppcheck clang-tidy)

case "${1:-exam}" in
  exam) wanted=("${exam_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  *) echo "usage: $0 [exam|test]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "Missing packages (install them as root): ${missing[*]}" >&2
  exit 0
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
