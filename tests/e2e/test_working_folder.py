"""The working folder: which drive, what happens without room, and the log files."""
import os
import subprocess
import time

from conftest import LOG_FOLDER, PREFIX, working_folders


def drive_line(result):
    return [l.message for l in result.lines if l.source == "SetTavoTempDir"
            and l.message.startswith("Required Space found in Drive : ")]


def test_highest_fixed_drive_is_used_and_the_folder_is_gone_afterwards(wine, drives, stage, run_stub, demo_package):
    drives.add("d", "hd")
    drives.add("f", "cdrom")
    drives.add("g", "network")
    result = run_stub("-silent", exe=stage(demo_package))
    assert result.exit_code == 0
    assert drive_line(result) == ["Required Space found in Drive : D:\\"]
    assert working_folders(wine) == []


def test_a_drive_too_small_is_passed_over(wine, drives, stage, run_stub, demo_package):
    small = drives.add("e", "hd")
    # 64 KiB cannot hold the stub, whose size is what the working folder needs.
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(small)], check=True)
    try:
        result = run_stub("-silent", exe=stage(demo_package))
    finally:
        subprocess.run(["umount", str(small)], check=True)
    assert result.exit_code == 0
    assert drive_line(result) == ["Required Space found in Drive : C:\\"]


def test_no_fixed_drive_with_room_ends_with_minus_one(wine, run_stub):
    # C: is the only fixed drive; typed as a CD-ROM there is none.
    wine.reg("add", r"HKLM\Software\Wine\Drives", "/v", "c:", "/d", "cdrom", "/f", "/reg:64")
    try:
        result = run_stub("-silent")
    finally:
        wine.reg("delete", r"HKLM\Software\Wine\Drives", "/v", "c:", "/f", "/reg:64")
    assert result.exit_code == -1
    assert result.has_line("Unable to find a volume with enough disk space for file extraction.",
                           source="CretaeAndValidateTavoTempDir", level="ERROR")


def test_an_earlier_extraction_log_is_kept_under_its_time_stamp(stage, run_stub, demo_package):
    exe = stage(demo_package)
    first = run_stub("-silent", exe=exe)
    assert first.exit_code == 0
    # run_stub starts from an empty log folder; put the earlier log back.
    LOG_FOLDER.mkdir(parents=True, exist_ok=True)
    earlier = LOG_FOLDER / "ZelDemo.log"
    earlier.write_bytes(first.log("ZelDemo.log").encode("latin-1"))
    stamp = time.mktime((2026, 12, 8, 14, 3, 59, 0, 0, -1))
    os.utime(earlier, (stamp, stamp))

    result = run_stub("-silent", exe=exe, keep_logs=True)
    assert result.exit_code == 0
    kept = time.strftime("ZelDemo_%d%b%Y_%H-%M-%S.log", time.localtime(stamp))
    assert kept in result.logs
    assert result.logs[kept] == first.log("ZelDemo.log")
    assert result.log("ZelDemo.log").startswith("############################## --------- START")


def test_extraction_log_opens_with_the_system_information_block(stage, run_stub, demo_package):
    result = run_stub("-silent", exe=stage(demo_package))
    assert result.exit_code == 0
    log = result.log("ZelDemo.log")
    block = log[log.index("-------------------------------------- System Information"):]
    block = block[:block.index("-" * 95 + "\r\n")]
    sources = [line.split("|")[2].rstrip() for line in block.split("\r\n")[1:] if line.count("|") >= 3]
    assert sources[0] == "RAM Size"
    assert any(s == "Processor" or s.startswith("Processor ") for s in sources)
    assert "Computer name" in sources
    assert any(s.startswith("Space Info on Drive: C:\\") for s in sources)
    assert sources[-2:] == ["System Language", "UI Language"]
    assert result.has_line("Master Log File : C:\\ProgramData\\Ulverin\\Automation\\Logfiles\\Tavo.log",
                           source="CreateExtractionLogFile")
