"""The simulator in device namespaces, talked to from the lab's workstation namespace. Needs root."""

import hashlib
import os
import random
import signal
import socket
import struct
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import labkit  # noqa: E402
from labkit import collect, udp  # noqa: E402
from test_records import LOBBY_REPLY, REQUEST  # noqa: E402

WS_ETH1_MAC = bytes.fromhex("02fe00000201")
SO_RCVBUFFORCE = 33  # Linux; lets a root test take a burst of replies


def discovery_request(seq, mac):
    return bytes.fromhex("8765432110 00") + struct.pack(">H", seq) + mac + b"\0\0"


def setip_request(mac, ip, mask, gw, action=0x10, seq=1, requester=WS_ETH1_MAC):
    return (bytes.fromhex("876543212000")[:4] + bytes((0x20, action)) + struct.pack(">H", seq) + mac + requester
            + bytes(map(int, ip.split("."))) + bytes(map(int, mask.split("."))) + bytes(map(int, gw.split("."))))


@unittest.skipUnless(labkit.can_run(), "needs root and iproute2")
class NamespaceTest(unittest.TestCase):
    def setUp(self):
        self.lab = labkit.Lab()
        self.addCleanup(self.lab.close)

    def stop(self, sim):
        sim.proc.send_signal(signal.SIGTERM)
        self.assertEqual(sim.proc.wait(5), 0)
        self.assertEqual(sim.events()[-1]["event"], "exit")

    def test_discovery_on_both_segments(self):
        lab = self.lab
        lab.host("d1", "a", "10.77.1.10/24", mac="00:0a:1b:2c:3d:4e")
        lab.host("d2", "b", "192.168.9.5/24")
        near = lab.simulator("d1", [
            {"name": "Lobby AP", "mac": "00:0A:1B:2C:3D:4E", "essid": "office", "channel": 6, "wep": 1},
            # a second device the simulator puts on an address of its own
            {"mac": "00:0A:1B:2C:3D:4F", "ip": "10.77.1.11", "kind": "G", "delay_ms": 300,
             "also_wrong_magic": True, "duplicates": 1},
        ], "near")
        far = lab.simulator("d2", [{"name": "Far", "mac": "00-0A-1B-2C-3D-50", "reply_size": 60}], "far")
        self.assertIn("10.77.1.11/24", lab.addresses("d1"))

        eth0 = udp(lab.ws, ("0.0.0.0", 4001), "eth0")
        eth1 = udp(lab.ws, ("0.0.0.0", 4001), "eth1")
        self.addCleanup(eth0.close)
        self.addCleanup(eth1.close)
        start = time.monotonic()
        eth0.sendto(REQUEST, ("255.255.255.255", 4000))
        eth1.sendto(discovery_request(5, WS_ETH1_MAC), ("255.255.255.255", 4000))
        on_a = collect(eth0, quiet=0.6)
        on_b = collect(eth1, quiet=0.3)

        by_sender = {}
        for data, src, when in on_a:
            by_sender.setdefault(src, []).append((data, when))
        self.assertEqual(sorted(by_sender), [("10.77.1.10", 4000), ("10.77.1.11", 4000)])
        self.assertEqual([d for d, _ in by_sender[("10.77.1.10", 4000)]], [LOBBY_REPLY])
        second = [d for d, _ in by_sender[("10.77.1.11", 4000)]]
        self.assertEqual([d[:4].hex() for d in second], ["87654320", "87654321", "87654321"])
        self.assertEqual(second[1], second[2])
        self.assertEqual(second[1][14:20].hex(), "000a1b2c3d4f")
        self.assertEqual(second[1][92:95], b"G\0\0")
        self.assertGreaterEqual(by_sender[("10.77.1.11", 4000)][0][1] - start, 0.29)

        # The foreign-subnet device answers by broadcast; only segment b hears it.
        self.assertEqual(len(on_b), 1)
        data, src, _ = on_b[0]
        self.assertEqual(src, ("192.168.9.5", 4000))
        self.assertEqual(len(data), 60)
        self.assertEqual(data[6:8].hex(), "0005")
        self.assertEqual(data[8:14], WS_ETH1_MAC)
        tx = far.wait_for("tx")[0]
        self.assertEqual(tx["to"], "255.255.255.255:4001")

        # What each device received is logged byte for byte.
        for mac in ("00:0A:1B:2C:3D:4E", "00:0A:1B:2C:3D:4F"):
            rx = near.events("rx", mac)
            self.assertEqual([(r["hex"], r["from"], r["kind"]) for r in rx], [(REQUEST.hex(), "10.77.1.1:4001",
                                                                               "discovery")])
        self.assertEqual(far.events("rx")[0]["hex"], discovery_request(5, WS_ETH1_MAC).hex())
        self.stop(near)
        self.stop(far)

    def test_set_ip_moves_a_foreign_device_onto_the_segment(self):
        lab = self.lab
        lab.host("d1", "b", "192.168.9.5/24")
        mac, refuser, mute = (bytes.fromhex(h) for h in ("000a1b2c3d60", "000a1b2c3d61", "000a1b2c3d62"))
        sim = lab.simulator("d1", [
            {"mac": "00:0A:1B:2C:3D:60", "name": "Mover"},
            {"mac": "00:0A:1B:2C:3D:61", "ip": "192.168.9.6", "setip": "refuse"},
            {"mac": "00:0A:1B:2C:3D:62", "ip": "192.168.9.7", "setip": "silent"},
        ])
        sock = udp(lab.ws, ("0.0.0.0", 4001), "eth1")
        self.addCleanup(sock.close)

        # Nobody answers a request for a MAC that is not theirs.
        sock.sendto(setip_request(bytes.fromhex("000a1b2c3d99"), "10.77.2.40", "255.255.255.0", "10.77.2.254"),
                    ("255.255.255.255", 4000))
        self.assertEqual(collect(sock, quiet=0.4), [])
        self.assertEqual(len([r for r in sim.events("rx") if r.get("ignored") == "other-mac"]), 3)

        request = setip_request(mac, "10.77.2.40", "255.255.255.0", "10.77.2.254", seq=2)
        sock.sendto(request, ("255.255.255.255", 4000))
        replies = collect(sock, quiet=0.4)
        self.assertEqual(len(replies), 1)
        data, src, _ = replies[0]
        self.assertEqual(src, ("10.77.2.40", 4000))  # answered from the new address
        self.assertEqual((data[:4].hex(), data[6:8].hex(), data[21]), ("87654321", "0002", 0))
        self.assertEqual(sim.events("tx", "00:0A:1B:2C:3D:60")[-1]["to"], "255.255.255.255:4001")
        ack = request[:4] + bytes((0xA0, 0x99)) + request[6:]
        sock.sendto(ack, ("255.255.255.255", 4000))
        logged = sim.wait_for("setip-ack", "00:0A:1B:2C:3D:60")[0]
        self.assertEqual(logged["hex"], ack.hex())
        self.assertTrue(logged["matches_request"])

        addrs = lab.addresses("d1")
        self.assertIn("10.77.2.40/24", addrs)
        self.assertNotIn("192.168.9.5/24", addrs)
        self.assertIn("192.168.9.6/24", addrs)  # the other devices keep theirs
        routes = lab.ip_json("d1", "route", "show", "default")
        self.assertEqual([r.get("gateway") for r in routes], ["10.77.2.254"])

        # Now on the workstation's subnet: the next discovery is answered by unicast from there.
        sock.sendto(discovery_request(3, WS_ETH1_MAC), ("255.255.255.255", 4000))
        answers = {src: d for d, src, _ in collect(sock, quiet=0.4)}
        self.assertEqual(answers[("10.77.2.40", 4000)][14:20], mac)
        self.assertEqual(sim.events("tx", "00:0A:1B:2C:3D:60")[-1]["to"], "10.77.2.1:4001")

        # The refusing device answers 1 and stays; the silent one says nothing.
        sock.sendto(setip_request(refuser, "10.77.2.41", "255.255.255.0", "0.0.0.0", seq=3),
                    ("255.255.255.255", 4000))
        replies = collect(sock, quiet=0.4)
        self.assertEqual([(src, d[21]) for d, src, _ in replies], [(("192.168.9.6", 4000), 1)])
        sock.sendto(setip_request(mute, "10.77.2.42", "255.255.255.0", "0.0.0.0", seq=4),
                    ("255.255.255.255", 4000))
        self.assertEqual(collect(sock, quiet=0.4), [])
        self.assertNotIn("10.77.2.41/24", lab.addresses("d1"))
        self.assertNotIn("10.77.2.42/24", lab.addresses("d1"))

        # DHCP: accepted, the address stays as it is.
        sock.sendto(setip_request(mac, "0.0.0.0", "0.0.0.0", "0.0.0.0", action=0x11, seq=5),
                    ("255.255.255.255", 4000))
        replies = collect(sock, quiet=0.4)
        self.assertEqual([(src, d[21]) for d, src, _ in replies], [(("10.77.2.40", 4000), 0)])
        applied = sim.events("setip-applied", "00:0A:1B:2C:3D:60")
        self.assertEqual([(a["mode"], a["ip"]) for a in applied], [("static", "10.77.2.40"), ("dhcp", "10.77.2.40")])
        self.assertIn("10.77.2.40/24", lab.addresses("d1"))
        self.stop(sim)

    def test_a_thousand_devices_answer_one_broadcast(self):
        lab = self.lab
        lab.host("bulk", "a", "10.80.0.1/16")
        devices = [{"mac": f"02:00:00:00:{i >> 8:02X}:{i & 255:02X}", "ip": f"10.80.{1 + i // 250}.{1 + i % 250}"}
                   for i in range(1000)]
        sim = lab.simulator("bulk", devices)
        self.assertEqual(len(lab.addresses("bulk")), 1001)
        sock = udp(lab.ws, ("0.0.0.0", 4001), "eth0")
        self.addCleanup(sock.close)
        sock.setsockopt(socket.SOL_SOCKET, SO_RCVBUFFORCE, 16 << 20)
        sock.sendto(discovery_request(77, bytes(6)), ("255.255.255.255", 4000))
        got = collect(sock, quiet=1.0, limit=30)
        senders = {src[0] for _, src, _ in got}
        self.assertEqual(senders, {d["ip"] for d in devices})
        macs = {d[14:20].hex() for d, _, _ in got}
        self.assertEqual(len(macs), 1000)
        self.assertTrue(all(d[6:8] == b"\x00\x4d" for d, _, _ in got))
        self.stop(sim)

    def test_handshake_answer(self):
        lab = self.lab
        lab.host("d1", "a", "10.77.1.10/24")
        sim = lab.simulator("d1", [{"mac": "00:0A:1B:2C:3D:4E"},
                                   {"mac": "00:0A:1B:2C:3D:4F", "ip": "10.77.1.12", "handshake": "silent"}])
        sock = udp(lab.ws, ("10.77.1.1", 0))
        self.addCleanup(sock.close)
        record = bytes.fromhex("aa5555aa04") + b"QmTwHxbLd" + bytes(36) + bytes.fromhex("6836")
        sock.sendto(record, ("10.77.1.10", 4000))
        sock.sendto(record, ("10.77.1.12", 4000))
        replies = collect(sock, quiet=0.4)
        self.assertEqual(len(replies), 1)
        data, src, _ = replies[0]
        self.assertEqual(src, ("10.77.1.10", 4000))
        self.assertEqual(data, record[:4] + b"\xff" + record[5:])
        shakes = sim.events("handshake")
        self.assertEqual(sorted((h["device"], h["answered"]) for h in shakes),
                         [("00:0A:1B:2C:3D:4E", True), ("00:0A:1B:2C:3D:4F", False)])
        self.assertTrue(all(h["hex"] == record.hex() for h in shakes))
        # A subnet-directed broadcast reaches both devices, like the limited one.
        sock.sendto(discovery_request(9, bytes(6)), ("10.77.1.255", 4000))
        seen = sim.wait_for("tx", count=3)
        self.assertEqual(sorted((e["device"], e["to"]) for e in seen if e["kind"] == "discovery-reply"),
                         [("00:0A:1B:2C:3D:4E", "10.77.1.1:4001"), ("00:0A:1B:2C:3D:4F", "10.77.1.1:4001")])

    def test_tftp_write_with_injected_faults(self):
        lab = self.lab
        lab.host("d1", "a", "10.77.1.10/24")
        store = os.path.join(lab.dir, "fw.bin")
        sim = lab.simulator("d1", [{"mac": "00:0A:1B:2C:3D:4E", "tftp": {
            "store": store, "drop": [2], "duplicate_acks": [3], "dup_ack0": True,
            "third_host_ack": "10.77.1.99", "third_host_count": 2}}])
        image = random.Random(7).randbytes(512 * 6 + 100)

        # As the workstation does: a first write request, the socket closed, then a second one.
        first = udp(lab.ws, ("10.77.1.1", 14321), broadcast=False)
        first.sendto(b"\x00\x02/\x00octet\x00", ("10.77.1.10", 69))
        sim.wait_for("tftp-wrq")
        first.close()
        time.sleep(0.3)
        sock = udp(lab.ws, ("10.77.1.1", 14321), broadcast=False)
        self.addCleanup(sock.close)
        result = labkit.tftp_put(sock, "10.77.1.10", image)
        self.assertTrue(result["ok"], result)
        self.assertNotEqual(result["tid"], 69)
        with open(store, "rb") as f:  # in place by the time the last ACK arrived
            self.assertEqual(f.read(), image)
        done = sim.wait_for("tftp-done")[0]
        self.assertEqual(done["sha256"], hashlib.sha256(image).hexdigest())

        # The bogus acknowledgements came from the third address, from the same port number.
        self.assertTrue(result["foreign"])
        self.assertTrue(all(src == ("10.77.1.99", result["tid"]) for src, _ in result["foreign"]))
        self.assertEqual(sim.events("tftp-abandoned")[0]["reason"], "superseded")
        self.assertEqual(sim.events("tftp-error"), [])
        dropped = [e["block"] for e in sim.events("tftp-data") if e.get("action") == "dropped"]
        self.assertEqual(dropped, [2])

    def test_tftp_error_leaves_no_image(self):
        lab = self.lab
        lab.host("d1", "a", "10.77.1.10/24")
        store = os.path.join(lab.dir, "fw.bin")
        sim = lab.simulator("d1", [{"mac": "00:0A:1B:2C:3D:4E",
                                    "tftp": {"store": store, "error_at": 2, "error_code": 3}}])
        sock = udp(lab.ws, ("10.77.1.1", 14321), broadcast=False)
        self.addCleanup(sock.close)
        result = labkit.tftp_put(sock, "10.77.1.10", bytes(4000))
        self.assertFalse(result["ok"])
        self.assertEqual(result["error"][0], 3)
        err = sim.wait_for("tftp-error")[0]
        self.assertEqual((err["origin"], err["code"], err["received"]), ("server", 3, 512))
        self.assertFalse(os.path.exists(store))

    def test_tftp_through_the_lossy_relay(self):
        lab = self.lab
        lab.host("t1", "a", "10.77.1.20/24")
        root = os.path.join(lab.dir, "tftproot")
        os.mkdir(root)
        os.chmod(root, 0o777)
        os.chmod(lab.dir, 0o755)
        remap = os.path.join(lab.dir, "remap")
        with open(remap, "w") as f:
            f.write("r ^/$ fw.bin\n")
        lab.spawn("t1", ["in.tftpd", "-L", "-c", "-s", root, "-m", remap, "-a", "127.0.0.1:69"],
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        relay_log = labkit.SimLog(os.path.join(lab.dir, "relay.jsonl"))
        relay = lab.spawn("t1", [labkit.RELAY, "--listen", "10.77.1.20", "--seed", "11", "--loss", "0.1",
                                 "--duplicate", "0.03", "--reorder", "0.03", "--log", relay_log.path],
                          stdout=subprocess.PIPE, text=True)
        self.assertIn("ready", relay.stdout.readline())
        time.sleep(0.3)  # tftpd binds its socket

        image = random.Random(3).randbytes(64 * 1024 + 77)
        sock = udp(lab.ws, ("10.77.1.1", 14321), broadcast=False)
        self.addCleanup(sock.close)
        result = labkit.tftp_put(sock, "10.77.1.20", image, timeout=0.3, retries=30)
        self.assertTrue(result["ok"], result)
        self.assertNotEqual(result["tid"], 69)  # the server's transfer port, mirrored on the device address
        self.assertEqual(result["foreign"], [])
        time.sleep(0.3)
        with open(os.path.join(root, "fw.bin"), "rb") as f:
            self.assertEqual(f.read(), image)
        relay.send_signal(signal.SIGTERM)
        self.assertEqual(relay.wait(5), 0)
        drops = {e["dir"] for e in relay_log.events("drop")}
        self.assertEqual(drops, {"to-server", "to-client"})
        self.assertTrue(relay_log.events("duplicate"))
        self.assertTrue(relay_log.events("hold"))


def main():
    if not labkit.can_run():
        print("skipped: needs root and iproute2")
        return 77
    program = unittest.main(exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
