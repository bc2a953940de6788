#!/usr/bin/env bash
# Builds the Tiny C Compiler for 64-bit Windows from Debian's source of tcc,
# cross-compiled with MinGW-w64, for the Windows ZIP's tcc\ folder:
#
#   OUTPUT/tcc.exe, include\, lib\   the compiler; it finds its headers and
#                                    libtcc1.a beside itself
#   OUTPUT/COPYING.txt               tcc's licence (LGPL-2.1)
#   OUTPUT/GPL-2.txt                 the licence of lib\libtcc1.a
#   OUTPUT/debian-copyright.txt      Debian's copyright file for tcc
#   OUTPUT/source\                   the Debian source package it was built from
#
# Usage: scripts/windows-tcc.sh OUTPUT
#
# The source is the version of the Debian tcc installed here (else the newest
# one the machine's apt sources offer), fetched by `apt-get source` through an
# apt configuration of this build's own: deb-src lines made from the
# machine's own apt sources, its own lists and cache, so the system's apt
# state stays as it is. Every build is made twice in folders of different
# names and must give the same bytes; the result is cached by tcc version
# and by this script's own contents in MOCK_MIDTERM_CACHE (default
# ~/.cache/mock-midterm), so a second run only copies it.
# Needs apt, dpkg-dev, make, gcc and gcc-mingw-w64-x86-64.
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 OUTPUT" >&2; exit 2; }
output=$(realpath -m "$1")
here=$(cd "$(dirname "$0")" && pwd)
cache_root=${MOCK_MIDTERM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mock-midterm}
triplet=x86_64-w64-mingw32
jobs=$(nproc 2>/dev/null || echo 2)

say() { echo "windows-tcc: $*" >&2; }
fail() { say "$*"; exit 1; }

for tool in apt-get dpkg-source dpkg-parsechangelog make gcc "$triplet-gcc-posix"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh test installs it)"
done

