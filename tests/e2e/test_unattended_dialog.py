"""The unattended progress dialog driven as a user would: its close box, Alt+F4,
Enter and Escape, and the cancel question, through the GUI robot."""
import os
import shutil
import subprocess
import time

import pytest

from conftest import working_folders
from quiet_support import CAPTION, build_package, finish_stub, linux_path, settings, start_stub, tree, wait_for
from robot import RobotError

BAR = 1045
WM_ZEL_PROGRESS = 1066
QUESTION = "Do you really want to cancel?"
TARGET = r"C:\zelunattended\target"
# Many files of random data: the extraction takes some seconds and moves in
# small steps, so there is time to act in the middle of it.
FILES = {f"part{i:02}.bin": os.urandom(3 << 20) for i in range(64)}


@pytest.fixture(scope="module")
def package(tmp_path_factory):
    # Built on C: once: the runs start it from there.
    out = linux_path(TARGET).parent / "package"
    shutil.rmtree(out, ignore_errors=True)
    yield build_package(tmp_path_factory.mktemp("unattended") / "pkg", out / "Setup.exe", settings(TARGET), FILES)
    shutil.rmtree(out, ignore_errors=True)


@pytest.fixture
def target():
    path = linux_path(TARGET)
    shutil.rmtree(path, ignore_errors=True)
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def dialog(wine, robot, package, target):
    """A running unattended extraction with its dialog found, a few files out."""
    stub = start_stub(wine, package, "-unattended")
    try:
        robot.wait_window(CAPTION, timeout=60)
        assert wait_for(lambda: target.is_dir() and len(list(target.iterdir())) >= 2, 60), "nothing was extracted"
        yield stub
    finally:
        # The test collects the run. One that is still busy gets time to
        # clean up; one left waiting on a question is ended.
        try:
            stub.wait(timeout=20)
        except subprocess.TimeoutExpired:
            stub.kill()
            stub.wait()


def snapshot(robot, target):
    files = sorted((p.name, p.stat().st_size) for p in target.iterdir()) if target.is_dir() else []
    return robot.progress(BAR)["pos"], files


def holds_still(robot, target, seconds=1.5, within=15):
    """True once neither the bar nor the extracted files change for `seconds`."""
    end = time.monotonic() + within
    last, since = snapshot(robot, target), time.monotonic()
    while time.monotonic() < end:
        time.sleep(0.1)
        now = snapshot(robot, target)
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= seconds:
            return True
    return False


def ask_to_close(robot, how):
    if how == "close box":
        robot.close_box()
    else:
        robot.key("ALT+F4", robot.window)
    box = robot.wait_box(CAPTION)
    assert box.text == QUESTION
    assert [b["text"].replace("&", "") for b in box.buttons] == ["Yes", "No"]
    return box


def extracted_once(result):
    """How often the log says each content file was extracted."""
    counts = {}
    for name in FILES:
        line = "Extracting file : " + TARGET + "\\" + name
        counts[name] = sum(1 for l in result.lines if l.message == line)
    return counts


def test_close_then_no_pauses_and_then_completes_the_extraction(wine, robot, dialog, target):
    robot.screenshot("progress")
    ask_to_close(robot, "close box")
    robot.screenshot("cancel-question")
    assert holds_still(robot, target), "the extraction went on while the question was open"
    paused_at = snapshot(robot, target)
    assert len(paused_at[1]) < len(FILES), "the extraction had ended before the question"

    assert robot.answer_box(CAPTION, "No") == QUESTION
    result = finish_stub(dialog)

    assert result.exit_code == 0
    assert result.has_line("Extraction paused", source="OnClose")
    assert tree(target) == FILES
    # Resumed, not started again: every file was written once.
    assert set(extracted_once(result).values()) == {1}
    assert working_folders(wine) == []


def test_alt_f4_then_yes_cancels_and_removes_what_was_extracted(wine, robot, dialog, target):
    ask_to_close(robot, "Alt+F4")
    robot.screenshot("cancel-question")
    robot.answer_box(CAPTION, "Yes")
    result = finish_stub(dialog)

    assert result.exit_code == 6
    assert not target.exists() or list(target.iterdir()) == []
    assert working_folders(wine) == []


def test_enter_and_escape_do_nothing(wine, robot, dialog, target):
    window = robot.window
    for key in ("ENTER", "ESCAPE", "ENTER", "ESCAPE"):
        robot.key(key, window)
    assert robot.focus()["foreground"] == window, "the keys did not go to the dialog"
    with pytest.raises(RobotError):
        robot.wait_box(CAPTION, timeout=1)
    assert robot.window_info()["visible"]
    # The same way of sending keys does reach the dialog: Alt+F4 asks.
    ask_to_close(robot, "Alt+F4")
    robot.answer_box(CAPTION, "No")
    result = finish_stub(dialog)

    assert result.exit_code == 0
    assert tree(target) == FILES


def test_progress_action_2_sets_the_bar_to_2_and_keeps_the_counter(wine, robot, dialog, target):
    ask_to_close(robot, "close box")
    # The worker waits while the question is open, so only these messages move the bar.
    assert holds_still(robot, target)
    counter = robot.progress(BAR)["pos"]
    assert counter >= 3  # two files out at least: tells it from the 2 of action 2

    assert robot.send(WM_ZEL_PROGRESS, 2, 100) == 1
    assert robot.progress(BAR)["pos"] == 2
    assert robot.send(WM_ZEL_PROGRESS, 1, 0) == 1
    assert robot.progress(BAR)["pos"] == counter + 1

    robot.answer_box(CAPTION, "No")
    result = finish_stub(dialog)
    assert result.exit_code == 0
    assert tree(target) == FILES
