#!/usr/bin/env bash
# Builds the Debian package from the existing build tree (nothing is rebuilt),
# checks its files and fields, unpacks it and runs a program from the unpacked tree.
# Arguments: <cpack> <build dir> <version>
set -euo pipefail
cpack=$1 build=$2 version=$3

fail() { echo "FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d /tmp/vexa-package-test.XXXXXX)
# Installing rewrites the build tree's install manifest, which a person may still
# need to remove their own installation: keep theirs.
manifest=$build/install_manifest.txt
[ ! -f "$manifest" ] || cp -p "$manifest" "$tmp/manifest.saved"
restore() {
    if [ -f "$tmp/manifest.saved" ]; then cp -p "$tmp/manifest.saved" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$tmp"
}
trap restore EXIT
"$cpack" --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack"; }
debs=("$tmp"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb")"

dpkg-deb -I "$deb" >"$tmp/info"
cat "$tmp/info"
field() { sed -n "s/^ $1: //p" "$tmp/info"; }
[ "$(field Package)" = vexa ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = science ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
# Computed from the shared libraries the programs link: Qt Widgets, net-snmp, the C++ runtime.
for lib in libqt6widgets6 libqt6network6 libsnmp libstdc++6 libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/contents"
for file in ./usr/bin/cratectl ./usr/bin/crateflash ./usr/bin/cratesim ./usr/bin/crateprobe \
            ./usr/include/wiener_snmp.h ./usr/share/vexa/mibs/WIENER-CRATE-MIB.txt \
            ./usr/share/vexa/crates/demo.json ./usr/share/vexa/documentation/index.html \
            ./usr/share/applications/de.vexasystems.cratectl.desktop \
            ./usr/share/applications/de.vexasystems.crateflash.desktop \
            ./usr/share/icons/hicolor/64x64/apps/de.vexasystems.cratectl.png \
            ./usr/share/metainfo/de.vexasystems.crateflash.metainfo.xml \
            ./usr/share/man/man1/cratectl.1; do
    grep -qx -- "$file" "$tmp/contents" || fail "not in the package: $file"
done
grep -Eq '^\./usr/lib/(.*/)?libWIENER_SNMP\.so$' "$tmp/contents" || fail "libWIENER_SNMP.so not in the package"
grep -Eq '^\./usr/lib/(.*/)?pkgconfig/WIENER_SNMP\.pc$' "$tmp/contents" || fail "WIENER_SNMP.pc not in the package"
! grep -q '^\./usr/share/snmp' "$tmp/contents" || fail "the package writes into the system MIB directory"
! grep -q "$build" "$tmp/contents" || fail "build paths in the package"

dpkg -x "$deb" "$tmp/root"
out=$(env -u LD_LIBRARY_PATH "$tmp/root/usr/bin/cratesim" --version)
[ "$out" = "cratesim $version" ] || fail "unpacked cratesim --version: $out"
out=$(env -u LD_LIBRARY_PATH -u DISPLAY -u QT_QPA_PLATFORM "$tmp/root/usr/bin/cratectl" --version)
[ "$out" = "cratectl $version" ] || fail "unpacked cratectl --version: $out"
echo "package OK"
