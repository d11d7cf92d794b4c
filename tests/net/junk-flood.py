#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Sends COUNT seeded junk datagrams to HOST:4001 as fast as the socket takes them, three kinds in
turn: random bytes of 0-2,000; the discovery magic with any sequence but SEQUENCE; the sequence
SEQUENCE behind a wrong magic."""
import errno
import random
import socket
import sys
import time

host, sequence, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(4001)
magic = 0x87654321
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for i in range(count):
    if i % 3 == 0:
        d = rnd.randbytes(rnd.randint(0, 2000))
    else:
        head = magic if i % 3 == 1 else magic ^ rnd.randint(1, 0xFFFFFFFF)
        seq = (sequence + (rnd.randint(1, 0xFFFF) if i % 3 == 1 else 0)) & 0xFFFF
        d = head.to_bytes(4, "big") + b"\x10\x00" + seq.to_bytes(2, "big") + rnd.randbytes(rnd.randint(52, 1992))
    while True:
        try:
            s.sendto(d, (host, 4001))
            break
        except OSError as e:  # a full transmit queue: wait for it, do not skip the datagram
            if e.errno not in (errno.ENOBUFS, errno.EAGAIN):
                raise
            time.sleep(0.0005)
