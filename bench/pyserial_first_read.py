#!/usr/bin/python3
"""The first read through pyserial's own client of a serial device server:
as the plain blocking client does it (200 ms, a request, its reply, ...),
with a receive purge before each request, as the tool does one.

Usage: pyserial_first_read.py URL   (rfc2217://HOST:PORT or socket://HOST:PORT)
"""
import sys
import time

import serial

# A server in front of a pseudo-terminal never answers setting DTR or RTS,
# which pyserial waits for: it is left alone (hardware flow control on a
# pseudo-terminal changes nothing).
port = serial.serial_for_url(sys.argv[1], baudrate=1200, bytesize=8, parity="N", stopbits=1,
                             timeout=5, rtscts=True, dsrdtr=True)


def ask(request):
    port.reset_input_buffer()
    port.write((request + "\r\n").encode())
    reply = port.read_until(b"\n")
    if not reply.endswith(b"\n"):
        sys.exit("no reply to " + request)
    return reply.decode()


time.sleep(0.2)
probe = ask("S 0").split(" ")[0]
for mnemonic in ("VN4", "CS", "AD", "OP", "OW", "SL", "IS", "PL", "PH", "FS"):
    time.sleep(0.2)
    ask("TXP" + probe + mnemonic)
time.sleep(0.2)
port.close()
