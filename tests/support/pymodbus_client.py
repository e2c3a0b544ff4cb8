#!/usr/bin/python3
"""pymodbus's own client, an independent master for the end-to-end tests.

    pymodbus_client.py ascii|rtu PORT UNIT

Opens PORT (a serial port's path, or HOST:PORT for Modbus ASCII or RTU in a TCP stream), reads
holding registers 0..2, writes 77 to register 5, reads it back and reads coil 0; prints one
line a step ("read 10 20 30", "write ok", "read back 77", "coils 1") or what failed.
"""
import sys

from pymodbus.client import ModbusSerialClient, ModbusTcpClient
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer


def client_for(framing, port):
    framer = ModbusAsciiFramer if framing == "ascii" else ModbusRtuFramer
    if ":" in port and not port.startswith("/"):
        host, number = port.rsplit(":", 1)
        return ModbusTcpClient(host, port=int(number), framer=framer, timeout=2)
    return ModbusSerialClient(port=port, framer=framer, baudrate=19200, timeout=2)


def show(what, reply, values):
    if reply.isError():
        print(what, "failed:", reply)
    else:
        print(what, *values(reply))


def main():
    framing, port, unit = sys.argv[1], sys.argv[2], int(sys.argv[3])
    client = client_for(framing, port)
    if not client.connect():
        print("cannot connect to", port)
        return 1
    show("read", client.read_holding_registers(0, 3, slave=unit), lambda r: r.registers)
    show("write", client.write_register(5, 77, slave=unit), lambda r: ["ok"])
    show("read back", client.read_holding_registers(5, 1, slave=unit), lambda r: r.registers)
    show("coils", client.read_coils(0, 1, slave=unit), lambda r: [int(r.bits[0])])
    client.close()
    return 0


sys.exit(main())
