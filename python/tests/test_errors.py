"""Each exception class from the fault that raises it."""

import pytest

import zrd
from conftest import sim_raw


def test_a_silent_drive_is_a_link_error_with_its_message():
    with zrd.Sim(faults=["silent"]) as sim:
        with pytest.raises(zrd.LinkError, match="no drive answers") as caught:
            zrd.connect(sim.port, fast=True)
    assert caught.value.number == 1


def test_a_port_that_does_not_open_is_a_link_error(tmp_path):
    with pytest.raises(zrd.LinkError, match="cannot open"):
        zrd.connect(str(tmp_path / "ttyNONE"))


def test_a_hang_up_is_a_link_error_and_the_link_stays_down(sim, drive):
    sim.control("fault hangup")
    with pytest.raises(zrd.LinkError, match="lost"):
        drive["KPV"]
    assert not drive.connected
    with pytest.raises(zrd.LinkError):
        drive.read_all()


@pytest.mark.parametrize("content", [
    pytest.param("KPV=banana\r\n", id="a value that is no number"),
    pytest.param("KPV=1e9\r\n", id="a value no raw word holds"),
])
def test_a_bad_parameter_file_is_a_data_error_and_nothing_is_written(sim, drive, tmp_path,
                                                                     content):
    before = sim_raw(sim, "KIV")
    bad = tmp_path / "bad.par"
    bad.write_bytes(b"KIV=55\r\n" + content.encode())
    with pytest.raises(zrd.DataError, match="bad.par"):
        drive.load_params(bad)
    assert sim_raw(sim, "KIV") == before


def test_a_broken_oscillogram_file_is_a_data_error(tmp_path):
    broken = tmp_path / "broken.dat"
    broken.write_bytes(b"0\r\nStart time : x\r\nno oscillogram\r\n")
    with pytest.raises(zrd.DataError, match="broken.dat"):
        zrd.Recording.load(broken)
    with pytest.raises(zrd.DataError):
        zrd.Recording.load(tmp_path / "missing.dat")
