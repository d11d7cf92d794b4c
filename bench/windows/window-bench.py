#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""fernwick.exe under wine in a namespace lab (two segments, three simulated devices, tftpd-hpa
beside the first), on an Xvfb display of its own with openbox, worked by fwdrive.exe (tools/windrive). Prints
one "key value" line per figure; nothing here is a test. Needs root.

  startup_from_process_ms  the first search request on the wire (tcpdump in the workstation
                           namespace) after fernwick.exe's Windows process was made
  startup_from_wine_ms     the same from `wine fernwick.exe` being run (wine's own start-up too)
  cli_upload_mib_s         fernwick-cli.exe's upload of the image to tftpd-hpa, first to last
                           datagram of the transfer on the wire
  window_upload_mib_s      the same image from the window's Upgrade FW... dialog
  stall_search_ms          the GUI thread's longest time away from its messages (fwagent's
                           stall probe) during a search that 1,000 more simulated devices answer;
                           _next_ms the next longest, _cpu_ms the thread's CPU time in the
                           longest, _median_ms the probe's own round trip
  stall_search3_ms         the same during a search of the lab's three devices alone
  stall_upload_ms          the same during the upload of the largest image (16,776,703 bytes)
                           from the Upgrade FW... dialog

    window-bench.py --gui fernwick.exe --cli fernwick-cli.exe --driver fwdrive.exe
                    [--prefix DIR] [--image-mib N] [--screenshot PNG] [--no-window-manager]
