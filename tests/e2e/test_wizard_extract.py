"""The wizard's extraction, driven through the GUI robot: the location page
(typed and browsed folders, refused folders, a drive without room), the file
overwrite question and its answers, a cancel while a large package extracts,
a part file missing, and the finish page's offer to open the folder."""
import os
import shutil
import subprocess
import time

import pytest

from conftest import PREFIX, ZELPACK, working_folders
from hostile_support import KIND_PACKAGE, CabFile, Package, Record, cabinet, read_package
from launch_support import PROBE
from quiet_support import CAPTION, build_package, finish_stub, linux_path, settings, start_stub, tree

TARGET = r"C:\zelextract\target"
OUT = linux_path(r"C:\zelextract\package")

NEXT, BACK, CANCEL, FINISH = 12324, 12323, 2, 12325
PATH_EDIT, OVERWRITE_BOX, EXTRACT_ONLY, LAUNCH_NOTE, BROWSE = 1000, 1023, 1043, 1044, 1001
FINISH_TEXT, OPEN_LOCATION = 1033, 1014
PROGRESS_BAR = 1002
OVERWRITE_FILE = 1030
YES, YES_TO_ALL, NO, NO_TO_ALL, ANSWER_CANCEL = 1024, 1027, 1028, 1029, 2
QUESTION = "Do you really want to cancel?"
CANCELLED = f"The extraction of {CAPTION} has been cancelled."
SUCCESS = f"Extraction successful for {CAPTION}."

LONG_NAME = "b_" + "a_rather_long_file_name_that_cannot_fit_into_the_question_" * 2 + "tail_end.txt"
FILES = {
    "a_first.txt": b"first\r\n",
    LONG_NAME: b"new long\r\n",
    "c_middle.txt": b"middle\r\n",
    "d_second.txt": b"new second\r\n",
    "sub/e_last.bin": bytes(range(256)) * 16,
}
EXISTING = {LONG_NAME: b"old long\r\n", "d_second.txt": b"old second\r\n"}


def location_settings(target=TARGET, runtime="", dialogs="[Dialogs]\nWelcomeDialog=0\n"):
    """A package whose wizard starts on the location page."""
    text = settings(target, dialogs)
    return text.replace("[Runtime]\n", "[Runtime]\nAllowChangeTarget=1\n" + runtime, 1)


def end_stub(wine, stub):
    """Ends a run a failed test left on the screen, with its working folder."""
    if stub.poll() is None:
        stub.kill()
        stub.wait()
        for folder in working_folders(wine):
            shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture
def target():
    path = linux_path(TARGET)
    shutil.rmtree(path.parent, ignore_errors=True)
    yield path
    subprocess.run(["chattr", "-R", "-i", str(path.parent)], capture_output=True)
    shutil.rmtree(path.parent, ignore_errors=True)


@pytest.fixture
def wizard(wine, robot, tmp_path, target, request):
    """wizard(settings_text, files, *zelpack options, prepare=f) -> the stub's
    process, its wizard on the screen; prepare(package folder) runs before the
    start. Ended at teardown if a test left it running."""
    started = []

    def start(text, files=FILES, *options, prepare=None):
        shutil.rmtree(OUT, ignore_errors=True)
        exe = build_package(tmp_path / f"pkg{len(started)}", OUT / "Setup.exe", text, files, *options)
        if prepare is not None:
            prepare(OUT)
        stub = start_stub(wine, exe)
        started.append(stub)
        robot.wait_window(CAPTION, timeout=60)
        return stub

    yield start
    report = getattr(request.node, "report_call", None)
    if report is not None and report.failed and any(stub.poll() is None for stub in started):
        robot.screenshot("failed-before-the-end")  # the robot's own comes after the stub is gone
    for stub in started:
        end_stub(wine, stub)
    shutil.rmtree(OUT, ignore_errors=True)


def other_window(robot, sheet, caption=CAPTION):
    """The visible top-level window with that caption that is not the sheet
    (the overwrite question, the folder picker)."""
    def find():
        return [w for w in robot.windows() if w["hwnd"] != sheet and w.get("visible")
                and w.get("caption", w.get("text")) == caption]
    robot.wait_until(lambda: find(), what=f"a window {caption!r} beside the wizard")
    return find()[0]["hwnd"]


