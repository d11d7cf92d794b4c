#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Sends COUNT junk datagrams to HOST:4001 as fast as the socket takes them, in three kinds taken in
turn: random bytes of 0-2,000; the discovery magic with any sequence but SEQUENCE; the sequence
SEQUENCE behind a wrong magic. Seeded, so every run sends the same flood. Prints the count sent."""
import errno
import random
import socket
import sys
import time

host, sequence, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(4001)
magic = bytes([0x87, 0x65, 0x43, 0x21])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sent = 0
for i in range(count):
    kind = i % 3
    if kind == 0:
        d = rnd.randbytes(rnd.randint(0, 2000))
    elif kind == 1:
        wrong = (sequence + rnd.randint(1, 0xFFFF)) & 0xFFFF
        d = magic + b"\x10\x00" + wrong.to_bytes(2, "big") + rnd.randbytes(rnd.randint(52, 1992))
    else:
        bad = rnd.randbytes(4)
        while bad == magic:
            bad = rnd.randbytes(4)
        d = bad + b"\x10\x00" + (sequence & 0xFFFF).to_bytes(2, "big") + rnd.randbytes(rnd.randint(52, 1992))
    while True:
        try:
            s.sendto(d, (host, 4001))
            break
        except OSError as e:  # a full transmit queue: wait for it, do not skip the datagram
            if e.errno not in (errno.ENOBUFS, errno.EAGAIN):
                raise
            time.sleep(0.0005)
    sent += 1
print(sent, flush=True)
