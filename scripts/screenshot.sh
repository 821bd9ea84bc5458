#!/usr/bin/env bash
# Remakes docs/window.png: the emulator's window on a virtual X screen (Xvfb)
# while a master on 127.0.0.1 is connected and has just sent a short burst of
# requests, so the trace, the register panes, the holding-register list, the
# counters and the green background all show real traffic.
#
#   bash scripts/screenshot.sh [--dont-answer | --values] [path/to/TarvikSlave]
#
# --dont-answer starts the window with "Don't answer" checked (from the
# settings file's [Options]) and writes docs/window-dont-answer.png instead:
# the amber warning, and requests traced but not answered.
#
# --values starts it with points and generators, opens View > Values... by
# keystrokes (xdotool) and writes docs/window-values.png: the Values window
# after some seconds of three moving points on its chart.
#
# Without an argument the program is built in build/plain first. Installs
# Xvfb, ImageMagick (import), xwininfo, xdotool and python3 with apt-get when
# they are missing.
# Every process it starts is ended by its pid before it returns.
set -euo pipefail
dont_answer=0
values=0
case "${1:-}" in
  --dont-answer) dont_answer=1; shift ;;
  --values) values=1; shift ;;
esac
program="${1:+$(realpath "$1")}"
cd "$(dirname "$0")/.."
repo=$PWD
out="$repo/docs/window.png"
if ((dont_answer)); then out="$repo/docs/window-dont-answer.png"; fi
if ((values)); then out="$repo/docs/window-values.png"; fi

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v import >/dev/null || need+=(imagemagick)
command -v xwininfo >/dev/null || need+=(x11-utils)
command -v xdotool >/dev/null || need+=(xdotool)
command -v python3 >/dev/null || need+=(python3)
if ((${#need[@]})); then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi

if [[ -z "$program" ]]; then
  cmake -S . -B build/plain -G Ninja
  cmake --build build/plain --target TarvikSlave -j "$(nproc)"
  program=build/plain/app/TarvikSlave
fi
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Polls `test` every 0.1 s, at most `tries` times.
wait_for() {
  local tries=$1; shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# A virtual screen on a display number the server picks itself.
# The Values window needs room beside the main one.
screen=640x480x24
if ((values)); then screen=1024x768x24; fi
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 100 test -s "$work/display" || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# The program reads TarvikSlave.ini beside its executable: copy both into
# the temp folder, the ini naming a port that is free now.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cp "$program" "$work/TarvikSlave"
cat >"$work/TarvikSlave.ini" <<EOF
[General]
SocketServer=1
SimulatePAT=0

[LocalPorts]
$port=Main
EOF
if ((dont_answer)); then printf '[Options]\nDontAnswer=1\n' >>"$work/TarvikSlave.ini"; fi
# Three moving points first (the chart's), then one the master writes.
if ((values)); then
  cat >>"$work/TarvikSlave.ini" <<EOF
[Points]
Flow=holding,10,float32,CDAB
Level=input,20,uint16
Stage=holding,30,int16
Setpoint=holding,1,uint16
Energy=holding,40,uint64
Pressure=holding,50,float64
[Generators]
Flow=sine 50 20 12s
Level=ramp 0 100 20s
Stage=steps 10 40 25 60 3s
Energy=counter 1 1s
Pressure=random 1.0 1.2 500ms
EOF
fi
title="Tarvik Slave Emulator - Main ($port)"

"$work/TarvikSlave" >"$work/program.log" 2>&1 &
pids+=($!)
# Looked up by id: import asked for a name it cannot find waits for a mouse click.
window_id() { xwininfo -name "$title" 2>/dev/null | awk '/Window id:/ { print $4 }'; }
window_shown() { [[ -n "$(window_id)" ]]; }
wait_for 300 window_shown ||
  { echo "the window did not appear" >&2; cat "$work/program.log" >&2; exit 1; }

# The master: a burst of requests, each answer awaited, then it stays
# connected (the window is green only while a master is) until ended.
cat >"$work/master.py" <<'EOF'
import socket, struct, sys, time

port, ready = int(sys.argv[1]), sys.argv[2]
held = len(sys.argv) > 3  # "Don't answer" is checked: nothing comes back

def frame(tid, pdu):
    return struct.pack(">HHHB", tid, 0, len(pdu) + 1, 1) + pdu

def receive(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise SystemExit("the emulator closed the connection")
        data += chunk
    return data

for _ in range(100):
    try:
        sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        break
    except OSError:
        time.sleep(0.1)
else:
    raise SystemExit("cannot connect")

requests = [
    struct.pack(">BHH", 6, 0, 0x8001),                                    # write register 0
    struct.pack(">BHHB3H", 16, 1, 3, 6, 1000, 2000, 3000),                # write registers 1-3
    struct.pack(">BHH", 3, 0, 4),                                         # read holding 0-3
    struct.pack(">BHH", 4, 0, 2),                                         # read input 0-1
    struct.pack(">BHH", 5, 7, 0xFF00),                                    # write coil 7
    struct.pack(">BHH", 3, 0, 4),
]
for tid, pdu in enumerate(requests, start=1):
    sock.sendall(frame(tid, pdu))
    if not held:
        head = receive(sock, 6)
        receive(sock, struct.unpack(">H", head[4:6])[0])
    time.sleep(0.15)

open(ready, "w").close()
time.sleep(600)
EOF
python3 "$work/master.py" "$port" "$work/ready" ${dont_answer:+$( ((dont_answer)) && echo held)} &
pids+=($!)
wait_for 300 test -e "$work/ready" || { echo "the master did not finish its burst" >&2; exit 1; }

# The holding-register list refreshes every 500 ms and the colour every
# 100 ms: give both a full round before the picture.
sleep 1.2
mkdir -p "$repo/docs"
if ((values)); then
  # View > Values... as the operator opens it from the keyboard.
  xdotool windowfocus --sync "$(window_id)"
  xdotool key alt+v
  sleep 0.3
  xdotool key v
  title="Values - Tarvik Slave Emulator"
  wait_for 100 window_shown || { echo "the Values window did not appear" >&2; exit 1; }
  # Half a minute of history on the chart.
  sleep 30
fi
import -window "$(window_id)" "$out"
echo "wrote $out"
