#!/usr/bin/env bash
# Runs the programs of an installed tree with nothing but that tree to find things
# in. Arguments: <prefix> <libdir> <version> <address> <hidden dir>...
# The hidden directories (source and build tree) are covered with empty folders
# first when a private mount namespace is available.
set -euo pipefail
prefix=$1 libdir=$2 version=$3 address=$4
shift 4

fail() { echo "FAIL: $*" >&2; exit 1; }

hidden=no
if [ "${VEXA_IN_PRIVATE_MOUNTS:-}" = 1 ]; then
    # Inner folders first: once the outer one is covered they are gone.
    for dir in "$@"; do
        [ -d "$dir" ] && mount -t tmpfs -o ro,size=4k vexa-hidden "$dir"
    done
    for dir in "$@"; do
        [ ! -d "$dir" ] || [ -z "$(ls -A "$dir")" ] || fail "$dir still visible"
    done
    hidden=yes
fi
echo "build and source trees hidden: $hidden"

work=$(mktemp -d /tmp/vexa-installed-run.XXXXXX)
sim_pid=""
ctl_pid=""
cleanup() {
    [ -n "$ctl_pid" ] && kill "$ctl_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
unset LD_LIBRARY_PATH VEXA_MIBDIR MIBDIRS DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export PATH="$prefix/bin:/usr/bin:/bin"

# waitfor <file> <text> <seconds>: waits until the file holds the text.
waitfor() {
    local end=$((SECONDS + $3))
    while [ $SECONDS -lt $end ]; do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# --help and --version without a display.
cratesim --help | grep -q 'crate.json' || fail "cratesim --help"
[ "$(cratesim --version)" = "cratesim $version" ] || fail "cratesim --version: $(cratesim --version)"
cratectl --help | grep -q 'quil' || fail "cratectl --help"
[ "$(cratectl --version)" = "cratectl $version" ] || fail "cratectl --version: $(cratectl --version)"
crateflash --version | grep -q "(vexa $version)" || fail "crateflash --version"
# Qt's single-dash options are not bundles of -v and -h: without a display the
# program just fails to open its window.
for program in cratectl crateflash; do
    out=$($program -reverse 2>&1 || true)
    ! grep -q -e "^$program .*$version" -e '^Usage:' <<<"$out" || fail "$program -reverse answered as --version or --help"
done
crateprobe --help | grep -q 'address' || fail "crateprobe --help"

# The simulated crate, from the installed demo crate file.
cratesim --address "$address" "$prefix/share/vexa/crates/demo.json" >sim.log 2>&1 &
sim_pid=$!
waitfor sim.log "cratesim: ready on udp:$address:161" 60 || { cat sim.log; fail "cratesim did not start"; }

# crateprobe loads the installed library and reads the crate.
crateprobe "$address" >probe.log 2>&1 || { cat probe.log; fail "crateprobe failed"; }
cat probe.log
grep -qx "Library: $prefix/$libdir/libWIENER_SNMP.so" probe.log || fail "crateprobe did not use the installed library"
grep -Eq '^Slot [0-9]: [^e]' probe.log || fail "crateprobe saw no module"

# cratectl, offscreen, with a private settings store that names the simulator.
mkdir -p home "config/Vexa Systems GmbH"
printf '[General]\nIpAddress=%s\nCloseBehavior=2\n' "$address" >"config/Vexa Systems GmbH/vexacontrol.ini"
HOME=$work/home XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen \
    QT_LOGGING_RULES='cratectl.*.debug=true' cratectl >ctl.log 2>&1 &
ctl_pid=$!
# A refresh of the current channel only runs once the module list holds a module.
if ! waitfor ctl.log 'refreshTable(channel):' 90; then
    cat ctl.log
    fail "cratectl never refreshed a module"
fi
grep -F "$prefix/$libdir/libWIENER_SNMP.so loaded succesfully" ctl.log ||
    { cat ctl.log; fail "cratectl did not load the installed library"; }
kill "$ctl_pid"
ctl_pid=""
echo "installed tree OK"
