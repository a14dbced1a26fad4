"""Start-up and exit of the bare stub: switches, single instance, exit codes."""
import subprocess

import pytest

from conftest import HELPERS, STUB, working_folders

MUTEX = "{AA16C87C-7BE6-4670-8526-4D402D18B369}"
START_BANNER = "############################## --------- START"
END_BANNER = "############################## --------- End --------- ##############################"


@pytest.mark.parametrize("switches", [["-silent"], ["/UNATTENDED"], ["-silent", "-unattended", "-d"]])
def test_quiet_run_ends_cleanly(wine, stage, run_stub, demo_package, switches):
    result = run_stub(*switches, exe=stage(demo_package))
    assert result.exit_code == 0
    # The master log holds the start-up and hands over to the extraction log.
    assert result.master_log.startswith(START_BANNER)
    assert result.master_log.endswith(END_BANNER)
    log = result.log("ZelDemo.log")
    assert log.startswith(START_BANNER)
    summary = log.index("######## --------- START SUMMARY")
    assert "|STATUS                                |Success\r\n" in log[summary:]
    assert log.index(END_BANNER + "\r\n", summary) < log.index("|Deleting folder : ")
    assert working_folders(wine) == []


def test_bare_stub_has_nothing_to_extract(run_stub):
    result = run_stub("-silent")
    assert result.exit_code == 7
    assert result.has_line("Attached files are extracted", source="ExtractFile")


def test_unknown_switches_and_bare_arguments_are_ignored(stage, run_stub, demo_package):
    result = run_stub("-silent", "-nosuchswitch", "stray", "/extractpath", '"unbalanced', exe=stage(demo_package))
    assert result.exit_code == 0


@pytest.fixture
def mutex_holder(wine):
    holder = wine.start(HELPERS / "wintool.exe", "hold-mutex", MUTEX, 60)
    assert holder.stdout.readline().strip() == b"held"
    yield holder
    holder.kill()
    holder.wait(timeout=30)


def test_second_instance_quiet_exits_1_without_a_box(run_stub, mutex_holder):
    result = run_stub("-silent")
    assert result.exit_code == 1
    assert result.has_line("Another instance is already running.", source="InitInstance", level="ERROR")


def test_second_instance_full_gui_shows_the_box(wine, stage, mutex_holder):
    exe = stage(STUB, "Setup.exe")
    stub = wine.start(exe)
    code, text = wine.run(HELPERS / "wintool.exe", "close-box", "Setup", 60)
    assert code == 0, "no message box appeared"
    assert text.strip() == "Another instance is already running."
    assert stub.wait(timeout=60) == 1


def tiny_bmp():
    """A 1x1 24-bit bitmap."""
    import struct
    pixels = b"\x00\x80\xff\x00"
    header = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 54) + header + pixels


def test_banner_images_are_copied_to_temp_and_removed_at_exit(wine, stage, run_stub, make_package):
    settings = ("[Package]\nName=Banner\n[Runtime]\nExtractPath=%TEMP%\\Banner\n"
                "[Images]\nTopImage=top.bmp\nBottomImage=bottom.bmp\n")
    exe = make_package(settings, {"top.bmp": tiny_bmp(), "bottom.bmp": tiny_bmp(), "content/a.txt": b"a"})
    temp = wine.drive_c() / "users" / "root" / "Temp"
    result = run_stub("-silent", exe=stage(exe))
    assert result.exit_code == 0
    assert (temp / "Banner" / "a.txt").read_bytes() == b"a"
    assert not (temp / "top.bmp").exists() and not (temp / "bottom.bmp").exists()