# --- apt of our own: deb-src for each Debian archive the system uses.
apt_dir=$cache_root/apt
apt_options=(-o "Dir::Etc::sourcelist=$apt_dir/sources.list" -o "Dir::Etc::sourceparts=$apt_dir/parts"
             -o "Dir::State::lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
if [[ $(id -u) -eq 0 ]]; then
    apt_options+=(-o APT::Sandbox::User=root)  # the cache may be where _apt cannot write
fi
updated=0
aptUpdate() {  # once a run: the source lists are fetched anew each time
    ((updated == 0)) || return 0
    updated=1
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' \
        'Identifier: Packages' 'Origin: Debian' | sort -u | sed 's/^/deb-src /' >"$apt_dir/sources.list"
    [[ -s $apt_dir/sources.list ]] || fail "this machine's apt sources name no Debian archive"
    apt-get "${apt_options[@]}" update -qq >"$apt_dir/update.log" 2>&1 ||
        { cat "$apt_dir/update.log" >&2; fail "apt-get update of the source lists failed"; }
}

version=$(dpkg-query -W -f='${Version}' tcc 2>/dev/null || true)
if [[ -z $version ]]; then
    aptUpdate
    version=$(apt-cache "${apt_options[@]}" showsrc tcc | sed -n 's/^Version: //p' | sort -V | tail -1)
    [[ -n $version ]] || fail "no source of tcc in the apt sources"
fi

# Builds the Windows tcc from the unpacked source in SRC into SRC/out.
buildOnce() {
    local src=$1
    (
        cd "$src"
        # The same bytes whoever builds where: time, locale, paths, archive order.
        export SOURCE_DATE_EPOCH LC_ALL=C TZ=UTC
        umask 022
        SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l debian/changelog -STimestamp)
        local flags="-O2 -ffile-prefix-map=$PWD=."
        mkdir host
        # First a Linux-hosted tcc that makes Windows objects: it builds libtcc1.a.
        (cd host && ../configure --source-path=.. --cc=gcc --extra-cflags="$flags" &&
            make -j"$jobs" x86_64-win32-tcc x86_64-win32-libtcc1.a) >../host.log 2>&1 ||
            { tail -30 ../host.log >&2; exit 1; }
        # Then tcc.exe itself, libtcc linked in, with MinGW's static C runtime.
        ./configure --cross-prefix=$triplet- --cc=gcc-posix --config-mingw32 --enable-static \
            --cpu=x86_64 --extra-cflags="$flags" \
            --extra-ldflags="-static -s -Wl,--build-id=none" >../win.log 2>&1 &&
            make -j"$jobs" tcc.exe >>../win.log 2>&1 || { tail -30 ../win.log >&2; exit 1; }
        # The layout tcc.exe looks for beside itself ({B}/include, {B}/lib).
        mkdir -p out/include out/lib
        cp tcc.exe out/
        cp include/*.h tcclib.h out/include/
        cp -r win32/include/. out/include/
        cp win32/lib/*.def out/lib/
        cp host/x86_64-win32-libtcc1.a out/lib/libtcc1.a
        find out -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    )
}

# The licences tcc's folder carries, from the build in FIRST, into OUT.
addLicences() {
    local first=$1 out=$2
    cp "$first/COPYING" "$out/COPYING.txt"
    cp /usr/share/common-licenses/GPL-2 "$out/GPL-2.txt"
    cp "$first/debian/copyright" "$out/debian-copyright.txt"
}

# The cache's key: the tcc version, and what makes its bytes (the recipe
# above, the cross compiler and its runtime).
recipe=$(cut -c1-12 <<<"$(sha256sum <<<"$(declare -f buildOnce addLicences)
$(dpkg-query -W -f='${Version} ' gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev 2>/dev/null || true)
$("$triplet-gcc-posix" -dumpversion)")")
cached=$cache_root/tcc-win64-$version-$recipe

if [[ ! -f $cached/done ]]; then
    start=$SECONDS
    rm -rf "$cached" "$cached.work"
    mkdir -p "$cached.work"
    cd "$cached.work"
    aptUpdate
    apt-get "${apt_options[@]}" source --download-only -qq "tcc=$version" >fetch.log 2>&1 ||
        { cat fetch.log >&2; fail "apt-get source tcc=$version failed"; }
    mkdir source
    mv tcc_* source/
    dsc=$(echo source/tcc_*.dsc)
    # apt checked the files against the signed source index; the .dsc's own
    # signature needs a keyring of Debian's developers, which is not here.
    # Built twice, in folders of different names: the bytes must not depend on it.
    for tree in first second-build; do
        dpkg-source --no-check -x "$dsc" "$tree" >/dev/null
        buildOnce "$tree"
    done
    diff -r first/out second-build/out >/dev/null ||
        fail "two builds of tcc.exe differ: $(diff -rq first/out second-build/out | head -3)"
    mkdir -p "$cached"
    mv first/out "$cached/tcc"
    addLicences first "$cached/tcc"
    mv source "$cached/tcc/source"
    find "$cached/tcc" -exec touch -h -r "$cached/tcc/tcc.exe" {} +
    (cd "$cached/tcc" && find . -type f ! -name SHA256SUMS -print0 | sort -z | xargs -0 sha256sum) \
        >"$cached/SHA256SUMS"
    cd "$cache_root"
    rm -rf "$cached.work"
    echo "$version" >"$cached/done"
    say "built tcc $version for Windows in $((SECONDS - start)) s; two builds gave the same bytes"
    say "tcc.exe sha256 $(sha256sum "$cached/tcc/tcc.exe" | cut -c1-16)"
fi

rm -rf "$output"
mkdir -p "$(dirname "$output")"
cp -a "$cached/tcc" "$output"
# The bytes both builds gave, not a cache that was changed since.
(cd "$output" && sha256sum --quiet -c "$cached/SHA256SUMS") >&2 ||
    fail "the cached build in $cached differs from what was built; remove it to build again"
