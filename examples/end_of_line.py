#!/usr/bin/env python3
"""An end-of-line test: the drive's parameters hold the values of the line and its status shows
no error or warning. Exits 1 on a mismatch, 3 when the drive does not answer.

    end_of_line.py [--port DEV] [--fault]

Without --port it runs on the simulated drive; --fault raises an error there first.
"""
import argparse
import contextlib
import sys

import zrd

# What every drive leaving the line holds.
EXPECTED = {"KPV": 5.0, "KIV": 10.0, "ENMOD": 1}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", help="the drive's serial port (default: a simulated drive)")
    parser.add_argument("--fault", action="store_true", help="raise error 3 on the simulated drive")
    args = parser.parse_args()
    failures = []
    try:
        with contextlib.ExitStack() as stack:
            if args.port:
                port = args.port
            else:
                sim = stack.enter_context(zrd.Sim())
                if args.fault:
                    sim.control("error raise 3")
                port = sim.port
            d = stack.enter_context(zrd.connect(port, fast=True))
            for name, value in d.get(*EXPECTED).items():
                ok = value == EXPECTED[name]
                print(f"{'ok  ' if ok else 'FAIL'} {name} = {value} (expected {EXPECTED[name]})")
                if not ok:
                    failures.append(name)
            status = d.status()
            for kind in ("errors", "warnings"):
                for mnemonic, text in status[kind].items():
                    print(f"FAIL {kind[:-1]} {mnemonic}: {text}")
                    failures.append(mnemonic)
    except zrd.LinkError as e:
        print(f"FAIL {e}")
        return 3
    print("PASS" if not failures else f"FAIL: {', '.join(failures)}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