def answer_overwrite(robot, sheet, button, screenshot=None):
    """Waits for the overwrite question, presses one of its buttons; returns
    the file name it showed."""
    dialog = other_window(robot, sheet)
    robot.use(dialog)
    robot.wait_control(button)
    shown = robot.text(OVERWRITE_FILE)
    if screenshot:
        robot.screenshot(screenshot)
    robot.click(button)
    robot.wait_gone()
    robot.use(sheet)
    return shown


def size_of(folder):
    return sum(p.stat().st_size for p in folder.rglob("*") if p.is_file()) if folder.exists() else 0


# ---- the overwrite question ----

def prepare_existing(target):
    for name, data in EXISTING.items():
        (target / name).parent.mkdir(parents=True, exist_ok=True)
        (target / name).write_bytes(data)


def expected_tree(kept):
    """The target after a run: the package's files, with the existing ones kept
    where kept says so."""
    out = {name: data for name, data in FILES.items()}
    for name in kept:
        out[name] = EXISTING[name]
    return out


@pytest.mark.parametrize("answers,kept", [
    ([NO, NO], [LONG_NAME, "d_second.txt"]),
    ([NO, YES], [LONG_NAME]),
    ([YES_TO_ALL], []),
    ([NO_TO_ALL], [LONG_NAME, "d_second.txt"]),
], ids=["no-no", "no-yes", "yes-to-all", "no-to-all"])
def test_overwrite_question_answers(robot, wizard, target, answers, kept):
    prepare_existing(target)
    stub = wizard(location_settings())
    sheet = robot.window
    robot.wait_control(PATH_EDIT)
    robot.click(NEXT)
    shown = answer_overwrite(robot, sheet, answers[0], screenshot="overwrite-question-long-name")
    # The long name keeps its end behind a leading ellipsis.
    assert shown.startswith("...") and len(shown) < len(LONG_NAME)
    assert LONG_NAME.endswith(shown[3:]) and shown.endswith("tail_end.txt")
    if len(answers) > 1:
        assert answer_overwrite(robot, sheet, answers[1], screenshot="overwrite-question-second") == "d_second.txt"
    # An answer for all is not asked again: the finish page comes next.
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, SUCCESS)
    robot.screenshot("finish")
    robot.click(FINISH)
    robot.wait_gone()
    assert finish_stub(stub).exit_code == 0
    assert tree(target) == expected_tree(kept)


def test_overwrite_cancel_ends_as_a_cancel_and_removes_what_the_run_wrote(robot, wizard, target):
    prepare_existing(target)
    stub = wizard(location_settings())
    sheet = robot.window
    robot.wait_control(PATH_EDIT)
    robot.click(NEXT)
    answer_overwrite(robot, sheet, ANSWER_CANCEL)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, CANCELLED)
    robot.screenshot("finish-cancelled")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 6
    assert result.has_line("User Clicked on 'Cancel' button", source="Overwrite dialog")
    # a_first.txt came before the question and goes; what was there stays.
    assert tree(target) == EXISTING


def test_overwrite_box_on_the_location_page_asks_nothing(robot, wizard, target):
    prepare_existing(target)
    stub = wizard(location_settings())
    robot.wait_control(PATH_EDIT)
    robot.click(OVERWRITE_BOX)
    robot.wait_until(lambda: robot.is_checked(OVERWRITE_BOX), what="the overwrite box checked")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, SUCCESS)
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 0
    assert result.has_line("Overwrite check box is checked", source="DirChangePage::OnWizardNext")
    assert tree(target) == expected_tree([])


