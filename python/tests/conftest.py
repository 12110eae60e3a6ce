"""Fixtures of the module's tests: a fresh simulated drive per test, on a real pseudo-terminal,
and zrdctl beside it for the comparisons."""

import json
import os
import shutil
import subprocess

import pytest

import zrd
from zrd import _location


def _zrdctl_path():
    given = os.environ.get("ZRDCTL")
    if given:
        return given
    beside = os.path.join(_location.PROGRAM_FOLDER, "zrdctl")
    return beside if os.access(beside, os.X_OK) else shutil.which("zrdctl")


class Zrdctl:
    """Runs zrdctl on the simulated drive's port, on the fast link as the tests' drive does."""

    def __init__(self, port, folder):
        self.port = port
        self.folder = folder
        self.path = _zrdctl_path()

    def __call__(self, *args, check=True):
        run = subprocess.run([self.path, "--port", self.port, "--fast", *map(str, args)],
                             cwd=self.folder, capture_output=True, text=True, timeout=120)
        if check:
            assert run.returncode == 0, run.stderr
        return run

    def json(self, *args):
        return json.loads(self(*args).stdout)


@pytest.fixture
def sim():
    with zrd.Sim(noise=0) as s:
        yield s


@pytest.fixture
def drive(sim):
    with zrd.connect(sim.port, fast=True) as d:
        yield d


@pytest.fixture
def zrdctl(sim, tmp_path):
    return Zrdctl(sim.port, tmp_path)


def sim_raw(sim, name):
    """The raw value the simulated drive holds, asked on its control channel."""
    return int(sim.control(f"get {name}"))


def speed_loop(d):
    """Speed mode, internal commands, the servo on: the generator may run."""
    d.mode("speed")
    d.source("internal")
    d.servo(True)
