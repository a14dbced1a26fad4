"""Silent and unattended runs end to end: packages made by zelpack, run under Wine."""
import os
import re
import shutil
import subprocess
import time

import pytest

from conftest import HELPERS, PREFIX, working_folders
from quiet_support import (CAPTION, Scratch, WindowWatcher, build_package, finish_stub, is_read_only, linux_path,
                           scratch, settings, start_stub, tree, wait_for)

END_BANNER = "############################## --------- End --------- ##############################"
ARTIFACTS = PREFIX.parent  # build/i686

# Nested folders, an empty file, a read-only file and names outside Latin-1.
TREE = {
    "setup.txt": b"top level\r\n",
    "Data/empty.dat": b"",
    "Data/Deep/deeper/leaf.bin": bytes(range(256)) * 40,
    "Data/readonly.cfg": b"do not change\r\n",
    "Данные/файл.txt": "кириллица\r\n".encode("utf-8"),
    "日本語/名前 付き.txt": "日本語\r\n".encode("utf-8"),
    "Ελληνικά.txt": b"\xce\xb1\r\n",
}


def big_file(megabytes):
    # Random data does not compress, so its extraction takes its time.
    return os.urandom(megabytes << 20)


@pytest.fixture
def pack(tmp_path):
    counter = [0]

    def make(settings_text, files, *options, read_only=()):
        counter[0] += 1
        return build_package(tmp_path / f"pkg{counter[0]}", tmp_path / f"out{counter[0]}" / "Setup.exe",
                             settings_text, files, *options, read_only=read_only)

    return make


@pytest.fixture
def place(scratch):
    """Copies a package (and its part files) into a fresh folder on C:; returns the exe's Linux path."""

    def copy(exe):
        folder = scratch.folder()
        for f in exe.parent.iterdir():
            shutil.copy2(f, folder / f.name)
        return folder / exe.name

    return copy


def error_lines(result, source=None):
    return [l.message for l in result.lines if l.level == "ERROR" and (source is None or l.source == source)]


def test_silent_run_extracts_the_tree_exactly_and_shows_no_window(wine, tmp_path, scratch, pack, place, run_stub):
    target = scratch.folder(create=False) / "Quiet Target"
    files = dict(TREE, **{"Data/zz_slow.bin": big_file(24)})
    exe = place(pack(settings(Scratch.win(target)), files, read_only=["Data/readonly.cfg"]))

    with WindowWatcher(wine, tmp_path) as watcher:
        result = run_stub("-silent", exe=exe)

    assert result.exit_code == 0, error_lines(result)
    assert tree(target) == files
    assert is_read_only(target / "Data/readonly.cfg")
    assert not is_read_only(target / "setup.txt")
    assert watcher.seen == []
    log = result.log("ZelQuiet.log")
    summary = log[log.index("######## --------- START SUMMARY"):]
    assert "|STATUS                                |Success\r\n" in summary
    assert re.search(r"\|ERRORS +\|0\r\n", summary)
    assert log.rstrip("\r\n").endswith(END_BANNER) or END_BANNER + "\r\n" in summary
    assert result.has_line("Return Code for cab extraction : 0", source="ExtractPackage")
    assert working_folders(wine) == []


def test_extractpath_switch_expands_a_variable_and_creates_the_folder(wine, monkeypatch, scratch, pack, place,
                                                                      run_stub):
    base = scratch.folder()
    monkeypatch.setitem(wine.env, "ZELQUIETBASE", Scratch.win(base))
    package_target = scratch.folder(create=False)
    exe = place(pack(settings(Scratch.win(package_target)), {"a/b.txt": b"b\r\n"}))

    result = run_stub("-silent", r"-extractpath=%ZELQUIETBASE%\new\folder", exe=exe)

    assert result.exit_code == 0, error_lines(result)
    assert tree(base / "new" / "folder") == {"a/b.txt": b"b\r\n"}
    assert not package_target.exists()
    assert working_folders(wine) == []


@pytest.fixture
def small_drive(drives):
    """E: as a fixed drive of 64 KiB (a tmpfs), unmounted afterwards."""
    folder = drives.add("e", "hd")
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(folder)], check=True)
    yield folder
    subprocess.run(["umount", str(folder)], check=True)


@pytest.mark.parametrize("small_one", ["command line", "package"])
def test_a_folder_on_a_too_small_drive_falls_back(wine, small_drive, scratch, pack, place, run_stub, small_one):
    files = {"fill.bin": os.urandom(256 << 10)}
    package_target = scratch.folder(create=False)
    if small_one == "command line":
        exe = place(pack(settings(Scratch.win(package_target)), files))
        result = run_stub("-silent", r"-extractpath=E:\Quiet", exe=exe)
        landed = package_target
    else:
        name = "ZelQuiet" + package_target.name
        exe = place(pack(settings(r"E:\Quiet", name=name), files))
        result = run_stub("-silent", exe=exe)
        chosen = [l.message for l in result.lines if l.source == "ValidatePathAndSpaceAvailable"
                  and l.message.startswith("Extract Path : ")]
        assert chosen and chosen[-1].endswith("\\Temp\\" + name + "\\"), chosen
        landed = linux_path(chosen[-1][len("Extract Path : "):])
    try:
        assert result.exit_code == 0, error_lines(result)
        assert tree(landed) == files
        assert list(small_drive.iterdir()) == []
    finally:
        if small_one == "package":
            shutil.rmtree(landed, ignore_errors=True)
    assert working_folders(wine) == []