def test_no_overwrite_answer_lets_a_name_leave_the_target(robot, wizard, target):
    """Yes To All for a file of the target, then an entry that names a file
    beside the target: the entry is refused, the file outside stays."""
    prepare_existing(target)
    (target / "keep.txt").write_bytes(b"old keep\r\n")
    outside = target.parent / "outside.txt"
    outside.write_bytes(b"not the package's\r\n")

    def hostile_cabinet(out):
        package = read_package(ZELPACK, out / "Setup.exe")
        cab = cabinet([CabFile("\\keep.txt", b"new keep\r\n"), CabFile("..\\outside.txt", b"evil\r\n")])
        records = [r for r in package.records if r.kind != KIND_PACKAGE] + [Record("WebCab1", cab, KIND_PACKAGE)]
        Package(package.stub, records).write(out / "Setup.exe")

    stub = wizard(location_settings(), FILES, prepare=hostile_cabinet)
    sheet = robot.window
    robot.wait_control(PATH_EDIT)
    robot.click(NEXT)
    assert answer_overwrite(robot, sheet, YES_TO_ALL) == "keep.txt"
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, "An error occurred. Please check the log file.")
    robot.screenshot("finish-refused-entry")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 7
    assert any(l.message.startswith("File name leaves the extraction folder, extraction stopped : ..\\outside.txt")
               for l in result.lines), [l.message for l in result.lines if l.level == "ERROR"]
    assert outside.read_bytes() == b"not the package's\r\n"
    assert (target / "keep.txt").read_bytes() == b"new keep\r\n"


# ---- the location page ----

def test_typed_folder_is_kept_across_back_and_next_and_created(robot, wizard, target):
    typed = TARGET + r"\typed\deeper"
    stub = wizard(location_settings(dialogs=""))  # the welcome page comes first
    robot.wait_control(NEXT)
    robot.screenshot("welcome")
    robot.click(NEXT)
    robot.wait_control(PATH_EDIT)
    # The package's path, completed by the start-up check.
    assert robot.wait_until(lambda: robot.text(PATH_EDIT).rstrip("\\") == TARGET)
    assert robot.is_visible(BROWSE) and not robot.is_visible(EXTRACT_ONLY) and not robot.is_visible(LAUNCH_NOTE)
    robot.screenshot("location")
    assert robot.type(PATH_EDIT, typed) == typed
    robot.click(BACK)
    robot.wait_until(lambda: not robot.is_visible(BACK), what="the welcome page")
    robot.click(NEXT)
    robot.wait_control(PATH_EDIT)
    assert robot.wait_text(PATH_EDIT, typed)
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, SUCCESS)
    robot.click(FINISH)
    robot.wait_gone()
    assert finish_stub(stub).exit_code == 0
    assert tree(linux_path(typed)) == FILES


def test_environment_reference_in_the_typed_folder_is_expanded(robot, wizard, target):
    stub = wizard(location_settings())
    robot.wait_control(PATH_EDIT)
    robot.type(PATH_EDIT, r"%SystemDrive%\zelextract\target\env")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, SUCCESS)
    robot.click(FINISH)
    robot.wait_gone()
    assert finish_stub(stub).exit_code == 0
    assert tree(target / "env") == FILES


@pytest.fixture
def small_drive(drives):
    """J: as a fixed drive of 2 MiB (a tmpfs), unmounted afterwards."""
    folder = drives.add("j", "hd")
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", str(folder)], check=True)
    yield folder
    subprocess.run(["umount", str(folder)], check=True)


@pytest.fixture
def cd_drive(drives):
    return drives.add("k", "cdrom")


def refused_inputs(target):
    locked = target.parent / "locked"
    locked.mkdir(parents=True)
    subprocess.run(["chattr", "+i", str(locked)], check=True)
    long_path = TARGET + "\\" + "\\".join(["x" * 40] * 6)
    return [
        ("refused-characters", TARGET + r"\a<b", f"Invalid path: {TARGET}\\a<b"),
        ("reserved-name", TARGET + r"\CON", "Invalid path: "),
        ("too-long", long_path, "The path you have specified is too long."),
        ("read-only-folder", r"C:\zelextract\locked\inside", "Please check the permission of the path: "),
        ("cd-rom-drive", r"K:\pkg", "Invalid path: "),
        ("drive-too-small", r"J:\pkg", "There is not sufficient space on drive "),
    ]


