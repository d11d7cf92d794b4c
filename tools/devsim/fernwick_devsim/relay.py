# SPDX-License-Identifier: GPL-3.0-or-later
"""A seeded, lossy UDP relay for TFTP-like traffic, run in front of a real server.

    client ──> LISTEN:69 ──relay──> 127.0.0.1:69 (the server)
    client <── LISTEN:T  <──relay── 127.0.0.1:T  (the server's transfer port)

The server must be bound to 127.0.0.1 (not 0.0.0.0) in the relay's namespace. Each client gets
its own loopback leg socket, so the server sees one distinct peer per client. When the server
answers from a new port T, the relay opens LISTEN:T and speaks to the client from there: the
client sees the server's transfer-ID behaviour unchanged.

Every datagram in either direction draws three numbers from one seeded generator: loss,
duplication, reordering. With the same seed and the same packet order, the same packets suffer.
A reordered datagram is held until the next datagram of the same session and direction has gone
out (or --hold-ms passes) and then sent.
"""

import argparse
import functools
import json
import random
import selectors
import signal
import socket
import sys
import time
from dataclasses import dataclass, field

from .common import JsonLog, udp_socket


@dataclass
class Session:
    client: tuple
    leg: socket.socket
    seen: float = field(default_factory=time.monotonic)
    ports: set = field(default_factory=set)  # server transfer ports mirrored for this client
    held: dict = field(default_factory=dict)  # direction -> (send function, data, deadline)


class Relay:
    def __init__(self, listen, port, server, rng, loss_in, loss_out, duplicate, reorder, hold, idle, log):
        self.listen = listen
        self.port = port
        self.server = server
        self.rng = rng
        self.loss = {"to-server": loss_in, "to-client": loss_out}
        self.duplicate = duplicate
        self.reorder = reorder
        self.hold = hold
        self.idle = idle
        self.logf = JsonLog(log)
        self.sel = selectors.DefaultSelector()
        self.sessions = {}  # client address -> Session
        self.fronts = {}  # port -> (socket, Session or None)
        self.running = True
        self.counts = {"forward": 0, "drop": 0, "duplicate": 0, "hold": 0}
        front = self._bind(listen, port)
        self.fronts[port] = (front, None)
        self.sel.register(front, selectors.EVENT_READ, functools.partial(self._on_front, port))

    def log(self, event, **fields):
        self.logf.write({"event": event, **fields})

    @staticmethod
    def _bind(ip, port):
        return udp_socket(ip, port, reuse=False, broadcast=False)

    def _session(self, client):
        sess = self.sessions.get(client)
        if sess is None:
            leg = self._bind(self.server[0], 0)
            sess = Session(client, leg)
            self.sessions[client] = sess
            self.sel.register(leg, selectors.EVENT_READ, functools.partial(self._on_leg, sess))
            self.log("session", client=f"{client[0]}:{client[1]}", leg=leg.getsockname()[1])
        sess.seen = time.monotonic()
        return sess

    def _front_for(self, port, sess):
        entry = self.fronts.get(port)
        if entry is not None:
            sess.ports.add(port)
            return entry[0]
        try:
            s = self._bind(self.listen, port)
        except OSError as e:
            self.log("error", reason=f"cannot mirror server port {port} on {self.listen}: {e}")
            return None
        self.fronts[port] = (s, sess)
        sess.ports.add(port)
        self.sel.register(s, selectors.EVENT_READ, functools.partial(self._on_front, port))
        return s

    # -- impairment ---------------------------------------------------------------------------
    def _pass(self, sess, direction, sock, data, dest):
        r_loss, r_dup, r_reorder = self.rng.random(), self.rng.random(), self.rng.random()
        info = {"dir": direction, "to": f"{dest[0]}:{dest[1]}", "size": len(data), "head": data[:4].hex()}

        def send():
            try:
                sock.sendto(data, dest)
            except OSError as e:
                self.log("error", reason=str(e), **info)

        if r_loss < self.loss[direction]:
            self.counts["drop"] += 1
            self.log("drop", **info)
            self._release(sess, direction)
            return
        copies = 2 if r_dup < self.duplicate else 1
        if r_reorder < self.reorder and direction not in sess.held:
            self.counts["hold"] += 1
            self.log("hold", **info)
            sess.held[direction] = (send, copies, info, time.monotonic() + self.hold)
            return
        for i in range(copies):
            send()
            self.counts["forward" if i == 0 else "duplicate"] += 1
            self.log("forward" if i == 0 else "duplicate", **info)
        self._release(sess, direction)

    def _release(self, sess, direction):
        held = sess.held.pop(direction, None)
        if held is None:
            return
        send, copies, info, _ = held
        for _ in range(copies):
            send()
        self.log("release", **info)

    # -- events -------------------------------------------------------------------------------
    def _on_front(self, port, data, src):
        sess = self._session(src)
        self._pass(sess, "to-server", sess.leg, data, (self.server[0], self.server[1] if port == self.port else port))

    def _on_leg(self, sess, data, src):
        sess.seen = time.monotonic()
        if src[0] != self.server[0]:
            return
        front = self.fronts[self.port][0] if src[1] == self.server[1] else self._front_for(src[1], sess)
        if front is None:
            return
        self._pass(sess, "to-client", front, data, sess.client)

    def _expire(self):
        now = time.monotonic()
        for sess in list(self.sessions.values()):
            for direction, held in list(sess.held.items()):
                if held[3] <= now:
                    self._release(sess, direction)
            if now - sess.seen > self.idle:
                self._close_session(sess)

    def _close_session(self, sess):
        del self.sessions[sess.client]
        self.sel.unregister(sess.leg)
        sess.leg.close()
        for port in sess.ports:
            entry = self.fronts.get(port)
            if entry is not None and entry[1] is sess and port != self.port:
                self.sel.unregister(entry[0])
                entry[0].close()
                del self.fronts[port]

    def run(self, on_ready):
        wake_r, wake_w = socket.socketpair()
        wake_r.setblocking(False)
        wake_w.setblocking(False)
        self.sel.register(wake_r, selectors.EVENT_READ, lambda data, src: None)
        signal.set_wakeup_fd(wake_w.fileno(), warn_on_full_buffer=False)
        self.log("ready", listen=f"{self.listen}:{self.port}", server=f"{self.server[0]}:{self.server[1]}")
        on_ready()
        while self.running:
            timeout = min(self.hold, 0.5) if any(s.held for s in self.sessions.values()) else 1.0
            for key, _ in self.sel.select(timeout):
                handle = key.data
                for _ in range(64):
                    try:
                        data, src = key.fileobj.recvfrom(65535)
                    except (BlockingIOError, InterruptedError):
                        break
                    except OSError:
                        break
                    handle(data, src)
                    if key.fileobj.fileno() < 0:
                        break
            self._expire()
        signal.set_wakeup_fd(-1)
        self.log("exit", **self.counts)


