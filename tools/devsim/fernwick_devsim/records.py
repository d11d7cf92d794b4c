# SPDX-License-Identifier: GPL-3.0-or-later
"""The device side of the wire records: what a device reads and what it sends back.

Written from the byte layouts alone, so that a fault in the workstation's encoder is not repeated
here. Everything is plain bytes in, bytes out.
"""

import struct

DISCOVERY_MAGIC = bytes((0x87, 0x65, 0x43, 0x21))
HANDSHAKE_MAGIC = bytes((0xAA, 0x55, 0x55, 0xAA))

DEVICE_PORT = 4000
WORKSTATION_PORT = 4001
TFTP_PORT = 69

CMD_DISCOVERY = 0x10
CMD_SETIP = 0x20
CMD_SETIP_ACK = 0xA0
ACTION_FIXED = 0x10
ACTION_DHCP = 0x11
ACTION_ACK = 0x99

DISCOVERY_REPLY_LEN = 96
MIN_REPLY_LEN = 60
MAX_REPLY_LEN = 200
SETIP_RECORD_LEN = 32
SETIP_MIN_REPLY_LEN = 24
HANDSHAKE_LEN = 52
HANDSHAKE_ANSWER = 0xFF

# Discovery reply offsets.
OFF_SEQUENCE = 6
OFF_REQUESTER = 8
OFF_DEVICE_MAC = 14
OFF_ESSID = 20
OFF_CHANNEL = 53
OFF_WEP = 54
OFF_NAME_LENGTH = 55
OFF_NAME = 60
OFF_KIND = 92
TEXT_WIDTH = 32

# Set IP offsets.
OFF_ACTION = 5
OFF_TARGET_MAC = 8
OFF_SETIP_REQUESTER = 14
OFF_IP = 20
OFF_MASK = 24
OFF_GATEWAY = 28
OFF_RESULT = 21

RESULT_DONE = 0
RESULT_REFUSED = 1


def sequence_of(data):
    """Bytes 6-7, high byte first, as the unsigned 16-bit pattern."""
    return struct.unpack_from(">H", data, OFF_SEQUENCE)[0]


def classify(data):
    """Names what a datagram on port 4000 is by its content; None for anything else.

    Kinds: "discovery", "setip", "setip-ack", "handshake", None.
    """
    if len(data) >= 8 and data[:4] == DISCOVERY_MAGIC:
        cmd = data[4]
        if cmd == CMD_DISCOVERY:
            return "discovery"
        if cmd == CMD_SETIP and len(data) >= SETIP_RECORD_LEN:
            return "setip"
        if cmd == CMD_SETIP_ACK and len(data) >= 14 and data[OFF_ACTION] == ACTION_ACK:
            return "setip-ack"
        return None
    if len(data) >= 5 and data[:4] == HANDSHAKE_MAGIC:
        return "handshake"
    return None


def fixed_text(value, width=TEXT_WIDTH):
    """An 8-bit text field, NUL-padded; a value of the full width carries no NUL."""
    return bytes(value[:width]).ljust(width, b"\0")


def discovery_reply(request, mac, essid, channel, wep, name_length, name, kind, size=DISCOVERY_REPLY_LEN,
                    sequence=None, magic=DISCOVERY_MAGIC):
    """The reply to a discovery request, padded with zeros or cut to `size` bytes.

    Bytes the workstation does not read: 4-5 and 8-13 echo the request (command and requester MAC),
    52, 56-59 and 95 are zero.
    """
    if not MIN_REPLY_LEN <= size <= MAX_REPLY_LEN:
        raise ValueError(f"reply size {size} outside {MIN_REPLY_LEN}-{MAX_REPLY_LEN}")
    rec = bytearray(max(size, DISCOVERY_REPLY_LEN))
    rec[0:4] = magic
    head = bytes(request[:16]).ljust(16, b"\0")
    rec[4:6] = head[4:6]
    seq = sequence_of(request) if sequence is None else sequence & 0xFFFF
    struct.pack_into(">H", rec, OFF_SEQUENCE, seq)
    rec[OFF_REQUESTER:OFF_REQUESTER + 6] = head[8:14]
    rec[OFF_DEVICE_MAC:OFF_DEVICE_MAC + 6] = mac
    rec[OFF_ESSID:OFF_ESSID + TEXT_WIDTH] = fixed_text(essid)
    rec[OFF_CHANNEL] = channel
    rec[OFF_WEP] = wep
    rec[OFF_NAME_LENGTH] = name_length
    rec[OFF_NAME:OFF_NAME + TEXT_WIDTH] = fixed_text(name)
    rec[OFF_KIND:OFF_KIND + 3] = kind
    return bytes(rec[:size])


