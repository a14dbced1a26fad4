"""The wizard's last stretch, driven through the GUI robot: the installation
progress page running the package's setups (and a cancel while one runs), the
extraction password dialog, and the question about an unsupported system."""
import re
import shutil
import string
import subprocess
import time

import pytest

from conftest import LOG_FOLDER, working_folders
from japanese_support import japanese_env, japanese_locale  # noqa: F401 (fixture)
from launch_support import launch_package  # noqa: F401 (fixture)
from quiet_support import CAPTION as QUIET_CAPTION
from quiet_support import build_package, finish_stub, linux_path, settings, start_stub, tree
from robot import RobotError

LAUNCH_CAPTION = "Zel Launch 1.0"
NEXT, BACK, CANCEL, FINISH = 12324, 12323, 2, 12325
HEADING, STATUS, BAR = 1062, 1063, 1064
FINISH_TEXT, FINISH_MESSAGE = 1033, 1061
IDOK, PASSWORD_EDIT = 1, 1054
INSTALLING = "Installation is in progress ..."
STOPPING = "After current installation is finished, further installations(if any) will be cancelled."
QUESTION = "Do you really want to cancel?"
WRONG_PASSWORD = "Invalid password.\nEnter the correct password."

# The setups run under the installation page; no welcome page, so that the
# extraction starts at once.
INSTALL_PAGE = "WaitForAutolaunchFinish=1\nAutoLaunchInstallationDialog=1\n"
NO_WELCOME = "[Dialogs]\nWelcomeDialog=0\n"
# A probe given this waits until the test lets it end.
UNTIL_RELEASED = "--until={target}\\release.flag"


def shows(text, full):
    """A status text as the page fits it: whole, or cut with a closing "..."."""
    return text == full or (text.endswith("...") and len(text) > 3 and full.startswith(text[:-3].rstrip()))


def release(package):
    (package.folder / "release.flag").write_text("go")


def wait_for_start(package, probe, timeout=60):
    deadline = time.monotonic() + timeout
    while f"start {probe}" not in package.order():
        assert time.monotonic() < deadline, f"{probe} was not started"
        time.sleep(0.1)


def no_box(robot, caption, seconds=2):
    """True when no message box with this caption comes up within seconds."""
    try:
        robot.wait_box(caption, timeout=seconds)
    except RobotError:
        return True
    return False


@pytest.fixture
def running(wine):
    """Starts runs; whatever a failed test left on the screen is ended afterwards."""
    started = []

    def start(exe, *switches, env=None):
        if env is None:
            proc = start_stub(wine, exe, *switches)
        else:
            wine.settle()
            shutil.rmtree(LOG_FOLDER, ignore_errors=True)
            proc = subprocess.Popen(wine.command(exe, *switches), env=dict(wine.env, **env),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started.append(proc)
        return proc

    yield start
    for proc in started:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
            for folder in working_folders(wine):
                shutil.rmtree(folder, ignore_errors=True)


def wait_installation_page(robot):
    robot.wait_window(LAUNCH_CAPTION, timeout=60)
    robot.wait_control(STATUS, timeout=60)
    robot.wait_until(lambda: shows(robot.text(STATUS), INSTALLING), 60, "the installation page")


# ---- the installation progress page ----

@pytest.mark.parametrize("code, finish_text, message, exit_code", [
    (0, "Installation complete : " + LAUNCH_CAPTION, "Installed", 0),
    (3, "Installation not complete : " + LAUNCH_CAPTION + ".", "It failed", 8),
], ids=["success message", "error message"])
def test_one_setup_under_the_installation_page(robot, launch_package, running, code, finish_text, message,
                                               exit_code):
    package = launch_package(
        INSTALL_PAGE + "AutoLaunch=probe.exe\n",
        NO_WELCOME + f"[1033]\nLaunchEXEParams=--exit={code} {UNTIL_RELEASED}\nOk_Msg=Installed\nFail_Msg=It failed\n"
        "[AutoLaunch]\nReturnCode_0=SUCCESS:{Ok_Msg}\nReturnCode_3=Error:{Fail_Msg}\n")
    stub = running(package.exe)
    wait_installation_page(robot)
    wait_for_start(package, "probe.exe")
    assert shows(robot.text(HEADING), "Installing/Launching the extracted software.")
    assert robot.progress(BAR) == {"pos": 1, "low": 0, "high": 100}
    assert robot.is_visible(CANCEL) and robot.is_enabled(CANCEL)
    assert not robot.is_visible(NEXT) and not robot.is_visible(BACK)
    robot.screenshot("installation")

    release(package)
    robot.wait_control(FINISH, timeout=60)
    # The page stays behind the finish page with the bar where the setup left it.
    assert robot.progress(BAR)["pos"] == 100
    assert robot.wait_text(FINISH_TEXT, finish_text)
    assert robot.wait_text(FINISH_MESSAGE, message)
    robot.screenshot("finish")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == exit_code
    assert result.has_line("Started the Launch process", source="LaunchSetupThread")
    assert package.order() == ["start probe.exe", "end probe.exe"]


def test_cancel_while_the_first_of_two_setups_runs(robot, launch_package, running):
    package = launch_package(
        INSTALL_PAGE + "Multilaunch=1\nAutoLaunch1=probe1.exe\nAutoLaunch2=probe2.exe\n",
        NO_WELCOME + f"[1033]\nLaunchEXEParams1={UNTIL_RELEASED}\nLaunchEXEParams2=\n",
        probes=("probe1.exe", "probe2.exe"))
    stub = running(package.exe)
    wait_installation_page(robot)
    wait_for_start(package, "probe1.exe")

    # Declined: the launch goes on as before.
    robot.click(CANCEL)
    assert robot.answer_box(LAUNCH_CAPTION, "No") == QUESTION
    # The page answers the robot again once the box has gone.
    robot.wait_until(lambda: shows(robot.text(STATUS), INSTALLING), what="the installing text after No")
    assert robot.is_enabled(CANCEL)

    robot.click(CANCEL)
    assert robot.answer_box(LAUNCH_CAPTION, "Yes") == QUESTION
    robot.wait_until(lambda: shows(robot.text(STATUS), STOPPING), what="the stopping text")
    assert not robot.is_enabled(CANCEL)
    robot.screenshot("stopping")
    # The Close command is off while the setup runs; Escape still asks, and
    # a second Yes changes nothing.
    robot.key("ALT+F4", window=robot.window)
    assert no_box(robot, LAUNCH_CAPTION)
    robot.key("ESCAPE", window=robot.window)
    assert robot.answer_box(LAUNCH_CAPTION, "Yes") == QUESTION
    robot.wait_until(lambda: shows(robot.text(STATUS), STOPPING), what="the stopping text again")
    assert not robot.is_visible(FINISH)

    release(package)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"The installation of {LAUNCH_CAPTION} has been cancelled.")
    robot.screenshot("cancelled")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 6
    time.sleep(1)
    assert package.order() == ["start probe1.exe", "end probe1.exe"], "the second setup was started"
    assert result.has_line("User canceled the AutoLaunch Installation Dialog")
    assert result.has_line("Disabling the Cancel button", source="OnLaunchSetupFinish")
    assert result.has_line("Launch process is stopped", source="LaunchMultipleApplications")


