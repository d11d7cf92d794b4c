# SPDX-License-Identifier: GPL-3.0-or-later
"""Byte-exact records the simulated device sends, against vectors written out by hand."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "devsim"))

from fernwick_devsim import records  # noqa: E402

MAC = bytes.fromhex("000a1b2c3d4e")
# A discovery request as the workstation sends it: sequence 5, adapter MAC 02:fe:00:00:01:01.
REQUEST = bytes.fromhex("87654321" "10" "00" "0005" "02fe00000101" "0000")

# The reply of "Lobby AP" (ESS-ID "office", channel 6, WEP on, name length 32, an access point).
LOBBY_REPLY = bytes.fromhex(
    "87654321"  # 0 magic
    "1000"  # 4 request's command and reserved byte, echoed
    "0005"  # 6 sequence, high byte first
    "02fe00000101"  # 8 requester MAC, echoed
    "000a1b2c3d4e"  # 14 device MAC
    "6f6666696365" + "00" * 26 +  # 20 ESS-ID "office"
    "00"  # 52
    "06"  # 53 channel
    "01"  # 54 WEP
    "20"  # 55 name length
    "00000000"  # 56
    "4c6f626279204150" + "00" * 24 +  # 60 name "Lobby AP"
    "415000"  # 92 kind "AP"
    "00")  # 95


def lobby(request=REQUEST, **kw):
    args = dict(mac=MAC, essid=b"office", channel=6, wep=1, name_length=32, name=b"Lobby AP", kind=b"AP\0")
    args.update(kw)
    return records.discovery_reply(request, **args)


class DiscoveryReplyTest(unittest.TestCase):
    def test_reply_matches_the_hand_written_layout(self):
        self.assertEqual(len(LOBBY_REPLY), 96)
        self.assertEqual(lobby().hex(), LOBBY_REPLY.hex())

    def test_sequence_sizes_and_fault_variants(self):
        for seq_bytes in ("0005", "0500", "7fff", "ffff", "0100"):
            req = REQUEST[:6] + bytes.fromhex(seq_bytes) + REQUEST[8:]
            self.assertEqual(lobby(req)[6:8].hex(), seq_bytes)
        self.assertEqual(lobby(size=60), LOBBY_REPLY[:60])
        self.assertEqual(lobby(size=200), LOBBY_REPLY + bytes(104))
        for bad in (59, 201, 0):
            with self.subTest(size=bad), self.assertRaises(ValueError):
                lobby(size=bad)
        bad = lobby(magic=bytes.fromhex("87654320"))
        self.assertEqual(bad.hex(), "87654320" + LOBBY_REPLY[4:].hex())
        self.assertEqual(lobby(sequence=4)[6:8].hex(), "0004")
        self.assertEqual(lobby(REQUEST[:6] + b"\0\0" + REQUEST[8:], sequence=-1)[6:8].hex(), "ffff")
        # Only magic, command and sequence are needed; a missing requester MAC reads as zeros.
        self.assertEqual(lobby(REQUEST[:8])[6:14].hex(), "0005" + "00" * 6)

    def test_text_fields_are_fixed_width_and_kind_is_raw(self):
        rec = lobby(essid=b"E" * 32, name=b"N" * 40)
        self.assertEqual(rec[20:53], b"E" * 32 + b"\0")  # the whole width, no terminator
        self.assertEqual(rec[60:95], b"N" * 32 + b"AP\0")  # cut at 32, kind untouched
        self.assertEqual(lobby(essid=b"")[20:52], bytes(32))
        for kind in (b"G\0\0", bytes.fromhex("4d4150")):
            self.assertEqual(lobby(kind=kind)[92:95], kind)


class SetIpReplyTest(unittest.TestCase):
    REQ = bytes.fromhex("87654321" "2010" "0001" "000a1b2c3d4e" "02fe00000101" "0a4d014d" "ffffff00" "0a4d01fe")

    def test_reply_layout_and_sizes(self):
        expected = "87654321" "2110" "0001" "000a1b2c3d4e" "02fe00000101" "00" "00" "0000" + "00" * 8
        self.assertEqual(records.setip_reply(self.REQ, 0).hex(), expected)
        self.assertEqual(records.setip_reply(self.REQ, 1).hex(), expected[:42] + "01" + expected[44:])
        self.assertEqual(records.setip_reply(self.REQ, 7, size=24).hex(), expected[:42] + "07" + expected[44:48])
        self.assertEqual(records.setip_reply(self.REQ, 0, size=23).hex(), expected[:46])
        self.assertEqual(records.setip_reply(self.REQ, 0, size=40).hex(), expected + "00" * 8)

    def test_parse_request_fields(self):
        f = records.parse_setip(self.REQ)
        self.assertEqual((f["command"], f["action"], f["sequence"]), (0x20, 0x10, 1))
        self.assertEqual(f["target_mac"], MAC)
        self.assertEqual(records.ip_text(f["ip"]), "10.77.1.77")
        self.assertEqual(records.ip_text(f["mask"]), "255.255.255.0")
        self.assertEqual(records.ip_text(f["gateway"]), "10.77.1.254")


class HandshakeTest(unittest.TestCase):
    def test_answer_is_52_bytes_whatever_the_request_length(self):
        request = bytes.fromhex("aa5555aa" "04" + b"QmTwHxbLd".hex() + "00" * 36 + "6836")
        expected = "aa5555aa" "ff" + b"QmTwHxbLd".hex() + "00" * 36 + "6836"
        self.assertEqual(records.handshake_answer(request).hex(), expected)
        self.assertEqual(records.handshake_answer(bytes.fromhex("aa5555aa04")).hex(), "aa5555aaff" + "00" * 47)
        self.assertEqual(len(records.handshake_answer(bytes.fromhex("aa5555aa04") + bytes(100))), 52)


class ClassifyTest(unittest.TestCase):
    def test_table(self):
        setip = SetIpReplyTest.REQ
        ack = setip[:4] + bytes((0xA0, 0x99)) + setip[6:]
        cases = [
            (REQUEST, "discovery"),
            (REQUEST[:8], "discovery"),
            (REQUEST[:7], None),
            (bytes.fromhex("87654320") + REQUEST[4:], None),
            (setip, "setip"),
            (setip[:31], None),  # too short for the new address fields
            (ack, "setip-ack"),
            (setip[:4] + bytes((0xA0, 0x98)) + setip[6:], None),
            (setip[:4] + bytes((0x21, 0x10)) + setip[6:], None),  # another device's reply
            (bytes.fromhex("aa5555aa04") + bytes(47), "handshake"),
            (bytes.fromhex("aa5555"), None),
            (b"", None),
            (bytes(96), None),
        ]
        for data, kind in cases:
            with self.subTest(data=data.hex()):
                self.assertEqual(records.classify(data), kind)


class HelperTest(unittest.TestCase):
    def test_mask_prefix(self):
        for mask, prefix in (("255.255.255.0", 24), ("255.255.254.0", 23), ("0.0.0.0", 0),
                             ("255.255.255.255", 32), ("128.0.0.0", 1), ("255.0.255.0", None),
                             ("0.255.255.255", None), ("255.255.255.254", 31)):
            with self.subTest(mask=mask):
                self.assertEqual(records.mask_prefix(records.ip_bytes(mask)), prefix)


if __name__ == "__main__":
    unittest.main()
