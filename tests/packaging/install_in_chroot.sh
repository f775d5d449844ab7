#!/usr/bin/env bash
# The Debian package installed for real, as an operator installs it: built the way CI builds it
# (cpack with the build's own configuration), then `dpkg -i` into a fresh Debian 12 made with
# debootstrap. It checks that dpkg says no warning, that systemd accepts the installed units,
# the owners and modes the package gives the registry and its folders, that vorn-users keeps
# the registry's owner and mode, and it runs the installed Rennick as its unit does (user vorn,
# the unit's environment) against a simulated device on a pseudo-terminal: the registry switches
# the communication log on, the log goes to /var/log/vorn and the certificates to the PKI folder
# the registry names. Last, a purge removes state and logs and keeps the plant files.
#
# Needs root and Debian's mirror, and takes minutes, so it is not part of the test suite (CI's
# debian_package_contents reads the package back instead):
#   tests/packaging/install_in_chroot.sh [BUILD_DIR]
# The pristine chroot is kept in BUILD_DIR/install-chroot/pristine for the next run; every run
# installs into a fresh copy of it. Exit code 0 when every check passed.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$source_dir/build}")
work="$build/install-chroot"
root="$work/root"
mirror=http://deb.debian.org/debian

[[ $(id -u) -eq 0 ]] || { echo "install_in_chroot: run as root (chroot, mounts)" >&2; exit 2; }
for tool in debootstrap socat; do
    command -v "$tool" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$tool" >/dev/null
done

failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
in_root() { chroot "$root" "$@"; }

pids=()
mounted=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

