# SPDX-License-Identifier: GPL-3.0-or-later
"""The simulator's sockets, timers and log: one thread, one selector, many devices."""

import functools
import heapq
import itertools
import json
import os
import random
import resource
import selectors
import signal
import socket
import struct
import sys
import time
from dataclasses import dataclass, field
from typing import Optional

from . import config as configmod
from . import device as devmod
from . import netif, records, tftp
from .common import IP_PKTINFO, JsonLog, addr_text, udp_socket
from .tftp import Finish, OutKind


class Log(JsonLog):
    def event(self, event, device=None, **fields):
        self.write({"device": device, "event": event, **fields})


@dataclass
class DeviceState:
    cfg: object
    ifindex: int
    ip: str
    prefix: int
    mode: str = "static"
    last_setip: Optional[bytes] = None
    restarting: bool = False
    mac: str = field(init=False)
    rng: random.Random = field(init=False)

    def __post_init__(self):
        self.mac = self.cfg.mac_text
        self.rng = random.Random(self.cfg.tftp.seed if self.cfg.tftp else 0)


@dataclass
class Endpoint:
    """A socket on one local address and port, shared by the devices that hold that address."""

    sock: socket.socket
    ip: str
    port: int
    devices: list = field(default_factory=list)


@dataclass
class TransferRun:
    dev: DeviceState
    sock: socket.socket
    client: tuple
    core: tftp.Transfer
    wrq: bytes
    third: Optional[socket.socket] = None
    timer: Optional[list] = None
    tid: int = field(init=False)

    def __post_init__(self):
        self.tid = self.sock.getsockname()[1]


