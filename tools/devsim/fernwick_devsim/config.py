# SPDX-License-Identifier: GPL-3.0-or-later
"""Device descriptions: from a JSON file or from `key=value,...` strings, checked once at start."""

import json
from dataclasses import dataclass, field

from . import records

REPLY_MODES = ("unicast", "broadcast", "auto")
SETIP_MODES = ("accept", "refuse", "silent", "pretend")
HANDSHAKE_MODES = ("answer", "silent")
TFTP_OPCODES = (1, 2, 9)


class ConfigError(ValueError):
    pass


@dataclass
class TftpConfig:
    store: str | None = None
    drop: list = field(default_factory=list)
    drop_acks: list = field(default_factory=list)
    duplicate_acks: list = field(default_factory=list)
    dup_ack0: bool = False
    ack_ahead_at: int | None = None
    error_at: int | None = None
    error_code: int = 0
    error_text: str | None = None
    send_opcode_at: int | None = None
    opcode: int = 9
    silent_after: int | None = None
    third_host_ack: str | None = None
    third_host_count: int = 1
    seed: int = 0
    loss: float = 0.0
    timeout_ms: int = 1000
    retries: int = 5
    restart_ms: int = 0  # after a received image: silent on port 4000 this long, as a rebooting device
    ack_delay_ms: int = 0


@dataclass
class DeviceConfig:
    mac: bytes
    name: bytes = b""
    essid: bytes = b"fernwick"
    channel: int = 6
    wep: int = 0
    name_length: int = 32
    kind: bytes = b"AP\0"
    reply_size: int = records.DISCOVERY_REPLY_LEN
    ip: str | None = None
    prefix: int | None = None
    interface: str = "eth0"
    reply: str = "auto"
    delay_ms: int = 0
    duplicates: int = 0
    also_wrong_magic: bool = False
    also_old_sequence: bool = False
    setip: str = "accept"
    setip_result: int | None = None
    setip_reply_size: int = records.SETIP_RECORD_LEN
    handshake: str = "answer"
    tftp: TftpConfig | None = None

    @property
    def mac_text(self):
        return records.mac_text(self.mac)


def _text(key, value):
    if not isinstance(value, str):
        raise ConfigError(f"{key}: expected text")
    try:
        return value.encode("latin-1")
    except UnicodeEncodeError:
        raise ConfigError(f"{key}: only 8-bit characters (U+0000-U+00FF) fit the record") from None


def _hex(key, value, length=None):
    try:
        raw = bytes.fromhex(str(value).replace(" ", ""))
    except ValueError:
        raise ConfigError(f"{key}: not hexadecimal") from None
    if length is not None and len(raw) != length:
        raise ConfigError(f"{key}: expected {length} bytes")
    return raw


def _int(key, value, lo, hi):
    if isinstance(value, bool):
        value = int(value)
    if isinstance(value, str):
        try:
            value = int(value, 0)
        except ValueError:
            raise ConfigError(f"{key}: not a number: {value!r}") from None
    if not isinstance(value, int) or not lo <= value <= hi:
        raise ConfigError(f"{key}: expected a whole number {lo}-{hi}")
    return value


def _bool(key, value):
    if isinstance(value, bool):
        return value
    if isinstance(value, int) and value in (0, 1):
        return bool(value)
    if isinstance(value, str) and value.lower() in ("1", "true", "yes", "on", "0", "false", "no", "off"):
        return value.lower() in ("1", "true", "yes", "on")
    raise ConfigError(f"{key}: expected true or false")


def _choice(key, value, choices):
    if value not in choices:
        raise ConfigError(f"{key}: expected one of {', '.join(choices)}")
    return value


def _int_list(key, value):
    if isinstance(value, str):
        value = [v for v in value.replace(";", " ").split() if v]
    if not isinstance(value, list):
        raise ConfigError(f"{key}: expected a list of block numbers")
    return [_int(key, v, 0, 65535) for v in value]


def _ip(key, value):
    try:
        records.ip_bytes(value)
    except (ValueError, AttributeError):
        raise ConfigError(f"{key}: not an IPv4 address: {value!r}") from None
    return value


def parse_tftp(obj):
    if isinstance(obj, str):
        obj = {"store": obj}
    if not isinstance(obj, dict):
        raise ConfigError("tftp: expected an object")
    t = TftpConfig()
    for key, value in obj.items():
        k = f"tftp.{key}"
        if key == "store":
            t.store = str(value)
        elif key in ("drop", "drop_acks", "duplicate_acks"):
            setattr(t, key, _int_list(k, value))
        elif key == "dup_ack0":
            t.dup_ack0 = _bool(k, value)
        elif key in ("ack_ahead_at", "error_at", "send_opcode_at"):
            setattr(t, key, None if value is None else _int(k, value, 0, 65535))
        elif key == "silent_after":
            # -1: not even the write request is acknowledged.
            t.silent_after = None if value is None else _int(k, value, -1, 65535)
        elif key == "error_code":
            t.error_code = _int(k, value, 0, 255)
        elif key == "error_text":
            t.error_text = str(value)
        elif key == "opcode":
            t.opcode = _int(k, value, 0, 65535)
        elif key == "third_host_ack":
            t.third_host_ack = _ip(k, value)
        elif key == "third_host_count":
            t.third_host_count = _int(k, value, 1, 10000)
        elif key == "seed":
            t.seed = _int(k, value, -(2**63), 2**63)
        elif key == "loss":
            try:
                t.loss = float(value)
            except (TypeError, ValueError):
                raise ConfigError(f"{k}: expected a probability") from None
            if not 0.0 <= t.loss < 1.0:
                raise ConfigError(f"{k}: expected a probability below 1")
        elif key == "timeout_ms":
            t.timeout_ms = _int(k, value, 10, 60000)
        elif key == "retries":
            t.retries = _int(k, value, 0, 1000)
        elif key == "restart_ms":
            t.restart_ms = _int(k, value, 0, 3600000)
        elif key == "ack_delay_ms":
            t.ack_delay_ms = _int(k, value, 0, 60000)
        else:
            raise ConfigError(f"unknown key {k}")
    return t