def test_setup_that_cannot_start_is_reported_on_the_finish_page(robot, launch_package, running):
    package = launch_package(INSTALL_PAGE + "AutoLaunch=broken.exe\n", NO_WELCOME, probes=(),
                             files={"content/broken.exe": b"this is not a program\r\n"})
    stub = running(package.exe)
    robot.wait_window(LAUNCH_CAPTION, timeout=60)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Installation not complete : {LAUNCH_CAPTION}. Please check the log file.")
    robot.screenshot("not-started")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 8
    assert any(l.source == "LaunchMultipleApplications" and l.level == "ERROR" for l in result.lines)


# ---- the password dialog ----

TARGET = r"C:\zelwizard\install-target"
FILES = {"a.txt": b"alpha\r\n", "sub/b.txt": b"beta\r\n"}
# Every printable ASCII character but "=", which zelpack refuses in a
# password (the command-line switch could not carry it).
PRINTABLE = "".join(c for c in string.printable[:95] if c not in "= ")
assert len(PRINTABLE) == 93
# Two passwords of at most 50 characters that hold all of them between them;
# a blank inside, none at the ends (stored values are trimmed).
PASSWORDS = [PRINTABLE[:25] + " " + PRINTABLE[25:49], PRINTABLE[49:70] + " " + PRINTABLE[70:]]


@pytest.fixture
def target():
    path = linux_path(TARGET)
    shutil.rmtree(path, ignore_errors=True)
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def password_package(tmp_path, target):
    out = target.parent / "install-package"
    shutil.rmtree(out, ignore_errors=True)
    made = []

    def make(password):
        made.append(build_package(tmp_path / f"pkg{len(made)}", out / f"{len(made)}" / "Setup.exe", settings(TARGET),
                                  FILES, "--password", password))
        return made[-1]

    yield make
    shutil.rmtree(out, ignore_errors=True)


def open_password_dialog(robot):
    """Next on the welcome page; returns (sheet, dialog) window records."""
    sheet = robot.wait_window(QUIET_CAPTION, timeout=60)
    robot.wait_control(NEXT)
    robot.click(NEXT)

    def dialogs():
        return [w for w in robot.windows() if w["hwnd"] != sheet["hwnd"] and w.get("visible")
                and w.get("caption", w.get("text")) == QUIET_CAPTION]

    robot.wait_until(lambda: dialogs(), what="the password dialog")
    dialog = dialogs()[0]
    robot.use(dialog)
    robot.wait_control(PASSWORD_EDIT)
    return sheet, dialog


def centre(rect):
    left, top, width, height = rect
    return left + width / 2, top + height / 2


