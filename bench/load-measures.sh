# Sourced by bench/run-load.sh: what a target costs besides its speed.
# shellcheck shell=bash

# CPU time in nanoseconds spent so far by every thread of a process (the
# first field of each task's schedstat: time on a CPU).
cpu_ns() {  # pid
    local pid=$1 total=0 t
    for t in /proc/"$pid"/task/*/schedstat; do
        read -r ns _ <"$t" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

# System calls per answer of a target at one request in flight (fn 3 q10):
# every thread's calls counted by the kernel's raw_syscalls:sys_enter
# tracepoint while the load runs, divided by the answers. Prints the figure,
# or "-" when perf cannot count here.
syscalls_per_answer() {  # pid port count
    local pid=$1 port=$2 count=$3
    command -v perf >/dev/null || { echo "-"; return 0; }
    perf stat -x, -e raw_syscalls:sys_enter -p "$pid" -o "$WORK/perf-$pid.csv" &
    local perf_pid=$!
    sleep 0.5  # perf attached to every thread
    local line ok
    line=$("$BIN/load/tarvik_load" --host 127.0.0.1 --port "$port" --proto tcp --fn 3 --qty 10 \
               --depth 1 --count "$count" --seconds 30 --no-prime 2>/dev/null) || true
    kill -INT "$perf_pid" 2>/dev/null || true
    wait "$perf_pid" 2>/dev/null || true
    ok=$(sed -n 's/.*"ok":\([0-9]*\).*/\1/p' <<<"$line")
    local calls
    calls=$(awk -F, '/raw_syscalls:sys_enter/ { print $1 }' "$WORK/perf-$pid.csv" 2>/dev/null)
    if [[ -z $ok || $ok == 0 || ! $calls =~ ^[0-9]+$ ]]; then echo "-"; return 0; fi
    awk -v c="$calls" -v n="$ok" 'BEGIN { printf "%.2f\n", c / n }'
}
