"""Device decisions (which answers, to where, Set IP filtering and acceptance) and configuration."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "devsim"))

from fernwick_devsim import config, device, records  # noqa: E402

DISCOVERY = bytes.fromhex("87654321" "10" "00" "0009" "02fe00000101" "0000")
WS = ("10.77.1.1", 4001)


def setip_request(mac_hex, ip="10.77.1.77", mask="255.255.255.0", gw="10.77.1.254", action=0x10, seq=1):
    return (bytes.fromhex("87654321") + bytes((0x20, action)) + seq.to_bytes(2, "big") + bytes.fromhex(mac_hex)
            + bytes.fromhex("02fe00000101") + records.ip_bytes(ip) + records.ip_bytes(mask) + records.ip_bytes(gw))


def dev(**kw):
    return config.parse_device({"mac": "00:0A:1B:2C:3D:4E", **kw})


class DiscoveryAnswerTest(unittest.TestCase):
    def test_destination_by_mode(self):
        cases = [
            ("auto", "10.77.1.1", "10.77.1.10", 24, ("10.77.1.1", 4001)),
            ("auto", "10.77.2.1", "10.77.1.10", 24, ("255.255.255.255", 4001)),
            ("auto", "10.77.1.200", "10.77.1.10", 25, ("255.255.255.255", 4001)),
            ("auto", "0.0.0.0", "10.77.1.10", 0, ("255.255.255.255", 4001)),
            ("unicast", "192.168.5.1", "10.77.1.10", 24, ("192.168.5.1", 4001)),
            ("broadcast", "10.77.1.1", "10.77.1.10", 24, ("255.255.255.255", 4001)),
        ]
        for mode, requester, ip, prefix, expected in cases:
            with self.subTest(mode=mode, requester=requester, prefix=prefix):
                self.assertEqual(device.reply_destination(mode, requester, ip, prefix), expected)

    def test_plain_device_sends_one_reply(self):
        sends = device.discovery_sends(dev(), DISCOVERY, WS, "10.77.1.10", 24)
        self.assertEqual([s.note for s in sends], ["reply"])
        self.assertEqual(sends[0].dest, WS)
        self.assertEqual(sends[0].data[6:8].hex(), "0009")
        self.assertEqual(len(sends[0].data), 96)

    def test_fault_copies_come_first_duplicates_last(self):
        d = dev(also_wrong_magic=True, also_old_sequence=True, duplicates=2, reply_size=120)
        sends = device.discovery_sends(d, DISCOVERY, WS, "10.77.1.10", 24)
        self.assertEqual([s.note for s in sends], ["wrong-magic", "old-sequence", "reply", "duplicate", "duplicate"])
        self.assertEqual(sends[0].data[:4].hex(), "87654320")
        self.assertEqual(sends[1].data[6:8].hex(), "0008")
        self.assertTrue(all(s.data == sends[2].data for s in sends[3:]))
        self.assertTrue(all(len(s.data) == 120 for s in sends))


class SetIpTest(unittest.TestCase):
    def test_only_the_named_mac_is_addressed(self):
        d = dev()
        self.assertTrue(device.names_device(d, setip_request("000a1b2c3d4e")))
        for other in ("000a1b2c3d4f", "4e3d2c1b0a00", "ffffffffffff", "000000000000"):
            with self.subTest(mac=other):
                self.assertFalse(device.names_device(d, setip_request(other)))
        # The requester MAC (bytes 14-19) naming the device must not count.
        req = bytearray(setip_request("010203040506"))
        req[14:20] = bytes.fromhex("000a1b2c3d4e")
        self.assertFalse(device.names_device(d, bytes(req)))

    def test_plans_by_policy(self):
        req = setip_request("000a1b2c3d4e")
        accept = device.setip_plan(dev(), req)
        self.assertEqual((accept.mode, accept.ip, accept.prefix, accept.gateway, accept.apply),
                         ("static", "10.77.1.77", 24, "10.77.1.254", True))
        self.assertEqual(accept.reply[21], 0)
        self.assertEqual(accept.reply[6:8].hex(), "0001")
        refuse = device.setip_plan(dev(setip="refuse"), req)
        self.assertFalse(refuse.apply)
        self.assertEqual(refuse.reply[21], 1)
        silent = device.setip_plan(dev(setip="silent"), req)
        self.assertIsNone(silent.reply)
        self.assertFalse(silent.apply)

    def test_dhcp_is_applied_without_checking_the_address_fields(self):
        plan = device.setip_plan(dev(), setip_request("000a1b2c3d4e", ip="0.0.0.0", mask="0.0.0.0",
                                                      gw="0.0.0.0", action=0x11))
        self.assertEqual(plan.mode, "dhcp")
        self.assertTrue(plan.apply)
        self.assertEqual(plan.reply[21], 0)

    def test_addresses_no_interface_could_hold_are_refused(self):
        for ip, mask in (("0.0.0.0", "255.255.255.0"), ("255.255.255.255", "255.255.255.0"),
                         ("224.0.0.1", "255.255.255.0"), ("127.0.0.5", "255.0.0.0"),
                         ("10.77.1.0", "255.255.255.0"), ("10.77.1.255", "255.255.255.0"),
                         ("10.77.1.77", "255.0.255.0")):
            with self.subTest(ip=ip, mask=mask):
                plan = device.setip_plan(dev(), setip_request("000a1b2c3d4e", ip=ip, mask=mask))
                self.assertFalse(plan.apply)
                self.assertEqual(plan.reply[21], 1)
                self.assertTrue(plan.reason)
        for ip, mask in (("10.77.1.77", "255.255.255.254"), ("192.168.9.1", "255.255.255.255")):
            with self.subTest(ip=ip, mask=mask):
                self.assertTrue(device.setip_plan(dev(), setip_request("000a1b2c3d4e", ip=ip, mask=mask)).apply)

    def test_result_override_and_reply_size(self):
        req = setip_request("000a1b2c3d4e", seq=0x1234)
        plan = device.setip_plan(dev(setip_result=7, setip_reply_size=24), req)
        self.assertTrue(plan.apply)  # the override changes the answer only
        self.assertEqual(len(plan.reply), 24)
        self.assertEqual(plan.reply[21], 7)
        self.assertEqual(plan.reply[6:8].hex(), "1234")
        self.assertEqual(device.setip_plan(dev(setip="refuse", setip_result=0), req).reply[21], 0)


if __name__ == "__main__":
    unittest.main()
