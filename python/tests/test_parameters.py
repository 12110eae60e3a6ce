"""Parameters through the module against the simulated drive: single writes and their refusals,
read-all beside zrdctl's, parameter files and the comparison with them."""

import pytest

import zrd
from conftest import sim_raw


@pytest.mark.parametrize("name, value, fault, error, number", [
    pytest.param("KPV", 6.5, None, None, 0, id="accepted"),
    pytest.param("KPV", 300.01, None, zrd.RefusedError, 85, id="outside the limits"),
    pytest.param("KPV", 7.25, "refuse", zrd.RefusedError, 88, id="refused by the drive"),
    pytest.param("HVER", 3.0, None, zrd.RefusedError, 0, id="read only"),
])
def test_set_writes_the_drive_or_leaves_it_as_it_was(sim, drive, name, value, fault, error,
                                                      number):
    scale = 0.01 if name == "KPV" else 0.1
    before = sim_raw(sim, name)
    if fault:
        sim.control(f"fault {fault}")
    if error is None:
        drive[name] = value
        assert drive[name] == value
        # 0.01 mA/rpm a raw step: the drive holds the value, not a rounded neighbour.
        assert sim_raw(sim, name) == round(value / scale)
        return
    with pytest.raises(error) as caught:
        drive[name] = value
    assert caught.value.number == number
    if number:
        assert caught.value.message and caught.value.message in str(caught.value)
    sim.control("faults clear")
    assert sim_raw(sim, name) == before
    assert drive[name] == pytest.approx(before * scale)


def test_get_reads_several_and_names_an_unknown_mnemonic(drive):
    values = drive.get("KPV", "HVER")
    assert list(values) == ["KPV", "HVER"]
    assert values["KPV"] == drive.info("KPV")["default"]
    with pytest.raises(zrd.DataError, match="no parameter NOSUCH"):
        drive.get("NOSUCH")


# The application words' bit 15 is the drive's heartbeat: it toggles every 1.5 s by itself.
HEARTBEAT_WORDS = ("APPSGN", "APXSTA")


def comparable(values):
    # zrdctl prints each value's shortest text of up to 15 significant digits.
    out = {k: v if v is None else float(f"{v:.15g}") for k, v in values.items()}
    for name in HEARTBEAT_WORDS:
        out[name] = int(out[name]) & 0x7FFF
    return out


def test_read_all_equals_zrdctl_read_all(drive, zrdctl):
    ours = drive.read_all(strict=False)
    names = drive.names
    # A port is one program's at a time.
    drive.close()
    theirs = zrdctl.json("read-all", "--json")
    assert theirs["unanswered"] == []
    assert comparable(ours) == comparable(theirs["values"])
    assert list(ours) == names


def test_parameter_file_round_trip_and_diff(drive, tmp_path):
    backup = tmp_path / "backup.par"
    drive.save_params(backup)
    assert drive.diff(backup) == []

    drive["KPV"] = 12.5
    drive["KIV"] = drive.info("KIV")["max"]
    rows = {row["name"]: row for row in drive.diff(backup)}
    assert set(rows) == {"KPV", "KIV"}
    assert (rows["KPV"]["a"], rows["KPV"]["b"]) == (drive.info("KPV")["default"], 12.5)

    written = drive.load_params(backup)
    assert "KPV" in written and "KIV" in written
    assert drive.diff(backup) == []
    assert drive["KPV"] == drive.info("KPV")["default"]


def test_write_all_checks_every_value_before_writing_any(sim, drive):
    before = sim_raw(sim, "KPV")
    with pytest.raises(zrd.RefusedError, match="outside the limits of KIV"):
        drive.write_all({"KPV": 9.0, "KIV": 1e9})
    assert sim_raw(sim, "KPV") == before
    assert drive.write_all({"KPV": 9.0}) == ["KPV"]
    assert drive["KPV"] == 9.0
