#!/usr/bin/env bash
# Plant bench: N headless instances of our program on one machine, as a user
# emulates a plant of devices on one server, each polled once a second.
#
#   bash bench/run-plant.sh [N] [--seconds S]        (default N=100, S=60)
#
# Each instance has a folder and a settings file of its own (a TCP server on
# 127.0.0.1; port 0, so the system gives each a free port, which it names in
# its "Role:" notice; the trace options as the window starts them) and runs
#   TarvikSlave --headless --quiet --config FOLDER/TarvikSlave.ini
# with no display. bench/plant_poll.py, one master with a connection to
# every instance, writes each its own register values, then reads them back
# from every instance once a second for S seconds and checks every answer
# byte for byte. Then it prints, per instance and in total and on average,
# the resident and proportional memory (Rss and Pss of /proc/PID/smaps_rollup;
# the instances share the program's code, which Pss splits between them) and
# the CPU time (utime + stime of /proc/PID/stat) the N processes used during
# the polling, as a share of its wall time. Last, every instance is sent
# SIGTERM and must end with status 0.
#
# Our program is TARVIK_APP, else build/plain/app/TarvikSlave (built there,
# or in the folder TARVIK_QT_BUILD names). Exit status 0 when every answer
# was right and every instance ended with 0. Every instance also ends by
# itself S + 600 seconds after its start, should this script be killed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

COUNT=100
SECONDS_POLLED=60
QT_BUILD_DIR=${TARVIK_QT_BUILD:-$ROOT/build/plain}
APP=${TARVIK_APP:-$QT_BUILD_DIR/app/TarvikSlave}

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
note() { echo "run-plant.sh: $*" >&2; }

while [[ $# -gt 0 ]]; do
    case $1 in
        --seconds) SECONDS_POLLED=${2:-}; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        -*) note "unknown option $1"; usage >&2; exit 2 ;;
        *) COUNT=$1; shift ;;
    esac
done
if ! [[ $COUNT =~ ^[1-9][0-9]*$ ]] || (( COUNT > 500 )); then note "N is 1 to 500"; exit 2; fi
if ! [[ $SECONDS_POLLED =~ ^[1-9][0-9]*$ ]] || (( SECONDS_POLLED > 900 )); then
    note "--seconds is 1 to 900"
    exit 2
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-plant.XXXXXX")
WRAPPERS=()  # timeout(1) around each instance: its exit status is the instance's
PIDS=()      # the instances themselves
NAMES=()
PORTS=()
POLLER=