def test_no_usable_folder_ends_with_5(wine, scratch, pack, place, run_stub):
    target = scratch.folder(create=False)
    # No drive has room for a package of 1 PiB.
    exe = place(pack(settings(Scratch.win(target), "[Size]\nPackageSize=1125899906842624\n"), {"a.txt": b"a"}))
    result = run_stub("-silent", exe=exe)
    assert result.exit_code == 5
    assert result.has_line("Valid Extract path could not be found", source="CTavoInitalizer::InitDisplay",
                           level="ERROR")
    assert not target.exists()
    assert working_folders(wine) == []


FALSE_CONDITION = (
    "[Conditions]\nAction1=Extract\nAction1Condition=Condition1\nAction1Message={NoWay}\n"
    # The prefix reports Windows 5.1 or later, never below 1.0.
    "Condition1={Registry};{HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\CurrentVersion};"
    "{<};{1.0};{TooNew}\n\n[1033]\nNoWay=Not for this computer.\nTooNew=Too new.\n")


@pytest.mark.parametrize("switches,code", [(["-silent"], 5), (["-unattended"], 5),
                                           (["-silent", "-NoConditioncheck"], 0)])
def test_a_false_condition_stops_quiet_runs_unless_told_not_to_check(wine, scratch, pack, place, run_stub,
                                                                     switches, code):
    target = scratch.folder(create=False)
    exe = place(pack(settings(Scratch.win(target), FALSE_CONDITION), {"a.txt": b"a"}))
    result = run_stub(*switches, exe=exe)
    assert result.exit_code == code, error_lines(result)
    if code == 0:
        assert tree(target) == {"a.txt": b"a"}
    else:
        assert result.has_line("Condition not satisfied", source="CTavoInitalizer::InitDisplay", level="ERROR")
        assert not target.exists()
    assert working_folders(wine) == []


@pytest.mark.parametrize("given,code,line,level", [
    (None, 4, "Please provide the Password from the command line parameter : -ExtractionPassword", "ERROR"),
    ("Open Sesame", 4, "Password provided by user is invalid", "ERROR"),
    ("open sesame!", 4, "Password provided by user is invalid", "ERROR"),
    ("Open Sesame!", 0, "Password provided by user is correct", ""),
])
def test_password_from_the_command_line(wine, scratch, pack, place, run_stub, given, code, line, level):
    target = scratch.folder(create=False)
    exe = place(pack(settings(Scratch.win(target)), {"a.txt": b"a"}, "--password", "Open Sesame!"))
    switches = ["-silent"] + ([f"-extractionpassword={given}"] if given is not None else [])
    result = run_stub(*switches, exe=exe)
    assert result.exit_code == code, error_lines(result)
    assert result.has_line(line, source="CheckPassword")
    assert [l.level for l in result.lines if l.source == "CheckPassword"] == [level]
    assert target.exists() == (code == 0)
    assert working_folders(wine) == []


MULTI_PART = "MultiPartDownload=1\nMultipartFileName=QuietParts\n"


@pytest.fixture
def multi_part(pack, place, scratch):
    target = scratch.folder(create=False)
    files = {"one.bin": os.urandom(150 << 10), "sub/two.bin": os.urandom(150 << 10), "three.txt": b"3\r\n"}
    exe = place(pack(settings(Scratch.win(target), package_extra=MULTI_PART), files, "--part-size", "64K"))
    parts = sorted(p.name for p in exe.parent.glob("QuietParts.*"))
    assert len(parts) >= 3, parts
    return exe, target, files


def test_multi_part_package_extracts_from_parts_and_overwrites_without_asking(wine, multi_part, run_stub):
    exe, target, files = multi_part
    (target / "sub").mkdir(parents=True)
    (target / "sub" / "two.bin").write_bytes(b"older")
    (target / "kept.txt").write_bytes(b"not in the package")
    result = run_stub("-silent", exe=exe)
    assert result.exit_code == 0, error_lines(result)
    assert tree(target) == dict(files, **{"kept.txt": b"not in the package"})
    assert working_folders(wine) == []


