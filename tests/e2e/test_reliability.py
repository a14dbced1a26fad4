"""Nothing hangs and nothing is lost: close requests to silent runs, cancels
inside a large file, pausing, a second instance, the user's own files, a log
viewer, and the log lines of whole runs."""
import getpass
import hashlib
import os
import re
import shutil
import subprocess
import time
import uuid

import pytest

from conftest import HELPERS, LOG_FOLDER, PREFIX, collect_result, parse_log, windows_exit_code, working_folders, \
    zelpack_build
from launch_support import PROBE
from quiet_support import CAPTION, Scratch, finish_stub, scratch, settings, start_stub, tree, wait_for  # noqa: F401

USER_TEMP = PREFIX / "drive_c" / "users" / getpass.getuser() / "Temp"
ROOT = PREFIX / "drive_c" / "zelreliab"
# Only a hang fails these bounds; the times themselves are printed and measured.
HANG = 60


def digest(data):
    return hashlib.sha256(data).hexdigest()


def write_zeros(path, size, tag):
    """A file of size bytes, made fast: a tag, then a sparse run of zeros."""
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(path, "wb") as f:
        f.write(tag)
        f.truncate(size)


def pack_folder(folder, settings_text, out):
    (folder / "Properties_Tavo.ini").write_text(settings_text, encoding="utf-8")
    return zelpack_build(folder, out)


def place(exe):
    """A copy of the package in a fresh folder on C:; returns its Linux path."""
    folder = ROOT / "exe" / uuid.uuid4().hex[:10]
    folder.mkdir(parents=True)
    shutil.copy2(exe, folder / exe.name)
    return folder / exe.name


def target_folder():
    """A folder on C: that the run itself creates (and must remove on a cancel)."""
    return ROOT / "target" / uuid.uuid4().hex[:10] / "made by run"


@pytest.fixture(scope="module")
def packages(tmp_path_factory):
    """The large packages, packed once for the module: {name: (exe, settings extraction path)}."""
    made = {}
    base = tmp_path_factory.mktemp("reliab")
    # About 200 MiB in 200 files, so a close request lands in the middle.
    many = base / "many"
    for i in range(200):
        write_zeros(many / "content" / f"d{i // 50}" / f"f{i:03}.bin", 1 << 20, b"file %d\n" % i)
    made["many"] = many
    # One file of 1 GiB.
    huge = base / "huge"
    write_zeros(huge / "content" / "huge.bin", 1 << 30, b"one large file\n")
    made["huge"] = huge
    yield made
    shutil.rmtree(ROOT, ignore_errors=True)


def build(folder, target, out, **options):
    return place(pack_folder(folder, settings(Scratch.win(target), **options), out))


def run_and_close(wine, exe, target, when):
    """Starts a silent run, posts WM_CLOSE to its hidden dialog once when() is true,
    and returns (result, seconds from the close request to the end of the run)."""
    trigger = ROOT / "triggers" / uuid.uuid4().hex
    trigger.parent.mkdir(parents=True, exist_ok=True)
    closer = wine.start(HELPERS / "wintool.exe", "close-hidden", "Dialog", HANG, Scratch.win(trigger))
    stub = start_stub(wine, exe, "-silent")
    try:
        assert wait_for(when, HANG), "the extraction did not get going"
        trigger.touch()
        assert closer.wait(timeout=HANG) == 0, "no hidden dialog"
        closed = time.monotonic()
        code = windows_exit_code(stub.wait(timeout=HANG))
        elapsed = time.monotonic() - closed
    finally:
        if stub.poll() is None:
            stub.kill()
        if closer.poll() is None:
            closer.kill()
    return collect_result(code), elapsed


def test_a_close_request_to_a_silent_run_cancels_it(wine, packages, tmp_path):
    target = target_folder()
    exe = build(packages["many"], target, tmp_path / "many" / "Setup.exe")
    result, elapsed = run_and_close(wine, exe, target, lambda: len(list(target.rglob("*.bin"))) >= 10)
    print(f"close request to exit: {elapsed:.2f} s")
    assert result.exit_code == 6
    assert result.has_line("Close request in a silent run: extraction cancelled", source="OnClose")
    assert not target.exists(), sorted(str(p) for p in target.rglob("*"))[:5]
    assert not target.parent.exists(), "the folder the run created for the target is left"
    assert working_folders(wine) == []