cleanup() {
    local pid
    [[ -n $POLLER ]] && kill -TERM "$POLLER" 2>/dev/null
    for pid in "${PIDS[@]}" "${WRAPPERS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${WRAPPERS[@]}"; do
        for _ in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

if [[ -z ${TARVIK_APP:-} ]]; then
    note "building our program in ${QT_BUILD_DIR#"$ROOT"/}"
    { cmake -S "$ROOT" -B "$QT_BUILD_DIR" -G Ninja && cmake --build "$QT_BUILD_DIR" -j 2 --target TarvikSlave; } \
        >"$WORK/build.log" 2>&1 || { tail -n 20 "$WORK/build.log" >&2; exit 1; }
fi
[[ -x $APP ]] || { note "no program at $APP"; exit 1; }

# ---- start -------------------------------------------------------------------
note "starting $COUNT instances"
LIFETIME=$((SECONDS_POLLED + 600))
start_clock=$(date +%s.%N)
for ((i = 1; i <= COUNT; i++)); do
    name=$(printf 'plant%03d' "$i")
    folder=$WORK/$name
    mkdir -p "$folder"
    printf '[General]\nSocketServer=1\nSimulatePAT=0\nBindAddress=127.0.0.1\n\n[LocalPorts]\n0=%s\n\n[Options]\nShowRawData=1\nShowReads=1\n' \
        "$name" >"$folder/TarvikSlave.ini"
    env -u DISPLAY -u QT_QPA_PLATFORM timeout -k 5 "$LIFETIME" "$APP" --headless --quiet \
        --config "$folder/TarvikSlave.ini" >"$folder/out.log" 2>"$folder/err.log" &
    WRAPPERS+=("$!")
    NAMES+=("$name")
done

# Each instance's pid (the wrapper's child) and the port its notice names.
for i in "${!WRAPPERS[@]}"; do
    wrapper=${WRAPPERS[$i]} folder=$WORK/${NAMES[$i]} pid='' port=''
    for _ in $(seq 300); do
        [[ -z $pid ]] && pid=$(awk '{ print $1 }' "/proc/$wrapper/task/$wrapper/children" 2>/dev/null)
        port=$(sed -n 's/^## [0-9:]* Role: TCP server on port \([0-9]*\)$/\1/p' "$folder/out.log" | head -n 1)
        [[ -n $pid && -n $port ]] && break
        kill -0 "$wrapper" 2>/dev/null || break
        sleep 0.05
    done
    if [[ -z $pid || -z $port ]]; then
        note "${NAMES[$i]} did not start:"
        tail -n 5 "$folder/out.log" "$folder/err.log" >&2 || true
        exit 1
    fi
    PIDS+=("$pid")
    PORTS+=("$port")
    echo "${NAMES[$i]} $port" >>"$WORK/ports"
done
started_in=$(awk -v a="$start_clock" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
note "$COUNT instances up in $started_in s; polling each once a second for $SECONDS_POLLED s"

# ---- poll --------------------------------------------------------------------
TICKS=$(getconf CLK_TCK)
# utime + stime of a process in clock ticks (fields 14 and 15; the name in
# brackets may hold blanks, so count from the closing bracket).
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'; }
cpu_all() {
    local pid total=0 ticks
    for pid in "${PIDS[@]}"; do ticks=$(cpu_ticks "$pid"); total=$((total + ${ticks:-0})); done
    echo "$total"
}

cpu_before=$(cpu_all)
poll_clock=$(date +%s.%N)
python3 "$ROOT/bench/plant_poll.py" --ports "$WORK/ports" --seconds "$SECONDS_POLLED" \
    >"$WORK/poll.json" 2>"$WORK/poll.err" &
POLLER=$!
poll_status=0
wait "$POLLER" || poll_status=$?
POLLER=
poll_wall=$(awk -v a="$poll_clock" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f", b - a }')
cpu_after=$(cpu_all)

# ---- figures -----------------------------------------------------------------
echo "poll: $(cat "$WORK/poll.json" 2>/dev/null || echo '(no result)')"
[[ -s $WORK/poll.err ]] && { note "the master reported (first lines):"; head -n 10 "$WORK/poll.err" >&2; }

printf '%-9s %8s %6s %10s %10s %9s\n' "instance" "pid" "port" "RSS KiB" "PSS KiB" "CPU s"
for i in "${!PIDS[@]}"; do
    pid=${PIDS[$i]}
    read -r rss pss < <(awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } END { print r + 0, p + 0 }' \
                            "/proc/$pid/smaps_rollup" 2>/dev/null || echo "0 0")
    printf '%-9s %8d %6d %10d %10d %9.2f\n' "${NAMES[$i]}" "$pid" "${PORTS[$i]}" "$rss" "$pss" \
        "$(awk -v t="$(cpu_ticks "$pid")" -v hz="$TICKS" 'BEGIN { print t / hz }')"
done | tee "$WORK/memory.txt"
awk -v n="$COUNT" -v c0="$cpu_before" -v c1="$cpu_after" -v hz="$TICKS" -v wall="$poll_wall" \
    -v s="$SECONDS_POLLED" -v up="$started_in" '
    { rss += $4; pss += $5; total += $6; if ($4 > maxRss) maxRss = $4 }
    END {
        cpu = (c1 - c0) / hz
        printf "total: RSS %.1f MiB, PSS %.1f MiB; average per instance: RSS %.0f KiB (largest %d), PSS %.0f KiB\n",
               rss / 1024, pss / 1024, rss / n, maxRss, pss / n
        printf "CPU while polled: %.2f s of %.1f s wall = %.2f%% of one core for all %d (%.3f%% each); %.2f s since start (%s s to start all)\n",
               cpu, wall, 100 * cpu / wall, n, 100 * cpu / wall / n, total, up
    }' "$WORK/memory.txt"

# ---- end -----------------------------------------------------------------------
for pid in "${PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
# Ten seconds for all of them; one still running then has failed.
for _ in $(seq 100); do
    alive=0
    for pid in "${WRAPPERS[@]}"; do kill -0 "$pid" 2>/dev/null && alive=$((alive + 1)); done
    (( alive == 0 )) && break
    sleep 0.1
done
failed=0
for i in "${!WRAPPERS[@]}"; do
    status=0
    if kill -0 "${WRAPPERS[$i]}" 2>/dev/null; then
        note "${NAMES[$i]} did not end within 10 s of SIGTERM"
        kill -KILL "${PIDS[$i]}" 2>/dev/null || true
    fi
    wait "${WRAPPERS[$i]}" || status=$?
    if (( status != 0 )); then
        note "${NAMES[$i]} ended with status $status"
        tail -n 3 "$WORK/${NAMES[$i]}/err.log" >&2 || true
        failed=$((failed + 1))
    fi
done
WRAPPERS=()
PIDS=()
echo "SIGTERM: $((COUNT - failed)) of $COUNT ended with status 0"
(( failed == 0 && poll_status == 0 ))
