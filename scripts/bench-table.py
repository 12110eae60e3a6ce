#!/usr/bin/env python3
"""Prints the benchmark results of scripts/bench as one table: figure, value, floor or goal,
ratio (value over floor or goal; at most 1 meets a goal)."""
import glob
import json
import os
import platform
import sys


def load(folder):
    runs = {}
    context = {}
    for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
        with open(path) as f:
            data = json.load(f)
        context = data.get("context", context)
        for b in data.get("benchmarks", []):
            runs[b["name"]] = b
    return runs, context


def find(runs, *parts):
    for name, b in runs.items():
        if all(p in name for p in parts):
            return b
    return None


def ms(b):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b["real_time"] * scale


def main():
    runs, context = load(sys.argv[1] if len(sys.argv) > 1 else "build/bench-results")
    rows = []

    def row(figure, value, unit, reference, kind):
        ratio = value / reference if reference else float("nan")
        rows.append((figure, f"{value:,.2f} {unit}", f"{kind} {reference:,.2f} {unit}",
                     f"{ratio:.2f}"))

    for gap, label in (("fast_gap:0", "safe"), ("fast_gap:3", "fast")):
        b = find(runs, "ReadAll", "latency_ms:0/", gap)
        if b:
            if gap.endswith("0"):
                row(f"read-all, {label} ({int(b['exchanges'])} reads)", ms(b), "ms",
                    b["floor_ms"], "floor")
            else:
                wire = ms(b) / b["wire_ratio"]
                row(f"read-all, {label} (goal 2 x wire)", ms(b), "ms", 2 * wire, "goal")
        b = find(runs, "WriteAll", gap)
        if b:
            wire = ms(b) / b["wire_ratio"]
            if gap.endswith("0"):
                row(f"write-all, {label} ({int(b['writes'])} writes)", ms(b), "ms",
                    b["writes"] * 20.0 + wire, "floor")
            else:
                row(f"write-all, {label} (goal 2 x wire)", ms(b), "ms", 2 * wire, "goal")
        b = find(runs, "MonitorTick", gap)
        if b:
            row(f"monitor tick, {label} (14 reads)", ms(b), "ms", 320.0, "goal")
    b = find(runs, "OnlineCapture")
    if b:
        rows.append(("online capture 1000 Hz, lost samples", f"{b['lost']:.0f}", "goal 0",
                     "-"))
        row("online capture, CPU share", b["cpu_pct"], "%", 100.0, "of one core")
        rows.append(("online capture, preview steps/s", f"{b['preview_steps_per_s']:.0f}",
                     "-", "-"))
    b = find(runs, "OfflineReadBack")
    if b:
        row("offline read-back 4 x 2048", b["readback_s"], "s", b["floor_s"], "wire")
    b = find(runs, "OnlineRedraw", "zoom:0/painted:1")
    if b:
        row("online viewer redraw 2 x 10000", ms(b), "ms", 16.0, "goal")
    b = find(runs, "OfflineRedraw", "zoom:0/painted:1")
    if b:
        row("offline viewer redraw 4 x 2048", ms(b), "ms", 8.0, "goal")
    for name, figure in (("FrequencyResponse2048", "FFT + Bode of 2048"),
                         ("DatWrite10000", ".dat write 10000 x 6"),
                         ("DatRead10000", ".dat read 10000 x 6"),
                         ("DatabaseLoad", "database load")):
        b = find(runs, name)
        if b:
            rows.append((figure, f"{ms(b):,.2f} ms", "-", "-"))
    b = find(runs, "StartUpAndMemory")
    if b:
        row("start-up to the main window", b["startup_ms"], "ms", 1000.0, "goal")
        row("resident memory, every window", b["rss_mb"], "MB", 120.0, "goal")
    b = find(runs, "PythonReadAll")
    if b:
        row("read-all through Python (goal zrdctl + 5 %)", ms(b), "ms", 1.05 * b["zrdctl_ms"],
            "goal")
    b = find(runs, "PythonOfflineArrays")
    if b:
        row("offline record to numpy arrays", ms(b), "ms", 5.0, "goal")

    b = find(runs, "TuneApply", "921600")
    if b:
        row("tune --apply, fast line (floor)", b["tune_s"], "s", b["floor_s"], "floor")
        row("tune --apply, fast line (goal)", b["tune_s"], "s", 60.0, "goal")

    head = ("figure", "value", "floor or goal", "ratio")
    widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(4)]
    print(f"machine: {platform.node()}, {context.get('num_cpus', '?')} cores at "
          f"{context.get('mhz_per_cpu', '?')} MHz, {context.get('date', '')}")
    for r in [head] + rows:
        print("  ".join(str(c).ljust(w) for c, w in zip(r, widths)))


if __name__ == "__main__":
    main()
