# SPDX-License-Identifier: GPL-3.0-or-later
"""What one simulated device answers, decided without sockets: the I/O layer sends the results."""

from dataclasses import dataclass

from . import records

BROADCAST = "255.255.255.255"


@dataclass
class Send:
    dest: tuple  # (ip text, port)
    data: bytes
    note: str = ""  # "reply", "wrong-magic", "old-sequence", "duplicate"


@dataclass
class SetIpPlan:
    """What a Set IP request asks of the device, and what it answers."""
    mode: str  # "static" or "dhcp"
    ip: str | None
    mask: str | None
    gateway: str | None
    prefix: int | None
    apply: bool
    reply: bytes | None
    reason: str = ""


def discovery_sends(cfg, request, requester, device_ip, prefix):
    """The datagrams a device sends for one discovery request from `requester` (ip, port).

    Fault copies go first (wrong magic, then sequence - 1), so a workstation that wrongly takes
    them would list them before the real reply; extra identical copies follow the real one.
    """
    dest = reply_destination(cfg.reply, requester[0], device_ip, prefix)

    def build(**kw):
        return records.discovery_reply(request, cfg.mac, cfg.essid, cfg.channel, cfg.wep, cfg.name_length,
                                       cfg.name, cfg.kind, cfg.reply_size, **kw)

    out = []
    if cfg.also_wrong_magic:
        out.append(Send(dest, build(magic=bytes((0x87, 0x65, 0x43, 0x20))), "wrong-magic"))
    if cfg.also_old_sequence:
        out.append(Send(dest, build(sequence=records.sequence_of(request) - 1), "old-sequence"))
    real = build()
    out.append(Send(dest, real, "reply"))
    out.extend(Send(dest, real, "duplicate") for _ in range(cfg.duplicates))
    return out


def reply_destination(mode, requester_ip, device_ip, prefix):
    """Unicast back to port 4001 of the requester, or the limited broadcast when it is elsewhere."""
    if mode == "unicast":
        return (requester_ip, records.WORKSTATION_PORT)
    if mode == "broadcast":
        return (BROADCAST, records.WORKSTATION_PORT)
    if device_ip and prefix is not None and requester_ip != "0.0.0.0" and \
            records.same_subnet(requester_ip, device_ip, prefix):
        return (requester_ip, records.WORKSTATION_PORT)
    return (BROADCAST, records.WORKSTATION_PORT)


def names_device(cfg, data):
    """A Set IP record is for this device only when bytes 8-13 hold its MAC."""
    return bytes(data[records.OFF_TARGET_MAC:records.OFF_TARGET_MAC + 6]) == cfg.mac


def unusable_address(ip, prefix):
    """Why a fixed address cannot be taken by an interface; "" when it can."""
    first = ip[0]
    if prefix is None:
        return "mask is not contiguous"
    if ip == b"\0\0\0\0" or ip == b"\xff\xff\xff\xff":
        return "address is 0.0.0.0 or 255.255.255.255"
    if first == 127 or first >= 224 or first == 0:
        return "address is loopback, multicast, reserved or in 0/8"
    if prefix < 31:
        value = int.from_bytes(ip, "big")
        host = value & ((1 << (32 - prefix)) - 1)
        if host == 0 or host == (1 << (32 - prefix)) - 1:
            return "address is the network or broadcast address of its subnet"
    return ""


def setip_plan(cfg, request):
    """The answer to a Set IP request that names this device (see names_device).

    accept: take the values (fixed) or go to DHCP mode, answer 0. A fixed address that no
    interface could hold (mask not contiguous, 0.0.0.0, broadcast, multicast, loopback, the
    subnet's own network or broadcast address) is answered 1 instead, as a real device would
    refuse it rather than lose its address. refuse: answer 1. silent: nothing. pretend: answer 0
    but keep the old address.
    setip_result replaces the answer byte whatever the choice; it does not change what is applied.
    """
    fields = records.parse_setip(request)
    action = fields["action"]
    if action == records.ACTION_FIXED:
        mode = "static"
    elif action == records.ACTION_DHCP:
        mode = "dhcp"
    else:
        return SetIpPlan("unknown", None, None, None, None, False, None, f"unknown action 0x{action:02x}")
    ip = records.ip_text(fields["ip"])
    mask = records.ip_text(fields["mask"])
    gateway = records.ip_text(fields["gateway"])
    prefix = records.mask_prefix(fields["mask"])
    if cfg.setip == "silent":
        return SetIpPlan(mode, ip, mask, gateway, prefix, False, None, "silent")
    apply = cfg.setip == "accept"
    reason = ""
    if apply and mode == "static":
        reason = unusable_address(fields["ip"], prefix)
        apply = not reason
    pretend = cfg.setip == "pretend"
    result = records.RESULT_DONE if apply or pretend else records.RESULT_REFUSED
    if cfg.setip_result is not None:
        result = cfg.setip_result
    reply = records.setip_reply(request, result, cfg.setip_reply_size)
    if not reason:
        reason = "" if apply else "pretend" if pretend else "refused"
    return SetIpPlan(mode, ip, mask, gateway, prefix, apply, reply, reason)
