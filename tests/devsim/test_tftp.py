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


def transfer(**faults):
    return tftp.Transfer(config.parse_tftp(faults), random.Random(faults.get("seed", 0)))


IMAGE = bytes(range(256)) * 4 + b"tail"  # 1028 bytes: two full blocks and 4 bytes


def blocks_of(image):
    return [image[i:i + 512] for i in range(0, len(image) + 1, 512)]


class NormalTransferTest(unittest.TestCase):
    def test_acks_each_block_and_completes_on_a_short_one(self):
        t = transfer()
        self.assertEqual(sent(t.start()), ["00040000"])
        self.assertEqual(sent(t.on_packet(data(1, IMAGE[:512]))), ["00040001"])
        self.assertEqual(sent(t.on_packet(data(2, IMAGE[512:1024]))), ["00040002"])
        outs = t.on_packet(data(3, IMAGE[1024:]))
        self.assertEqual(sent(outs), ["00040003"])
        finish = kinds(outs, "finish")
        self.assertEqual([f.note for f in finish], ["complete"])
        self.assertEqual(finish[0].fields["size"], 1028)
        self.assertEqual(bytes(t.image), IMAGE)

    def test_multiple_of_512_ends_with_an_empty_block(self):
        t = transfer()
        t.start()
        for n in (1, 2):
            self.assertFalse(kinds(t.on_packet(data(n, bytes(512))), "finish"))
        self.assertEqual([f.note for f in kinds(t.on_packet(data(3, b"")), "finish")], ["complete"])
        self.assertEqual(len(t.image), 1024)

    def test_empty_image(self):
        t = transfer()
        t.start()
        outs = t.on_packet(data(1, b""))
        self.assertEqual(sent(outs), ["00040001"])
        self.assertEqual(kinds(outs, "finish")[0].fields["size"], 0)

    def test_duplicates_and_strays(self):
        t = transfer()
        t.start()
        t.on_packet(data(1, bytes(512)))
        self.assertEqual(sent(t.on_packet(data(1, bytes(512)))), ["00040001"])  # ack lost: ack again
        self.assertEqual(sent(t.on_packet(data(5, bytes(512)))), [])  # out of order: ignored
        self.assertEqual(sent(t.on_packet(b"\x00\x03\x00")), [])  # too short
        self.assertEqual(sent(t.on_packet(struct.pack(">HH", 4, 1))), [])  # an ACK to us: ignored
        self.assertEqual(len(t.image), 512)

    def test_final_block_repeated_while_dallying(self):
        t = transfer()
        t.start()
        t.on_packet(data(1, b"x"))
        outs = t.on_packet(data(1, b"x"))
        self.assertEqual(sent(outs), ["00040001"])
        self.assertFalse(kinds(outs, "finish"))
        self.assertEqual([f.note for f in kinds(t.on_timeout(), "finish")], ["closed"])
        self.assertEqual(bytes(t.image), b"x")

    def test_client_error_ends_it(self):
        t = transfer()
        t.start()
        outs = t.on_packet(b"\x00\x05\x00\x00Block number is out of sequence.\x00")
        self.assertEqual([f.note for f in kinds(outs, "finish")], ["client-error"])
        self.assertEqual(kinds(outs, "log")[0].fields["text"], "Block number is out of sequence.")
        self.assertEqual(t.on_packet(data(1, b"")), [])

    def test_timeouts_resend_then_give_up(self):
        t = transfer(retries=2)
        t.start()
        t.on_packet(data(1, bytes(512)))
        self.assertEqual(sent(t.on_timeout()), ["00040001"])
        self.assertEqual(sent(t.on_timeout()), ["00040001"])
        outs = t.on_timeout()
        self.assertEqual([f.note for f in kinds(outs, "finish")], ["timeout"])
        self.assertEqual(kinds(outs, "finish")[0].fields["size"], 512)


