#!/usr/bin/env python3
"""A minimal Modbus/TCP master: writes holding register 5, reads registers
4 to 6 back and checks each answer frame byte for byte.

    modbus_master.py PORT [VALUE]

Waits up to 10 s for the slave to listen on 127.0.0.1:PORT. Exit 0 when both
answers are right, 1 otherwise."""
import socket
import struct
import sys
import time


def frame(transaction, function, *words):
    pdu = struct.pack(">B" + "H" * len(words), function, *words)
    return struct.pack(">HHHB", transaction, 0, len(pdu) + 1, 1) + pdu


def connect(port):
    deadline = time.monotonic() + 10
    while True:
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=5)
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def receive(sock, count):
    """Up to count bytes; fewer when the slave closes or goes quiet for 5 s."""
    data = b""
    try:
        while len(data) < count:
            chunk = sock.recv(count - len(data))
            if not chunk:
                break
            data += chunk
    except TimeoutError:
        pass
    return data


def main():
    port = int(sys.argv[1])
    value = int(sys.argv[2], 0) if len(sys.argv) > 2 else 0xBEEF
    write = frame(0x0101, 6, 5, value)
    read_answer = struct.pack(">HHHBBBHHH", 0x0202, 0, 9, 1, 3, 6, 0, value, 0)
    exchanges = [
        ("write register 5", write, write),  # function 6 answers with an echo
        ("read registers 4-6", frame(0x0202, 3, 4, 3), read_answer),
    ]
    with connect(port) as sock:
        for name, request, expected in exchanges:
            sock.sendall(request)
            answer = receive(sock, len(expected))
            if answer != expected:
                print(f"{name}: answer {answer.hex(' ')}, expected {expected.hex(' ')}",
                      file=sys.stderr)
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
