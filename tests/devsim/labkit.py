"""Namespace lab plumbing for the simulator's net tests: labs, processes, sockets, a TFTP sender."""

import contextlib
import ctypes
import json
import os
import select
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
NETLAB = os.path.join(ROOT, "tests", "fixtures", "netlab.py")
DEVSIM = os.path.join(ROOT, "tools", "devsim", "fernwick-devsim")
RELAY = os.path.join(ROOT, "tools", "devsim", "lossy-relay")
CLONE_NEWNET = 0x40000000

_libc = ctypes.CDLL(None, use_errno=True)


def can_run():
    return os.geteuid() == 0 and shutil.which("ip") is not None


@contextlib.contextmanager
def inside(netns):
    """Runs the block in another network namespace; sockets made there stay there."""
    original = os.open("/proc/self/ns/net", os.O_RDONLY)
    target = os.open(f"/var/run/netns/{netns}", os.O_RDONLY)
    try:
        if _libc.setns(target, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), f"setns {netns}")
        yield
    finally:
        _libc.setns(original, CLONE_NEWNET)
        os.close(original)
        os.close(target)


class Lab:
    def __init__(self):
        self.name = subprocess.check_output([sys.executable, NETLAB, "new-name"], text=True).strip()
        self.dir = tempfile.mkdtemp(prefix=f"devsim-{self.name}-")
        self.procs = []
        subprocess.run([sys.executable, NETLAB, "up", self.name], check=True, stdout=subprocess.DEVNULL)
        self.ws = f"{self.name}-ws"

    def ns(self, host):
        return f"{self.name}-{host}"

    def host(self, name, segment, cidr, mac=None, gateway=None):
        args = [sys.executable, NETLAB, "host", self.name, name, "--segment", segment, "--addr", cidr]
        if mac:
            args += ["--mac", mac]
        if gateway:
            args += ["--gateway", gateway]
        subprocess.run(args, check=True)

    def spawn(self, host, argv, **kw):
        p = subprocess.Popen(["ip", "netns", "exec", self.ns(host)] + argv, **kw)
        self.procs.append(p)
        return p

    def simulator(self, host, devices, name="sim"):
        path = os.path.join(self.dir, f"{name}.json")
        with open(path, "w") as f:
            json.dump({"devices": devices}, f)
        log = SimLog(os.path.join(self.dir, f"{name}.jsonl"))
        proc = self.spawn(host, [DEVSIM, "--config", path, "--log", log.path], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True)
        line = proc.stdout.readline()
        if '"ready"' not in line:
            proc.wait(5)
            raise RuntimeError(f"simulator did not start: {proc.stderr.read()}")
        log.proc = proc
        return log

    def ip_json(self, host, *args):
        out = subprocess.check_output(["ip", "-n", self.ns(host), "-j"] + list(args), text=True)
        return json.loads(out or "[]")

    def addresses(self, host, dev="eth0"):
        return [f"{a['local']}/{a['prefixlen']}" for link in self.ip_json(host, "-4", "addr", "show", "dev", dev)
                for a in link.get("addr_info", [])]

    def close(self):
        for p in self.procs:
            if p.poll() is None:
                p.terminate()
        for p in self.procs:
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
            for stream in (p.stdout, p.stderr):
                if stream:
                    stream.close()
        subprocess.run([sys.executable, NETLAB, "down", self.name], check=False)
        shutil.rmtree(self.dir, ignore_errors=True)


class SimLog:
    def __init__(self, path):
        self.path = path
        self.proc = None

    def events(self, event=None, device=None):
        out = []
        try:
            with open(self.path) as f:
                for line in f:
                    rec = json.loads(line)
                    if (event is None or rec["event"] == event) and (device is None or rec.get("device") == device):
                        out.append(rec)
        except FileNotFoundError:
            pass
        return out

    def wait_for(self, event, device=None, count=1, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.events(event, device)
            if len(found) >= count:
                return found
            time.sleep(0.02)
        raise AssertionError(f"no {count} x {event} for {device} in {self.path}")


def udp(ns, bind=("0.0.0.0", 0), device=None, broadcast=True):
    with inside(ns):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if broadcast:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        if device:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, device.encode())
        s.bind(bind)
    return s


def collect(sock, quiet=0.5, limit=5.0):
    """Every datagram until the socket has been quiet for `quiet` seconds."""
    got, deadline = [], time.monotonic() + limit
    while time.monotonic() < deadline:
        if not select.select([sock], [], [], quiet)[0]:
            break
        data, src = sock.recvfrom(65535)
        got.append((data, src, time.monotonic()))
    return got


def tftp_put(sock, server_ip, image, timeout=0.25, retries=40, filename="/"):
    """A plain RFC 1350 write from `sock`; datagrams from other addresses are counted and ignored.

    Returns a dict: ok, error (code, text) or None, tid, foreign (list of (src, packet)), sent.
    """
    pieces = [image[i:i + 512] for i in range(0, len(image) + 1, 512)]
    current = struct.pack(">H", 2) + filename.encode() + b"\0octet\0"
    dest = (server_ip, 69)
    block, tries, tid, foreign, sent = 0, 0, None, [], 0
    sock.sendto(current, dest)
    while True:
        if not select.select([sock], [], [], timeout)[0]:
            tries += 1
            if tries > retries:
                return {"ok": False, "error": None, "tid": tid, "foreign": foreign, "sent": sent}
            sock.sendto(current, dest)
            sent += 1
            continue
        pkt, src = sock.recvfrom(65535)
        if src[0] != server_ip or (tid is not None and src[1] != tid):
            foreign.append((src, pkt))
            continue
        if tid is None:
            tid = src[1]
            dest = src
        if len(pkt) < 4:
            continue
        opcode, number = struct.unpack_from(">HH", pkt)
        if opcode == 5:
            return {"ok": False, "error": (number, pkt[4:].split(b"\0")[0].decode()), "tid": tid,
                    "foreign": foreign, "sent": sent}
        if opcode == 4 and number == block:
            if block == len(pieces):
                return {"ok": True, "error": None, "tid": tid, "foreign": foreign, "sent": sent}
            block += 1
            current = struct.pack(">HH", 3, block) + pieces[block - 1]
            sock.sendto(current, dest)
            sent += 1
            tries = 0
