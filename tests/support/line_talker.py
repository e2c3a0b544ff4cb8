#!/usr/bin/env python3
"""Another master's polls on a pty, for a listener under test: prints the pty's name, then
writes a request for slave 48 and, 10 ms later, its reply, every 50 ms until its time is up."""
import os
import pty
import sys
import time
import tty


def framed(body):
    crc = 0xFFFF
    for byte in body:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes(body) + bytes([crc & 0xFF, crc >> 8])


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 5.0
    master, slave = pty.openpty()
    tty.setraw(slave)  # bytes as they are: no line editing, no echo
    print(os.ttyname(slave), flush=True)
    request = framed([48, 3, 0, 0, 0, 1])
    reply = framed([48, 3, 2, 0, 10])
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        os.write(master, request)
        time.sleep(0.01)
        os.write(master, reply)
        time.sleep(0.04)


if __name__ == "__main__":
    main()
