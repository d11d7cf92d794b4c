#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""`fernwick-cli search --target` across the lab's router: a /16 (segment e, 10.78.0.0/16) with
five simulated devices answering by unicast, swept at the default rate, and a /24 of it for
comparison. Wall time, CPU and peak resident memory of fernwick-cli (from /usr/bin/time -v) and the
devices listed; prints one "key value" line per figure (medians of the rounds). Needs root.

    sweep-bench.py PATH-TO-FERNWICK-CLI [--rounds N]
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
NETLAB = [sys.executable, os.path.join(REPO, "tools", "netlab", "netlab.py")]
DEVICES = ["10.78.0.10", "10.78.64.20", "10.78.128.30", "10.78.200.40", "10.78.255.200"]
SWEEPS = {"sweep16": "10.78.0.0/16", "sweep24": "10.78.0.0/24"}


def sweep(cli, lab, target):
    """One search of `target`; its figures and the addresses it listed."""
    run = subprocess.run(["ip", "netns", "exec", f"{lab}-ws", "/usr/bin/time", "-v", cli, "search",
                          "--target", target, "--format", "json"], capture_output=True, text=True)
    if run.returncode not in (0, 1):
        raise RuntimeError(f"search --target {target}: exit {run.returncode}: {run.stderr.strip()}")

    def field(name):
        return re.search(re.escape(name) + r": (.*)", run.stderr).group(1).strip()

    wall = 0.0
    for part in field("Elapsed (wall clock) time (h:mm:ss or m:ss)").split(":"):
        wall = wall * 60 + float(part)
    listed = sorted(d["ip"] for d in json.loads(run.stdout or "[]"))
    return {"wall_s": wall, "cpu_s": float(field("User time (seconds)")) + float(field("System time (seconds)")),
            "rss_peak_kib": float(field("Maximum resident set size (kbytes)")), "listed": len(listed)}, listed


def main():
    p = argparse.ArgumentParser()
    p.add_argument("cli")
    p.add_argument("--rounds", type=int, default=1)
    p.add_argument("--devsim", default=os.path.join(REPO, "tools", "devsim", "fernwick-devsim"))
    a = p.parse_args()
    if os.geteuid() != 0:
        print("SKIPPED: needs root (network namespaces)")
        return 77
    lab = subprocess.run(NETLAB + ["new-name"], capture_output=True, text=True, check=True).stdout.strip()
    work = tempfile.mkdtemp(prefix=f"{lab}.")
    figures = {name: [] for name in SWEEPS}
    try:
        subprocess.run(NETLAB + ["up", lab], check=True)
        subprocess.run(NETLAB + ["router", lab], check=True)
        for i, ip in enumerate(DEVICES):
            subprocess.run(NETLAB + ["host", lab, f"e{i}", "--segment", "e", "--addr", ip + "/16"], check=True)
            sim = subprocess.Popen(["ip", "netns", "exec", f"{lab}-e{i}", a.devsim, "--device",
                                    f"mac=00:0A:1B:00:0E:{i:02X},reply=unicast", "--log",
                                    os.path.join(work, f"e{i}.jsonl")], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
            sim.stdout.readline()  # "ready"; `down` ends it
        for _ in range(a.rounds):
            for name, target in SWEEPS.items():
                f, listed = sweep(os.path.abspath(a.cli), lab, target)
                expected = [ip for ip in DEVICES if ip.startswith("10.78.0.") or name == "sweep16"]
                if listed != sorted(expected):
                    raise RuntimeError(f"{target}: listed {listed}, expected {expected}")
                figures[name].append(f)
    finally:
        subprocess.run(NETLAB + ["down", lab], check=False)
        subprocess.run(["rm", "-rf", work], check=False)
    for name, rounds in figures.items():
        for key in rounds[0]:
            print(f"{name}_{key} {statistics.median(r[key] for r in rounds):.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