"""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
NETLAB = [sys.executable, os.path.join(REPO, "tools", "netlab", "netlab.py")]
DEVSIM = os.path.join(REPO, "tools", "devsim", "fernwick-devsim")
LARGEST_IMAGE = 16_776_703
MANY = 1000
DEVICES = {
    "ap": ("a", "10.77.1.10/24", '[{"mac": "00:0A:1B:00:00:10", "ip": "10.77.1.10", "kind": "AP"}]'),
    "br": ("b", "10.77.2.20/24", '[{"mac": "00:0A:1B:00:00:20", "ip": "10.77.2.20", "kind": "G"},'
           ' {"mac": "00:0A:1B:00:00:03", "ip": "192.168.99.7/24", "kind": "AP", "reply": "broadcast"}]'),
}


class Lab:
    def __init__(self, args, work):
        self.args, self.work, self.procs = args, work, []
        self.name = subprocess.run(NETLAB + ["new-name"], capture_output=True, text=True,
                                   check=True).stdout.strip()
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")

    def spawn(self, host, argv, log):
        # wine's helpers keep what they inherit open: output goes to files, never pipes.
        with open(os.path.join(self.work, log), "w") as out:
            p = subprocess.Popen(["ip", "netns", "exec", f"{self.name}-{host}"] + argv, env=self.env,
                                 stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def wine(self, argv, timeout=120):
        out = os.path.join(self.work, "wine.out")
        with open(out, "w") as f:
            status = subprocess.run(["ip", "netns", "exec", f"{self.name}-ws", "wine"] + argv, env=self.env,
                                    stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                    timeout=timeout).returncode
        with open(out, encoding="utf-8", errors="replace") as f:
            return status, f.read().replace("\r\n", "\n")

    def drive(self, *args, timeout=60):
        return self.wine([self.args.driver, "--timeout", str(timeout)] + list(args), timeout + 30)[1]

    def up(self):
        subprocess.run(NETLAB + ["up", self.name], check=True, stdout=subprocess.DEVNULL)
        for host, (segment, addr, devices) in DEVICES.items():
            subprocess.run(NETLAB + ["host", self.name, host, "--segment", segment, "--addr", addr], check=True)
            config = os.path.join(self.work, f"{host}.json")
            with open(config, "w") as f:
                f.write('{"devices": ' + devices + "}")
            self.spawn(host, [DEVSIM, "--config", config], f"{host}.log")
        self.tftp = os.path.join(self.work, "tftp")
        os.mkdir(self.tftp)
        with open(os.path.join(self.work, "remap"), "w") as f:
            f.write("r ^/$ fw.bin\n")
        self.spawn("ap", ["/usr/sbin/in.tftpd", "-L", "-c", "-u", "root", "-s", self.tftp, "-m",
                          os.path.join(self.work, "remap")], "tftpd.log")
        display = os.path.join(self.work, "display")
        self.spawn("ws", ["sh", "-c", f"exec Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>{display}"],
                   "xvfb.log")
        for _ in range(100):
            if os.path.exists(display) and open(display).read().endswith("\n"):
                break
            time.sleep(0.1)
        self.env["DISPLAY"] = ":" + open(display).read().strip()
        # A window manager, as on any desktop: without one wine's windows never get the X focus.
        self.spawn("ws", ["openbox"] if not self.args.no_window_manager else ["true"], "openbox.log")
        for _ in range(50 if not self.args.no_window_manager else 0):
            if subprocess.run(["ip", "netns", "exec", f"{self.name}-ws", "xdotool", "get_desktop"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
                break
            time.sleep(0.1)
        self.spawn("ws", ["tcpdump", "-i", "any", "-n", "-tt", "-l", "-Q", "out", "udp"], "capture.log")
        time.sleep(1)  # tcpdump listening

    def down(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        for p in self.procs:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        subprocess.run(NETLAB + ["down", self.name], check=False)

    def many(self):
        """Host "many" (10.77.1.2, segment a) plays MANY devices at once, answering by unicast."""
        subprocess.run(NETLAB + ["host", self.name, "many", "--segment", "a", "--addr", "10.77.1.2/24"], check=True)
        # One kernel plays every device: the workstation resolved once, so the burst does not queue
        # (and overflow) behind one neighbour lookup, which a thousand real devices would not share.
        subprocess.run(["ip", "-n", f"{self.name}-many", "neigh", "replace", "10.77.1.1", "lladdr",
                        "02:fe:00:00:01:01", "dev", "eth0", "nud", "permanent"], check=True)
        devices = [{"mac": f"02:00:00:00:{n >> 8:02x}:{n & 0xFF:02x}", "ip": f"10.78.{n // 250}.{n % 250 + 1}/16",
                    "name": f"Device {n}", "reply": "unicast"} for n in range(1, MANY + 1)]
        config = os.path.join(self.work, "many.json")
        with open(config, "w") as f:
            json.dump({"devices": devices}, f)
        self.spawn("many", [DEVSIM, "--config", config], "many.log")
        time.sleep(2)  # the simulator listening

    def stall(self):
        words = self.drive("stall-stop").split()
        return {"": float(words[1]), "_median": float(words[2]), "_cpu": float(words[5]),
                "_next": float(words[6])} if words[:1] == ["stall"] else {}

    def datagrams(self, since, predicate):
        """Realtime stamps of the captured datagrams after `since` whose text passes predicate."""
        out = []
        with open(os.path.join(self.work, "capture.log")) as f:
            for line in f:
                words = line.split()
                if len(words) > 1 and words[0].replace(".", "").isdigit() and float(words[0]) >= since:
                    if predicate(line):
                        out.append(float(words[0]))
        return out


def transfer_seconds(lab, since):
    # The data blocks to the device's TFTP server (tcpdump names the request TFTP, the blocks, sent
    # from the transfer's own port, UDP), first to last.
    stamps = lab.datagrams(since, lambda line: "> 10.77.1.10." in line and ".4001 > " not in line
                           and "UDP, length" in line)
    return stamps[-1] - stamps[0] if len(stamps) > 1 else None


def image_file(path, size):
    rng = random.Random(7)
    data = bytearray(rng.randbytes(size))
    data[size // 2:size // 2 + 9] = b"ap config"  # an access point's image, as the device is
    with open(path, "wb") as f:
        f.write(data)
    return "Z:" + path.replace("/", "\\")


def upload(lab, rows, windows_path):
    """The image through the row's Upgrade FW... dialog, typed into its box, OK; True once it is sent."""
    row = rows[:rows.index("10.77.1.10")].count("row\t") - 1
    if lab.drive("popup", str(row), "Upgrade FW...").strip() != "ok" or \
            not lab.drive("--until", "window\t", "show", "Downloading...").startswith("window\t"):
        return False
    lab.drive("type", "Downloading...", "0", windows_path)
    lab.drive("click", "Downloading...", "OK")
    return "Data transmit finish" in lab.drive("--until", "Data transmit finish", "show", "Fernwick", timeout=600)


def finished(lab):
    """The upload's closing message box answered, the dialog gone, the image removed from the server."""
    lab.drive("click", "Fernwick", "OK")
    for _ in range(20):
        if "Downloading..." not in lab.drive("windows"):
            break
    stored = os.path.join(lab.tftp, "fw.bin")
    if os.path.exists(stored):
        os.remove(stored)


