#!/usr/bin/env bash
# Installs the package on this machine, as CI's fresh system does, and checks
# it there: the unit verifies, the installed program serves a master both with
# --config and through /usr/bin with the conffile beside it, SIGTERM ends it
# with 0, removing keeps the edited conffile and purging drops it.
# It changes the system, so it runs only when TARVIK_PACKAGE_INSTALL_TEST=1.
#   package_install.sh DEB_DIR VERSION MASTER_SCRIPT
set -euo pipefail
deb_dir=$1 version=$2 master=$3
conffile=/etc/tarvik-slave/TarvikSlave.ini

if [[ "${TARVIK_PACKAGE_INSTALL_TEST:-}" != 1 ]]; then
  echo "Skipped: installs a package; CI sets TARVIK_PACKAGE_INSTALL_TEST=1 to run it."
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "must run as root"
status() { dpkg-query -W -f='${Status}' tarvik-slave 2>/dev/null || true; }
[[ -z $(status) || $(status) == "unknown ok not-installed" ]] ||
  fail "tarvik-slave is already on this machine ($(status)); this test would replace it"

deb=$deb_dir/tarvik-slave_${version}_$(dpkg --print-architecture).deb
work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
  dpkg -P tarvik-slave >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "$deb"; then
  apt-get install -f -y
fi
[[ $(status) == "install ok installed" ]] || fail "not installed: $(status)"

systemd-analyze verify --man=no /lib/systemd/system/tarvik-slave@.service ||
  fail "the unit does not verify"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
device_ini() { printf '[General]\nSocketServer=1\n\n[LocalPorts]\n%s=Test\n' "$port"; }

# Starts the program headless, with no display to fall back on, serves the
# master and ends it with SIGTERM.
#   serve_once WHAT PROGRAM [ARGUMENT...]
no_display=(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY)
serve_once() {
  local what=$1 program=$2; shift 2
  (cd / && exec "${no_display[@]}" "$program" --headless "$@" >"$work/out" 2>"$work/err") &
  pid=$!
  python3 "$master" "$port" || fail "$what: the master got no right answer; stderr: $(<"$work/err")"
  kill -TERM "$pid"
  local code=0
  wait "$pid" || code=$?
  pid=
  ((code == 0)) || fail "$what: SIGTERM ended it with status $code; stderr: $(<"$work/err")"
  [[ -s $work/out ]] || fail "$what: nothing on standard output"
}

[[ $("${no_display[@]}" /usr/bin/tarvik-slave --version) == *"$version"* ]] ||
  fail "--version does not print $version"
device_ini >"$work/device.ini"
serve_once "--config" /usr/lib/tarvik-slave/TarvikSlave --config "$work/device.ini"

# The documented rule: the settings file is the one in the program's folder,
# here the conffile behind the link, even when started through /usr/bin.
device_ini >"$conffile"
serve_once "the conffile" /usr/bin/tarvik-slave

dpkg -r tarvik-slave
[[ $(status) == "deinstall ok config-files" ]] || fail "after dpkg -r: $(status)"
[[ ! -e /usr/lib/tarvik-slave/TarvikSlave ]] || fail "dpkg -r left the program"
[[ $(<"$conffile") == "$(device_ini)" ]] || fail "dpkg -r did not keep the edited conffile"

dpkg -P tarvik-slave
[[ ! -e $conffile ]] || fail "dpkg -P left $conffile"
[[ $(status) == "unknown ok not-installed" || -z $(status) ]] || fail "after dpkg -P: $(status)"
echo "installed, served, removed and purged $deb"
