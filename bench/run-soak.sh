#!/usr/bin/env bash
# The long soak: the hostile-master soak test against the real program, with
# each phase running for minutes instead of seconds. Not part of CI.
#
#   bash bench/run-soak.sh [--minutes N]     (default 2 minutes per phase)
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=2
while [[ $# -gt 0 ]]; do
    case $1 in
        --minutes) minutes=$2; shift 2 ;;
        *) echo "run-soak.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[[ $minutes =~ ^[1-9][0-9]*$ && $minutes -le 60 ]] || { echo "run-soak.sh: --minutes 1..60" >&2; exit 2; }

cmake -S . -B build/plain -G Ninja >/dev/null
cmake --build build/plain --target TarvikSlave hostile_masters_soak_tests -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
TARVIK_SOAK_SECONDS=$((minutes * 60)) build/plain/tests/app/hostile_masters_soak_tests
