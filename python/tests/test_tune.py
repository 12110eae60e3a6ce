"""The speed-loop tuner through the module: the same result as zrdctl tune --json, and a dry run
that leaves the drive as it was."""

import json
import subprocess

import pytest

import zrd
from conftest import _zrdctl_path, speed_loop

# The tuner's chirps are long: the fast line keeps the run to seconds.
BAUD = 921600


def test_a_dry_run_gives_zrdctls_result_and_changes_nothing(tmp_path):
    # The simulated plant is exact without noise: two like drives measure alike.
    with zrd.Sim(baud=BAUD, noise=0) as sim, zrd.connect(sim.port, baud=BAUD, fast=True) as d:
        speed_loop(d)
        d.save_params(tmp_path / "before.par")
        ours = d.tune()
        assert d.diff(tmp_path / "before.par") == []
    with zrd.Sim(baud=BAUD, noise=0) as sim:
        with zrd.connect(sim.port, baud=BAUD, fast=True) as d:
            speed_loop(d)
        run = subprocess.run([_zrdctl_path(), "--port", sim.port, "--baud", str(BAUD), "--fast",
                              "tune", "--json"], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    assert ours == json.loads(run.stdout)
    # A notch it proposes sits on the simulated resonance.
    assert any(f["hz"] == pytest.approx(400, rel=0.03) for f in ours["proposed"]["filters"])


@pytest.mark.parametrize("options, says", [
    pytest.param(dict(save=True), "give apply=True", id="save without apply"),
    pytest.param(dict(fmin=500, fmax=100), "fmin and fmax", id="an empty band"),
])
def test_tune_refuses_options_it_cannot_run(drive, options, says):
    with pytest.raises(zrd.DataError, match=says):
        drive.tune(**options)


def test_a_drive_that_is_not_ready_is_refused_with_nothing_written(sim, drive):
    # The shipped drive takes its commands from outside, with the servo off.
    with pytest.raises(zrd.RefusedError):
        drive.tune()
