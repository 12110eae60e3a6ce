#!/usr/bin/env python3
"""Records a chirp on the simulated drive and plots its Bode diagram into a PNG.

    chirp_bode.py [OUT.png]
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import zrd  # noqa: E402


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "bode.png"
    with zrd.Sim(resonance=400, noise=0) as sim, zrd.connect(sim.port, fast=True) as d:
        d.mode("speed")
        d.source("internal")
        d.servo(True)
        d.fg("chirp", 300, period=250, width=800)  # 300 rpm from 250 to 800 Hz
        rec = d.scope_offline(["VSET", "VACT", "ISET"], tick=0, trigger="fg", start_fg=True)
        d.servo(False)

    speed = zrd.bode(rec, "VSET", "VACT", fmax=1000)
    plant = zrd.bode(rec, "ISET", "VACT", fmax=1000)
    f, db = plant.peak
    print(f"{rec}: plant peak {db:.1f} dB at {f:.1f} Hz")

    fig, (mag, phase) = plt.subplots(2, 1, sharex=True, figsize=(8, 6))
    band = (speed.freq >= 250) & (speed.freq <= 800)  # the chirp's band
    for response, label in ((speed, "VACT / VSET"), (plant, "VACT / ISET")):
        mag.plot(response.freq[band], response.db[band], label=label)
        phase.plot(response.freq[band], response.deg[band], label=label)
    mag.axvline(f, color="grey", linestyle=":", label=f"peak {f:.0f} Hz")
    mag.set_ylabel("magnitude (dB)")
    phase.set_ylabel("phase (°)")
    phase.set_xlabel("frequency (Hz)")
    mag.legend()
    mag.grid(True)
    phase.grid(True)
    fig.suptitle("Chirp 250 to 800 Hz on the simulated drive")
    fig.savefig(out, dpi=80)
    print(f"saved {out}")


if __name__ == "__main__":
    main()