def test_refused_folders_keep_the_page_with_their_message(small_drive, cd_drive, robot, wizard, target):
    cases = refused_inputs(target)
    # Bigger than the small drive, whatever the compression.
    files = {"big.bin": os.urandom(3 << 20)}
    stub = wizard(location_settings(), files)
    robot.wait_control(PATH_EDIT)
    before = sorted(p for p in linux_path("C:\\").parent.glob("drive_c/*"))
    for name, path, message in cases:
        robot.type(PATH_EDIT, path)
        robot.click(NEXT)
        box = robot.wait_box(CAPTION)
        robot.screenshot(f"refused-{name}")
        assert box.text.startswith(message), (name, box.text)
        robot.call("box-button", box.hwnd, "OK")
        robot.wait_until(lambda: robot.is_visible(PATH_EDIT) and robot.is_visible(NEXT), what="the location page")
    assert not any(small_drive.iterdir())
    assert not (target / "a<b").exists() and not (target.parent / "locked" / "inside").exists()
    assert not (target / ("x" * 40)).exists()
    assert sorted(p for p in linux_path("C:\\").parent.glob("drive_c/*")) == before
    robot.click(CANCEL)
    assert robot.answer_box(CAPTION, "Yes") == QUESTION
    robot.wait_control(FINISH)
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 6
    assert result.has_line("User canceled the Browse Dialog")


def test_browse_opens_the_translated_picker_and_its_choice_fills_the_edit(robot, wizard, target):
    stub = wizard(location_settings())
    sheet = robot.window
    robot.wait_control(BROWSE)
    robot.click(BROWSE)
    picker = other_window(robot, sheet, "Browse for folder")
    robot.use(picker)
    robot.wait_control(1)
    assert robot.text(1) == "&OK" and robot.text(2) == "&Cancel"
    assert any(c["text"] == "Pick a directory" for c in robot.controls())
    robot.screenshot("folder-picker")
    # The picker starts on the desktop, a folder with a path.
    robot.click(1)
    robot.wait_gone()
    robot.use(sheet)
    robot.wait_until(lambda: robot.text(PATH_EDIT).endswith("Desktop"), what="the choice in the edit")
    chosen = robot.text(PATH_EDIT)
    assert chosen.startswith("C:\\")
    # Tab from the last box reaches Browse, and Enter opens the picker again;
    # cancelling it changes nothing.
    robot.click(OVERWRITE_BOX)
    robot.key("TAB")
    robot.wait_until(lambda: robot.focus()["id"] == BROWSE, what="the focus on Browse")
    robot.screenshot("browse-focused")
    robot.key("ENTER")
    robot.use(other_window(robot, sheet, "Browse for folder"))
    robot.click(2)
    robot.wait_gone()
    robot.use(sheet)
    assert robot.wait_text(PATH_EDIT, chosen, timeout=10)
    robot.click(CANCEL)
    robot.answer_box(CAPTION, "Yes")
    robot.wait_control(FINISH)
    robot.click(FINISH)
    robot.wait_gone()
    assert finish_stub(stub).exit_code == 6


# ---- a cancel while a large package extracts ----

WM_ZEL_EXTRACTION_ENDED = 1224


def test_cancel_pauses_a_large_extraction_and_yes_removes_it(robot, wizard, target):
    # About 200 MiB in files of 8 MiB, behind a few thousand small ones whose
    # per-file cost keeps the extraction going long enough to be asked twice.
    chunk = os.urandom(1 << 20)
    files = {f"a{i:04}.bin": os.urandom(1024) for i in range(3000)}
    files.update({f"big{i:02}.bin": chunk * 8 for i in range(25)})
    stub = wizard(location_settings(), files)
    # A folder of its own below one the run creates as well.
    robot.wait_control(PATH_EDIT)
    robot.type(PATH_EDIT, TARGET + r"\typed\deeper")
    robot.click(NEXT)
    robot.wait_until(lambda: size_of(target) > 0, timeout=60, what="the extraction to start")
    robot.click(CANCEL)
    robot.wait_box(CAPTION)
    robot.screenshot("cancel-question")
    time.sleep(1.0)  # the worker reaches its next safe point
    held = size_of(target)
    time.sleep(2.0)
    assert size_of(target) == held, "the tree grew while the question was open"
    assert robot.answer_box(CAPTION, "No") == QUESTION
    robot.wait_until(lambda: size_of(target) > held, timeout=30, what="the extraction to go on")
    robot.screenshot("extracting")
    robot.click(CANCEL)
    robot.wait_box(CAPTION)
    # The worker's end can arrive while the question is open (the question's
    # own message loop delivers it): it waits for the answer.
    page = robot.control(PROGRESS_BAR)["parent"]
    robot.post(WM_ZEL_EXTRACTION_ENDED, window=page)
    time.sleep(1.0)
    assert robot.is_visible(PROGRESS_BAR) and not robot.is_visible(FINISH)
    assert robot.answer_box(CAPTION, "Yes") == QUESTION
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, CANCELLED)
    robot.screenshot("finish-cancelled")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 6
    assert result.has_line("User canceled the extraction process")
    # Every folder the run created goes too.
    assert not target.exists()


