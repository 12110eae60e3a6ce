#!/usr/bin/env python3
"""Reads a drive's parameters and compares them with a parameter file.

    diff_parameters.py [--port DEV] [FILE]

Without --port it runs on the simulated drive; without FILE it first saves the drive's own
parameters as the reference and then changes two of them, so that there is something to see.
"""
import argparse
import contextlib
import sys
import tempfile
from pathlib import Path

import zrd


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", help="the drive's serial port (default: a simulated drive)")
    parser.add_argument("file", nargs="?", help="the parameter file to compare with")
    args = parser.parse_args()

    with contextlib.ExitStack() as stack:
        port = args.port or stack.enter_context(zrd.Sim()).port
        d = stack.enter_context(zrd.connect(port, fast=True))
        values = d.read_all()
        print(f"{len(values)} parameters read, KPV = {values['KPV']} {d.info('KPV')['unit']}")
        reference = args.file
        if reference is None:
            reference = Path(stack.enter_context(tempfile.TemporaryDirectory())) / "ref.par"
            d.save_params(reference)
            d["KPV"] = 7.5
            d["KIV"] = 25
        rows = d.diff(reference)
        for row in rows:
            print(f"{row['name']:<8} file {row['a']!s:>10}  drive {row['b']!s:>10}  {row['unit']}")
        print(f"{len(rows)} parameter(s) differ")
        return 1 if rows else 0


if __name__ == "__main__":
    sys.exit(main())
