#!/usr/bin/python3
"""pymodbus's own serial server behind a pty, an independent slave for the end-to-end tests.

    pymodbus_serial.py ascii|rtu

Prints the path a master opens, then serves there until killed: unit 1, holding register 0
holds 4321, everything else 0. pymodbus opens a port by its path, as the master does, so two
ptys are bridged here, byte for byte as they come.
"""
import os
import sys
import threading
import tty

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer


def block(first=0):
    return ModbusSequentialDataBlock(0, [first] + [0] * 99)


def pty_pair():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


def forward(source, sink):
    while True:
        try:
            data = os.read(source, 4096)
        except OSError:  # the far end is not open yet, or went away
            data = b""
        if data:
            os.write(sink, data)
        else:
            threading.Event().wait(0.005)


def main():
    framer = ModbusAsciiFramer if sys.argv[1] == "ascii" else ModbusRtuFramer
    near, near_slave, near_path = pty_pair()
    far, far_slave, far_path = pty_pair()
    for source, sink in ((near, far), (far, near)):
        threading.Thread(target=forward, args=(source, sink), daemon=True).start()
    print(near_path, flush=True)
    unit = ModbusSlaveContext(di=block(), co=block(), hr=block(4321), ir=block(), zero_mode=True)
    context = ModbusServerContext(slaves={1: unit}, single=False)
    StartSerialServer(context=context, framer=framer, port=far_path, baudrate=19200)


main()