class Simulator:
    def __init__(self, devices, log):
        self.log = log
        self.sel = selectors.DefaultSelector()
        self.timers = []
        self.counter = itertools.count()
        self.running = True
        self.endpoints = {}  # (ip, port) -> Endpoint
        self.transfers = {}  # (device mac, client addr) -> TransferRun
        self.states = []
        self._setup(devices)

    # -- set-up -------------------------------------------------------------------------------
    def _setup(self, devices):
        _raise_file_limit(len(devices))
        have = netif.addresses()
        to_add = []
        placed = []
        for cfg in devices:
            if cfg.interface not in have:
                raise netif.NetError(f"device {cfg.mac_text}: no interface {cfg.interface} in this namespace")
            present = have[cfg.interface]
            ip, prefix = cfg.ip, cfg.prefix
            if ip is None:
                if not present:
                    raise netif.NetError(f"device {cfg.mac_text}: {cfg.interface} has no IPv4 address; give ip")
                ip, prefix = present[0][0], prefix if prefix is not None else present[0][1]
            else:
                match = [p for a, p in present if a == ip]
                if prefix is None:
                    prefix = match[0] if match else _covering_prefix(ip, present)
                if not match:
                    to_add.append((f"{ip}/{prefix}", cfg.interface))
            if cfg.tftp and cfg.tftp.third_host_ack:
                third = cfg.tftp.third_host_ack
                if not any(a == third for a, _ in present):
                    to_add.append((f"{third}/32", cfg.interface))
            placed.append((cfg, ip, prefix))
        for name in {cfg.interface for cfg in devices}:
            netif.promote_secondaries(name)
        netif.add_addresses(list(dict.fromkeys(to_add)))
        tftp_ips = {}
        for cfg, ip, prefix in placed:
            dev = DeviceState(cfg, netif.ifindex(cfg.interface), ip, prefix)
            self.states.append(dev)
            self._attach(dev, ip)
            if cfg.tftp:
                if ip in tftp_ips:
                    raise configmod.ConfigError(f"devices {tftp_ips[ip]} and {dev.mac} both serve TFTP on {ip}")
                tftp_ips[ip] = dev.mac
                self._attach_tftp(dev, ip)
        wild = udp_socket("0.0.0.0", records.DEVICE_PORT, pktinfo=True)
        self.sel.register(wild, selectors.EVENT_READ, self._on_wild)
        self.wild = wild

    def _attach(self, dev, ip):
        key = (ip, records.DEVICE_PORT)
        ep = self.endpoints.get(key)
        if ep is None:
            ep = Endpoint(udp_socket(ip, records.DEVICE_PORT), ip, records.DEVICE_PORT)
            self.endpoints[key] = ep
            self.sel.register(ep.sock, selectors.EVENT_READ, functools.partial(self._on_endpoint, ep))
        ep.devices.append(dev)

    def _detach(self, dev, ip, port):
        ep = self.endpoints.get((ip, port))
        if ep is None:
            return
        ep.devices = [d for d in ep.devices if d is not dev]
        if not ep.devices:
            self.sel.unregister(ep.sock)
            ep.sock.close()
            del self.endpoints[(ip, port)]

    def _attach_tftp(self, dev, ip):
        ep = Endpoint(udp_socket(ip, records.TFTP_PORT, broadcast=False), ip, records.TFTP_PORT)
        ep.devices.append(dev)
        self.endpoints[(ip, records.TFTP_PORT)] = ep
        self.sel.register(ep.sock, selectors.EVENT_READ, functools.partial(self._on_tftp_socket, ep))

    def endpoint_of(self, dev):
        return self.endpoints[(dev.ip, records.DEVICE_PORT)]

    # -- timers -------------------------------------------------------------------------------
    def call_later(self, seconds, fn):
        entry = [time.monotonic() + seconds, next(self.counter), fn]
        heapq.heappush(self.timers, entry)
        return entry

    @staticmethod
    def cancel(entry):
        if entry is not None:
            entry[2] = None

    def _run_timers(self):
        now = time.monotonic()
        while self.timers and self.timers[0][0] <= now:
            _, _, fn = heapq.heappop(self.timers)
            if fn is not None:
                fn()

    # -- main loop ----------------------------------------------------------------------------
    def run(self, on_ready=None):
        wake_r, wake_w = socket.socketpair()
        wake_r.setblocking(False)
        wake_w.setblocking(False)
        self.sel.register(wake_r, selectors.EVENT_READ, lambda msg, anc, src: None)
        # A signal writes a byte here, so select() returns and the loop sees `running` cleared.
        signal.set_wakeup_fd(wake_w.fileno(), warn_on_full_buffer=False)
        self.log.event("ready", devices=[{"device": d.mac, "ip": d.ip, "prefix": d.prefix,
                                          "interface": d.cfg.interface, "tftp": d.cfg.tftp is not None}
                                         for d in self.states], pid=os.getpid())
        if on_ready:
            on_ready()
        while self.running:
            while self.timers and self.timers[0][2] is None:
                heapq.heappop(self.timers)
            timeout = None
            if self.timers:
                timeout = max(0.0, self.timers[0][0] - time.monotonic())
            for key, _ in self.sel.select(timeout):
                self._readable(key.fileobj, key.data)
            self._run_timers()
        signal.set_wakeup_fd(-1)
        wake_w.close()
        self.close()

    def stop(self, *_):
        self.running = False

    def close(self):
        for key in list(self.sel.get_map().values()):
            key.fileobj.close()
        self.sel.close()

    def _readable(self, sock, handle):
        # Only the catch-all socket needs the packet's destination (IP_PKTINFO).
        ancillary = handle == self._on_wild
        for _ in range(64):  # drain a burst, but let timers run between bursts
            try:
                if ancillary:
                    msg, anc, _, src = sock.recvmsg(65535, socket.CMSG_SPACE(12))
                else:
                    msg, src = sock.recvfrom(65535)
                    anc = None
            except (BlockingIOError, InterruptedError):
                return
            except OSError:
                return  # ICMP errors reported on the socket: nothing to do
            handle(msg, anc, src)
            if sock.fileno() < 0:
                return

    def _on_endpoint(self, ep, msg, anc, src):
        for dev in list(ep.devices):
            self._on_datagram(dev, msg, src, ep.ip)

    def _on_tftp_socket(self, ep, msg, anc, src):
        self._on_tftp_request(ep.devices[0], ep.sock, msg, src)

    def _on_wild(self, msg, anc, src):
        ifindex, dst = 0, None
        for level, kind, raw in anc or ():
            if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(raw) >= 12:
                ifindex = struct.unpack_from("=i", raw)[0]
                dst = socket.inet_ntoa(raw[8:12])
        on_link = [d for d in self.states if not ifindex or d.ifindex == ifindex]
        if dst is None:
            targets = on_link
        else:
            targets = [d for d in self.states if d.ip == dst]
            if not targets and _is_broadcast(dst, on_link):
                targets = on_link
        for dev in targets:
            self._on_datagram(dev, msg, src, dst or "0.0.0.0")

    # -- records on port 4000 -----------------------------------------------------------------
    def _on_datagram(self, dev, msg, src, dst):
        kind = records.classify(msg)
        entry = {"from": addr_text(src), "to": f"{dst}:{records.DEVICE_PORT}", "hex": msg.hex(),
                 "size": len(msg), "kind": kind}
        if kind in ("setip", "setip-ack") and not devmod.names_device(dev.cfg, msg):
            entry["ignored"] = "other-mac"
            self.log.event("rx", dev.mac, **entry)
            return
        if kind is None:
            entry["ignored"] = "unknown"
        if dev.restarting:
            entry["ignored"] = "restarting"
            kind = None
        if kind == "handshake" and msg[4] == records.HANDSHAKE_ANSWER:
            entry["ignored"] = "an answer, not a request"
            kind = None
        self.log.event("rx", dev.mac, **entry)
        if kind == "discovery":
            self._later(dev, lambda: self._answer_discovery(dev, msg, src))
        elif kind == "setip":
            self._later(dev, lambda: self._answer_setip(dev, msg, src))
        elif kind == "setip-ack":
            self._on_setip_ack(dev, msg, src)
        elif kind == "handshake":
            self._on_handshake(dev, msg, src)

    def _later(self, dev, fn):
        if dev.cfg.delay_ms:
            self.call_later(dev.cfg.delay_ms / 1000.0, fn)
        else:
            fn()

    def _send(self, dev, sock, dest, data, **fields):
        try:
            sock.sendto(data, dest)
        except OSError as e:
            self.log.event("tx-error", dev.mac, to=addr_text(dest), hex=data.hex(), error=str(e), **fields)
            return
        self.log.event("tx", dev.mac, to=addr_text(dest), hex=data.hex(), size=len(data),
                       **{"from": addr_text(sock.getsockname())}, **fields)

    def _answer_discovery(self, dev, msg, src):
        if (dev.ip, records.DEVICE_PORT) not in self.endpoints:
            return
        sock = self.endpoint_of(dev).sock
        for s in devmod.discovery_sends(dev.cfg, msg, src, dev.ip, dev.prefix):
            self._send(dev, sock, s.dest, s.data, kind="discovery-reply", note=s.note)

    def _answer_setip(self, dev, msg, src):
        plan = devmod.setip_plan(dev.cfg, msg)
        dev.last_setip = bytes(msg[:records.SETIP_RECORD_LEN])
        reply = plan.reply
        if plan.apply:
            try:
                if plan.mode == "static":
                    self._take_address(dev, plan)
                else:
                    dev.mode = "dhcp"
                    self.log.event("setip-applied", dev.mac, mode="dhcp", ip=dev.ip, prefix=dev.prefix,
                                   sequence=records.sequence_of(msg))
            except (netif.NetError, OSError) as e:
                self.log.event("setip-failed", dev.mac, mode=plan.mode, ip=plan.ip, error=str(e))
                if dev.cfg.setip_result is None:
                    reply = records.setip_reply(msg, records.RESULT_REFUSED, dev.cfg.setip_reply_size)
        elif plan.reason and plan.reason not in ("silent", "refused", "pretend"):
            self.log.event("setip-failed", dev.mac, mode=plan.mode, ip=plan.ip, error=plan.reason)
        if reply is None:
            return
        # The workstation may sit on another subnet than either address: the answer is a broadcast.
        dest = (devmod.BROADCAST, records.WORKSTATION_PORT)
        self._send(dev, self.endpoint_of(dev).sock, dest, reply, kind="setip-reply",
                   result=reply[records.OFF_RESULT] if len(reply) > records.OFF_RESULT else None)

    def _take_address(self, dev, plan):
        old_ip, old_prefix = dev.ip, dev.prefix
        others = [d for d in self.states if d is not dev and d.ip == old_ip]
        new_ip, prefix = plan.ip, plan.prefix
        if (new_ip, prefix) != (old_ip, old_prefix) or plan.gateway not in ("0.0.0.0", None):
            netif.replace_address(dev.cfg.interface, None if others else f"{old_ip}/{old_prefix}",
                                  f"{new_ip}/{prefix}", plan.gateway)
        if new_ip != old_ip:
            self._detach(dev, old_ip, records.DEVICE_PORT)
            tftp_ep = self.endpoints.get((old_ip, records.TFTP_PORT))
            if tftp_ep is not None and dev in tftp_ep.devices:
                self.sel.unregister(tftp_ep.sock)
                tftp_ep.sock.close()
                del self.endpoints[(old_ip, records.TFTP_PORT)]
            dev.ip = new_ip
            self._attach(dev, new_ip)
            if dev.cfg.tftp:
                self._attach_tftp(dev, new_ip)
        dev.prefix = prefix
        dev.mode = "static"
        self.log.event("setip-applied", dev.mac, mode="static", ip=new_ip, mask=plan.mask, prefix=prefix,
                       gateway=plan.gateway, old_ip=old_ip)

    def _on_setip_ack(self, dev, msg, src):
        expected = None
        if dev.last_setip is not None:
            e = bytearray(dev.last_setip)
            e[4], e[5] = records.CMD_SETIP_ACK, records.ACTION_ACK
            expected = bytes(e)
        self.log.event("setip-ack", dev.mac, **{"from": addr_text(src)}, hex=msg.hex(),
                       sequence=records.sequence_of(msg),
                       matches_request=expected is not None and bytes(msg) == expected)

    def _on_handshake(self, dev, msg, src):
        self.log.event("handshake", dev.mac, **{"from": addr_text(src)}, hex=msg.hex(), command=msg[4],
                       size=len(msg), answered=dev.cfg.handshake == "answer")
        if dev.cfg.handshake == "answer":
            self._later(dev, lambda: self._send(dev, self.endpoint_of(dev).sock, src,
                                                records.handshake_answer(msg), kind="handshake-answer"))

    # -- TFTP ---------------------------------------------------------------------------------
    def _on_tftp_request(self, dev, sock, msg, src):
        req = tftp.parse_request(msg)
        if req is None or req[0] != tftp.OP_WRQ:
            self.log.event("tftp-error", dev.mac, **{"from": addr_text(src)}, hex=msg[:64].hex(),
                           origin="server", reason="not a write request")
            packet = tftp.error(4 if req is None else 2, "only write requests are served")
            self._send(dev, sock, src, packet, kind="tftp")
            return
        old = self.transfers.pop((dev.mac, src), None)
        if old is not None:
            self._end_transfer(old, Finish.SUPERSEDED, {})
        tsock = udp_socket(dev.ip, 0, broadcast=False)
        run = TransferRun(dev, tsock, src, tftp.Transfer(dev.cfg.tftp, dev.rng), msg)
        self.transfers[(dev.mac, src)] = run
        self.sel.register(tsock, selectors.EVENT_READ, functools.partial(self._on_transfer_packet, run))
        third = dev.cfg.tftp.third_host_ack
        if third:
            try:
                run.third = udp_socket(third, run.tid, broadcast=False)
            except OSError as e:
                self.log.event("tftp-error", dev.mac, origin="server", reason=f"third host socket: {e}")
        self.log.event("tftp-wrq", dev.mac, **{"from": addr_text(src)}, to=addr_text(sock.getsockname()),
                       filename=req[1], mode=req[2], tid=run.tid, hex=msg.hex())
        self._apply(run, run.core.start())

    def _on_transfer_packet(self, run, msg, anc, src):
        if src != run.client:
            self.log.event("rx", run.dev.mac, **{"from": addr_text(src)}, to=f"{run.dev.ip}:{run.tid}",
                           hex=msg[:64].hex(), kind="tftp", ignored="unknown transfer id")
            self._send(run.dev, run.sock, src, tftp.error(5), kind="tftp")
            return
        self._apply(run, run.core.on_packet(msg))

    def _on_transfer_timer(self, run):
        run.timer = None
        self._apply(run, run.core.on_timeout())

    def _apply(self, run, outs):
        dev = run.dev
        for o in outs:
            if o.kind == OutKind.SEND:
                send = functools.partial(self._send, dev, run.sock, run.client, o.data, kind="tftp", note=o.note)
                if dev.cfg.tftp.ack_delay_ms:  # a slow device: each answer leaves that long after its cause
                    self.call_later(dev.cfg.tftp.ack_delay_ms / 1000.0, send)
                else:
                    send()
            elif o.kind == OutKind.THIRD:
                if run.third is not None:
                    self._send(dev, run.third, run.client, o.data, kind="tftp", note=o.note)
            elif o.kind == OutKind.LOG:
                f = dict(o.fields)
                ev = f.pop("event")
                self.log.event(ev, dev.mac, **{"from": addr_text(run.client)}, tid=run.tid, **f)
            elif o.kind == OutKind.FINISH:
                self._finished(run, o.note, o.fields)
        if run.sock.fileno() < 0:
            return
        self.cancel(run.timer)
        run.timer = None
        if run.core.wait is not None:
            run.timer = self.call_later(run.core.wait, lambda: self._on_transfer_timer(run))

    def _finished(self, run, status, fields):
        dev = run.dev
        if status == Finish.COMPLETE:
            store = dev.cfg.tftp.store
            if store:
                _write_atomically(store, bytes(run.core.image))
            self.log.event("tftp-done", dev.mac, **{"from": addr_text(run.client)}, tid=run.tid, store=store,
                           **fields)
            if dev.cfg.tftp.restart_ms:
                self._restart(dev, dev.cfg.tftp.restart_ms)
            return  # the socket stays a while to acknowledge a repeated last block
        self.transfers.pop((dev.mac, run.client), None)
        self._end_transfer(run, status, fields)

    def _restart(self, dev, ms):
        """A device boots its new image: port 4000 goes unanswered for a while."""
        dev.restarting = True
        self.log.event("restart", dev.mac, ms=ms)

        def back():
            dev.restarting = False
            self.log.event("restarted", dev.mac)

        self.call_later(ms / 1000.0, back)

    def _end_transfer(self, run, status, fields):
        dev = run.dev
        if status != Finish.CLOSED:
            if run.core.data_seen or status in (Finish.ERROR_SENT, Finish.CLIENT_ERROR):
                if status != Finish.CLIENT_ERROR:
                    extra = {k: v for k, v in fields.items() if k not in ("size", "blocks", "sha256")}
                    self.log.event("tftp-error", dev.mac, **{"from": addr_text(run.client)}, tid=run.tid,
                                   origin="server", reason=status, received=len(run.core.image), **extra)
            else:
                self.log.event("tftp-abandoned", dev.mac, **{"from": addr_text(run.client)}, tid=run.tid,
                               reason=status)
        self.cancel(run.timer)
        run.timer = None
        run.core.state = "closed"
        for s in (run.sock, run.third):
            if s is not None and s.fileno() >= 0:
                try:
                    self.sel.unregister(s)
                except (KeyError, ValueError):
                    pass
                s.close()


