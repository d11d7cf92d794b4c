# SPDX-License-Identifier: GPL-3.0-or-later
"""Sockets and the JSON-lines log, shared by the simulator and the lossy relay."""

import json
import socket
import time

IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)


class JsonLog:
    """One JSON object per line, flushed at once so a test can follow the file while we run."""

    def __init__(self, stream):
        self.stream = stream

    def write(self, rec):
        if self.stream is None:
            return
        self.stream.write(json.dumps({"t": round(time.monotonic(), 6), **rec}) + "\n")
        self.stream.flush()


def addr_text(addr):
    return f"{addr[0]}:{addr[1]}"


def udp_socket(ip, port, *, reuse=True, broadcast=True, pktinfo=False):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    if reuse:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if broadcast:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    if pktinfo:
        s.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    # Large bursts (a thousand devices answering, a fast uploader) must not overflow the queue.
    for opt in (socket.SO_RCVBUF, socket.SO_SNDBUF):
        try:
            s.setsockopt(socket.SOL_SOCKET, opt, 4 << 20)
        except OSError:
            pass
    s.setblocking(False)
    s.bind((ip, port))
    return s
