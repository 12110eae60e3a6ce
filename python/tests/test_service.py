"""The drive's status and its service commands through the module: servo, mode and source,
the EEPROM and the reset."""

import pytest

import zrd
from conftest import sim_raw, speed_loop


def test_a_stored_value_is_what_the_drive_restarts_with(sim, drive):
    drive["KPV"] = 8.0
    drive.eeprom_save()
    sim.control("set KPV 100")
    assert drive["KPV"] == 1.0
    drive.reset()
    assert sim_raw(sim, "KPV") == 800
    assert drive["KPV"] == 8.0


def test_a_reset_is_refused_while_the_servo_is_on_unless_forced(sim, drive):
    speed_loop(drive)
    with pytest.raises(zrd.RefusedError, match="servo is on"):
        drive.reset()
    drive.reset(force=True)
    assert "servo=off" in sim.control("state")


def test_status_names_the_set_bits_and_follows_the_servo(sim, drive):
    idle = drive.status()
    assert idle["errors"] == {}
    assert idle["words"][240] == int(sim.control("state").split()[0].split("=")[1], 16)
    sim.control("error raise 3")
    tripped = drive.status()
    assert len(tripped["errors"]) == 1
    assert set(tripped["errors"].items()) <= set(tripped["bits"].items())
    # A drive with an error refuses the servo.
    with pytest.raises(zrd.RefusedError, match="servo on"):
        drive.servo(True)
    sim.control("error clear all")
    speed_loop(drive)
    assert "servo=on" in sim.control("state")
    assert drive.status()["words"][240] & 1
    drive.servo(False)
    assert "servo=off" in sim.control("state")


def test_mode_and_source_write_the_drive(sim, drive):
    drive.mode("position")
    drive.source("internal")
    assert (sim_raw(sim, "OPMOD"), sim_raw(sim, "INST")) == (3, 1)
    with pytest.raises(zrd.DataError):
        drive.mode("torque")
