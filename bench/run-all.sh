#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark and prints one table. Needs root (each builds its own namespace lab); expects
# `cmake --preset default`. Nothing here is a test: figures go to the README.
#   bench/run-all.sh [--quick]      --quick: one round each instead of three
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $EUID -ne 0 ]]; then
    echo "bench/run-all.sh: needs root (network namespaces)" >&2
    exit 77
fi
rounds=3
rollout_devices=50
upload_rounds=5 # the upload's ratios are medians of per-round ratios: an odd count of at least five
if [[ "${1:-}" == --quick ]]; then
    rounds=1
    rollout_devices=20
    upload_rounds=1
fi
build=${FERNWICK_BUILD_DIR:-build/default}
cmake --build "$build" -j2 --target fernwick fernwick-cli bench_discovery_search bench_upgrade bench_lockstep_put bench_upgrade_beside_slow bench_upgrade_resources bench_list >/dev/null
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

echo "running: reply burst (1,000 devices, $rounds searches)" >&2
"$build/bench/discovery/bench_discovery_search" --searches "$rounds" >"$out/burst" 2>&1 || true
echo "running: routed sweeps of a /16 and a /24 (about 35 s each round; $rounds rounds)" >&2
python3 bench/discovery/sweep-bench.py "$build/src/cli/fernwick-cli" --rounds "$rounds" >"$out/sweep" 2>&1 || true
echo "running: 16 MiB upload against tftp-hpa and a bare C loop ($upload_rounds rounds, turns interleaved)" >&2
"$build/bench/upgrade/bench_upgrade" "$upload_rounds" >"$out/upload" 2>&1 || true
echo "running: 16 MiB upload alone and beside one to a device acknowledging 3 ms late ($upload_rounds rounds)" >&2
"$build/bench/upgrade/bench_upgrade_beside_slow" "$upload_rounds" 3 >"$out/beside" 2>&1 || true
echo "running: upgrade start sequence and upload memory" >&2
"$build/bench/resources/bench_upgrade_resources" >"$out/resources" 2>&1 || true
echo "running: the fernwick program (start-up, countdown CPU, idle memory; $rounds rounds)" >&2
python3 bench/resources/program-bench.py "$build/src/qt/fernwick" --rounds "$rounds" >"$out/program" 2>&1 || true
echo "running: export of 10,000 rows and vendor lookups" >&2
"$build/bench/list/bench_list" >"$out/list" 2>&1 || true
echo "running: rollout to $rollout_devices simulated devices on one segment, serial and 10 per adapter (about $((rollout_devices / 4)) minutes)" >&2
python3 bench/upgrade/rollout-bench.py "$build/src/cli/fernwick-cli" --devices "$rollout_devices" >"$out/rollout" 2>&1 || true

python3 - "$out" <<'PY'
import os, re, statistics, sys
out = sys.argv[1]
def text(name):
    with open(os.path.join(out, name)) as f:
        return f.read()
def keys(name):
    d = {}
    for line in text(name).splitlines():
        parts = line.split()
        if len(parts) == 2:
            try:
                d[parts[0]] = float(parts[1])
            except ValueError:
                pass
    return d
rows = []
def row(figure, value, goal, ok):
    rows.append((figure, value, goal, "yes" if ok else ("no" if ok is not None else "-")))

burst = re.findall(r"(\d+) of (\d+) rows listed .*?last reply -> last row (-?[\d.]+) ms; search start -> last row ([\d.]+) ms", text("burst"))
if burst:
    lost = max(int(b[1]) - int(b[0]) for b in burst)
    lag = statistics.median(float(b[2]) for b in burst)
    listed = statistics.median(float(b[3]) for b in burst)
    row("reply burst: rows lost (1,000 devices)", f"{lost}", "0", lost == 0)
    row("reply burst: search start -> last row", f"{listed:.0f} ms", "-", None)
    row("reply burst: last reply sent -> last row", f"{lag:.2f} ms", "-", None)
