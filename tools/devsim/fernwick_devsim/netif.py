# SPDX-License-Identifier: GPL-3.0-or-later
"""The namespace's interfaces and addresses, read and changed through iproute2."""

import json
import socket
import subprocess


class NetError(RuntimeError):
    pass


def _run(args, stdin=None):
    r = subprocess.run(args, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if r.returncode != 0:
        raise NetError(f"{' '.join(args)}: {r.stderr.strip()}")
    return r.stdout


def addresses():
    """{interface: [(ip, prefix), ...]} for IPv4, in the kernel's order (primary first)."""
    out = {}
    for link in json.loads(_run(["ip", "-j", "-4", "addr", "show"]) or "[]"):
        name = link.get("ifname")
        out[name] = [(a["local"], int(a["prefixlen"])) for a in link.get("addr_info", [])
                     if a.get("family") == "inet"]
    return out


def ifindex(name):
    try:
        return socket.if_nametoindex(name)
    except OSError:
        raise NetError(f"no interface {name} in this namespace") from None


def promote_secondaries(name):
    """Removing a primary address must not take the other devices' addresses with it."""
    try:
        with open(f"/proc/sys/net/ipv4/conf/{name}/promote_secondaries", "w") as f:
            f.write("1")
    except OSError:
        pass


def add_addresses(pairs):
    """Adds (ip/prefix, interface) pairs in one iproute2 run; present ones are left alone."""
    if not pairs:
        return
    lines = "".join(f"addr replace {cidr} dev {dev}\n" for cidr, dev in pairs)
    _run(["ip", "-batch", "-"], stdin=lines)


def replace_address(dev, old_cidr, new_cidr, gateway):
    """Moves the device from one address to another and points its default route at gateway."""
    if old_cidr and old_cidr != new_cidr:
        _run(["ip", "addr", "del", old_cidr, "dev", dev])
    _run(["ip", "addr", "replace", new_cidr, "dev", dev])
    if gateway and gateway != "0.0.0.0":
        _run(["ip", "route", "replace", "default", "via", gateway, "dev", dev, "onlink"])
