# Sourced by bench/run-load.sh: starting and ending the slaves under load.
# Expects from the caller: WORK (a scratch folder), STARTED_PIDS (every pid
# the exit trap ends), BIN (the load tools), APP (our program), WINDOW_HOST,
# HAVE_HOST, OFFSCREEN, SERVER_LIFETIME and note().
# shellcheck shell=bash disable=SC2034  # the caller reads the variables set here

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

free_port() { "$BIN/load/tarvik_free_port"; }

DISPLAY_FOR_APP=
# The window needs a display: the one there is, our own Xvfb, or offscreen.
prepare_display() {
    [[ -n $DISPLAY_FOR_APP ]] && return 0
    if (( OFFSCREEN )); then DISPLAY_FOR_APP=offscreen; return 0; fi
    if [[ -n ${DISPLAY:-} ]]; then DISPLAY_FOR_APP=$DISPLAY; return 0; fi
    if ! command -v Xvfb >/dev/null; then
        note "no Xvfb: the window runs offscreen"
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
    note "Xvfb did not start: the window runs offscreen"
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

# Our program under load, in either face; what was started is recorded in
# these, index by index, for stop_our_programs.
OUR_PIDS=()   # the program itself: signalled, measured
OUR_WAITS=()  # what to wait for to learn its exit status
OUR_FACES=()  # window | headless
OUR_NAMES=()  # face-proto-trace, for the report
OUR_DIRS=()   # its folder: out.log, and the headless face's trace files

# Starts our program serving over `proto` (tcp|udp) with tracing on ("Show
# raw data" and "Show reads" checked) or off; sets OUR_PORT and OUR_PID.
# Returns 1 when it cannot be had, and the target sits out. Not called in
# $(...): its pids must be recorded in this shell.
start_our_program() {  # face trace proto
    local face=$1 trace=$2 proto=$3
    if [[ $face == headless ]]; then start_headless "$trace" "$proto"; else start_window "$trace" "$proto"; fi
}

# The window host is started as
#   tarvik_window_host --port P --proto tcp|udp --trace on|off --seconds S
# runs the real window with those check boxes set, serves until SIGTERM (or
# S seconds, should this script die without ending it) and then prints its
# event-loop figures as one line of JSON (read by stop_our_programs).
# Without the host the program itself runs from a folder of its own with a
# TarvikSlave.ini naming the port; the window always starts with tracing
# on, so tracing off needs the host.
start_window() {  # trace proto
    local trace=$1 proto=$2 port pid
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
    port=$(free_port)
    local folder
    folder=$(mktemp -d "$WORK/window-$proto-$trace.XXXX")
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
        note "the window ($proto, trace $trace) did not serve port $port"
        tail -n 5 "$folder/out.log" >&2 || true
        return 1
    fi
    OUR_PORT=$port
    OUR_PID=$pid
    OUR_PIDS+=("$pid")
    OUR_WAITS+=("$pid")
    OUR_FACES+=(window)
    OUR_NAMES+=("window-$proto-$trace")
    OUR_DIRS+=("$folder")
}

# The headless face, as a user would run it under load: --quiet, every trace
# line to a file, the options from [Options] of its own settings file, no
# display at all. Port 0 lets the system pick a free one, which the program
# names in its "Role:" notice. Wrapped in timeout(1) so that it ends by
# itself, should this script die without ending it.
start_headless() {  # trace proto
    local trace=$1 proto=$2 flag=1 title=Bench
    [[ -x $APP ]] || return 1
    [[ $trace == off ]] && flag=0
    [[ $proto == udp ]] && title="Bench,U"
    local folder
    folder=$(mktemp -d "$WORK/headless-$proto-$trace.XXXX")
    printf '[General]\nSocketServer=1\nSimulatePAT=0\nBindAddress=127.0.0.1\n\n[LocalPorts]\n0=%s\n\n[Options]\nShowRawData=%s\nShowReads=%s\n' \
        "$title" "$flag" "$flag" >"$folder/TarvikSlave.ini"
    env -u DISPLAY -u QT_QPA_PLATFORM timeout -k 5 "$SERVER_LIFETIME" "$APP" --headless --quiet \
        --config "$folder/TarvikSlave.ini" --trace-file "$folder/trace.txt" \
        >"$folder/out.log" 2>"$folder/err.log" &
    local wrapper=$! pid='' port=''
    STARTED_PIDS+=("$wrapper")
    for _ in $(seq 100); do
        [[ -z $pid ]] && pid=$(awk '{ print $1 }' "/proc/$wrapper/task/$wrapper/children" 2>/dev/null)
        port=$(sed -n 's/^## [0-9:]* Role: .* on port \([0-9]*\)$/\1/p' "$folder/out.log" 2>/dev/null | head -n 1)
        [[ -n $pid && -n $port ]] && break
        kill -0 "$wrapper" 2>/dev/null || break
        sleep 0.05
    done
    if [[ -z $pid || -z $port ]] || ! wait_until_serving "$port" "$proto" "$pid"; then
        note "the headless face ($proto, trace $trace) did not serve"
        tail -n 5 "$folder/out.log" "$folder/err.log" >&2 || true
        return 1
    fi
    OUR_PORT=$port
    OUR_PID=$pid
    OUR_PIDS+=("$pid")
    OUR_WAITS+=("$wrapper")
    OUR_FACES+=(headless)
    OUR_NAMES+=("headless-$proto-$trace")
    OUR_DIRS+=("$folder")
}

# Ends every program started so far with SIGTERM and reports: for the
# window host, its figures of the event loop (the longest stall, Timer_Send's
# tick spacing, the debug list's syncs and repaints, how far the status-bar
# counters lagged); for the headless face, its exit status, what went into
# its trace file and how many lines that file says were lost.
stop_our_programs() {
    local i pid
    for pid in "${OUR_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    local statuses=()
    for i in "${!OUR_PIDS[@]}"; do
        for _ in $(seq 50); do
            kill -0 "${OUR_PIDS[$i]}" 2>/dev/null || break
            sleep 0.1
        done
        wait_status "${OUR_WAITS[$i]}"
        statuses[i]=$WAIT_STATUS
    done
    report_window_figures
    report_headless_figures "${statuses[@]}"
    OUR_PIDS=()
    OUR_WAITS=()
    OUR_FACES=()
    OUR_NAMES=()
    OUR_DIRS=()
}

# Sets WAIT_STATUS to the exit status of a child of this shell, or to
# "running" if it has not ended; an ended one leaves STARTED_PIDS, so the
# exit trap never signals a number the system may have given another
# process since. Not called in $(...): only this shell can wait for it.
wait_status() {  # pid
    if kill -0 "$1" 2>/dev/null; then WAIT_STATUS=running; return 0; fi
    WAIT_STATUS=0
    wait "$1" 2>/dev/null || WAIT_STATUS=$?
    local kept=() pid
    for pid in "${STARTED_PIDS[@]}"; do [[ $pid == "$1" ]] || kept+=("$pid"); done
    STARTED_PIDS=("${kept[@]}")
}

report_headless_figures() {  # statuses, index by index with OUR_*
    local statuses=("$@") i any=0
    for i in "${!OUR_FACES[@]}"; do
        [[ ${OUR_FACES[$i]} == headless ]] || continue
        if (( ! any )); then
            echo "headless figures (SIGTERM at the end; lost = what the trace file's own notices count):"
            printf '%-22s %6s %14s %12s\n' "program" "exit" "trace file MB" "lines lost"
            any=1
        fi
        local folder=${OUR_DIRS[$i]} bytes lost
        bytes=$(cat "$folder"/trace.txt* 2>/dev/null | wc -c)
        lost=$(cat "$folder"/trace.txt* 2>/dev/null |
               awk '/^## .* trace lines lost$/ { n += $(NF - 3) } END { print n + 0 }')
        printf '%-22s %6s %14.1f %12d\n' "${OUR_NAMES[$i]}" "${statuses[$i]}" "$((bytes))e-6" "$lost"
    done
}

report_window_figures() {
    local i lines=()
    for i in "${!OUR_FACES[@]}"; do
        [[ ${OUR_FACES[$i]} == window ]] || continue
        local line
        line=$(grep '^{"host":"window"' "${OUR_DIRS[$i]}/out.log" 2>/dev/null | tail -n 1) || true
        [[ -n $line ]] && lines+=("$line")
    done
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
