#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A rollout to N simulated access points on one segment (one adapter), serial and then with
`--parallel P --per-adapter P`: total time, each device's transfer throughput, every store
byte-identical to the image, and each upload's time beside the others against its time alone
(the serial run), also after allowing for the transfers that shared the link with it. The devices
restart for a second after their image, so the back-checks search as in the field. Prints one
"key value" line per figure. Needs root: it builds a namespace lab.

    rollout-bench.py PATH-TO-FERNWICK-CLI [--devices 50] [--parallel 10] [--image-kib 1024]
"""
import argparse
import hashlib
import json
import os
import random
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
NETLAB = [sys.executable, os.path.join(REPO, "tools", "netlab", "netlab.py")]
DEVSIM = os.path.join(REPO, "tools", "devsim", "fernwick-devsim")
HOSTS = 10  # simulator processes: consecutive addresses live in different ones


def ip_of(i):
    return f"10.77.1.{10 + i}"


def events(log, name):
    with open(log, encoding="utf-8") as f:
        return [e for e in map(json.loads, f) if e.get("event") == name]


def start_simulators(lab, work, devices):
    sims, logs = [], []
    for k in range(min(HOSTS, devices)):
        config = {"devices": [{"kind": "AP", "mac": f"00:0A:1B:00:01:{i:02X}", "ip": ip_of(i),
                               "tftp": {"store": os.path.join(work, f"store-{i}.bin"), "restart_ms": 1000}}
                              for i in range(k, devices, HOSTS)]}
        path = os.path.join(work, f"sim-{k}.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(config, f)
        log = os.path.join(work, f"sim-{k}.jsonl")
        sim = subprocess.Popen(["ip", "netns", "exec", f"{lab}-h{k}", DEVSIM, "--config", path, "--log", log],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        sim.stdout.readline()  # "ready"
        sims.append(sim)
        logs.append(log)
    return sims, logs


def transfers(logs, since):
    """Per device: (second write request, done) in the simulators' monotonic clock."""
    spans = {}
    for log in logs:
        wrq = {}
        for e in events(log, "tftp-wrq"):
            if e["t"] >= since:
                wrq[e["device"]] = e["t"]  # the last one: the transfer runs on the second request
        for e in events(log, "tftp-done"):
            if e["t"] >= since and e["device"] in wrq:
                spans[e["device"]] = (wrq[e["device"]], e["t"])
    return spans


def one_run(cli, lab, work, image_path, devices, options, logs):
    for i in range(devices):
        path = os.path.join(work, f"store-{i}.bin")
        if os.path.exists(path):
            os.remove(path)
    report = os.path.join(work, f"report-{len(options)}.json")
    since = time.monotonic()
    done = subprocess.run(["ip", "netns", "exec", f"{lab}-ws", cli, "upgrade", image_path, "--all-ap",
                           "--interface", "eth0", "--back-timeout", "30", "--report", report] + options,
                          capture_output=True, text=True)
    total = time.monotonic() - since
    with open(report, encoding="utf-8") as f:
        entries = json.load(f)["devices"]
    done_count = sum(1 for e in entries if e["state"] == "done")
    if done.returncode != 0 or done_count != devices:
        sys.stderr.write(done.stderr)
        raise RuntimeError(f"{' '.join(options) or 'serial'}: exit {done.returncode}, {done_count} done")
    upload = {e["mac"].replace("-", ":"): e["upload_seconds"] for e in entries}
    print(f"{'serial' if len(options) == 2 else 'shared'}_timeouts_max {max(e['timeouts'] for e in entries)}")
    return total, upload, transfers(logs, since)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("cli")
    p.add_argument("--devices", type=int, default=50)
    p.add_argument("--parallel", type=int, default=10)
    p.add_argument("--image-kib", type=int, default=1024)
    p.add_argument("--keep", action="store_true", help="keep the logs and reports (printed: work)")
    a = p.parse_args()
    if os.geteuid() != 0:
        print("SKIPPED: needs root (network namespaces)")
        return 77
    cli = os.path.abspath(a.cli)
    lab = subprocess.run(NETLAB + ["new-name"], capture_output=True, text=True, check=True).stdout.strip()
    work = tempfile.mkdtemp(prefix=f"{lab}.")
    rng = random.Random(24)
    image = bytearray(rng.getrandbits(8) for _ in range(a.image_kib * 1024))
    image[len(image) // 2:len(image) // 2 + 9] = b"ap config"
    image_path = os.path.join(work, "fw.bin")
    with open(image_path, "wb") as f:
        f.write(image)
    sims = []
    try:
        subprocess.run(NETLAB + ["up", lab], check=True, stdout=subprocess.DEVNULL)
        for k in range(min(HOSTS, a.devices)):
            subprocess.run(NETLAB + ["host", lab, f"h{k}", "--segment", "a", "--addr", ip_of(k) + "/24"],
                           check=True)
        sims, logs = start_simulators(lab, work, a.devices)
        runs = {}
        for name, options in (("serial", ["--parallel", "1"]),
                              ("shared", ["--parallel", str(a.parallel), "--per-adapter", str(a.parallel)])):
            runs[name] = one_run(cli, lab, work, image_path, a.devices, options, logs)
            sha = hashlib.sha256(image).digest()
            identical = 0
            for i in range(a.devices):
                with open(os.path.join(work, f"store-{i}.bin"), "rb") as f:
                    identical += hashlib.sha256(f.read()).digest() == sha
            print(f"{name}_identical {identical}")
    finally:
        for sim in sims:
            sim.terminate()
            sim.wait()
        subprocess.run(NETLAB + ["down", lab], check=False)
        if a.keep:
            print(f"work {work}")
        else:
            subprocess.run(["rm", "-rf", work], check=False)

    mib = len(image) / 2**20
    alone, shared = runs["serial"], runs["shared"]
    print(f"devices {a.devices}")
    print(f"image_mib {mib:.2f}")
    for name, (total, upload, spans) in runs.items():
        rates = sorted(mib / (end - begin) for begin, end in spans.values())
        print(f"{name}_total_s {total:.1f}")
        print(f"{name}_per_device_s {total / a.devices:.2f}")
        print(f"{name}_transfer_mib_s_median {rates[len(rates) // 2]:.2f}")
        print(f"{name}_transfer_mib_s_min {rates[0]:.2f}")
    # Each upload beside the others against the same device's alone. The whole upload (start
    # sequence included) and the transfer proper; for the transfer, the link it shared with k others
    # explains a time up to k times its time alone (k: the mean count of transfers running with it).
    spans = shared[2]
    whole, transfer, explained = [], [], []
    for mac, seconds in shared[1].items():
        whole.append(alone[1][mac] / seconds)
        begin, end = spans[mac]
        a_begin, a_end = alone[2][mac]
        step = (end - begin) / 200
        sharing = sum(sum(1 for b, e in spans.values() if b <= begin + (j + 0.5) * step < e)
                      for j in range(200)) / 200
        ratio = (a_end - a_begin) / (end - begin)
        transfer.append(ratio)
        explained.append(ratio * sharing)
    print(f"upload_speed_vs_alone_min {min(whole):.3f}")
    print(f"transfer_speed_vs_alone_min {min(transfer):.3f}")
    print(f"transfer_speed_vs_alone_shared_link_min {min(explained):.3f}")
    print(f"speedup {alone[0] / shared[0]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
