"""The filter design without a drive, as zrdctl prints it."""

import subprocess

import pytest

import zrd
from conftest import _zrdctl_path


def _zrdctl_design(*args):
    run = subprocess.run([_zrdctl_path(), "filter", "design", *map(str, args)],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    rows = {}
    for line in run.stdout.splitlines():
        label, *values = line.split()
        rows[label.rstrip(":")] = {values[i]: float(values[i + 1])
                                   for i in range(0, len(values), 2)}
    return rows


@pytest.mark.parametrize("type, freq, q, gain", [
    ("lpf", 250, 0.707, 1),
    ("bsf", 400, 2, 1),
    ("efc", 600, 1.5, -6),
    ("efb", 120, 0.9, 6),
])
def test_filter_design_gives_zrdctls_coefficients(type, freq, q, gain):
    ours = zrd.filter_design(type, freq, q=q, gain=gain)
    theirs = _zrdctl_design("--type", type, "--freq", freq, "--q", q, "--gain", gain)
    # zrdctl prints 15 significant digits.
    assert ours["designed"] == pytest.approx(theirs["computed"], rel=1e-13)
    assert ours["quantised"] == pytest.approx(theirs["quantised"], rel=1e-13)
    assert all(round(v / 1e-4) * 1e-4 == pytest.approx(v) for v in ours["quantised"].values())
    assert ours["stable"]


def test_filter_design_refuses_what_it_cannot_compute():
    with pytest.raises(zrd.DataError, match="nothing computed"):
        zrd.filter_design("bsf", 400, q=0)
    with pytest.raises(zrd.DataError, match="lpf, bsf, efc or efb"):
        zrd.filter_design("notch", 400)
