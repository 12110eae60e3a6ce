"""zrd.Sim: the simulated drive zrd-sim as a process, on a pseudo-terminal of its own."""

import os
import selectors
import shutil
import signal
import socket
import subprocess
import tempfile
import time

from . import _location
from ._errors import Error

# zrd-sim prints its device and control socket at once; on a loaded machine it may take a while.
_START_TIMEOUT_S = 10.0
_CONTROL_TIMEOUT_S = 5.0
_STOP_TIMEOUT_S = 5.0


def _executable(given):
    if given:
        return given
    env = os.environ.get("ZRD_SIM")
    if env:
        return env
    beside = os.path.join(_location.PROGRAM_FOLDER, "zrd-sim")
    if os.access(beside, os.X_OK):
        return beside
    found = shutil.which("zrd-sim")
    if found:
        return found
    raise Error("zrd-sim not found: set ZRD_SIM or put it on PATH")


def _resonances(value):
    if value is None:
        return []
    if isinstance(value, (int, float)):
        return [f"{value:g}"]
    if isinstance(value, tuple) and len(value) == 2 and all(
            isinstance(v, (int, float)) for v in value):
        return [f"{value[0]:g},{value[1]:g}"]
    out = []
    for mode in value:
        out += _resonances(mode)
    return out


class Sim:
    """The simulated ZRD drive, started from the zrd-sim built or installed with the module.

    Use it as a context manager::

        with zrd.Sim(resonance=400, noise=0) as sim, zrd.connect(sim.port, fast=True) as d:
            print(d["HVER"])

    The options are zrd-sim's own (docs/simulator.md): baud, db, eeprom, faults (a list such as
    ["delay=20", "refuse"]), fault_count, errors, warnings (bit numbers), silent (mnemonics),
    answers ({mnemonic: raw}), inputs, noise, seed, resonance (Hz, (Hz, damping), or a list of
    them), friction, scope_refuse, scope_mute, scope_badend, replay; args adds more.
    """

    def __init__(self, *, baud=None, db=None, eeprom=None, faults=(), fault_count=None,
                 errors=(), warnings=(), silent=(), answers=None, inputs=(), noise=None,
                 seed=None, resonance=None, friction=None, scope_refuse=False, scope_mute=False,
                 scope_badend=None, replay=None, args=(), executable=None, control=None):
        argv = [_executable(executable)]

        def option(name, value):
            if value is not None:
                argv.extend([name, os.fspath(value) if isinstance(value, os.PathLike)
                             else str(value)])

        option("--baud", baud)
        option("--db", db)
        option("--eeprom", eeprom)
        option("--control", control)
        option("--fault-count", fault_count)
        for fault in faults:
            option("--fault", fault)
        for bit in errors:
            option("--error", bit)
        for bit in warnings:
            option("--warning", bit)
        for name in silent:
            option("--silent", name)
        for name, raw in (answers or {}).items():
            option("--answer", f"{name}={raw}")
        for n in inputs:
            option("--input", n)
        option("--noise", noise)
        option("--seed", seed)
        for mode in _resonances(resonance):
            option("--resonance", mode)
        option("--friction", friction)
        if scope_refuse:
            argv.append("--scope-refuse")
        if scope_mute:
            argv.append("--scope-mute")
        option("--scope-badend", scope_badend)
        option("--replay", replay)
        argv.extend(str(a) for a in args)
        self.argv = argv
        self.port = None
        self.control_path = None
        self._process = None
        self._stderr = None

    def start(self):
        """Starts zrd-sim and waits for its device and control socket."""
        self._stderr = tempfile.TemporaryFile()
        self._process = subprocess.Popen(self.argv, stdin=subprocess.DEVNULL,
                                         stdout=subprocess.PIPE, stderr=self._stderr)
        lines = []
        buffered = b""
        deadline = time.monotonic() + _START_TIMEOUT_S
        with selectors.DefaultSelector() as sel:
            sel.register(self._process.stdout, selectors.EVENT_READ)
            while len(lines) < 2:
                left = deadline - time.monotonic()
                if left <= 0 or not sel.select(left):
                    self.close()
                    raise Error("zrd-sim printed no device within "
                                f"{_START_TIMEOUT_S:g} s: {self.stderr()}")
                chunk = os.read(self._process.stdout.fileno(), 4096)
                if not chunk:
                    self.close()
                    raise Error(f"zrd-sim ended: {self.stderr()}")
                buffered += chunk
                *done, buffered = buffered.split(b"\n")
                lines += [line.decode() for line in done]
        self.port, self.control_path = lines[0], lines[1]
        # Up once its control channel answers: a process just started on a busy machine may
        # otherwise take the first frames for longer than a drive's reply wait.
        try:
            self.control("state")
        except (Error, OSError) as e:
            self.close()
            raise Error(f"zrd-sim does not answer on {self.control_path}: {e}") from e
        return self

    def control(self, command: str) -> str:
        """Sends one line on the control channel; returns the text after "ok"."""
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(_CONTROL_TIMEOUT_S)
            s.connect(self.control_path)
            s.sendall(command.encode() + b"\n")
            answer = b""
            while not answer.endswith(b"\n"):
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
        text = answer.decode().strip()
        if text == "ok" or text.startswith("ok "):
            return text[3:]
        raise Error(f"zrd-sim: {command}: {text or 'no answer'}")

    def stderr(self) -> str:
        """What zrd-sim said on stderr so far."""
        if self._stderr is None:
            return ""
        self._stderr.seek(0)
        return self._stderr.read().decode(errors="replace").strip()

    def close(self):
        """Stops zrd-sim."""
        process, self._process = self._process, None
        if process is None:
            return
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(_STOP_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        process.stdout.close()

    def __enter__(self):
        return self.start() if self._process is None else self

    def __exit__(self, *exc):
        self.close()
        if self._stderr is not None:
            self._stderr.close()
            self._stderr = None

    def __repr__(self):
        return f"<zrd.Sim {self.port or 'not started'}>"


__all__ = ["Sim"]
