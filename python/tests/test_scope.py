"""Captures through the module: the same samples as zrdctl's file, the Bode of a chirp at the
simulated resonance, the online scope and a capture stopped with Ctrl-C."""

import _thread
import threading
import time

import numpy as np
import pytest

import zrd
from conftest import Zrdctl, sim_raw, speed_loop

def wait_until_streaming(sim, bound_s=30):
    """True once the simulated drive streams, asked every 10 ms within the bound."""
    deadline = time.monotonic() + bound_s
    while time.monotonic() < deadline:
        if "streaming=yes" in sim.control("scope status"):
            return True
        threading.Event().wait(0.01)
    return False


# The offline record: 2048 samples at the fastest tick, started by the generator.
OFFLINE = dict(tick=0, trigger="fg", start_fg=True)


def test_an_offline_recording_holds_the_samples_zrdctl_saves(tmp_path):
    # The simulated plant is exact without noise: the same drive, started afresh and sent the
    # same frames, records the same samples, whichever front end asks.
    with zrd.Sim(noise=0) as sim, zrd.connect(sim.port, fast=True) as d:
        speed_loop(d)
        d.fg("sine", 300, period=20)
        rec = d.scope_offline(["VSET", "VACT"], **OFFLINE)
    with zrd.Sim(noise=0) as sim:
        zrdctl = Zrdctl(sim.port, tmp_path)
        for args in (["mode", "speed"], ["source", "internal"], ["servo", "on"],
                     ["fg", "set", "--type", "sine", "--amp", 300, "--period", 20],
                     ["scope", "offline", "--tick", 0, "--ch", "VSET", "VACT", 0, 0,
                      "--trigger", "fg", "--start-fg", "-o", "theirs.dat"]):
            zrdctl(*args)
    theirs = zrd.Recording.load(tmp_path / "theirs.dat")

    assert (rec.kind, len(rec), rec.names, rec.tick) == ("offline", 2048, ["VSET", "VACT"], 0.00025)
    assert rec.units == theirs.units == {"VSET": "rpm", "VACT": "rpm"}
    assert np.ptp(rec["VSET"]) > 500  # the sine's swing, not an idle drive's zeros
    rec.save(tmp_path / "ours.dat")
    ours = zrd.Recording.load(tmp_path / "ours.dat")
    for name in ("VSET", "VACT"):
        np.testing.assert_array_equal(ours[name], theirs[name])
        # The file keeps three decimals of what the recording holds.
        np.testing.assert_allclose(rec[name], theirs[name], atol=5e-4)
    np.testing.assert_allclose(rec.t, np.arange(2048) * 0.00025)


@pytest.mark.parametrize("resonance_hz", [300, 550])
def test_the_bode_of_a_chirp_finds_the_simulated_resonance(resonance_hz):
    with zrd.Sim(noise=0, resonance=resonance_hz) as sim, \
            zrd.connect(sim.port, fast=True) as d:
        speed_loop(d)
        d.fg("chirp", 300, period=0.6 * resonance_hz, width=1.6 * resonance_hz)
        rec = d.scope_offline(["VSET", "VACT", "ISET"], **OFFLINE)
    # Current command to speed: the mechanics alone, whatever the speed loop does around them.
    response = zrd.bode(rec, "ISET", "VACT", fmax=1000)
    freq, db, deg = response
    assert len(freq) == len(db) == len(deg) and freq[1] == pytest.approx(response.df)
    peak_hz, peak_db = response.peak
    assert peak_hz == pytest.approx(resonance_hz, rel=0.03)
    assert db[np.argmin(abs(freq - peak_hz))] == peak_db
    assert any(not r["anti"] and r["frequency"] == pytest.approx(resonance_hz, rel=0.03)
               for r in response.resonances)


def test_an_online_capture_returns_its_samples_at_the_rate(drive):
    rec = drive.scope_online(["VSET", "VACT"], rate_hz=500, samples=300)
    assert (rec.kind, len(rec), rec.names) == ("online", 300, ["VSET", "VACT"])
    np.testing.assert_allclose(np.diff(rec.t), 0.002)
    assert rec["VSET"].dtype == np.float64 and rec[1].shape == (300,)


def test_ctrl_c_ends_a_capture_and_leaves_the_link_clean(sim, drive):
    # 10000 samples at 125 Hz would take 80 s; the interrupt comes once the stream runs.
    def interrupt_once_streaming():
        wait_until_streaming(sim)
        _thread.interrupt_main()

    threading.Thread(target=interrupt_once_streaming, daemon=True).start()
    with pytest.raises(KeyboardInterrupt):
        drive.scope_online(["VSET", "VACT"], rate_hz=125)
    assert "streaming=no" in sim.control("scope status")
    assert drive["HVER"] == pytest.approx(sim_raw(sim, "HVER") * 0.1)


def test_a_capture_leaves_the_interpreter_to_other_threads(sim, drive):
    outcome = {}
    done = threading.Event()

    def capture():
        try:
            drive.scope_online(["VSET", "VACT"], rate_hz=125)
        except zrd.Error as e:
            outcome["error"] = e
        done.set()

    worker = threading.Thread(target=capture)
    worker.start()
    # This thread runs Python code while the capture streams: it holds no interpreter lock.
    assert wait_until_streaming(sim)
    assert not done.is_set()
    # A drive that goes quiet ends the capture as a link failure, on the capture's own thread.
    sim.control("scope mute on")
    worker.join(60)
    assert isinstance(outcome.get("error"), zrd.LinkError)
    assert "fell silent" in str(outcome["error"])
    sim.control("scope mute off")
    assert drive["HVER"] == pytest.approx(sim_raw(sim, "HVER") * 0.1)
