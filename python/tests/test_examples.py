"""The scripts of examples/ as a user runs them, each against its own simulated drive."""

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def run(script, *args, cwd):
    return subprocess.run([sys.executable, str(EXAMPLES / script), *args], cwd=cwd,
                          capture_output=True, text=True, timeout=120, env=os.environ)


@pytest.mark.parametrize("args, status, says", [
    pytest.param([], 0, r"\nPASS\n", id="a good drive passes"),
    pytest.param(["--fault"], 1, r"FAIL error ERROTD: Drive overtemperature", id="an error fails"),
])
def test_end_of_line(tmp_path, args, status, says):
    done = run("end_of_line.py", *args, cwd=tmp_path)
    assert done.returncode == status, done.stderr
    assert re.search(says, done.stdout), done.stdout


def test_diff_parameters_names_the_changed_ones(tmp_path):
    done = run("diff_parameters.py", cwd=tmp_path)
    assert done.returncode == 1, done.stderr
    assert re.search(r"^KPV +file +5\.0 +drive +7\.5", done.stdout, re.M), done.stdout
    assert "2 parameter(s) differ" in done.stdout


def test_chirp_bode_plots_the_resonance(tmp_path):
    done = run("chirp_bode.py", "bode.png", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    peak = float(re.search(r"plant peak \S+ dB at ([0-9.]+) Hz", done.stdout)[1])
    assert peak == pytest.approx(400, rel=0.03)
    assert (tmp_path / "bode.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
