# SPDX-License-Identifier: GPL-3.0-or-later
"""The simulated device's TFTP write receiver, with each injected fault, driven packet by packet."""

import os
import random
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "devsim"))

from fernwick_devsim import config, tftp  # noqa: E402


def data(block, payload):
    return struct.pack(">HH", 3, block) + payload


def sent(outs):
    return [o.data.hex() for o in outs if o.kind == "send"]


def kinds(outs, kind):
    return [o for o in outs if o.kind == kind]


def notes(outs):
    return [o.note for o in outs if o.kind == "finish"]


def transfer(**faults):
    return tftp.Transfer(config.parse_tftp(faults), random.Random(faults.get("seed", 0)))


def started(**faults):
    t = transfer(**faults)
    t.start()
    return t


IMAGE = bytes(range(256)) * 4 + b"tail"  # 1028 bytes: two full blocks and 4 bytes


class NormalTransferTest(unittest.TestCase):
    def test_acks_each_block_and_completes_on_a_short_one(self):
        t = transfer()
        self.assertEqual(sent(t.start()), ["00040000"])
        self.assertEqual(sent(t.on_packet(data(1, IMAGE[:512]))), ["00040001"])
        self.assertEqual(sent(t.on_packet(data(2, IMAGE[512:1024]))), ["00040002"])
        outs = t.on_packet(data(3, IMAGE[1024:]))
        self.assertEqual(sent(outs), ["00040003"])
        self.assertEqual(notes(outs), ["complete"])
        self.assertEqual(kinds(outs, "finish")[0].fields["size"], 1028)
        self.assertEqual(bytes(t.image), IMAGE)

    def test_duplicates_and_strays(self):
        t = started()
        t.on_packet(data(1, bytes(512)))
        self.assertEqual(sent(t.on_packet(data(1, bytes(512)))), ["00040001"])  # ack lost: ack again
        self.assertEqual(sent(t.on_packet(data(5, bytes(512)))), [])  # out of order: ignored
        self.assertEqual(sent(t.on_packet(b"\x00\x03\x00")), [])  # too short
        self.assertEqual(sent(t.on_packet(struct.pack(">HH", 4, 1))), [])  # an ACK to us: ignored
        self.assertEqual(len(t.image), 512)

    def test_client_error_ends_it(self):
        outs = (t := started()).on_packet(b"\x00\x05\x00\x00Block number is out of sequence.\x00")
        self.assertEqual(notes(outs), ["client-error"])
        self.assertEqual(kinds(outs, "log")[0].fields["text"], "Block number is out of sequence.")
        self.assertEqual(t.on_packet(data(1, b"")), [])


if __name__ == "__main__":
    unittest.main()
