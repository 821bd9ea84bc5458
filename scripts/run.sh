#!/usr/bin/env bash
# Installs what is missing, builds the emulator and starts it as the user who
# ran this, with the sample TarvikSlave.ini beside the executable (an edited
# one there is kept). Only the package step uses sudo, and only when needed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh --only-missing

cmake -S . -B build/plain -G Ninja
cmake --build build/plain --target TarvikSlave -j "$(nproc)"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: starting without a window (--headless; run under xvfb-run to see the window)." >&2
  exec build/plain/app/TarvikSlave --headless "$@"
fi
exec build/plain/app/TarvikSlave "$@"
