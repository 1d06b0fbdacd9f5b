#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the files, then runs the
# installed programs from that prefix alone (installed_tree.sh).
# Arguments: <cmake> <build dir> <source dir> <libdir> <version> <address>
set -euo pipefail
cmake=$1 build=$2 source=$3 libdir=$4 version=$5 address=$6
here=$(cd "$(dirname "$0")" && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d /tmp/vexa-install-test.XXXXXX)
# Installing rewrites the build tree's install manifest, which a person may still
# need to remove their own installation: keep theirs.
manifest=$build/install_manifest.txt
[ ! -f "$manifest" ] || cp -p "$manifest" "$tmp/manifest.saved"
restore() {
    if [ -f "$tmp/manifest.saved" ]; then cp -p "$tmp/manifest.saved" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$tmp"
}
trap restore EXIT
prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "cmake --install"; }

for file in bin/cratectl bin/crateflash bin/cratesim bin/crateprobe \
            "$libdir/libWIENER_SNMP.so" include/wiener_snmp.h "$libdir/pkgconfig/WIENER_SNMP.pc" \
            share/vexa/mibs/WIENER-CRATE-MIB.txt share/vexa/crates/demo.json \
            share/vexa/documentation/index.html \
            share/applications/de.vexasystems.cratectl.desktop \
            share/applications/de.vexasystems.crateflash.desktop \
            share/icons/hicolor/64x64/apps/de.vexasystems.cratectl.png \
            share/icons/hicolor/64x64/apps/de.vexasystems.crateflash.png \
            share/metainfo/de.vexasystems.cratectl.metainfo.xml \
            share/metainfo/de.vexasystems.crateflash.metainfo.xml \
            share/man/man1/cratectl.1 share/man/man1/crateflash.1 \
            share/man/man1/cratesim.1 share/man/man1/crateprobe.1; do
    [ -f "$prefix/$file" ] || fail "not installed: $file"
done
# Never into the system MIB directory: a crate maker's MIB there keeps precedence.
[ ! -e "$prefix/share/snmp" ] || fail "something was installed under share/snmp"
# No absolute run path into the build tree.
for program in cratectl crateflash cratesim crateprobe; do
    if readelf -d "$prefix/bin/$program" | grep -E 'R(UN)?PATH' | grep -q "$build"; then
        fail "$program keeps a run path into the build tree"
    fi
done

# The pkg-config file follows the tree wherever it lies; a tool built with it runs.
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[ "$(pkg-config --variable=includedir WIENER_SNMP | xargs realpath)" = "$(realpath "$prefix/include")" ] ||
    fail "pkg-config includedir: $(pkg-config --variable=includedir WIENER_SNMP)"
printf '#include <wiener_snmp.h>\nint main(void) { return snmpInit() ? 0 : 1; }\n' >"$tmp/tool.c"
# shellcheck disable=SC2046
cc -o "$tmp/tool" "$tmp/tool.c" $(pkg-config --cflags --libs WIENER_SNMP) || fail "a tool does not build against the header"

cp "$here/installed_tree.sh" "$tmp/installed_tree.sh"
cd /
# With a private mount namespace the source and build trees are covered while the
# installed programs run; without one (not root) they merely come last in every search.
if unshare -m --propagation private true 2>/dev/null; then
    VEXA_IN_PRIVATE_MOUNTS=1 unshare -m --propagation private \
        bash "$tmp/installed_tree.sh" "$prefix" "$libdir" "$version" "$address" "$build" "$source"
else
    bash "$tmp/installed_tree.sh" "$prefix" "$libdir" "$version" "$address"
fi
