#!/usr/bin/env bash
# Load bench: the floor slave, the libmodbus peer and our program take the
# same bounded loads on 127.0.0.1, interleaved, a few rounds; prints each
# figure's median and its ratio to the floor. Our program runs with its
# window up inside the window host, which then reports how its event loop
# kept up (stalls, Timer_Send ticks, debug-list repaints, status counters).
#
#   bash bench/run-load.sh [--rounds N] [--count N] [--seconds S] [--no-app]
#                          [--offscreen] [--memory-run [--memory-seconds S]
#                          [--memory-target ours|floor]]
#
# Every load run is bounded by --count requests and --seconds of wall clock;
# every process started here is ended by its id when the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

ROUNDS=3
COUNT=50000
SECONDS_PER_RUN=3
WITH_APP=1
OFFSCREEN=0
MEMORY_RUN=0
MEMORY_SECONDS=300
MEMORY_TARGET=ours
BUILD_DIR=$ROOT/build/bench
APP=${TARVIK_APP:-$ROOT/build/plain/app/TarvikSlave}
# Servers started here end by themselves after this long, should the script
# itself be killed without its exit trap.
SERVER_LIFETIME=7200

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }

while [[ $# -gt 0 ]]; do
    case $1 in
        --rounds) ROUNDS=$2; shift 2 ;;
        --count) COUNT=$2; shift 2 ;;
        --seconds) SECONDS_PER_RUN=$2; shift 2 ;;
        --no-app) WITH_APP=0; shift ;;
        --offscreen) OFFSCREEN=1; shift ;;
        --memory-run) MEMORY_RUN=1; shift ;;
        --memory-seconds) MEMORY_SECONDS=$2; shift 2 ;;
        --memory-target) MEMORY_TARGET=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        *) echo "run-load.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    esac
done
for n in "$ROUNDS" "$COUNT" "$MEMORY_SECONDS"; do
    [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "run-load.sh: '$n' is not a positive whole number" >&2; exit 2; }
