#!/usr/bin/env python3
"""The master of bench/run-plant.sh: polls every slave of a plant once a second.

    python3 bench/plant_poll.py --ports FILE --seconds S

FILE holds one "NAME PORT" line per slave on 127.0.0.1. Each slave gets one
connection of its own, kept for the whole run, as a SCADA master keeps one
per device. First every slave is given its own values in holding registers
1 to 4 (function 16), so an answer that reaches the wrong master or carries
another slave's values is caught; then, once a second, every slave is asked
for them (function 3) and each answer is checked byte for byte. A request
unanswered within a second counts as missing. Prints one line of JSON
(polls, ok, wrong, missing, latencies) and, on standard error, the first
faults; exit status 0 only when every answer was right.
"""
import argparse
import json
import selectors
import socket
import struct
import sys
import time

QUANTITY = 4
ANSWER_WAIT_S = 1.0


def frame(transaction, pdu):
    return struct.pack(">HHHB", transaction, 0, len(pdu) + 1, 1) + pdu


def slave_values(index):
    """Values no two slaves of a plant share."""
    return [(index * 16 + k * 4099 + 1) & 0xFFFF for k in range(QUANTITY)]


class Slave:
    def __init__(self, name, port, index):
        self.name, self.port, self.index = name, port, index
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.sock.setblocking(False)
        self.inbox = b""
        self.expected = None  # (answer bytes, sent at)
        self.transaction = index & 0xFF  # ids differ between slaves too

    def next_id(self):
        self.transaction = (self.transaction + 256) & 0xFFFF
        return self.transaction

    def send(self, request, expected):
        self.sock.sendall(request)
        self.expected = (expected, time.monotonic())

    def take_frames(self):
        """Whole frames received so far, cut by their Length field."""
        frames = []
        while len(self.inbox) >= 6:
            size = 6 + struct.unpack(">H", self.inbox[4:6])[0]
            if len(self.inbox) < size:
                break
            frames.append(self.inbox[:size])
            self.inbox = self.inbox[size:]
        return frames


class Tally:
    def __init__(self):
        self.polls = self.ok = self.wrong = self.missing = 0
        self.latencies = []
        self.faults = []

    def fault(self, text):
        if len(self.faults) < 20:
            self.faults.append(text)


def exchange(slaves, build, tally, counted):
    """One round: a request to every slave, then every answer or a second."""
    for slave in slaves:
        request, expected = build(slave)
        try:
            slave.send(request, expected)
        except OSError as error:
            slave.expected = None
            if counted:
                tally.polls += 1
                tally.missing += 1
            tally.fault(f"{slave.name}: send failed: {error}")
    waiting = {s for s in slaves if s.expected}
    if counted:
        tally.polls += len(waiting)
    selector = selectors.DefaultSelector()
    for slave in waiting:
        selector.register(slave.sock, selectors.EVENT_READ, slave)
    deadline = time.monotonic() + ANSWER_WAIT_S
    while waiting and time.monotonic() < deadline:
        for key, _ in selector.select(max(0.0, deadline - time.monotonic())):
            slave = key.data
            try:
                data = slave.sock.recv(65536)
            except BlockingIOError:
                continue
            except OSError:
                data = b""
            if not data:
                tally.fault(f"{slave.name}: connection closed")
                selector.unregister(slave.sock)
                waiting.discard(slave)
                continue
            slave.inbox += data
            for answer in slave.take_frames():
                if slave not in waiting:
                    if counted:
                        tally.wrong += 1
                    tally.fault(f"{slave.name}: unasked frame {answer.hex()}")
                    continue
                expected, sent = slave.expected
                if answer == expected:
                    if counted:
                        tally.ok += 1
                        tally.latencies.append(time.monotonic() - sent)
                else:
                    if counted:
                        tally.wrong += 1
                    tally.fault(f"{slave.name}: got {answer.hex()}, wanted {expected.hex()}")
                selector.unregister(slave.sock)
                waiting.discard(slave)
    for slave in waiting:
        if counted:
            tally.missing += 1
        tally.fault(f"{slave.name}: no answer within {ANSWER_WAIT_S} s")
        slave.expected = None
    selector.close()


def write_request(slave):
    values = slave_values(slave.index)
    transaction = slave.next_id()
    data = struct.pack(">HHB", 0, QUANTITY, 2 * QUANTITY) + struct.pack(f">{QUANTITY}H", *values)
    request = frame(transaction, b"\x10" + data)
    # Answered with the whole request echoed, or with start and quantity only
    # where StandardWriteAnswer is set; the plant's settings leave it unset.
    return request, request


def read_request(slave):
    transaction = slave.next_id()
    request = frame(transaction, struct.pack(">BHH", 3, 0, QUANTITY))
    values = slave_values(slave.index)
    answer = frame(transaction, struct.pack(">BB", 3, 2 * QUANTITY) + struct.pack(f">{QUANTITY}H", *values))
    return request, answer


def percentile(values, share):
    if not values:
        return 0.0
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ports", required=True)
    parser.add_argument("--seconds", type=int, required=True)
    options = parser.parse_args()
    if not 1 <= options.seconds <= 3600:
        parser.error("--seconds wants 1 to 3600")

    slaves = []
    with open(options.ports, encoding="utf-8") as lines:
        for index, line in enumerate(lines):
            name, port = line.split()
            slaves.append(Slave(name, int(port), index))

    tally = Tally()
    exchange(slaves, write_request, tally, counted=False)
    primed = not tally.faults
    for fault in tally.faults:
        print(f"plant_poll.py: priming: {fault}", file=sys.stderr)
    tally.faults.clear()

    started = time.monotonic()
    for second in range(options.seconds):
        exchange(slaves, read_request, tally, counted=True)
        # The next round starts on the next whole second of the run.
        pause = started + second + 1 - time.monotonic()
        if pause > 0:
            time.sleep(pause)
    for slave in slaves:
        slave.sock.close()

    for fault in tally.faults:
        print(f"plant_poll.py: {fault}", file=sys.stderr)
    to_ms = 1000.0
    print(json.dumps({
        "slaves": len(slaves), "seconds": options.seconds, "primed": primed, "polls": tally.polls, "ok": tally.ok,
        "wrong": tally.wrong, "missing": tally.missing,
        "p50_ms": round(percentile(tally.latencies, 0.50) * to_ms, 3),
        "p99_ms": round(percentile(tally.latencies, 0.99) * to_ms, 3),
        "max_ms": round(max(tally.latencies, default=0.0) * to_ms, 3),
    }))
    return 0 if primed and tally.ok == tally.polls and tally.polls > 0 else 3


if __name__ == "__main__":
    sys.exit(main())