def _hostport(text, default_port):
    host, _, port = text.partition(":")
    return host, int(port) if port else default_port


def _probability(text):
    p = float(text)
    if not 0.0 <= p < 1.0:
        raise argparse.ArgumentTypeError("a probability is at least 0 and below 1")
    return p


def main(argv=None):
    p = argparse.ArgumentParser(prog="lossy-relay", description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--listen", required=True, help="address the clients reach, e.g. 10.77.1.10")
    p.add_argument("--port", type=int, default=69, help="port the clients send their requests to (69)")
    p.add_argument("--server", default="127.0.0.1:69", help="the real server's address and port (127.0.0.1:69)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--loss", type=_probability, default=0.0, help="chance a datagram is dropped, both ways")
    p.add_argument("--loss-to-server", type=_probability, help="overrides --loss towards the server")
    p.add_argument("--loss-to-client", type=_probability, help="overrides --loss towards the client")
    p.add_argument("--duplicate", type=_probability, default=0.0, help="chance a datagram is sent twice")
    p.add_argument("--reorder", type=_probability, default=0.0,
                   help="chance a datagram is held back behind the next one")
    p.add_argument("--hold-ms", type=int, default=50, help="longest a held datagram waits (50)")
    p.add_argument("--idle", type=float, default=30.0, help="seconds after which a quiet client is forgotten")
    p.add_argument("--log", help="JSON-lines log file (default: none)")
    a = p.parse_args(argv)
    server = _hostport(a.server, 69)
    try:
        log = open(a.log, "a", encoding="utf-8") if a.log else None
    except OSError as e:
        print(f"lossy-relay: {e}", file=sys.stderr)
        return 2
    loss_in = a.loss if a.loss_to_server is None else a.loss_to_server
    loss_out = a.loss if a.loss_to_client is None else a.loss_to_client
    try:
        relay = Relay(a.listen, a.port, server, random.Random(a.seed), loss_in, loss_out, a.duplicate, a.reorder,
                      a.hold_ms / 1000.0, a.idle, log)
    except OSError as e:
        print(f"lossy-relay: {e}", file=sys.stderr)
        return 1

    def stop(*_):
        relay.running = False

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    def announce():
        sys.stdout.write(json.dumps({"event": "ready"}) + "\n")
        sys.stdout.flush()

    relay.run(announce)
    return 0
