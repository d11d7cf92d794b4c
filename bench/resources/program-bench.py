#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real `fernwick` program, offscreen in a namespace lab with one simulated device: time from
start to its first search request on the wire, CPU used during the Searching countdown, CPU and
resident memory while idle afterwards. Prints one "key value" line per figure. Needs root.

    program-bench.py PATH-TO-FERNWICK [--rounds N]
"""
import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
NETLAB = [sys.executable, os.path.join(REPO, "tools", "netlab", "netlab.py")]


def cpu_ns(pid):
    """CPU time of every thread of pid, in nanoseconds (schedstat: finer than the tick counts)."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass
    return total


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def first_request_time(log, deadline):
    while time.monotonic() < deadline:
        try:
            with open(log) as f:
                for line in f:
                    o = json.loads(line)
                    if o.get("event") == "rx" and o.get("kind") == "discovery":
                        return o["t"]
        except (FileNotFoundError, json.JSONDecodeError):
            pass
        time.sleep(0.005)
    return None


def one_round(program, devsim, work, lab):
    log = os.path.join(work, "devsim.jsonl")
    if os.path.exists(log):
        os.remove(log)
    sim = subprocess.Popen(["ip", "netns", "exec", f"{lab}-dev", devsim, "--device",
                            "name=Bench AP,mac=00:0A:1B:2C:3D:4E", "--log", log],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    sim.stdout.readline()  # "ready"
    runtime = tempfile.mkdtemp(dir=work)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime, HOME=work)
    t0 = time.monotonic()
    # `ip netns exec` execs the program, so this pid is fernwick's.
    app = subprocess.Popen(["ip", "netns", "exec", f"{lab}-ws", program], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        t_first = first_request_time(log, t0 + 15)
        if t_first is None:
            raise RuntimeError("no search request reached the device")
        # The countdown runs 3 s from the request; measure well inside it.
        time.sleep(max(0.0, t_first + 0.1 - time.monotonic()))
        c0, w0 = cpu_ns(app.pid), time.monotonic()
        time.sleep(max(0.0, t_first + 2.9 - time.monotonic()))
        c1, w1 = cpu_ns(app.pid), time.monotonic()
        time.sleep(1.0)  # the dialog has gone
        i0, iw0 = cpu_ns(app.pid), time.monotonic()
        time.sleep(5.0)
        i1, iw1 = cpu_ns(app.pid), time.monotonic()
        rss = rss_kib(app.pid)
        return {
            "startup_to_first_request_ms": (t_first - t0) * 1000,
            "search_countdown_cpu_pct": 100 * (c1 - c0) / 1e9 / (w1 - w0),
            "idle_cpu_pct": 100 * (i1 - i0) / 1e9 / (iw1 - iw0),
            "rss_idle_kib": rss,
        }
    finally:
        app.send_signal(signal.SIGKILL)
        app.wait()
        sim.send_signal(signal.SIGTERM)
        sim.wait()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("program")
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--devsim", default=os.path.join(REPO, "tools", "devsim", "fernwick-devsim"))
    a = p.parse_args()
    if os.geteuid() != 0:
        print("SKIPPED: needs root (network namespaces)")
        return 77
    lab = subprocess.run(NETLAB + ["new-name"], capture_output=True, text=True, check=True).stdout.strip()
    work = tempfile.mkdtemp(prefix=f"{lab}.")
    try:
        subprocess.run(NETLAB + ["up", lab], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(NETLAB + ["host", lab, "dev", "--segment", "a", "--addr", "10.77.1.10/24"], check=True)
        rounds = [one_round(os.path.abspath(a.program), a.devsim, work, lab) for _ in range(a.rounds)]
    finally:
        subprocess.run(NETLAB + ["down", lab], check=False)
        subprocess.run(["rm", "-rf", work], check=False)
    for key in rounds[0]:
        print(f"{key} {statistics.median(r[key] for r in rounds):.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
