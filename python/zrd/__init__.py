"""zrd: ZRD servo drives from Python, over the core of QX Torvanta.

    import zrd
    with zrd.Sim() as sim, zrd.connect(sim.port, fast=True) as d:
        d["KPV"] = 6.5
        print(d.get("KPV", "KIV"), d.status()["errors"])

Failures raise zrd.LinkError (no answer, a hang-up), zrd.RefusedError (the drive or the limits
refused) or zrd.DataError (a bad file, an unknown mnemonic), all zrd.Error. Long exchanges
(read-all, captures) release the interpreter and stop cleanly on Ctrl-C.
"""

import os
from dataclasses import dataclass, field

import numpy as np

from . import _core, _location
from ._errors import DataError, Error, LinkError, RefusedError
from ._sim import Sim

__version__ = _core.__version__

Drive = _core.Drive
Recording = _core.Recording
filter_design = _core.filter_design


def _data_folder(given=None) -> str:
    return _core.data_folder(os.fspath(given) if given else "", _location.PROGRAM_FOLDER)


def data_folder() -> str:
    """The data set used when connect() is given none: TORVANTA_DATA, else the installed one."""
    return _data_folder()


def connect(port: str, baud: int = 115200, fast: bool = False, data_dir=None,
            timeout_ms: int = 30, lang: str = None) -> Drive:
    """Connects to the drive on the port as the program does (the port opened, "HVER" read).

    fast: the fast link (3 byte times between requests in place of the two 10 ms pauses).
    data_dir: the data set (Param_base.mod, mess.dic); by default TORVANTA_DATA, else the one
    installed with the module. lang: "Eng" or "Rus" in place of the database's setting.
    Raises LinkError when the port does not open or no drive answers.
    """
    return _core.Drive(port, baud, fast, _data_folder(data_dir), timeout_ms, lang or "")


def ports(lang: str = "Eng") -> list:
    """The serial ports of this machine, with what the system tells about each and the advice
    for an adapter whose latency timer slows every exchange."""
    return _core.ports(_data_folder(), lang)


def _load_recording(path, data_dir=None) -> Recording:
    """Reads a .dat oscillogram file; DataError names the line that does not read."""
    return _core.Recording._load(path, _data_folder(data_dir))


Recording.load = staticmethod(_load_recording)


@dataclass
class Bode:
    """A frequency response: freq (Hz), db and deg per bin up to fmax; iterates as
    (freq, db, deg)."""

    freq: np.ndarray
    db: np.ndarray
    deg: np.ndarray
    df: float
    peak: tuple = None  # (Hz, dB) of the largest excited bin
    resonances: list = field(default_factory=list)

    def __iter__(self):
        return iter((self.freq, self.db, self.deg))


def bode(rec: Recording, inp, out, fmax: float = 500.0) -> Bode:
    """The response of channel out over channel inp of a recording (each a channel 1..4 or a
    signal's name) over its first 2048 samples, as the program's AFR and PFR computes it."""
    return Bode(**_core._bode(rec, inp, out, fmax))


__all__ = ["Bode", "DataError", "Drive", "Error", "LinkError", "Recording", "RefusedError", "Sim",
           "bode", "connect", "data_folder", "filter_design", "ports", "__version__"]