else:
    row("reply burst", "FAILED: " + text("burst").strip().splitlines()[-1:][0] if text("burst").strip() else "FAILED", "", False)

s = keys("sweep")
if "sweep16_wall_s" in s:
    row("routed sweep of a /16 at 2,000/s, 5 devices: wall time", f"{s['sweep16_wall_s']:.1f} s ({s['sweep16_listed']:.0f} listed)", "about 33 s", s["sweep16_listed"] == 5)
    row("the /16 sweep's CPU", f"{s['sweep16_cpu_s']:.2f} s", "-", None)
    kib16, kib24 = s["sweep16_rss_peak_kib"], s["sweep24_rss_peak_kib"]
    row("fernwick-cli peak RSS: /16 sweep / /24 sweep", f"{kib16/1024:.1f} / {kib24/1024:.1f} MiB", "flat (< 1 MiB more)", kib16 - kib24 < 1024)
else:
    tail = text("sweep").strip().splitlines()[-1:]
    row("routed sweep", "FAILED" + (": " + tail[0] if tail else ""), "", False)

num = r"([\d.]+) s \(([\d.]+) MB/s, CPU ([\d.]+) ms/MiB\)"
m = re.search(r"fernwick " + num + r", tftp-hpa put " + num + r", C loop " + num +
              r"; ratio fernwick/tftp ([\d.]+), fernwick/C loop ([\d.]+)", text("upload"))
if m:
    g = m.groups()
    row("16 MiB upload, 2nd request -> done (median)", f"{g[0]} s ({g[1]} MB/s)", "-", None)
    row("tftp-hpa put, same file and server", f"{g[3]} s ({g[4]} MB/s)", "-", None)
    row("bare blocking C loop, same file and server", f"{g[6]} s ({g[7]} MB/s)", "-", None)
    row("throughput ratio fernwick / tftp-hpa", g[9], ">= 1.0", float(g[9]) >= 1.0)
    row("throughput ratio fernwick / C loop", g[10], ">= 0.97", float(g[10]) >= 0.97)
    row("CPU per MiB: fernwick / tftp-hpa / C loop", f"{g[2]} / {g[5]} / {g[8]} ms", "-", None)
else:
    tail = text("upload").strip().splitlines()[-1:]
    row("16 MiB upload vs tftp-hpa and C loop", "FAILED" + (": " + tail[0] if tail else ""), "", False)

m = re.search(r"median of \d+: alone ([\d.]+) s \(([\d.]+) MB/s\), beside ([\d.]+) s \(([\d.]+) MB/s\); "
              r"slow device (\d+) blocks/s; ratio beside/alone ([\d.]+)", text("beside"))
if m:
    g = m.groups()
    row("16 MiB upload beside one to a device acknowledging 3 ms late", f"{g[2]} s ({g[3]} MB/s; alone {g[0]} s)", "-", None)
    row("throughput ratio beside the slow device / alone", g[5], ">= 0.90", float(g[5]) >= 0.90)
    row("the slow device's upload meanwhile", f"{g[4]} blocks/s", "-", None)
else:
    tail = text("beside").strip().splitlines()[-1:]
    row("16 MiB upload beside a slow device", "FAILED" + (": " + tail[0] if tail else ""), "", False)

r = keys("resources")
if "start_sequence_cpu_pct" in r:
    row("CPU, 13 s upgrade start sequence", f"{r['start_sequence_cpu_pct']:.3f} % of a core ({r['start_sequence_s']:.2f} s)", "< 1 %", r["start_sequence_cpu_pct"] < 1)
    row("CPU during the 16 MiB transfer", f"{r['transfer_cpu_pct']:.0f} % of a core", "-", None)
    row("RSS of the upload code, idle", f"{r['rss_idle_kib']/1024:.1f} MiB", "-", None)
    row("RSS peak during a 16 MiB upload", f"{r['rss_peak_upload_kib']/1024:.1f} MiB (+{r['rss_upload_extra_kib']/1024:.1f} MiB over the loaded image)", "-", None)
