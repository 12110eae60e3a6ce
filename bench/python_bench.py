#!/usr/bin/env python3
"""The Python module beside zrdctl on the same simulated drive and link (the fast link):

- read-all through zrd.Drive.read_all() against the sweep time zrdctl read-all --json reports
  (goal: within 5 %), each the median of several runs taken in turn;
- an offline record returned as numpy arrays: what the arrays of the time axis and the signals
  add after the read-back (goal: at most 5 ms).

    PYTHONPATH=build/python python3 bench/python_bench.py [--runs N] [--out FILE.json]

Writes the figures in Google Benchmark's JSON layout, so that scripts/bench-table.py lists them.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import time

import zrd
from zrd import _location


def zrdctl_path():
    beside = os.path.join(_location.PROGRAM_FOLDER, "zrdctl")
    return os.environ.get("ZRDCTL") or (beside if os.access(beside, os.X_OK)
                                        else shutil.which("zrdctl"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--out")
    args = parser.parse_args()
    python_s, zrdctl_s, arrays_ms, record_ms = [], [], [], []
    with zrd.Sim(noise=0) as sim:
        with zrd.connect(sim.port, fast=True) as d:
            count = len(d.read_all())
        for _ in range(args.runs):
            with zrd.connect(sim.port, fast=True) as d:
                t0 = time.perf_counter()
                d.read_all()
                python_s.append(time.perf_counter() - t0)
            run = subprocess.run([zrdctl_path(), "--port", sim.port, "--fast", "read-all",
                                  "--json"], capture_output=True, text=True, check=True)
            zrdctl_s.append(json.loads(run.stdout)["seconds"])
        with zrd.connect(sim.port, fast=True) as d:
            for _ in range(args.runs):
                t0 = time.perf_counter()
                rec = d.scope_offline(["VSET", "VACT", "ISET", "IACT"], tick=0,
                                      trigger="full")
                t1 = time.perf_counter()
                arrays = [rec.t, *rec.signals.values()]
                t2 = time.perf_counter()
                assert len(arrays) == 5 and all(len(a) == 2048 for a in arrays)
                record_ms.append((t1 - t0) * 1e3)
                arrays_ms.append((t2 - t1) * 1e3)

    py, ctl = statistics.median(python_s) * 1e3, statistics.median(zrdctl_s) * 1e3
    conversion, record = statistics.median(arrays_ms), statistics.median(record_ms)
    print(f"read-all of {count} parameters: Python {py:.1f} ms, zrdctl {ctl:.1f} ms, "
          f"ratio {py / ctl:.3f} (goal 1.05)")
    print(f"offline record: {record:.1f} ms to the recording, {conversion:.3f} ms more to numpy "
          f"arrays (goal 5 ms)")
    if args.out:
        with open(args.out, "w") as f:
            json.dump({"context": {}, "benchmarks": [
                {"name": "PythonReadAll", "real_time": py, "time_unit": "ms",
                 "zrdctl_ms": ctl, "parameters": count},
                {"name": "PythonOfflineArrays", "real_time": conversion, "time_unit": "ms",
                 "record_ms": record},
            ]}, f, indent=1)


if __name__ == "__main__":
    main()
