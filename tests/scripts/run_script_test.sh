#!/usr/bin/env bash
# scripts/run.sh in a scratch copy of the repository, with cmake, ninja, the
# package step and the program replaced by stand-ins that log their calls:
# it configures only when the build folder is new, a CMake file changed or the
# sample settings file is gone, builds only when something is out of date, and
# a plain second start prints nothing of its own.
#
#   bash tests/scripts/run_script_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

repo="$work/repo"
mkdir -p "$repo/scripts" "$repo/app" "$repo/cmake" "$work/bin"
cp "$source_dir/scripts/run.sh" "$repo/scripts/"
printf 'exit 0\n' >"$repo/scripts/install-packages.sh"
touch "$repo/CMakeLists.txt" "$repo/app/CMakeLists.txt" "$repo/cmake/tarvik_library.cmake"
log="$work/calls"

# cmake: a configure writes build.ninja and the sample beside the program,
# with CMake's usual chatter; a build writes the program.
cat >"$work/bin/cmake" <<'EOF'
#!/usr/bin/env bash
if [[ "$1" == --build ]]; then
  echo "build" >>"$CALLS"
  mkdir -p build/plain/app
  printf '#!/usr/bin/env bash\necho "program $*"\n' >build/plain/app/TarvikSlave
  chmod +x build/plain/app/TarvikSlave
  touch build/plain/built
  exit 0
fi
echo "configure" >>"$CALLS"
echo "-- Could NOT find XKB"
[[ -f "$FAIL_CONFIGURE" ]] && { echo "CMake Error: broken"; exit 1; }
mkdir -p build/plain/app
touch build/plain/build.ninja
[[ -f build/plain/app/TarvikSlave.ini ]] || echo "; sample" >build/plain/app/TarvikSlave.ini
exit 0
EOF
# ninja -n: up to date once built and no source is newer than the program.
cat >"$work/bin/ninja" <<'EOF'
#!/usr/bin/env bash
echo "ninja: Entering directory \`build/plain'"
if [[ -f build/plain/built && -z "$(find . -name '*.cpp' -newer build/plain/built)" ]]; then
  echo "ninja: no work to do."
else
  echo "[1/1] Linking CXX executable app/TarvikSlave"
fi
EOF
chmod +x "$work/bin/cmake" "$work/bin/ninja"
export PATH="$work/bin:$PATH" CALLS="$log" FAIL_CONFIGURE="$work/fail"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

failures=0
start() {  # start NAME EXPECTED_CALLS EXPECTED_STATUS
  : >"$log"
  local status=0
  (cd "$repo" && bash scripts/run.sh --quiet >"$work/out" 2>"$work/err") || status=$?
  local calls
  calls=$(paste -sd' ' "$log")
  if [[ "$calls" != "$2" || "$status" != "$3" ]]; then
    echo "FAIL $1: calls '$calls' (wanted '$2'), status $status (wanted $3)" >&2
    sed 's/^/  stderr: /' "$work/err" >&2
    failures=$((failures + 1))
  fi
}
expect_output() {  # expect_output NAME STDOUT STDERR
  if [[ "$(cat "$work/out")" != "$2" || "$(cat "$work/err")" != "$3" ]]; then
    echo "FAIL $1: stdout '$(cat "$work/out")', stderr '$(cat "$work/err")'" >&2
    failures=$((failures + 1))
  fi
}

no_display="No display found: starting without a window (--headless; run under xvfb-run to see the window)."

start "first start" "configure build" 0
grep -q "^Configuring build/plain" "$work/err" || { echo "FAIL first start: no configure note" >&2; failures=$((failures + 1)); }
grep -q "XKB" "$work/err" "$work/out" && { echo "FAIL first start: configure output shown" >&2; failures=$((failures + 1)); }

sleep 1.1  # file times of a coarse file system
start "plain second start" "" 0
expect_output "plain second start" "program --headless --quiet" "$no_display"

touch "$repo/app/main.cpp"
start "a source changed" "build" 0

touch "$repo/cmake/tarvik_library.cmake"
start "a CMake file changed" "configure" 0
start "after the reconfigure" "" 0

echo "; edited" >"$repo/build/plain/app/TarvikSlave.ini"
start "the edited sample is kept" "" 0
[[ "$(cat "$repo/build/plain/app/TarvikSlave.ini")" == "; edited" ]] ||
  { echo "FAIL the edited sample was replaced" >&2; failures=$((failures + 1)); }
rm "$repo/build/plain/app/TarvikSlave.ini"
start "the sample is gone" "configure" 0
[[ -f "$repo/build/plain/app/TarvikSlave.ini" ]] ||
  { echo "FAIL the sample was not put back" >&2; failures=$((failures + 1)); }

rm "$repo/build/plain/build.ninja"
touch "$work/fail"
start "a failing configure" "configure" 1
grep -q "CMake Error: broken" "$work/err" ||
  { echo "FAIL a failing configure hides its log" >&2; failures=$((failures + 1)); }

((failures == 0)) && echo "run.sh: all starts as expected"
exit $((failures > 0))