# ---- a part file missing ----

def test_missing_part_is_named_on_the_finish_page(robot, wizard, target):
    text = settings(TARGET, "[Dialogs]\nWelcomeDialog=0\n",
                    package_extra="MultiPartDownload=1\nMultipartFileName=Parts\n")
    files = {f"f{i}.bin": os.urandom(48 << 10) for i in range(4)}
    missing = "C:\\" + str(OUT.relative_to(PREFIX / "drive_c")).replace("/", "\\") + "\\Parts.002"
    stub = wizard(text, files, "--part-size", "64K", prepare=lambda out: (out / "Parts.002").unlink())
    box = robot.wait_box(CAPTION, timeout=60)
    assert box.text == f"Part file {missing} not found."
    robot.call("box-button", box.hwnd, "OK")
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Part file {missing} not found. Please check the log file.")
    assert not robot.is_visible(OPEN_LOCATION)
    robot.screenshot("finish-part-missing")
    robot.click(FINISH)
    robot.wait_gone()
    assert finish_stub(stub).exit_code == 7
    assert not target.exists() or not any(target.rglob("*"))


# ---- the finish page opens the extraction folder ----

def reg_if_present(wine, *args):
    try:
        wine.reg(*args)
        return True
    except subprocess.CalledProcessError:
        return False


@pytest.fixture
def file_manager(wine):
    """A stand-in for the platform's file manager: folders opened through the
    shell start a copy of the setup probe, which records its command line.
    The prefix's own folder classes are put back afterwards."""
    folder = linux_path(r"C:\zelextract_fm")
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy(PROBE, folder / "filemanager.exe")
    saved = {}
    for kind in ("Folder", "Directory"):
        path = f"C:\\zelextract_fm\\{kind}.reg"
        if reg_if_present(wine, "export", rf"HKCR\{kind}", path, "/y"):
            saved[kind] = path
        # A DDE conversation would reach the real file manager first.
        reg_if_present(wine, "delete", rf"HKCR\{kind}\shell", "/f")
        wine.reg("add", rf"HKCR\{kind}\shell\open\command", "/ve", "/d",
                 r'"C:\zelextract_fm\filemanager.exe" "%1"', "/f")
    yield folder / "filemanager.exe.record"
    for kind in ("Folder", "Directory"):
        reg_if_present(wine, "delete", rf"HKCR\{kind}", "/f")
        if kind in saved:
            wine.reg("import", saved[kind])
    shutil.rmtree(folder, ignore_errors=True)


OS_SUPPORTED = "[OS]\nOSAllowed=Windows51+\n"


def finish_with_folder_offer(robot, wizard, runtime):
    """A package that would start probe.exe, extracted only: returns the stub
    on the finish page with the open box checked."""
    files = {**FILES, "probe.exe": PROBE.read_bytes()}
    stub = wizard(location_settings(runtime="AutoLaunch=probe.exe\nOpenExtractionLocation=1\n" + runtime)
                  + OS_SUPPORTED, files)
    robot.wait_control(PATH_EDIT)
    assert robot.is_visible(EXTRACT_ONLY) and robot.is_visible(LAUNCH_NOTE)
    robot.click(EXTRACT_ONLY)
    robot.wait_until(lambda: robot.is_checked(EXTRACT_ONLY), what="extract-only checked")
    robot.screenshot("location-extract-only")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, SUCCESS)
    robot.wait_control(OPEN_LOCATION)
    assert robot.text(OPEN_LOCATION) == "&Open the extraction location" and not robot.is_checked(OPEN_LOCATION)
    robot.click(OPEN_LOCATION)
    robot.wait_until(lambda: robot.is_checked(OPEN_LOCATION), what="the open box checked")
    robot.screenshot("finish-open-location")
    return stub