def test_a_cancel_inside_one_large_file_stops_the_decoder(wine, packages, tmp_path):
    target = target_folder()
    exe = build(packages["huge"], target, tmp_path / "huge" / "Setup.exe")
    big = target / "huge.bin"
    result, elapsed = run_and_close(wine, exe, target, lambda: big.exists() and big.stat().st_size > (64 << 20))
    print(f"close request inside a 1 GiB file to exit: {elapsed:.2f} s")
    assert result.exit_code == 6
    # A cancel, not a failed write.
    assert result.has_line("User aborted extraction", source="ExtractPackage")
    assert not result.has_line("Failure writing to target file : " + Scratch.win(big))
    assert not target.parent.exists()
    assert working_folders(wine) == []


@pytest.fixture
def slow_unattended(tmp_path):
    """An unattended package whose extraction takes a few seconds: 16 files of 4 MiB random data."""
    target = target_folder()
    folder = tmp_path / "slow"
    content = {f"part{i:02}.bin": os.urandom(4 << 20) for i in range(16)}
    for name, data in content.items():
        (folder / "content").mkdir(parents=True, exist_ok=True)
        (folder / "content" / name).write_bytes(data)
    return build(folder, target, tmp_path / "out" / "Setup.exe"), target, content


def test_pause_and_resume_leave_the_exact_tree(wine, slow_unattended):
    exe, target, content = slow_unattended
    trigger = ROOT / "triggers" / uuid.uuid4().hex
    trigger.parent.mkdir(parents=True, exist_ok=True)
    closer = wine.start(HELPERS / "wintool.exe", "close-window", CAPTION, HANG, Scratch.win(trigger))
    answer = wine.start(HELPERS / "wintool.exe", "press-button", CAPTION, "No", HANG)
    stub = start_stub(wine, exe, "-unattended")
    try:
        assert wait_for(lambda: target.is_dir() and any(target.iterdir()), HANG), "nothing was extracted"
        trigger.touch()
        assert closer.wait(timeout=HANG) == 0, "no dialog"
        assert answer.wait(timeout=HANG) == 0, "no cancel question"
    finally:
        result = finish_stub(stub)
        for helper in (closer, answer):
            if helper.poll() is None:
                helper.kill()
    assert result.exit_code == 0
    assert result.has_line("Extraction paused", source="OnClose")
    assert {k: digest(v) for k, v in tree(target).items()} == {k: digest(v) for k, v in content.items()}
    assert working_folders(wine) == []


@pytest.fixture
def setup_package(tmp_path):
    """A silent package whose setup (setup_probe) runs for a while after the extraction;
    "Bar.bmp" is its banner image. Returns (exe, target)."""

    def make(sleep_ms=4000, files=200):
        target = target_folder()
        folder = tmp_path / uuid.uuid4().hex[:8]
        (folder / "content").mkdir(parents=True)
        shutil.copy(PROBE, folder / "content" / "probe.exe")
        for i in range(files):
            (folder / "content" / "many" / f"{i:04}.txt").parent.mkdir(exist_ok=True)
            (folder / "content" / "many" / f"{i:04}.txt").write_bytes(b"%d\r\n" % i)
        (folder / "Bar.bmp").write_bytes(b"BM" + bytes(64))
        text = settings(Scratch.win(target)).replace(
            "[Runtime]\n", "[Runtime]\nAutoLaunch=probe.exe\nWaitForAutolaunchFinish=1\n", 1)
        text += ("[OS]\nOSAllowed=Windows51+\n[Images]\nTopImage=Bar.bmp\nBottomImage=Bar.bmp\n"
                 f"[1033]\nLaunchEXEParams=--sleep={sleep_ms}\n")
        return build_text(folder, text, tmp_path / uuid.uuid4().hex[:8] / "Setup.exe"), target

    return make


def build_text(folder, text, out):
    return place(pack_folder(folder, text, out))