# The package, as CI builds it.
rm -rf "$work/package"
mkdir -p "$work/package"
(cd "$work/package" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work/package"/*.deb)
echo "package: $deb"

# A fresh Debian 12 with what the package depends on.
if [[ ! -d $work/pristine ]]; then
    debootstrap --variant=minbase --include=systemd,adduser bookworm "$work/pristine.new" "$mirror" \
        >"$work/debootstrap.log"
    mv "$work/pristine.new" "$work/pristine"
fi
rm -rf "$root"
cp -a "$work/pristine" "$root"
for fs in /proc /dev /dev/pts; do
    mkdir -p "$root$fs"
    mount --bind "$fs" "$root$fs"
    mounted+=("$root$fs")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root apt-get update -qq >/dev/null
in_root env DEBIAN_FRONTEND=noninteractive apt-get satisfy -y -qq --no-install-recommends \
    "$(dpkg-deb -f "$deb" Depends)" >"$work/dependencies.log" 2>&1

# dpkg -i, and nothing it says is a warning.
cp "$deb" "$root/tmp/"
in_root dpkg -i "/tmp/$(basename "$deb")" >"$work/dpkg.log" 2>&1
echo "--- dpkg -i said:"
cat "$work/dpkg.log"
echo "---"
check "dpkg -i gives no warning" bash -c "! grep -qi warn '$work/dpkg.log'"

units=(/usr/lib/systemd/system/tarnvale.service /usr/lib/systemd/system/rennick.service)
in_root systemd-analyze verify "${units[@]}" >"$work/verify.log" 2>&1 && verified=0 || verified=$?
check "systemd-analyze verify accepts the installed units (exit $verified)" \
    bash -c "[[ $verified -eq 0 && ! -s '$work/verify.log' ]] || { cat '$work/verify.log'; false; }"

owner() { in_root stat -c '%U:%G %a' "$1"; }
check "the registry is root:vorn 0640" [ "$(owner /etc/vorn/registry.ini)" = "root:vorn 640" ]
check "the plant folder is root:vorn 2775" [ "$(owner /etc/vorn/plant)" = "root:vorn 2775" ]
check "/var/lib/vorn is the service user's home and its own" \
    [ "$(in_root getent passwd vorn | cut -d: -f6) $(owner /var/lib/vorn)" = "/var/lib/vorn vorn:vorn 755" ]
check "the PKI folder of the registry is the service user's" [ "$(owner /var/lib/vorn/pki)" = "vorn:vorn 755" ]
check "vorn may open serial ports" bash -c "chroot '$root' id -nG vorn | grep -qw dialout"
check "the desktop entry runs the installed Quillmar" \
    grep -q '^Exec=/usr/bin/Quillmar$' "$root/usr/share/applications/quillmar.desktop"
check "Quillmar --help works without a display" in_root env -u DISPLAY /usr/bin/Quillmar --help

# vorn-users on the installed registry (found without VORN_REGISTRY), under a strict umask.
in_root sh -c "umask 077; printf 'op-Secret-1\n' | vorn-users add operator --role read --server Tarnvale"
check "vorn-users keeps the registry root:vorn 0640" [ "$(owner /etc/vorn/registry.ini)" = "root:vorn 640" ]

# Rennick as its unit runs it: user vorn, the unit's environment; the registry switches the
# log on and maps COM1 to a pseudo-terminal whose far end is the simulated device.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
socat pty,raw,echo=0,link="$work/line-a" pty,raw,echo=0,link="$work/line-b" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [[ -e $work/line-a && -e $work/line-b ]] && break; sleep 0.1; done
line_a=$(readlink -f "$work/line-a")
chmod 0666 "$line_a"
"$build/tools/modbus-sim" --rtu "$work/line-b" --baud 9600 --format 8N1 --unit 17 --set hr:4=1234 \
    >/dev/null 2>&1 &
pids+=($!)
# A second section of Rennick's key: read as one key with the first.
sed "s/^CommLog=0$/CommLog=1/" "$root/etc/vorn/registry.ini" >"$work/registry.ini"
printf '\n[SOFTWARE\\VornAutomation\\Rennick]\nOpcUaPort=%s\n' "$port" >>"$work/registry.ini"
printf '\n[SOFTWARE\\VornAutomation\\Rennick\\Ports]\nCOM1=%s\n' "$line_a" >>"$work/registry.ini"
cat "$work/registry.ini" >"$root/etc/vorn/registry.ini" # keeps the file's owner and mode
cat >"$root/etc/vorn/plant/Rennick.xml" <<EOF
<?xml version="1.0" encoding="ISO-8859-1"?>
<VornModBusRTUCfg>
	<MODBUS>
		<DATATYPE name="HREGISTER" readcode = "3" writecode="16" singlewrcode="6"/>
	</MODBUS>
	<OPC_DA>
		<PLC>
			<name>R1</name>
			<id>17</id>
			<com>COM1</com>
			<baudrate>9600</baudrate>
			<parity>NO</parity>
			<stopbits>1</stopbits>
			<databits>8</databits>
			<flowcontrol>NONE</flowcontrol>
			<timeout>1000</timeout>
			<silent>10</silent>
			<tags>
				<tag>
					<name>Level</name>
					<comment></comment>
					<address>4</address>
					<datatype>HREGISTER VT_I2</datatype>
					<accessrights>READWRITE</accessrights>
				</tag>
			</tags>
		</PLC>
	</OPC_DA>
</VornModBusRTUCfg>
EOF
chroot --userspec=vorn:vorn --groups=dialout "$root" env -i HOME=/var/lib/vorn \
    VORN_REGISTRY=/etc/vorn/registry.ini VORN_HEADLESS=1 LOGS_DIRECTORY=/var/log/vorn \
    STATE_DIRECTORY=/var/lib/vorn /usr/bin/Rennick >"$work/rennick.out" 2>"$work/rennick.err" &
rennick=$!
pids+=($rennick)
for _ in $(seq 150); do grep -q "listening " "$work/rennick.out" 2>/dev/null && break; sleep 0.2; done
NODE_PATH="$source_dir/node_modules" HOME="$work" timeout 60 node "$source_dir/tests/e2e/opcua_probe.js" \
    "opc.tcp://127.0.0.1:$port" wait-good:R1.Level:15000 >"$work/probe.log" 2>&1 || true
kill "$rennick" 2>/dev/null || true
wait "$rennick" 2>/dev/null || true
echo "--- Rennick said:"
cat "$work/rennick.out" "$work/rennick.err"
echo "---"
check "a client read R1.Level through the installed Rennick" grep -q '"status":"Good"' "$work/probe.log"
check "Rennick's log is in /var/log/vorn, the service user's" \
    [ "$(owner /var/log/vorn/Log.err 2>/dev/null | cut -d' ' -f1)" = "vorn:vorn" ]
check "the log holds the request to unit 17" grep -q '\. TX: 11 3 0 4 0 1 ' "$root/var/log/vorn/Log.err"
check "the server's certificate is in the PKI folder the registry names" \
    [ -f "$root/var/lib/vorn/pki/Rennick/own/certs/Rennick.der" ]

# Purging says nothing but that /etc/vorn stays, as it holds the engineers' plant files.
in_root dpkg --purge vorn-gateway >"$work/purge.log" 2>&1
cat "$work/purge.log"
check "dpkg --purge warns of nothing else" \
    bash -c "! grep -i warn '$work/purge.log' | grep -v \"directory '/etc/vorn' not empty\""
check "purging removes state and logs" bash -c "[ ! -e '$root/var/lib/vorn' ] && [ ! -e '$root/var/log/vorn' ]"
check "purging keeps the plant files" [ -f "$root/etc/vorn/plant/Rennick.xml" ]

echo "$failures check(s) failed"
[[ $failures -eq 0 ]]