def searching(lab):
    """Until the Searching window has gone."""
    for _ in range(50):
        if "Searching" not in lab.drive("windows"):
            break


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--gui", required=True)
    p.add_argument("--cli", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--prefix", default=os.path.join(tempfile.gettempdir(), "fernwick-bench-wine"))
    p.add_argument("--image-mib", type=int, default=8)
    p.add_argument("--screenshot")
    p.add_argument("--no-window-manager", action="store_true", help="Xvfb alone, for comparison")
    a = p.parse_args()
    if os.geteuid() != 0:
        print("SKIPPED: needs root (network namespaces)")
        return 77
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # the lab still goes down
    work = tempfile.mkdtemp(prefix="fernwick-window-bench.")
    lab = Lab(a, work)
    subprocess.run(["wineserver", "-k"], env=lab.env, check=False)  # one elsewhere would hold our sockets
    figures = {}
    try:
        lab.up()
        lab.wine(["winecfg", "-v", "win10"])
        subprocess.run(["wineserver", "-w"], env=lab.env, check=False)
        # fernwick-cli.exe first: the window would hold port 4001.
        windows_path = image_file(os.path.join(work, "image.bin"), a.image_mib << 20)
        since = time.time()
        status, out = lab.wine([a.cli, "upgrade", "10.77.1.10", windows_path], timeout=600)
        seconds = transfer_seconds(lab, since)
        if status == 0 and seconds:  # the transfer alone: wine's own start-up is not the upload's
            figures["cli_upload_mib_s"] = a.image_mib / seconds
        os.remove(os.path.join(lab.tftp, "fw.bin"))

        t_wine = time.time()
        lab.spawn("ws", ["wine", a.gui], "fernwick.log")
        rows = lab.drive("--until", "192.168.99.7", "list")
        created = float(lab.drive("started").split()[0])
        requests = lab.datagrams(t_wine, lambda line: ".4001 > " in line)
        figures["startup_from_process_ms"] = (requests[0] - created) * 1000
        figures["startup_from_wine_ms"] = (requests[0] - t_wine) * 1000
        figures["listed_rows"] = rows.count("row\t")
        if a.screenshot:  # once the Searching window has gone; the screen's black edges cut away
            for _ in range(20):
                if "Searching" not in lab.drive("windows"):
                    break
            subprocess.run(["import", "-display", lab.env["DISPLAY"], "-window", "root", "-trim", "+repage",
                            a.screenshot], check=True)

        # The window's upload: the row's Upgrade FW... dialog, the image typed into its box, OK.
        since = time.time()
        if upload(lab, rows, windows_path):
            seconds = transfer_seconds(lab, since)
            if seconds:
                figures["window_upload_mib_s"] = a.image_mib / seconds
        finished(lab)

        # The stalls: a search of the three devices (what the window itself costs under wine), the
        # largest image's upload, then a search that MANY more devices answer.
        lab.drive("stall-start")
        lab.drive("menu", "Edit/Search")
        lab.drive("--until", "Searching", "windows")
        searching(lab)
        figures.update({f"stall_search3{k}_ms": v for k, v in lab.stall().items()})
        largest = image_file(os.path.join(work, "largest.bin"), LARGEST_IMAGE)
        rows = lab.drive("list")
        lab.drive("stall-start")
        sent = upload(lab, rows, largest)
        stall = lab.stall()
        if sent:
            figures.update({f"stall_upload{k}_ms": v for k, v in stall.items()})
        finished(lab)
        lab.many()
        lab.drive("stall-start")
        lab.drive("menu", "Edit/Search")
        listed = lab.drive("--until", f"rows\t{MANY + 3}", "rows", timeout=120)
        searching(lab)
        figures.update({f"stall_search{k}_ms": v for k, v in lab.stall().items()})
        figures["stall_search_rows"] = int(listed.split()[1]) if listed.startswith("rows") else 0
        # The same search with the list sorted by IP (a click on its header): each row takes its place.
        lab.drive("header", "1")
        lab.drive("stall-start")
        lab.drive("menu", "Edit/Search")
        lab.drive("--until", f"rows\t{MANY + 3}", "rows", timeout=120)
        searching(lab)
        figures.update({f"stall_search_sorted{k}_ms": v for k, v in lab.stall().items()})
    finally:
        lab.down()
        if not os.environ.get("FERNWICK_KEEP_LAB"):
            shutil.rmtree(work, ignore_errors=True)
    for key, value in figures.items():
        print(f"{key} {value:.3f}" if isinstance(value, float) else f"{key} {value}")
    if "cli_upload_mib_s" in figures and "window_upload_mib_s" in figures:
        print(f"window_over_cli {figures['window_upload_mib_s'] / figures['cli_upload_mib_s']:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
