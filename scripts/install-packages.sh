#!/usr/bin/env bash
# The Debian 12 packages that building, running and testing the emulator need,
# in one list for the start script and CI alike.
#
#   bash scripts/install-packages.sh                 apt-get update, then install them all
#   bash scripts/install-packages.sh --only-missing  the same, but only when one is missing
#   bash scripts/install-packages.sh --ci            also what CI's package install test needs
#
# apt-get runs through sudo when not run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config             # the build
  qt6-base-dev qt6-charts-dev                  # the window, its trend chart and the sockets
  libgtest-dev libgmock-dev libmodbus-dev      # the tests (the build configures them too)
  clang libclang-rt-14-dev libbenchmark-dev    # the sanitized build and the benchmarks
  xvfb                                         # a virtual display for the tests
  dpkg-dev file desktop-file-utils             # the Debian package: its dependencies, its menu entry
  lintian                                      # the Debian package checked as Debian checks one
  librsvg2-bin                                 # the package's icons, drawn from one SVG
)
ci_packages=(
  systemd python3                              # verifying the unit, a master for the installed program
)

only_missing=0
for option in "$@"; do
  case "$option" in
    --only-missing) only_missing=1 ;;
    --ci) packages+=("${ci_packages[@]}") ;;
    *) echo "usage: $0 [--only-missing] [--ci]" >&2; exit 2 ;;
  esac
done

if ((only_missing)); then
  missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || exit 0
  packages=("${missing[@]}")
  echo "Installing missing packages: ${packages[*]}" >&2
fi

as_root=()
[[ $(id -u) -ne 0 ]] && as_root=(sudo)

"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${packages[@]}"