def parse_device(obj):
    if not isinstance(obj, dict):
        raise ConfigError("a device must be an object")
    if "mac" not in obj:
        raise ConfigError("a device needs a mac")
    try:
        mac = records.parse_mac(str(obj["mac"]))
    except ValueError as e:
        raise ConfigError(str(e)) from None
    d = DeviceConfig(mac=mac, name=f"Device {records.mac_text(mac)[9:]}".encode())
    for key, value in obj.items():
        if key == "mac":
            continue
        if key in ("name", "essid"):
            setattr(d, key, _text(key, value))
        elif key in ("name_hex", "essid_hex"):
            setattr(d, key[:-4], _hex(key, value))
        elif key == "channel":
            d.channel = _int(key, value, 0, 255)
        elif key == "wep":
            d.wep = 1 if value is True else 0 if value is False else _int(key, value, 0, 255)
        elif key == "name_length":
            d.name_length = _int(key, value, 0, 255)
        elif key == "kind":
            kind = _choice(key, str(value).upper(), ("AP", "G"))
            d.kind = kind.encode().ljust(3, b"\0")
        elif key == "raw_kind":
            d.kind = _hex(key, value, 3)
        elif key == "reply_size":
            d.reply_size = _int(key, value, records.MIN_REPLY_LEN, records.MAX_REPLY_LEN)
        elif key == "ip":
            text = str(value)
            if "/" in text:
                text, prefix = text.split("/", 1)
                d.prefix = _int("ip prefix", prefix, 0, 32)
            d.ip = _ip(key, text)
        elif key == "prefix":
            d.prefix = _int(key, value, 0, 32)
        elif key == "interface":
            d.interface = str(value)
        elif key == "reply":
            d.reply = _choice(key, value, REPLY_MODES)
        elif key == "delay_ms":
            d.delay_ms = _int(key, value, 0, 600000)
        elif key == "duplicates":
            d.duplicates = _int(key, value, 0, 1000)
        elif key in ("also_wrong_magic", "also_old_sequence"):
            setattr(d, key, _bool(key, value))
        elif key == "setip":
            d.setip = _choice(key, value, SETIP_MODES)
        elif key == "setip_result":
            d.setip_result = None if value is None else _int(key, value, 0, 255)
        elif key == "setip_reply_size":
            d.setip_reply_size = _int(key, value, 1, 1024)
        elif key == "handshake":
            d.handshake = _choice(key, value, HANDSHAKE_MODES)
        elif key == "tftp":
            d.tftp = None if value is None or value is False else parse_tftp({} if value is True else value)
        else:
            raise ConfigError(f"unknown key {key}")
    return d


def split_device_arg(text):
    """`name=Lobby AP,mac=...` into a dict; a comma or backslash inside a value is written `\\,`."""
    items, cur, escaped = [], [], False
    for ch in text:
        if escaped:
            cur.append(ch)
            escaped = False
        elif ch == "\\":
            escaped = True
        elif ch == ",":
            items.append("".join(cur))
            cur = []
        else:
            cur.append(ch)
    items.append("".join(cur))
    out = {}
    for item in items:
        if not item.strip():
            continue
        if "=" not in item:
            raise ConfigError(f"--device: expected key=value, got {item!r}")
        key, value = item.split("=", 1)
        key = key.strip()
        if key.startswith("tftp."):
            out.setdefault("tftp", {})[key[5:]] = value
        elif key == "tftp":
            out["tftp"] = {"store": value} if value else {}
        else:
            out[key] = value
    return out


def load(config_path=None, device_args=()):
    devices = []
    if config_path:
        try:
            with open(config_path, encoding="utf-8") as f:
                doc = json.load(f)
        except (OSError, json.JSONDecodeError) as e:
            raise ConfigError(f"{config_path}: {e}") from None
        if isinstance(doc, list):
            doc = {"devices": doc}
        if not isinstance(doc, dict) or not isinstance(doc.get("devices"), list):
            raise ConfigError(f"{config_path}: expected {{\"devices\": [...]}}")
        for i, obj in enumerate(doc["devices"]):
            try:
                devices.append(parse_device(obj))
            except ConfigError as e:
                raise ConfigError(f"device {i}: {e}") from None
    for arg in device_args:
        devices.append(parse_device(split_device_arg(arg)))
    if not devices:
        raise ConfigError("no devices: give --config or --device")
    seen = set()
    for d in devices:
        if d.mac in seen:
            raise ConfigError(f"two devices with MAC {d.mac_text}")
        seen.add(d.mac)
    return devices
