#!/usr/bin/env bash
# Installs what is missing, builds the emulator and starts it as the user who
# ran this, with the sample TarvikSlave.ini beside the executable (an edited
# one there is kept). Only the package step uses sudo, and only when needed.
# A start with nothing changed prints nothing of its own before the program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh --only-missing

BUILD=build/plain
# CMake's configure is slow and chatty: run it only for a new build folder,
# after a CMake file changed, or when the sample settings file (copied at
# configure time) is gone from beside the program.
needs_configure() {
  [[ -f "$BUILD/build.ninja" && -f "$BUILD/app/TarvikSlave.ini" ]] || return 0
  [[ -n "$(find . -path ./build -prune -o -path ./.git -prune -o \
    \( -name CMakeLists.txt -o -name '*.cmake' -o -name '*.in' \) \
    -newer "$BUILD/build.ninja" -print -quit)" ]]
}

if needs_configure; then
  mkdir -p "$BUILD"
  echo "Configuring $BUILD (log in $BUILD/configure.log)..." >&2
  if ! cmake -S . -B "$BUILD" -G Ninja >"$BUILD/configure.log" 2>&1; then
    cat "$BUILD/configure.log" >&2
    echo "run.sh: configuring $BUILD failed (above)." >&2
    exit 1
  fi
fi

# Built only when a source changed, with the build's progress shown then.
plan=$(ninja -C "$BUILD" -n TarvikSlave 2>&1) || plan=""
if ! grep -q '^ninja: no work to do' <<<"$plan"; then
  cmake --build "$BUILD" --target TarvikSlave -j "$(nproc)"
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: starting without a window (--headless; run under xvfb-run to see the window)." >&2
  exec "$BUILD/app/TarvikSlave" --headless "$@"
fi
exec "$BUILD/app/TarvikSlave" "$@"
