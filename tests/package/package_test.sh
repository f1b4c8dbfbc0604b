#!/usr/bin/env bash
# Builds the Debian package from a release tree of its own (or, with PACKAGE_TREE set, packages
# that built tree as it stands), unpacks it into a scratch root and
# checks it as a user would get it: the control fields, every command-line program's --help,
# every binary's shared libraries resolved from the unpacked root (the engine through the
# programs' RPATH, not the build folder), the desktop entry and the icon.
#
#   package_test.sh SOURCE WORKDIR [CMAKE-ARG...] -- [PROGRAM...]
#
# PROGRAM: a command-line program whose --help must exit 0 printing "Usage: PROGRAM" first.
set -euo pipefail

src=$1 work=$2
shift 2
cmakeargs=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do cmakeargs+=("$1"); shift; done
[ $# -gt 0 ] && shift
build=$work/build root=$work/root
mkdir -p "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -n "${PACKAGE_TREE:-}" ]; then
    # The tree the tests run in (already built): packaged as it stands, in seconds.
    build=$work/deb
    rm -rf "$build" && mkdir -p "$build"
    (cd "$PACKAGE_TREE" && cpack -G DEB -B "$build") > "$work/cpack.log" 2>&1 \
        || { cat "$work/cpack.log"; fail "cpack"; }
else
    cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVIN_SANITIZE=OFF -DKORVIN_TSAN=OFF \
        -DKORVIN_FUZZ=OFF -DKORVIN_BENCH=OFF "${cmakeargs[@]}" > "$work/configure.log" \
        || { cat "$work/configure.log"; fail "configure"; }
    cmake --build "$build" --target korvin_installed -j "${JOBS:-$(nproc)}"
    rm -f "$build"/*.deb
    (cd "$build" && cpack -G DEB) > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
fi
debs=("$build"/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
echo "package: $deb ($(stat -c %s "$deb") bytes)"

[ "$(dpkg-deb -f "$deb" Package)" = korvin ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# dpkg-shlibdeps ran: the C library and Qt come from the system's packages.
for need in libc6 libqt6widgets6 libqt6charts6 libfftw3; do
    [[ $depends == *"$need"* ]] || fail "Depends lacks $need"
done

rm -rf "$root"
dpkg-deb -x "$deb" "$root"
usr=$root/usr

for p in "$@"; do
    [ -x "$usr/bin/$p" ] || fail "$p not installed in usr/bin"
    out=$(env -u LD_LIBRARY_PATH "$usr/bin/$p" --help) || fail "$p --help exited non-zero"
    [[ $out == "Usage: $p"* ]] || fail "$p --help does not begin with 'Usage: $p'"
done

[ -x "$usr/bin/korvin" ] || fail "korvin not installed in usr/bin"
[ -f "$usr/lib/korvin/libmonitor.so" ] || fail "libmonitor.so not in usr/lib/korvin"
elves=0
while IFS= read -r -d '' f; do
    head -c 4 "$f" | grep -q $'^\x7fELF' || continue
    elves=$((elves + 1))
    libs=$(env -u LD_LIBRARY_PATH ldd "$f") || fail "ldd $f"
    if grep -q "not found" <<< "$libs"; then
        echo "$libs" >&2
        fail "${f#"$root"}: unresolved shared libraries"
    fi
    engine=$(sed -n 's/^\s*libmonitor\.so => \(\S*\) .*/\1/p' <<< "$libs")
    if [ -n "$engine" ] && [ "$(realpath "$engine")" != "$usr/lib/korvin/libmonitor.so" ]; then
        fail "${f#"$root"} takes libmonitor.so from $engine"
    fi
done < <(find "$usr/bin" "$usr/lib" -type f -print0)
[ $elves -ge $(($# + 2)) ] || fail "only $elves ELF files checked"
env -u LD_LIBRARY_PATH ldd "$usr/bin/korvin" | grep -q "libmonitor.so => $usr/bin/../lib/korvin/" \
    || fail "korvin does not load the packaged engine through its RPATH"

desktop-file-validate "$usr/share/applications/korvin.desktop" \
    || fail "desktop entry invalid"
# A PNG whose header says 16 x 16 (width and height, big-endian, from byte 16).
icon=$usr/share/icons/hicolor/16x16/apps/korvin.png
[ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "icon is not a PNG"
[ "$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')" = 0000001000000010 ] || fail "icon not 16x16"
grep -q '<svg ' "$usr/share/icons/hicolor/scalable/apps/korvin.svg" || fail "no scalable icon"
[ -f "$usr/share/doc/korvin/README.md" ] || fail "README not installed"
echo "package ok: $(find "$root" -type f | wc -l) files"