done
[[ $SECONDS_PER_RUN =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "run-load.sh: bad --seconds" >&2; exit 2; }
(( ROUNDS <= 20 && MEMORY_SECONDS <= 900 )) || { echo "run-load.sh: at most 20 rounds, 900 memory seconds" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-load.XXXXXX")
STARTED_PIDS=()

cleanup() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${STARTED_PIDS[@]}"; do
        for _ in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

note() { echo "run-load.sh: $*" >&2; }

# ---- build -----------------------------------------------------------------
note "building the load tools in ${BUILD_DIR#"$ROOT"/}"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DTARVIK_BENCH=ON -DTARVIK_WITH_QT=OFF >"$WORK/configure.log" 2>&1 ||
    { cat "$WORK/configure.log" >&2; exit 1; }
cmake --build "$BUILD_DIR" -j 2 --target tarvik_load tarvik_floor tarvik_free_port >"$WORK/build.log" 2>&1 ||
    { cat "$WORK/build.log" >&2; exit 1; }
BIN=$BUILD_DIR/bench
HAVE_PEER=0
if cmake --build "$BUILD_DIR" -j 2 --target tarvik_peer >>"$WORK/build.log" 2>&1; then
    HAVE_PEER=1
else
    note "no libmodbus peer (libmodbus-dev missing?): it sits out"
fi

# Our program runs inside the window host, which needs Qt: it is built in
# build/plain (Qt on, benches on), unless TARVIK_WINDOW_HOST names another.
WINDOW_HOST=${TARVIK_WINDOW_HOST:-$ROOT/build/plain/bench/window-host/tarvik_window_host}
HAVE_HOST=0
if (( WITH_APP )) && [[ -z ${TARVIK_WINDOW_HOST:-} ]]; then
    note "building the window host and our program in build/plain"
    if ! { cmake -S "$ROOT" -B "$ROOT/build/plain" -G Ninja -DTARVIK_BENCH=ON &&
           cmake --build "$ROOT/build/plain" -j 2 --target tarvik_window_host TarvikSlave; } \
           >"$WORK/app-build.log" 2>&1; then
        note "the window host does not build (see below)"
        tail -n 15 "$WORK/app-build.log" >&2
    else
        HAVE_HOST=1
    fi
elif [[ -x $WINDOW_HOST ]]; then
    HAVE_HOST=1
fi

# ---- processes ---------------------------------------------------------------
# Waits for the "port N" line a server prints first; echoes N.
read_port_line() {
    local file=$1 pid=$2
    for _ in $(seq 100); do
        if [[ -s $file ]] && read -r word port <"$file" && [[ $word == port ]]; then
            echo "$port"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Not called in $(...): the pid must be recorded in this shell.
start_server() {  # name binary -> SERVER_PORT, SERVER_PID
    local name=$1 binary=$2
    "$binary" 0 "$SERVER_LIFETIME" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    SERVER_PID=$!
    STARTED_PIDS+=("$SERVER_PID")
    SERVER_PORT=$(read_port_line "$WORK/$name.out" "$SERVER_PID") ||
        { note "$name did not start"; cat "$WORK/$name.err" >&2; return 1; }
}

DISPLAY_FOR_APP=
# Our program needs a display: the one there is, our own Xvfb, or offscreen.
prepare_display() {
    [[ -n $DISPLAY_FOR_APP ]] && return 0
    if (( OFFSCREEN )); then DISPLAY_FOR_APP=offscreen; return 0; fi
    if [[ -n ${DISPLAY:-} ]]; then DISPLAY_FOR_APP=$DISPLAY; return 0; fi
    if ! command -v Xvfb >/dev/null; then
        note "no Xvfb: our program runs offscreen"
        DISPLAY_FOR_APP=offscreen
        return 0
    fi
    # -displayfd picks a free display number and tells it, like xvfb-run -a,
    # while leaving us the server's own pid to end.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$WORK/xvfb.display" 2>"$WORK/xvfb.log" &
    STARTED_PIDS+=("$!")
    for _ in $(seq 100); do
        if [[ -s $WORK/xvfb.display ]]; then
            DISPLAY_FOR_APP=:$(tr -d '[:space:]' <"$WORK/xvfb.display")
            return 0
        fi
        sleep 0.05
    done
    note "Xvfb did not start: our program runs offscreen"
    DISPLAY_FOR_APP=offscreen
}

# Waits until the target answers one request; the probe is bounded too.
wait_until_serving() {  # port proto pid
    local port=$1 proto=$2 pid=$3
    for _ in $(seq 40); do
        kill -0 "$pid" 2>/dev/null || return 1
        if "$BIN/load/tarvik_load" --port "$port" --proto "$proto" --count 1 --seconds 0.5 \
               --timeout-ms 250 --no-prime >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.25
    done
    return 1
}

# Starts our program serving `port` over `proto` (tcp|udp) with tracing on
# ("Show raw data" and "Show reads" checked, as it starts) or off; sets
# OUR_PID. Returns 1 when it cannot be had, and the target sits out. Not
# called in $(...): its pids must be recorded in this shell.
#
# The window host is started as
#   tarvik_window_host --port P --proto tcp|udp --trace on|off --seconds S
# runs the real window with those check boxes set, serves until SIGTERM (or
# S seconds, should this script die without ending it) and
# then prints its event-loop figures as one line of JSON (read by
# stop_our_programs). Without the host the program itself runs from a folder
# of its own with a TarvikSlave.ini naming the port; it always starts with
# tracing on, so tracing off needs the host.
start_our_program() {  # port trace proto
    local port=$1 trace=$2 proto=$3
    (( WITH_APP )) || return 1
    if (( ! HAVE_HOST )) && { [[ ! -x $APP ]] || [[ $trace == off ]]; }; then
        return 1
    fi
    prepare_display
    local -a env_for_app
    if [[ $DISPLAY_FOR_APP == offscreen ]]; then
        env_for_app=(QT_QPA_PLATFORM=offscreen)
    else
        env_for_app=(DISPLAY="$DISPLAY_FOR_APP" QT_QPA_PLATFORM=xcb)
    fi
    local folder=$WORK/ours-$proto-$trace-$port pid
    mkdir -p "$folder"
    if (( HAVE_HOST )); then
        (cd "$folder" && exec env "${env_for_app[@]}" "$WINDOW_HOST" --port "$port" --proto "$proto" \
            --trace "$trace" --seconds "$SERVER_LIFETIME") >"$folder/out.log" 2>&1 &
        pid=$!
    else
        cp "$APP" "$folder/TarvikSlave"
        local title=Bench
        [[ $proto == udp ]] && title="Bench,U"
        printf '[General]\nSocketServer=1\nSimulatePAT=0\n\n[LocalPorts]\n%s=%s\n' "$port" "$title" \
            >"$folder/TarvikSlave.ini"
        (cd "$folder" && exec env "${env_for_app[@]}" ./TarvikSlave) >"$folder/out.log" 2>&1 &
        pid=$!
    fi
    STARTED_PIDS+=("$pid")
    if ! wait_until_serving "$port" "$proto" "$pid"; then
        note "our program ($proto, trace $trace) did not serve port $port"
        tail -n 5 "$folder/out.log" >&2 || true
        return 1
    fi
    OUR_PID=$pid
    OUR_PIDS+=("$pid")
    OUR_LOGS+=("$folder/out.log")
}
OUR_PIDS=()
OUR_LOGS=()

# Ends every program started so far (SIGTERM, as the window host expects)
# and prints the window host's figures of each: the event loop's longest
# stall, Timer_Send's tick spacing, the debug list's syncs and repaints, and
# how far the status-bar counters lagged.
stop_our_programs() {
    local i pid
    for pid in "${OUR_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${OUR_PIDS[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    done
    local lines=()
    for i in "${!OUR_LOGS[@]}"; do
        local line
        line=$(grep '^{"host":"window"' "${OUR_LOGS[$i]}" 2>/dev/null | tail -n 1) || true
        [[ -n $line ]] && lines+=("$line")
    done
    OUR_PIDS=()
    OUR_LOGS=()
    (( ${#lines[@]} )) || return 0
    echo "window host figures (whole run of each; stall = longest wait of a 10 ms probe timer beyond 10 ms):"
    printf '%s\n' "${lines[@]}" | awk '
    function field(json, key,    m) {
        if (match(json, "\"" key "\":\"?[^,\"}]*")) {
            m = substr(json, RSTART, RLENGTH); sub(/^[^:]*:"?/, "", m); return m
        }
        return ""
    }
    BEGIN {
        printf "%-5s %-5s %9s %9s %6s %-40s %15s %9s %9s %10s %7s\n", "proto", "trace", "stall ms", "p99 ms",
               ">50ms", "longest event (ms, what)", "Timer_Send ms", "syncs/s", "paints/s", "paint ms", "stale ms"
    }
    {
        printf "%-5s %-5s %9.1f %9.1f %6d %7.1f %-32s %7.1f-%-7.1f %9d %9d %10.2f %7.0f\n", field($0, "proto"),
               field($0, "trace"), field($0, "stall_ms_max"), field($0, "stall_ms_p99"),
               field($0, "stalls_over_50ms"), field($0, "event_ms_max"), substr(field($0, "event_max"), 1, 32),
               field($0, "send_tick_ms_min"), field($0, "send_tick_ms_max"), field($0, "list_syncs_per_s_max"),
               field($0, "list_paints_per_s_max"), field($0, "list_paint_ms_max"), field($0, "status_stale_ms_max")
    }'
    echo "(screen: $(printf '%s\n' "${lines[0]}" | grep -o '"screen_hz":[0-9.]*' | cut -d: -f2) Hz; syncs/s and paints/s are the busiest second's count of the debug list; stale = longest lag of a status-bar counter)"
}

free_port() { "$BIN/load/tarvik_free_port"; }

# ---- targets -------------------------------------------------------------------
declare -A TCP_PORT UDP_PORT
start_server floor "$BIN/floor/tarvik_floor" || exit 1
FLOOR_PID=$SERVER_PID
FLOOR_PORT=$SERVER_PORT
TCP_PORT[floor]=$FLOOR_PORT
UDP_PORT[floor]=$FLOOR_PORT
if (( HAVE_PEER )) && start_server peer "$BIN/peer/tarvik_peer"; then
    TCP_PORT[peer]=$SERVER_PORT
fi
for trace in on off; do
    for proto in tcp udp; do
        port=$(free_port)
        if start_our_program "$port" "$trace" "$proto"; then
            if [[ $proto == tcp ]]; then TCP_PORT[ours-trace-$trace]=$port; else UDP_PORT[ours-trace-$trace]=$port; fi
        fi
    done
done
TARGETS=(floor peer ours-trace-on ours-trace-off)

# ---- scenarios -----------------------------------------------------------------
SCENARIO_NAMES=(
    "1 poll fn3 q10"
    "2 pipelined 16 fn3 q10"
    "2 window 16 fn3 q10"
    "3 write fn16 q100"
    "3 read fn3 q125"
    "4 udp fn3 q10"
)
SCENARIO_ARGS=(
    "--proto tcp --fn 3 --qty 10 --depth 1"
    "--proto tcp --fn 3 --qty 10 --depth 16 --batch"
    "--proto tcp --fn 3 --qty 10 --depth 16"
    "--proto tcp --fn 16 --qty 100 --depth 1"
    "--proto tcp --fn 3 --qty 125 --depth 1"
    "--proto udp --fn 3 --qty 10 --depth 1"
)

RESULTS=$WORK/results.tsv
: >"$RESULTS"
runs=0
for ((round = 1; round <= ROUNDS; round++)); do
    note "round $round of $ROUNDS"
    for i in "${!SCENARIO_NAMES[@]}"; do
        args=${SCENARIO_ARGS[$i]}
        for target in "${TARGETS[@]}"; do
            if [[ $args == *"--proto udp"* ]]; then port=${UDP_PORT[$target]:-}; else port=${TCP_PORT[$target]:-}; fi
            [[ -n $port ]] || continue
            # shellcheck disable=SC2086  # the scenario's options are words
            line=$("$BIN/load/tarvik_load" --host 127.0.0.1 --port "$port" $args --count "$COUNT" \
                       --seconds "$SECONDS_PER_RUN" 2>>"$WORK/load.err") || true
            [[ $line == \{* ]] || { note "no result: $target, ${SCENARIO_NAMES[$i]}"; continue; }
            printf '%s\t%s\t%s\t%s\n' "$i" "${SCENARIO_NAMES[$i]}" "$target" "$line" >>"$RESULTS"
            runs=$((runs + 1))
        done
    done
done
note "$runs runs done"
if [[ -s $WORK/load.err ]]; then
    note "the load generator reported (first lines):"
    sort "$WORK/load.err" | uniq -c | sort -rn | head -n 10 >&2
fi

# ---- table ---------------------------------------------------------------------
# Medians over the rounds; ratios to the floor of the same scenario.
awk -F'\t' -v targets="${TARGETS[*]}" '
function field(json, key,    m) {
    if (match(json, "\"" key "\":\"?[^,\"}]*")) {
        m = substr(json, RSTART, RLENGTH); sub(/^[^:]*:"?/, "", m); return m
    }
    return ""
}
function median(list,    n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    if (n == 0) return 0
    return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
{
    key = $1 SUBSEP $3; name[$1] = $2; seen[key] = 1
    rps[key] = rps[key] " " field($4, "rps"); p50[key] = p50[key] " " field($4, "p50_us")
    p99[key] = p99[key] " " field($4, "p99_us")
    wrong[key] += field($4, "wrong"); missing[key] += field($4, "missing"); ok[key] += field($4, "ok")
    if ($1 + 0 > last) last = $1 + 0
}
END {
    nt = split(targets, t, " ")
    printf "%-24s %-15s %11s %8s %8s %8s %8s %7s %8s\n", "scenario", "target", "req/s", "x floor", "p50 us", "p99 us", "p99 x fl", "wrong", "missing"
    for (s = 0; s <= last; s++) {
        base = s SUBSEP "floor"
        floorRps = seen[base] ? median(rps[base]) : 0
        floorP99 = seen[base] ? median(p99[base]) : 0
        for (i = 1; i <= nt; i++) {
            key = s SUBSEP t[i]
            if (!seen[key]) continue
            r = median(rps[key]); q = median(p99[key])
            rRatio = floorRps > 0 ? sprintf("%.2f", r / floorRps) : "-"
            qRatio = floorP99 > 0 ? sprintf("%.2f", q / floorP99) : "-"
            printf "%-24s %-15s %11.0f %8s %8.0f %8.0f %8s %7d %8d\n", name[s], t[i], r, rRatio,
                   median(p50[key]), q, qRatio, wrong[key], missing[key]
        }
    }
}' "$RESULTS"
echo "(medians of $ROUNDS rounds, each run at most $COUNT requests and ${SECONDS_PER_RUN} s; missing = unanswered when a run ended)"
for target in ours-trace-on ours-trace-off; do
    [[ -n ${TCP_PORT[$target]:-} || -n ${UDP_PORT[$target]:-} ]] && continue
    if (( ! WITH_APP )); then why="left out with --no-app"
    elif (( HAVE_HOST )); then why="the window host did not serve"
    elif [[ ! -x $APP ]]; then why="our program is not built"
    elif [[ $target == ours-trace-off ]]; then why="tracing off needs the window host"
    else why="our program did not serve"
    fi
    echo "$target: not measured ($why)"
done

stop_our_programs

# ---- memory run ------------------------------------------------------------------
(( MEMORY_RUN )) || exit 0

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }

if [[ $MEMORY_TARGET == floor ]]; then
    mem_pid=$FLOOR_PID
    mem_port=$FLOOR_PORT
else
    mem_port=$(free_port)
    start_our_program "$mem_port" on tcp || { echo "memory run: our program is not available"; exit 0; }
    mem_pid=$OUR_PID
fi
note "memory run: ${MEMORY_SECONDS} s flood of $MEMORY_TARGET (pid $mem_pid)"
sleep 1  # the start-up probe's connection is closed and gone
fds_before=$(fd_count "$mem_pid")
"$BIN/load/tarvik_load" --port "$mem_port" --fn 3 --qty 10 --depth 16 --count 100000000 \
    --seconds "$MEMORY_SECONDS" >"$WORK/memory-load.json" 2>>"$WORK/load.err" &
load_pid=$!
STARTED_PIDS+=("$load_pid")
started=$(date +%s)
rss_minute=
printf '%8s %10s %6s\n' "seconds" "VmRSS KiB" "fds"
while kill -0 "$load_pid" 2>/dev/null; do
    elapsed=$(( $(date +%s) - started ))
    (( elapsed > MEMORY_SECONDS + 30 )) && break
    printf '%8d %10s %6s\n' "$elapsed" "$(rss_kib "$mem_pid")" "$(fd_count "$mem_pid")"
    if [[ -z $rss_minute ]] && (( elapsed >= 60 || elapsed >= MEMORY_SECONDS / 5 )); then
        rss_minute=$(rss_kib "$mem_pid")
        minute_at=$elapsed
    fi
    sleep 10
done
wait "$load_pid" 2>/dev/null || true
sleep 1  # the connection's close reaches the program
rss_end=$(rss_kib "$mem_pid")
fds_after=$(fd_count "$mem_pid")
cat "$WORK/memory-load.json"
rss_minute=${rss_minute:-$rss_end}
awk -v a="$rss_minute" -v at="${minute_at:-0}" -v b="$rss_end" -v f0="$fds_before" -v f1="$fds_after" 'BEGIN {
    growth = a > 0 ? 100 * (b - a) / a : 0
    printf "memory: VmRSS %d KiB at %d s, %d KiB at the end: %+.1f%% (%s)\n", a, at, b, growth,
           growth < 10 ? "within 10%" : "OVER 10%"
    printf "descriptors: %d before, %d after (%s)\n", f0, f1, f0 == f1 ? "unchanged" : "CHANGED"
}'
[[ $MEMORY_TARGET == floor ]] || stop_our_programs
