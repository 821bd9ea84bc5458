#!/usr/bin/env bash
# Load bench: the floor slave, the libmodbus peer and our program take the
# same bounded loads on 127.0.0.1, interleaved, a few rounds; prints each
# figure's median and its ratio to the floor, then one table of the ratios
# side by side. Our program runs in both faces, each with every trace option
# on and with them off:
#   window    the real window inside the window host (under Xvfb when there
#             is no display), which then reports how its event loop kept up
#             (stalls, Timer_Send ticks, debug-list repaints, status counters);
#   headless  TarvikSlave --headless --quiet --trace-file FILE, the options
#             from [Options] of its own settings file (ShowRawData and
#             ShowReads 1 or 0), with no display; its exit status after
#             SIGTERM and the lines its trace file says were lost are shown.
#
#   bash bench/run-load.sh [--rounds N] [--count N] [--seconds S] [--no-app]
#                          [--no-window] [--no-headless] [--offscreen] [--no-syscalls]
#                          [--memory-run [--memory-seconds S]
#                          [--memory-target ours|headless|floor]]
#
# --no-app leaves out both faces of our program; --no-window and --no-headless
# one of them. Each run also reads the target's CPU time (every thread's, from
# /proc/PID/task/*/schedstat) and reports microseconds of CPU per answer; then
# perf counts system calls per answer at one in flight for the floor and the
# headless face untraced (--no-syscalls leaves that out). Last comes the
# table of targets: each scenario's ratio beside the ratio it should reach. The memory run floods one target for --memory-seconds: "ours"
# is the window, "headless" the headless face with tracing on.
# The load tools are built in build/bench (Qt off; TARVIK_TOOLS_BUILD names
# another folder), our program and the window host in build/plain (Qt on;
# TARVIK_QT_BUILD names another), unless TARVIK_APP and TARVIK_WINDOW_HOST
# name ready binaries.
#
# Every load run is bounded by --count requests and --seconds of wall clock;
# every process started here is ended by its id when the script ends, and
# ends by itself after two hours should the script be killed outright.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

ROUNDS=3
COUNT=50000
SECONDS_PER_RUN=3
WITH_WINDOW=1
WITH_HEADLESS=1
OFFSCREEN=0
MEMORY_RUN=0
MEMORY_SECONDS=300
MEMORY_TARGET=ours
SYSCALLS=1
BUILD_DIR=${TARVIK_TOOLS_BUILD:-$ROOT/build/bench}
QT_BUILD_DIR=${TARVIK_QT_BUILD:-$ROOT/build/plain}
APP=${TARVIK_APP:-$QT_BUILD_DIR/app/TarvikSlave}
WINDOW_HOST=${TARVIK_WINDOW_HOST:-$QT_BUILD_DIR/bench/window-host/tarvik_window_host}
# Servers started here end by themselves after this long, should the script
# itself be killed without its exit trap.
SERVER_LIFETIME=7200

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }

while [[ $# -gt 0 ]]; do
    case $1 in
        --rounds) ROUNDS=$2; shift 2 ;;
        --count) COUNT=$2; shift 2 ;;
        --seconds) SECONDS_PER_RUN=$2; shift 2 ;;
        --no-app) WITH_WINDOW=0; WITH_HEADLESS=0; shift ;;
        --no-window) WITH_WINDOW=0; shift ;;
        --no-headless) WITH_HEADLESS=0; shift ;;
        --offscreen) OFFSCREEN=1; shift ;;
        --no-syscalls) SYSCALLS=0; shift ;;
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
[[ $MEMORY_TARGET =~ ^(ours|headless|floor)$ ]] || { echo "run-load.sh: --memory-target ours, headless or floor" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-load.XXXXXX")
STARTED_PIDS=()
# shellcheck source=bench/load-targets.sh
source "$ROOT/bench/load-targets.sh"
# shellcheck source=bench/load-measures.sh
source "$ROOT/bench/load-measures.sh"

cleanup() {
    local pid
    # Our programs first: a headless one is a child of its timeout wrapper.
    for pid in "${OUR_PIDS[@]}" "${STARTED_PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${STARTED_PIDS[@]}"; do
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

# Our program and the window host need Qt: built where Qt is on, each on its
# own so that one that fails leaves the other.
qt_build() {  # target
    cmake -S "$ROOT" -B "$QT_BUILD_DIR" -G Ninja -DTARVIK_BENCH=ON >>"$WORK/app-build.log" 2>&1 &&
        cmake --build "$QT_BUILD_DIR" -j 2 --target "$1" >>"$WORK/app-build.log" 2>&1 && return 0
    note "$1 does not build in ${QT_BUILD_DIR#"$ROOT"/} (see below)"
    tail -n 15 "$WORK/app-build.log" >&2
    return 1
}
if (( WITH_WINDOW || WITH_HEADLESS )) && [[ -z ${TARVIK_APP:-} ]]; then
    note "building our program in ${QT_BUILD_DIR#"$ROOT"/}"
    qt_build TarvikSlave || true
fi
HAVE_HOST=0
if (( WITH_WINDOW )); then
    if [[ -z ${TARVIK_WINDOW_HOST:-} ]]; then
        note "building the window host in ${QT_BUILD_DIR#"$ROOT"/}"
        qt_build tarvik_window_host && HAVE_HOST=1
    elif [[ -x $WINDOW_HOST ]]; then
        HAVE_HOST=1
    fi
fi

# ---- targets -------------------------------------------------------------------
declare -A TCP_PORT UDP_PORT PID_OF_PORT
start_server floor "$BIN/floor/tarvik_floor" || exit 1
FLOOR_PID=$SERVER_PID
FLOOR_PORT=$SERVER_PORT
TCP_PORT[floor]=$FLOOR_PORT
UDP_PORT[floor]=$FLOOR_PORT
PID_OF_PORT[$FLOOR_PORT]=$FLOOR_PID
if (( HAVE_PEER )) && start_server peer "$BIN/peer/tarvik_peer"; then
    TCP_PORT[peer]=$SERVER_PORT
    PID_OF_PORT[$SERVER_PORT]=$SERVER_PID
fi
FACES=()
(( WITH_WINDOW )) && FACES+=(window)
(( WITH_HEADLESS )) && FACES+=(headless)
for face in "${FACES[@]}"; do
    for trace in on off; do
        for proto in tcp udp; do
            start_our_program "$face" "$trace" "$proto" || continue
            PID_OF_PORT[$OUR_PORT]=$OUR_PID
            if [[ $proto == tcp ]]; then TCP_PORT[$face-trace-$trace]=$OUR_PORT; else UDP_PORT[$face-trace-$trace]=$OUR_PORT; fi
        done
    done
done
# The side-by-side table's columns, in this order.
TARGETS=(floor window-trace-on window-trace-off headless-trace-on headless-trace-off peer)

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
            pid=${PID_OF_PORT[$port]:-}
            cpu_before=$([[ -n $pid ]] && cpu_ns "$pid" || echo 0)
            # shellcheck disable=SC2086  # the scenario's options are words
            line=$("$BIN/load/tarvik_load" --host 127.0.0.1 --port "$port" $args --count "$COUNT" \
                       --seconds "$SECONDS_PER_RUN" 2>>"$WORK/load.err") || true
            cpu_after=$([[ -n $pid ]] && cpu_ns "$pid" || echo 0)
            [[ $line == \{* ]] || { note "no result: $target, ${SCENARIO_NAMES[$i]}"; continue; }
            printf '%s\t%s\t%s\t%s\t%s\n' "$i" "${SCENARIO_NAMES[$i]}" "$target" "$line" \
                "$((cpu_after - cpu_before))" >>"$RESULTS"
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
    answered = field($4, "ok") + 0
    if (answered > 0 && $5 + 0 > 0) cpu[key] = cpu[key] " " ($5 / 1000.0 / answered)
    if ($1 + 0 > last) last = $1 + 0
}
END {
    nt = split(targets, t, " ")
    printf "%-24s %-18s %11s %8s %8s %8s %8s %7s %8s %9s\n", "scenario", "target", "req/s", "x floor", "p50 us", "p99 us", "p99 x fl", "wrong", "missing", "CPU us/a"
    for (s = 0; s <= last; s++) {
        base = s SUBSEP "floor"
        floorRps[s] = seen[base] ? median(rps[base]) : 0
        floorP99[s] = seen[base] ? median(p99[base]) : 0
        for (i = 1; i <= nt; i++) {
            key = s SUBSEP t[i]
            if (!seen[key]) continue
            r = median(rps[key]); q = median(p99[key])
            rRatio[key] = floorRps[s] > 0 ? sprintf("%.2f", r / floorRps[s]) : "-"
            qRatio[key] = floorP99[s] > 0 ? sprintf("%.2f", q / floorP99[s]) : "-"
            cpuText[key] = cpu[key] != "" ? sprintf("%.1f", median(cpu[key])) : "-"
            printf "%-24s %-18s %11.0f %8s %8.0f %8.0f %8s %7d %8d %9s\n", name[s], t[i], r, rRatio[key],
                   median(p50[key]), q, qRatio[key], wrong[key], missing[key], cpuText[key]
        }
    }
    # Side by side: requests per second as a share of the floor, and the
    # p99 latency as a multiple of the floor'"'"'s, in brackets.
    print ""
    print "ratios to the floor, one run side by side: req/s x floor (p99 latency x floor)"
    head["window-trace-on"] = "window traced"; head["window-trace-off"] = "window untraced"
    head["headless-trace-on"] = "headless traced"; head["headless-trace-off"] = "headless untraced"
    head["peer"] = "libmodbus peer"
    printf "%-24s %10s", "scenario", "floor req/s"
    for (i = 2; i <= nt; i++) printf " %17s", head[t[i]]
    printf "\n"
    for (s = 0; s <= last; s++) {
        if (!(s in name)) continue
        printf "%-24s %10.0f", name[s], floorRps[s]
        for (i = 2; i <= nt; i++) {
            key = s SUBSEP t[i]
            printf " %17s", seen[key] ? rRatio[key] " (" qRatio[key] ")" : "-"
        }
        printf "\n"
    }
    # The targets: a ratio to the floor each face should reach, by scenario
    # (both 16-in-flight shapes share one row of targets).
    print ""
    print "targets: req/s x floor, measured [target] met|MISSED; CPU us per answer, the floor'"'"'s beside"
    split("0.97 0.95 0.90|0.95 0.85 0.80|0.95 0.85 0.80|0.95 0.90 0.85|0.95 0.90 0.85", rows, "|")
    split("headless-trace-off headless-trace-on window-trace-on", cols, " ")
    printf "%-24s %10s %8s  %-28s %-28s %-28s\n", "scenario", "floor req/s", "floor CPU", "headless untraced", "headless traced, file", "window traced"
    for (s = 0; s <= 4; s++) {
        if (!(s in name)) continue
        split(rows[s + 1], want, " ")
        printf "%-24s %10.0f %8s", name[s], floorRps[s], cpuText[s SUBSEP "floor"]
        for (c = 1; c <= 3; c++) {
            key = s SUBSEP cols[c]
            if (!seen[key] || rRatio[key] == "-") { printf "  %-28s", "-"; continue }
            verdict = rRatio[key] + 0 >= want[c] + 0 ? "met" : "MISSED"
            printf "  %-28s", sprintf("%s [%s] %s %sus", rRatio[key], want[c], verdict, cpuText[key])
        }
        printf "\n"
    }
}' "$RESULTS"
echo "(medians of $ROUNDS rounds, each run at most $COUNT requests and ${SECONDS_PER_RUN} s; missing = unanswered when a run ended;"
echo " traced = Show raw data and Show reads on, the headless face writing every line to a file with --quiet)"
for target in "${TARGETS[@]:1:4}"; do
    [[ -n ${TCP_PORT[$target]:-} || -n ${UDP_PORT[$target]:-} ]] && continue
    face=${target%%-*}
    if [[ $face == window ]] && (( ! WITH_WINDOW )); then why="left out"
    elif [[ $face == headless ]] && (( ! WITH_HEADLESS )); then why="left out"
    elif [[ $face == window ]] && (( HAVE_HOST )); then why="the window host did not serve"
    elif [[ ! -x $APP ]]; then why="our program is not built"
    elif [[ $target == window-trace-off ]]; then why="tracing off needs the window host"
    else why="our program did not serve"
    fi
    echo "$target: not measured ($why)"
done

# ---- system calls per answer -------------------------------------------------------
if (( SYSCALLS )); then
    note "counting system calls per answer at one in flight"
    echo "system calls per answer, fn 3 q10, one in flight (all threads, perf raw_syscalls:sys_enter):"
    echo "  floor: $(syscalls_per_answer "$FLOOR_PID" "$FLOOR_PORT" 20000)"
    if [[ -n ${TCP_PORT[headless-trace-off]:-} ]]; then
        port=${TCP_PORT[headless-trace-off]}
        echo "  headless untraced: $(syscalls_per_answer "${PID_OF_PORT[$port]}" "$port" 20000)"
    fi
fi

stop_our_programs

# ---- memory run ------------------------------------------------------------------
(( MEMORY_RUN )) || exit 0

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }

if [[ $MEMORY_TARGET == floor ]]; then
    mem_pid=$FLOOR_PID
    mem_port=$FLOOR_PORT
else
    face=window
    [[ $MEMORY_TARGET == headless ]] && face=headless
    start_our_program "$face" on tcp || { echo "memory run: our program ($face) is not available"; exit 0; }
    mem_pid=$OUR_PID
    mem_port=$OUR_PORT
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
