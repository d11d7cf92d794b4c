# SPDX-License-Identifier: GPL-3.0-or-later
"""The receiving side of one TFTP write transfer, with the faults a test asks for.

Sans-I/O: the caller feeds packets and timer expiries and carries out the returned outputs.
Block numbers are 16-bit; the first DATA block is 1; a DATA packet of fewer than 512 data
bytes ends the transfer. A duplicate of the last accepted block is acknowledged again.
"""

import hashlib
import struct
from dataclasses import dataclass, field
from enum import Enum

OP_RRQ, OP_WRQ, OP_DATA, OP_ACK, OP_ERROR = 1, 2, 3, 4, 5
BLOCK = 512

ERROR_TEXTS = {
    0: "Not defined",
    1: "File not found",
    2: "Access violation",
    3: "Disk full or allocation exceeded",
    4: "Illegal TFTP operation",
    5: "Unknown transfer ID",
    6: "File already exists",
    7: "No such user",
}


def ack(block):
    return struct.pack(">HH", OP_ACK, block & 0xFFFF)


def error(code, text=None):
    if text is None:
        text = ERROR_TEXTS.get(code, "Error")
    return struct.pack(">HH", OP_ERROR, code & 0xFFFF) + text.encode("latin-1", "replace") + b"\0"


def request(opcode, filename="/", mode="octet"):
    return struct.pack(">H", opcode) + filename.encode("latin-1") + b"\0" + mode.encode() + b"\0"


def parse_request(data):
    """(opcode, filename, mode) of an RRQ/WRQ; None when it is not one or is malformed."""
    if len(data) < 4:
        return None
    opcode = struct.unpack_from(">H", data)[0]
    if opcode not in (OP_RRQ, OP_WRQ):
        return None
    parts = bytes(data[2:]).split(b"\0")
    if len(parts) < 3:
        return None
    return opcode, parts[0].decode("latin-1"), parts[1].decode("latin-1")


def odd_packet(opcode, block):
    """A packet the writer does not expect from us: a request, or a bare opcode with a block number."""
    if opcode in (OP_RRQ, OP_WRQ):
        return request(opcode)
    return struct.pack(">HH", opcode & 0xFFFF, block & 0xFFFF)


class OutKind(str, Enum):
    SEND = "send"  # to the client
    THIRD = "third"  # from the third host's socket
    LOG = "log"
    FINISH = "finish"  # the transfer is over; note is a Finish


class Finish(str, Enum):
    """How a transfer ended (logged as the reason)."""

    COMPLETE = "complete"
    CLOSED = "closed"
    ERROR_SENT = "error-sent"
    CLIENT_ERROR = "client-error"
    TIMEOUT = "timeout"
    SUPERSEDED = "superseded"


@dataclass
class Out:
    kind: OutKind
    data: bytes = b""
    note: str = ""
    fields: dict = field(default_factory=dict)


