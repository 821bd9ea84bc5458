#!/usr/bin/env bash
# Builds the Debian package from a release build in build/package and prints
# the path of the .deb, alone on standard output (the build talks on standard
# error). Needs the packages that scripts/install-packages.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${JOBS:-$(nproc)}"
build=build/package

# The package holds the program and its generated files only: skipping the
# install's dependency on "all" keeps CPack from building every test too.
{
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARVIK_WITH_QT=ON -DTARVIK_SANITIZE=OFF -DTARVIK_FUZZ=OFF -DTARVIK_BENCH=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
  cmake --build "$build" --target TarvikSlave tarvik_package_files -j "$jobs"
  rm -rf "$build/deb"
  cpack --config "$build/CPackConfig.cmake" -B "$build/deb"
} >&2
debs=("$build"/deb/tarvik-slave_*.deb)
realpath "${debs[0]}"
