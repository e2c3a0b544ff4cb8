#!/usr/bin/python3
"""An independent Modbus server for the end-to-end tests: pymodbus's own, on 127.0.0.1.

    pymodbus_server.py tcp|udp socket|rtu|ascii PORT

"socket" frames with MBAP headers (Modbus TCP), "rtu" with RTU frames in the stream or the
datagrams, "ascii" with ASCII frames. Unit 1; holding register 0 holds 4321, everything else 0. Runs until killed.
"""
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartTcpServer, StartUdpServer
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer, ModbusSocketFramer


def block(first=0):
    return ModbusSequentialDataBlock(0, [first] + [0] * 99)


def main():
    transport, framing, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
    unit = ModbusSlaveContext(di=block(), co=block(), hr=block(4321), ir=block(), zero_mode=True)
    context = ModbusServerContext(slaves={1: unit}, single=False)
    framer = {"rtu": ModbusRtuFramer, "ascii": ModbusAsciiFramer}.get(framing, ModbusSocketFramer)
    start = StartTcpServer if transport == "tcp" else StartUdpServer
    start(context=context, address=("127.0.0.1", port), framer=framer)


main()