def test_extract_only_offers_the_folder_and_finish_opens_it(file_manager, robot, wizard, target):
    # The installation page is skipped too when the user chose extract-only.
    stub = finish_with_folder_offer(robot, wizard, "AutoLaunchInstallationDialog=1\n")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 0
    assert result.has_line("Extract the package and donot install option is checked.Enabling the controls for "
                           "extract path change")
    robot.wait_until(lambda: file_manager.exists(), timeout=30, what="the file manager to start")
    recorded = file_manager.read_text("utf-8")
    assert TARGET.lower() in recorded.lower(), recorded
    assert not (target / "probe.exe.record").exists()


def test_extract_only_choice_survives_back_and_next_and_can_be_taken_back(robot, wizard, target):
    files = {**FILES, "probe.exe": PROBE.read_bytes()}
    stub = wizard(location_settings(runtime="AutoLaunch=probe.exe\n", dialogs="") + OS_SUPPORTED, files)
    robot.wait_control(NEXT)
    robot.click(NEXT)
    robot.wait_control(EXTRACT_ONLY)
    robot.click(EXTRACT_ONLY)
    robot.wait_until(lambda: robot.is_checked(EXTRACT_ONLY), what="extract-only checked")
    robot.click(BACK)
    robot.wait_until(lambda: not robot.is_visible(BACK), what="the welcome page")
    robot.click(NEXT)
    # The box stays to be unchecked again, though the launch is off now.
    robot.wait_control(EXTRACT_ONLY)
    assert robot.is_checked(EXTRACT_ONLY) and robot.is_visible(LAUNCH_NOTE)
    robot.click(EXTRACT_ONLY)
    robot.wait_until(lambda: not robot.is_checked(EXTRACT_ONLY), what="extract-only unchecked")
    robot.click(NEXT)
    # The setup is launched again; the finish page follows once it ended.
    robot.wait_control(FINISH, timeout=90)
    assert robot.wait_text(FINISH_TEXT, f"Installation complete : {CAPTION}")
    robot.screenshot("finish-installed")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(stub)
    assert result.exit_code == 0
    assert result.has_line("Extract the package and donot install option is unchecked.Disabling the controls for "
                           "extract path change")
    robot.wait_until(lambda: (target / "probe.exe.record").exists(), timeout=30, what="the setup to start")


@pytest.mark.parametrize("spoil,message", [
    ("locked", "Please check the permission of the path: " + TARGET + "\\"),
    ("missing", "Extraction location cannot be found : " + TARGET + "\\"),
], ids=["locked", "missing"])
def test_finish_reports_a_folder_it_cannot_open(file_manager, robot, wizard, target, spoil, message):
    stub = finish_with_folder_offer(robot, wizard, "")
    if spoil == "locked":
        subprocess.run(["chattr", "+i", str(target)], check=True)
    else:
        target.rename(target.parent / "moved")
    robot.click(FINISH)
    box = robot.wait_box(CAPTION)
    robot.screenshot(f"finish-folder-{spoil}")
    assert box.text == message
    robot.call("box-button", box.hwnd, "OK")
    result = finish_stub(stub)
    assert result.exit_code == 0
    assert not file_manager.exists()
    assert not (target / "probe.exe.record").exists()


def test_setups_waiting_for_finish_start_when_it_is_pressed(robot, wizard, target):
    files = {**FILES, "probe.exe": PROBE.read_bytes()}
    # The wait for Finish needs Autolaunch set beside the Multilaunch setups.
    runtime = ("Multilaunch=1\nAutolaunch=probe.exe\nAutoLaunch1=probe.exe\nWaitForAutolaunchFinish=0\n"
               "OpenExtractionLocation=1\n")
    stub = wizard(location_settings(runtime=runtime) + OS_SUPPORTED, files)
    robot.wait_control(PATH_EDIT)
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, "Installation will start after Finish button is clicked.")
    # The setups run at Finish: there is no folder to offer.
    assert not robot.is_visible(OPEN_LOCATION)
    assert not (target / "probe.exe.record").exists()
    robot.screenshot("finish-setups-at-finish")
    robot.click(FINISH)
    robot.wait_gone()
    finish_stub(stub)
    robot.wait_until(lambda: (target / "probe.exe.record").exists(), timeout=30, what="the setup to start")
