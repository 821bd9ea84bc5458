#!/usr/bin/env bash
# Installs what is missing, builds the emulator and starts it, with the sample
# TarvikSlave.ini beside the executable (an edited one there is kept).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

cmake -S . -B build/plain -G Ninja
cmake --build build/plain --target TarvikSlave -j "$(nproc)"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: running offscreen (set QT_QPA_PLATFORM or run under xvfb-run to see the window)." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/plain/app/TarvikSlave