@pytest.mark.parametrize("damage", ["missing", "corrupt"])
def test_a_missing_or_corrupt_part_ends_with_7(wine, multi_part, run_stub, damage):
    exe, target, files = multi_part
    part = exe.parent / "QuietParts.002"
    if damage == "missing":
        part.unlink()
    else:
        data = bytearray(part.read_bytes())
        data[len(data) // 2] ^= 0xFF
        part.write_bytes(bytes(data))
    result = run_stub("-silent", exe=exe)
    assert result.exit_code == 7
    ending = " not found" if damage == "missing" else " is corrupt."
    assert any(m.startswith("Part file ") and "QuietParts.002" in m and m.endswith(ending)
               for m in error_lines(result, "ExtractPackage")), error_lines(result)
    assert not any(target.rglob("*.bin"))
    assert working_folders(wine) == []


def test_a_cabinet_that_fails_midway_ends_with_7(wine, pack, place, scratch, run_stub):
    target = scratch.folder(create=False)
    files = {"a_first.txt": b"first\r\n" * 100, "z_last.bin": os.urandom(1 << 20)}
    exe = place(pack(settings(Scratch.win(target)), files))
    data = bytearray(exe.read_bytes())
    # The cabinet is the last record; damage the middle of the big file's data.
    start = data.rindex(b"TAVO")
    data[start + (len(data) - start) * 3 // 4] ^= 0xFF
    exe.write_bytes(bytes(data))

    result = run_stub("-silent", exe=exe)
    assert result.exit_code == 7
    codes = [l.message for l in result.lines if l.message.startswith("Return Code for cab extraction : ")]
    assert codes and codes[0] != "Return Code for cab extraction : 0"
    assert error_lines(result, "ExtractPackage")
    assert working_folders(wine) == []


def test_an_unwritable_extraction_folder_ends_with_7(wine, pack, place, scratch, run_stub):
    target = scratch.folder(create=False)
    (target / "locked").mkdir(parents=True)
    exe = place(pack(settings(Scratch.win(target)), {"locked/file.txt": b"x"}))
    subprocess.run(["chattr", "+i", str(target / "locked")], check=True)
    try:
        result = run_stub("-silent", exe=exe)
    finally:
        subprocess.run(["chattr", "-i", str(target / "locked")], check=True)
    assert result.exit_code == 7
    assert "Access is denied." in error_lines(result, "ExtractPackage"), error_lines(result)
    assert list((target / "locked").iterdir()) == []
    assert working_folders(wine) == []


@pytest.fixture
def slow_package(pack, place, scratch):
    """An unattended package whose extraction takes a few seconds, into folders the run creates."""
    base = scratch.folder()
    target = base / "created" / "by run"
    files = {f"part{i:02}.bin": os.urandom(4 << 20) for i in range(16)}
    exe = place(pack(settings(Scratch.win(target)), files))
    return exe, base, target


def test_cancel_through_the_dialog_removes_what_was_extracted(wine, slow_package, scratch):
    exe, base, target = slow_package
    trigger = scratch.folder() / "close-now"
    closer = wine.start(HELPERS / "wintool.exe", "close-window", CAPTION, 90, Scratch.win(trigger))
    answer = wine.start(HELPERS / "wintool.exe", "press-button", CAPTION, "Yes", 90)
    stub = start_stub(wine, exe, "-unattended")
    try:
        # Close once the first files are out, so that there is something to remove.
        assert wait_for(lambda: target.is_dir() and any(target.iterdir()), 60), "nothing was extracted"
        trigger.touch()
        assert closer.wait(timeout=60) == 0, "no dialog"
        assert answer.wait(timeout=60) == 0, "no cancel question"
    finally:
        result = finish_stub(stub)
        for helper in (closer, answer):
            if helper.poll() is None:
                helper.kill()
    assert answer.stdout.read().decode().strip() == "Do you really want to cancel?"
    assert result.exit_code == 6
    assert result.has_line("Extraction paused", source="OnClose")
    assert result.has_line("Deleting file : " + Scratch.win(target / "part00.bin"), source="DeleteExtractedContents")
    assert [p.name for p in base.iterdir()] == []
    assert working_folders(wine) == []


def dialog_pixels(shot):
    # The dialog sits at the top left of the screen without a window manager.
    return subprocess.run(["convert", str(shot), "-crop", "560x100+0+0", "rgb:-"], capture_output=True,
                          check=True).stdout


def test_unattended_run_shows_the_dialog_with_the_display_name_and_moving_progress(wine, tmp_path, slow_package):
    exe, base, target = slow_package
    shots = []
    with WindowWatcher(wine, tmp_path) as watcher:
        stub = start_stub(wine, exe, "-unattended")
        try:
            assert wait_for(lambda: subprocess.run(["xwininfo", "-display", wine.env["DISPLAY"], "-name", CAPTION],
                                                   capture_output=True).returncode == 0, 60), "no dialog"
            while stub.poll() is None and len(shots) < 40:
                shot = tmp_path / f"shot{len(shots):02}.png"
                subprocess.run(["import", "-display", wine.env["DISPLAY"], "-window", "root", str(shot)], check=True)
                shots.append(shot)
        finally:
            result = finish_stub(stub)
    assert result.exit_code == 0, error_lines(result)
    assert f"#32770|{CAPTION}" in watcher.seen
    # Kept for a look: the dialog while it extracts.
    shutil.copy(shots[min(1, len(shots) - 1)], ARTIFACTS / "quiet-unattended.png")
    assert len({dialog_pixels(s) for s in shots}) >= 2, "the progress did not move"
    assert len(tree(target)) == 16
    assert working_folders(wine) == []