def test_a_second_instance_keeps_the_first_runs_master_log_lines(wine, setup_package):
    exe, target = setup_package()
    first = start_stub(wine, exe, "-silent")
    try:
        assert wait_for(lambda: (target / "launch_order.txt").exists(), HANG), "the setup did not start"
        code, _ = wine.run(exe, "-silent")
    finally:
        result = finish_stub(first)
    assert windows_exit_code(code) == 1
    assert result.exit_code == 0
    master = parse_log(result.master_log)
    messages = [(l.source, l.message) for l in master]
    assert ("InitInstance", "Another instance is already running.") in messages
    # The first run's own lines are still there, before the second run's.
    first_lines = [m for m in messages if m[0] == "CreateExtractionLogFile"]
    assert first_lines, result.master_log[:2000]
    assert messages.index(first_lines[0]) < messages.index(("InitInstance", "Another instance is already running."))
    assert len(re.findall(r"--------- START\d{14} ", result.master_log)) == 2


def test_the_users_file_named_like_the_banner_image_is_left_alone(wine, setup_package):
    exe, target = setup_package(sleep_ms=0, files=1)
    USER_TEMP.mkdir(parents=True, exist_ok=True)
    mine = USER_TEMP / "Bar.bmp"
    mine.write_bytes(b"the user's own picture")
    try:
        code, _ = wine.run(exe, "-silent")
        assert code == 0
        assert mine.read_bytes() == b"the user's own picture"
    finally:
        mine.unlink(missing_ok=True)
    assert working_folders(wine) == []


def test_a_package_name_that_is_no_file_name_logs_under_the_default_name(wine, tmp_path, run_stub):
    target = target_folder()
    folder = tmp_path / "named"
    (folder / "content").mkdir(parents=True)
    (folder / "content" / "a.txt").write_bytes(b"a\r\n")
    exe = place(pack_folder(folder, settings(Scratch.win(target), name="Tools: v2/beta", log=""),
                            tmp_path / "named-out" / "Setup.exe"))
    result = run_stub("-silent", exe=exe)
    assert result.exit_code == 0
    assert "Package.log" in result.logs, sorted(result.logs)
    assert result.has_line("The extraction log name is not a valid file name, Package.log is used : "
                           "Tools: v2/beta.log", source="CreateExtractionLogFile", level="WARNING")
    assert "Creating Extraction Log File" in result.master_log
    assert (target / "a.txt").read_bytes() == b"a\r\n"


def test_the_unattended_bar_ends_at_its_full_range(wine, setup_package):
    exe, target = setup_package(sleep_ms=3000, files=400)
    reader = wine.start(HELPERS / "wintool.exe", "read-progress", CAPTION, HANG)
    code, _ = wine.run(exe, "-unattended")
    out, _ = reader.communicate(timeout=HANG)
    states = [tuple(map(int, l.split())) for l in out.decode().split("\n") if l.strip()]
    assert code == 0
    assert states, "the bar was never read"
    # 401 files and the start position 1: the range, and the position at its end.
    assert {upper for _, upper in states[-3:]} == {402}, states[-5:]
    assert max(position for position, _ in states) == 402, states[-5:]


def test_a_log_viewer_costs_no_line(wine, setup_package):
    exe, target = setup_package(sleep_ms=3000, files=1)
    first = start_stub(wine, exe, "-silent")
    try:
        assert wait_for(lambda: (target / "launch_order.txt").exists(), HANG), "the setup did not start"
        viewer = wine.start(HELPERS / "wintool.exe", "view-file", Scratch.win(LOG_FOLDER / "ZelQuiet.log"), 6)
        assert viewer.stdout.readline().strip() in (b"held", b"refused")
    finally:
        result = finish_stub(first)
        viewer.wait(timeout=HANG)
    assert result.exit_code == 0
    log = result.log("ZelQuiet.log")
    # What the run wrote while the viewer had the file, and after.
    assert "|Return code of - " in log
    assert "######## --------- START SUMMARY" in log
    assert log.rstrip("\r\n").endswith("############################## --------- End --------- "
                                       "##############################")