else:
    row("upgrade resources", "FAILED", "", False)

p = keys("program")
if "search_countdown_cpu_pct" in p:
    row("fernwick: start -> first request on the wire", f"{p['startup_to_first_request_ms']:.0f} ms (500 ms of it the window's wait)", "-", None)
    row("fernwick: CPU during the Searching countdown", f"{p['search_countdown_cpu_pct']:.3f} % of a core", "< 1 %", p["search_countdown_cpu_pct"] < 1)
    row("fernwick: CPU idle", f"{p['idle_cpu_pct']:.3f} % of a core", "-", None)
    row("fernwick: RSS idle (offscreen)", f"{p['rss_idle_kib']/1024:.1f} MiB", "-", None)
else:
    row("fernwick program", "FAILED", "", False)

o = keys("rollout")
if "speedup" in o:
    n = int(o["devices"])
    row(f"rollout, {n} devices on one segment, {o['image_mib']:.0f} MiB image: serial / --parallel 10 --per-adapter 10",
        f"{o['serial_total_s']:.0f} s / {o['shared_total_s']:.0f} s (x{o['speedup']:.1f})", "-", None)
    row("rollout: time per device, serial / shared", f"{o['serial_per_device_s']:.2f} / {o['shared_per_device_s']:.2f} s", "-", None)
    row("rollout: transfer throughput per device (median), serial / shared",
        f"{o['serial_transfer_mib_s_median']:.2f} / {o['shared_transfer_mib_s_median']:.2f} MiB/s", "-", None)
    row("rollout: stores byte-identical, serial / shared", f"{o['serial_identical']:.0f} / {o['shared_identical']:.0f} of {n}",
        f"{n} / {n}", o["serial_identical"] == n and o["shared_identical"] == n)
    row("rollout: slowest upload beside the others / alone", f"{o['upload_speed_vs_alone_min']:.3f}", ">= 0.90",
        o["upload_speed_vs_alone_min"] >= 0.9)
    row("rollout: slowest transfer beside / alone, raw and times the transfers sharing the link",
        f"{o['transfer_speed_vs_alone_min']:.3f} / {o['transfer_speed_vs_alone_shared_link_min']:.3f}", "- / >= 0.90",
        o["transfer_speed_vs_alone_shared_link_min"] >= 0.9)
else:
    tail = text("rollout").strip().splitlines()[-1:]
    row("rollout serial vs per adapter", "FAILED" + (": " + tail[0] if tail else ""), "", False)

l = keys("list")
if "export_json_file_ms" in l:
    row("vendor lookup, 10,000 MACs", f"{l['vendor_lookup_10000_ms']:.2f} ms", "< 10 ms", l["vendor_lookup_10000_ms"] < 10)
    worst = max(l["export_csv_file_ms"], l["export_json_file_ms"])
    row("export of 10,000 rows to a file: CSV / JSON", f"{l['export_csv_file_ms']:.0f} / {l['export_json_file_ms']:.0f} ms", "< 200 ms", worst < 200)
    row("vendor table read from ieee-data", f"{l['vendor_table_load_ms']:.0f} ms ({l['vendor_table_assignments']:.0f} assignments)", "-", None)
else:
    tail = text("list").strip().splitlines()[-1:]
    row("export and vendor lookup", "FAILED" + (": " + tail[0] if tail else ""), "", False)

w = [max(len(r[i]) for r in rows + [("Figure", "Measured", "Goal", "Met")]) for i in range(4)]
line = lambda r: "| " + " | ".join(r[i].ljust(w[i]) for i in range(4)) + " |"
print(line(("Figure", "Measured", "Goal", "Met")))
print("|" + "|".join("-" * (x + 2) for x in w) + "|")
for r in rows:
    print(line(r))
PY