class Transfer:
    """One write transfer from one client (address and port).

    `wait` is the number of seconds until on_timeout() should be called, or None.
    """

    def __init__(self, cfg, rng):
        self.cfg = cfg
        self.rng = rng
        self.expected = 1
        self.image = bytearray()
        self.blocks = 0
        self.last_sent = None  # the packet a timeout sends again
        self.retries_left = cfg.retries
        self.state = "open"  # open, dally (complete, re-acking a repeated last block), closed
        self.wait = None
        self.data_seen = False
        self._used = set()  # one-shot faults already spent, as (name, block)

    # -- helpers ------------------------------------------------------------------------------
    def _once(self, name, block, listed):
        if block in listed and (name, block) not in self._used:
            self._used.add((name, block))
            return True
        return False

    def _at(self, name, block, value):
        if value is not None and value == block and (name, block) not in self._used:
            self._used.add((name, block))
            return True
        return False

    def _send(self, data, note, out, retransmit=True):
        if retransmit:
            self.last_sent = data
        if self.cfg.loss and self.rng.random() < self.cfg.loss:
            out.append(Out(OutKind.LOG, fields={"event": "tftp-lost", "direction": "out", "hex": data[:4].hex(),
                                                "note": note}))
            return
        out.append(Out(OutKind.SEND, data, note))

    def _arm(self):
        self.wait = self.cfg.timeout_ms / 1000.0

    def _finish(self, status, out, **fields):
        self.state = "closed"
        self.wait = None
        out.append(Out(OutKind.FINISH, note=status, fields=fields))

    def _error_due(self, block, out):
        """The injected ERROR, in place of taking the write request (block 0) or DATA block."""
        cfg = self.cfg
        if not self._at("error_at", block, cfg.error_at):
            return False
        self._send(error(cfg.error_code, cfg.error_text), "error", out, retransmit=False)
        self._finish(Finish.ERROR_SENT, out, code=cfg.error_code, block=block)
        return True

    def _answer_block(self, block, out):
        """What goes back for the write request (block 0) or a newly accepted DATA block."""
        cfg = self.cfg
        if self._at("send_opcode_at", block, cfg.send_opcode_at):
            self._send(odd_packet(cfg.opcode, block), f"opcode {cfg.opcode}", out, retransmit=False)
            self.last_sent = None
            self._arm()
            return
        if cfg.third_host_ack:
            for _ in range(cfg.third_host_count):
                out.append(Out(OutKind.THIRD, ack(block + 1), "third-host ack"))
        number = block + 1 if self._at("ack_ahead_at", block, cfg.ack_ahead_at) else block
        packet = ack(number)
        if self._once("drop_acks", number, cfg.drop_acks):
            self.last_sent = packet
            out.append(Out(OutKind.LOG, fields={"event": "tftp-lost", "direction": "out", "hex": packet.hex(),
                                                "note": "drop_acks"}))
        else:
            self._send(packet, "ack" if number == block else "ack-ahead", out)
            copies = 1 if block == 0 and cfg.dup_ack0 else 0
            copies += 1 if self._once("duplicate_acks", number, cfg.duplicate_acks) else 0
            for _ in range(copies):
                self._send(packet, "duplicate ack", out)
        self._arm()

    def _silent_for(self, block):
        return self.cfg.silent_after is not None and block > self.cfg.silent_after

    # -- events -------------------------------------------------------------------------------
    def start(self):
        """The write request has arrived: acknowledge it (block 0)."""
        out = []
        if self._silent_for(0):
            out.append(Out(OutKind.LOG, fields={"event": "tftp-data", "block": 0, "action": "silent"}))
            self._arm()
            self.last_sent = None
            return out
        if not self._error_due(0, out):
            self._answer_block(0, out)
        return out

    def on_packet(self, data):
        out = []
        if self.state == "closed":
            return out
        if self.cfg.loss and self.rng.random() < self.cfg.loss:
            out.append(Out(OutKind.LOG, fields={"event": "tftp-lost", "direction": "in", "hex": bytes(data[:4]).hex()}))
            return out
        if len(data) < 4:
            out.append(Out(OutKind.LOG, fields={"event": "tftp-data", "action": "short", "hex": bytes(data).hex()}))
            return out
        opcode, block = struct.unpack_from(">HH", data)
        if opcode == OP_ERROR:
            text = bytes(data[4:]).split(b"\0")[0].decode("latin-1")
            out.append(Out(OutKind.LOG, fields={"event": "tftp-error", "origin": "client", "code": block, "text": text,
                                                "hex": bytes(data).hex()}))
            self._finish(Finish.CLIENT_ERROR, out, code=block)
            return out
        if opcode != OP_DATA:
            out.append(Out(OutKind.LOG, fields={"event": "tftp-data", "action": "ignored", "opcode": opcode,
                                                "hex": bytes(data[:64]).hex()}))
            return out
        payload = bytes(data[4:])
        entry = {"event": "tftp-data", "block": block, "size": len(payload)}
        if self.state == "dally":
            if block == (self.expected - 1) & 0xFFFF:
                self._send(ack(block), "ack", out)
                entry["action"] = "duplicate"
            else:
                entry["action"] = "ignored"
            out.insert(0, Out(OutKind.LOG, fields=entry))
            return out
        if self._silent_for(block):
            entry["action"] = "silent"
            out.append(Out(OutKind.LOG, fields=entry))
            return out
        if block == self.expected:
            if self._once("drop", block, self.cfg.drop):
                entry["action"] = "dropped"
                out.append(Out(OutKind.LOG, fields=entry))
                return out
            if self._error_due(block, out):
                entry["action"] = "error"
                out.insert(0, Out(OutKind.LOG, fields=entry))
                return out
            self.data_seen = True
            self.image += payload
            self.blocks += 1
            self.expected = (block + 1) & 0xFFFF
            self.retries_left = self.cfg.retries
            entry["action"] = "accepted"
            out.append(Out(OutKind.LOG, fields=entry))
            if len(payload) < BLOCK:
                # Stored before the last ACK leaves: a writer that has seen it finds the image complete.
                out.append(Out(OutKind.FINISH, note=Finish.COMPLETE, fields=self.summary()))
            self._answer_block(block, out)
            if self.state == "open" and len(payload) < BLOCK:
                self.state = "dally"
                self.wait = 3 * self.cfg.timeout_ms / 1000.0
            return out
        if block == (self.expected - 1) & 0xFFFF:
            entry["action"] = "duplicate"
            out.append(Out(OutKind.LOG, fields=entry))
            if self.last_sent is not None:
                self._send(self.last_sent, "ack again", out)
            return out
        entry["action"] = "out-of-order"
        entry["expected"] = self.expected
        out.append(Out(OutKind.LOG, fields=entry))
        return out

    def on_timeout(self):
        out = []
        if self.state == "dally":
            self.state = "closed"
            self.wait = None
            out.append(Out(OutKind.FINISH, note=Finish.CLOSED))
            return out
        if self.state != "open":
            return out
        if self.retries_left <= 0:
            self._finish(Finish.TIMEOUT, out, **self.summary())
            return out
        self.retries_left -= 1
        out.append(Out(OutKind.LOG, fields={"event": "tftp-timeout", "expected": self.expected,
                                            "resend": self.last_sent.hex() if self.last_sent else None}))
        if self.last_sent is not None:
            self._send(self.last_sent, "resend", out)
        self._arm()
        return out

    def summary(self):
        return {"size": len(self.image), "blocks": self.blocks,
                "sha256": hashlib.sha256(self.image).hexdigest()}