@pytest.mark.parametrize("password", PASSWORDS, ids=["printable-1", "printable-2"])
def test_wrong_password_keeps_the_dialog_and_the_right_one_extracts(robot, password_package, running, target,
                                                                    password):
    stub = running(password_package(password))
    sheet, dialog = open_password_dialog(robot)
    assert len(password) <= 50 and len(PASSWORDS[0]) == 50
    sheet_centre, dialog_centre = centre(robot.window_info(sheet)["rect"]), centre(robot.window_info(dialog)["rect"])
    assert abs(sheet_centre[0] - dialog_centre[0]) <= 2 and abs(sheet_centre[1] - dialog_centre[1]) <= 2
    robot.screenshot("password")

    robot.type(PASSWORD_EDIT, password.swapcase())
    robot.click(IDOK)
    assert robot.answer_box(QUIET_CAPTION, "OK").replace("\r\n", "\n") == WRONG_PASSWORD
    # The dialog stays, emptied, so OK waits for a new entry.
    robot.wait_until(lambda: not robot.is_enabled(IDOK), what="OK to be disabled again")
    assert robot.window_info(dialog)["visible"]
    assert not target.exists()

    robot.type(PASSWORD_EDIT, password)
    robot.click(IDOK)
    robot.wait_gone()
    robot.use(sheet)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Extraction successful for {QUIET_CAPTION}.")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 0
    assert tree(target) == {name: data for name, data in FILES.items()}
    assert result.has_line("Password provided by user is invalid", source="OnBnClickedOk", level="ERROR")
    assert result.has_line("Password provided by user is correct", source="OnBnClickedOk")


def test_cancelled_password_dialog_ends_on_the_finish_page(robot, password_package, running, target):
    stub = running(password_package("s3cret"))
    sheet, dialog = open_password_dialog(robot)
    robot.click(CANCEL)
    assert robot.answer_box(QUIET_CAPTION, "No") == QUESTION
    assert robot.window_info(dialog)["visible"]
    robot.click(CANCEL)
    assert robot.answer_box(QUIET_CAPTION, "Yes") == QUESTION
    robot.wait_gone()
    robot.use(sheet)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"The extraction of {QUIET_CAPTION} has been cancelled.")
    robot.screenshot("cancelled")
    robot.click(FINISH)
    robot.wait_gone()
    assert finish_stub(stub).exit_code == 6
    assert not target.exists()


# ---- the unsupported-system question ----

# The prefix reports Windows 7; the package allows Windows XP only.
UNSUPPORTED = dict(os_allowed="Windows51", package_extra="CheckOs=1\n")
OS_QUESTION = re.compile(r"^(Windows\S*( 64 Bit)? .*) is not supported\. Do you want to continue\?$")


def test_no_to_the_system_question_quits_before_extracting(robot, launch_package, running):
    package = launch_package("AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1\n", NO_WELCOME, **UNSUPPORTED)
    stub = running(package.exe)
    text = robot.answer_box(LAUNCH_CAPTION, "No", timeout=60)
    assert OS_QUESTION.match(text), text
    result = finish_stub(stub)
    assert result.exit_code == -1
    assert not package.folder.exists()
    assert result.has_line("User confirmed to cancel the extraction")


def test_yes_to_the_system_question_extracts_without_starting_setups(robot, launch_package, running):
    package = launch_package("AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1\n",
                             NO_WELCOME + "[1033]\nMsgOSError=Not on [OSNAME]\n", **UNSUPPORTED)
    stub = running(package.exe)
    assert OS_QUESTION.match(robot.answer_box(LAUNCH_CAPTION, "Yes", timeout=60))
    # The supported-systems message follows the extraction; the run then ends.
    seen = []
    while stub.poll() is None:
        try:
            box = robot.wait_box(LAUNCH_CAPTION, timeout=5)
        except RobotError:
            continue
        seen.append(box.text)
        robot.call("box-button", box.hwnd, "OK")
    assert seen and all(text.startswith("Not on Windows") for text in seen), seen
    result = finish_stub(stub)
    assert (package.folder / "probe.exe").exists()
    assert package.record("probe.exe") is None
    assert result.exit_code == 8
    assert result.has_line("User confirmed to continue the extraction")


def test_language_file_without_the_question_asks_in_the_built_in_text(robot, launch_package, running, japanese_locale):
    package = launch_package(
        "AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1\n", NO_WELCOME + "[Languages]\nSetupLanguages=1033;1041\n",
        files={"Default1041.ulf": "[FileInfo]\nID=1041\nLangName=Japanese\n[Strings]\n113=Cancel?\n"},
        **UNSUPPORTED)
    stub = running(package.exe, env=japanese_env(japanese_locale))
    assert OS_QUESTION.match(robot.answer_box(LAUNCH_CAPTION, "No", timeout=60))
    result = finish_stub(stub)
    assert result.exit_code == -1
    assert [l.message for l in result.lines if l.source == "UI Language"][-1].endswith("(1041)")