def _is_broadcast(dst, devices):
    """Limited, directed (of some device's subnet) or multicast: meant for every device on the link."""
    if dst == devmod.BROADCAST or int(dst.split(".")[0]) >= 224:
        return True
    value = int.from_bytes(records.ip_bytes(dst), "big")
    for d in devices:
        if d.prefix is not None and d.prefix < 31:
            host = (1 << (32 - d.prefix)) - 1
            if value & host == host and records.same_subnet(dst, d.ip, d.prefix):
                return True
    return False


def _covering_prefix(ip, present):
    for addr, prefix in present:
        if records.same_subnet(ip, addr, prefix):
            return prefix
    return 24


def _raise_file_limit(devices):
    """Each device holds a socket or two; a thousand of them pass the usual soft limit of 1024."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = 2 * devices + 256
    if hard != resource.RLIM_INFINITY:
        want = min(want, hard)
    if want > soft:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, hard))


def _write_atomically(path, data):
    tmp = f"{path}.part-{os.getpid()}"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv=None):
    import argparse

    p = argparse.ArgumentParser(prog="fernwick-devsim",
                                description="Simulated wireless LAN devices for Fernwick's tests and demo. "
                                            "Run it inside a network namespace.")
    p.add_argument("--config", help='JSON file: {"devices": [{...}, ...]}')
    p.add_argument("--device", action="append", default=[],
                   help="a device as key=value pairs joined by commas, e.g. 'name=Lobby AP,mac=00:0A:1B:2C:3D:4E'")
    p.add_argument("--log", help="JSON-lines log file (default: standard error)")
    a = p.parse_args(argv)
    try:
        devices = configmod.load(a.config, a.device)
    except configmod.ConfigError as e:
        print(f"fernwick-devsim: {e}", file=sys.stderr)
        return 2
    try:
        stream = open(a.log, "a", encoding="utf-8") if a.log else sys.stderr
    except OSError as e:
        print(f"fernwick-devsim: {e}", file=sys.stderr)
        return 2
    log = Log(stream)
    try:
        sim = Simulator(devices, log)
    except (netif.NetError, configmod.ConfigError, OSError) as e:
        print(f"fernwick-devsim: {e}", file=sys.stderr)
        return 1
    signal.signal(signal.SIGTERM, sim.stop)
    signal.signal(signal.SIGINT, sim.stop)

    def announce():
        # Also on stdout, so a test that only watches the process can wait for it.
        sys.stdout.write(json.dumps({"event": "ready", "pid": os.getpid()}) + "\n")
        sys.stdout.flush()

    sim.run(announce)
    log.event("exit")
    return 0