class FaultTest(unittest.TestCase):
    def run_image(self, t, image, limit=200, everything=None):
        """A sender with RFC 1350 retransmission: returns every packet the receiver sent."""
        outs = t.start()
        got = sent(outs)
        pieces = blocks_of(image)
        block, steps = 1, 0
        while t.state == "open" and steps < limit:
            steps += 1
            more = t.on_packet(data(block, pieces[block - 1]))
            answers = sent(more)
            got += answers
            if f"0004{block:04x}" in answers:
                block += 1
            elif not answers:
                retry = t.on_timeout()
                more += retry
                got += sent(retry)
            outs += more
        if everything is not None:
            everything.extend(outs)
        return got

    def test_dropped_data_is_taken_on_the_retry(self):
        t = transfer(drop=[2])
        got = self.run_image(t, IMAGE)
        self.assertEqual(bytes(t.image), IMAGE)
        # block 2 dropped once: no ack for it the first time, then the timer resends ack 1
        self.assertEqual(got, ["00040000", "00040001", "00040001", "00040002", "00040003"])

    def test_drop_acks_withholds_once_and_the_timer_recovers(self):
        t = transfer(drop_acks=[1])
        self.assertEqual(sent(t.start()), ["00040000"])
        outs = t.on_packet(data(1, bytes(512)))
        self.assertEqual(sent(outs), [])
        self.assertEqual(kinds(outs, "log")[-1].fields["event"], "tftp-lost")
        self.assertEqual(sent(t.on_timeout()), ["00040001"])
        self.assertEqual(sent(t.on_packet(data(1, bytes(512)))), ["00040001"])

    def test_duplicate_acks_and_dup_ack0(self):
        t = transfer(duplicate_acks=[2], dup_ack0=True)
        self.assertEqual(sent(t.start()), ["00040000", "00040000"])
        self.assertEqual(sent(t.on_packet(data(1, bytes(512)))), ["00040001"])
        self.assertEqual(sent(t.on_packet(data(2, bytes(512)))), ["00040002", "00040002"])
        self.assertEqual(sent(t.on_packet(data(3, b""))), ["00040003"])

    def test_ack_ahead(self):
        t = transfer(ack_ahead_at=1)
        t.start()
        self.assertEqual(sent(t.on_packet(data(1, bytes(512)))), ["00040002"])

    def test_error_at(self):
        t = transfer(error_at=2, error_code=3)
        t.start()
        t.on_packet(data(1, bytes(512)))
        outs = t.on_packet(data(2, bytes(512)))
        self.assertEqual(sent(outs), ["00050003" + b"Disk full or allocation exceeded".hex() + "00"])
        self.assertEqual(kinds(outs, "finish")[0].note, "error-sent")
        self.assertEqual(t.on_packet(data(3, b"")), [])
        t0 = transfer(error_at=0, error_code=9, error_text="no")
        self.assertEqual(sent(t0.start()), ["00050009" + b"no".hex() + "00"])

    def test_send_opcode(self):
        for opcode, expected in ((1, "00012f006f6374657400"), (2, "00022f006f6374657400"), (9, "00090001")):
            with self.subTest(opcode=opcode):
                t = transfer(send_opcode_at=1, opcode=opcode)
                t.start()
                outs = t.on_packet(data(1, bytes(512)))
                self.assertEqual(sent(outs), [expected])
                self.assertEqual(sent(t.on_timeout()), [])  # the odd packet is not repeated

    def test_silent_after(self):
        t = transfer(silent_after=1, retries=1)
        self.assertEqual(sent(t.start()), ["00040000"])
        self.assertEqual(sent(t.on_packet(data(1, bytes(512)))), ["00040001"])
        self.assertEqual(sent(t.on_packet(data(2, bytes(512)))), [])
        self.assertEqual(sent(t.on_packet(data(2, bytes(512)))), [])
        self.assertEqual(len(t.image), 512)
        t.on_timeout()
        self.assertEqual(kinds(t.on_timeout(), "finish")[0].note, "timeout")
        self.assertEqual(sent(transfer(silent_after=-1).start()), [])

    def test_third_host_acks_the_next_block(self):
        t = transfer(third_host_ack="10.77.1.99", third_host_count=3)
        outs = t.start()
        self.assertEqual([o.data.hex() for o in kinds(outs, "third")], ["00040001"] * 3)
        outs = t.on_packet(data(1, bytes(512)))
        self.assertEqual([o.data.hex() for o in kinds(outs, "third")], ["00040002"] * 3)
        self.assertEqual(sent(outs), ["00040001"])

    def test_random_loss_is_seeded_and_still_delivers(self):
        runs, lost = [], []
        for _ in range(2):
            t = transfer(loss=0.3, seed=42, retries=50)
            everything = []
            got = self.run_image(t, IMAGE * 5, limit=2000, everything=everything)
            self.assertEqual(bytes(t.image), IMAGE * 5)
            runs.append(got)
            lost.append([o.fields["direction"] for o in kinds(everything, "log")
                         if o.fields["event"] == "tftp-lost"])
        self.assertEqual(runs[0], runs[1])
        self.assertEqual(lost[0], lost[1])
        self.assertIn("in", lost[0])
        self.assertIn("out", lost[0])


if __name__ == "__main__":
    unittest.main()