def parse_setip(data):
    """The fields of a Set IP request or acknowledgement (at least 14 bytes for the MACs)."""
    out = {
        "command": data[4],
        "action": data[OFF_ACTION],
        "sequence": sequence_of(data),
        "target_mac": bytes(data[OFF_TARGET_MAC:OFF_TARGET_MAC + 6]),
    }
    if len(data) >= 20:
        out["requester_mac"] = bytes(data[OFF_SETIP_REQUESTER:OFF_SETIP_REQUESTER + 6])
    if len(data) >= SETIP_RECORD_LEN:
        out["ip"] = bytes(data[OFF_IP:OFF_IP + 4])
        out["mask"] = bytes(data[OFF_MASK:OFF_MASK + 4])
        out["gateway"] = bytes(data[OFF_GATEWAY:OFF_GATEWAY + 4])
    return out


def setip_reply(request, result, size=SETIP_RECORD_LEN, sequence=None):
    """The device's answer to a Set IP request: bytes 0-19 of the request (magic, command,
    action, sequence, both MACs) with command 0x21, result in byte 21, the rest zero."""
    if not 1 <= size <= 1024:
        raise ValueError(f"Set IP reply size {size} out of range")
    rec = bytearray(max(size, SETIP_RECORD_LEN))
    rec[0:20] = bytes(request[:20]).ljust(20, b"\0")
    rec[4] = CMD_SETIP | 0x01
    if sequence is not None:
        struct.pack_into(">H", rec, OFF_SEQUENCE, sequence & 0xFFFF)
    rec[OFF_RESULT] = result & 0xFF
    return bytes(rec[:size])


def handshake_answer(request):
    """The handshake answer: the request's 52-byte layout with 0xFF in byte 4."""
    rec = bytearray(bytes(request[:HANDSHAKE_LEN]).ljust(HANDSHAKE_LEN, b"\0"))
    rec[0:4] = HANDSHAKE_MAGIC
    rec[4] = HANDSHAKE_ANSWER
    return bytes(rec)


def ip_bytes(text):
    parts = text.split(".")
    if len(parts) != 4 or not all(p.isdigit() and len(p) <= 3 and int(p) <= 255 for p in parts):
        raise ValueError(f"not an IPv4 address: {text!r}")
    return bytes(int(p) for p in parts)


def ip_text(raw):
    return ".".join(str(b) for b in raw)


def mask_prefix(raw):
    """Prefix length of a contiguous mask; None when the ones are not contiguous."""
    value = int.from_bytes(raw, "big")
    inverted = (~value) & 0xFFFFFFFF
    if inverted & (inverted + 1):
        return None
    return 32 - inverted.bit_length()


def same_subnet(a, b, prefix):
    mask = (0xFFFFFFFF << (32 - prefix)) & 0xFFFFFFFF if prefix else 0
    return (int.from_bytes(ip_bytes(a), "big") & mask) == (int.from_bytes(ip_bytes(b), "big") & mask)


def mac_text(raw):
    return ":".join(f"{b:02X}" for b in raw)


def parse_mac(text):
    parts = text.replace("-", ":").split(":")
    if len(parts) != 6 or not all(len(p) == 2 for p in parts):
        raise ValueError(f"not a MAC address: {text!r}")
    try:
        return bytes(int(p, 16) for p in parts)
    except ValueError:
        raise ValueError(f"not a MAC address: {text!r}") from None
