"""The wizard of a run without switches, driven through the GUI robot: the way
from the welcome page to the finish page, a cancel on the welcome page, Escape
on the finish page, and the looks of the sheet kept as screenshots."""
import os
import shutil
import struct

import pytest

from conftest import working_folders
from quiet_support import CAPTION, build_package, finish_stub, linux_path, settings, start_stub, tree

TARGET = r"C:\zelwizard\target"
FILES = {"a.txt": b"alpha\r\n", "sub/b.txt": b"beta\r\n", "sub/deeper/c.bin": bytes(range(256)) * 64}

NEXT, CANCEL, FINISH = 12324, 2, 12325
WELCOME_TEXT, FINISH_TEXT, TITLE = 1047, 1033, 1000
QUESTION = "Do you really want to cancel?"
WM_CLOSE = 0x0010
IDOK, PASSWORD_EDIT = 1, 1054


def bmp(width, height, pixel):
    """A 24-bit BMP whose pixel(x, y) gives (r, g, b)."""
    row = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def wizard_package(folder, out, setup_type=None, blue_bottom=False):
    extra = f"Setuptype={setup_type}\n" if setup_type is not None else ""
    images = ""
    if blue_bottom:
        images = "[Images]\nTopImage=top.bmp\nBottomImage=bottom.bmp\n"
        # Images sit beside the settings file and are packed with it.
        folder.mkdir(parents=True)
        (folder / "top.bmp").write_bytes(bmp(400, 60, lambda x, y: (30 + x // 4, 70 + x // 5, 140 + x // 5)))
        (folder / "bottom.bmp").write_bytes(bmp(400, 60, lambda x, y: (0, 0, 255)))
    return build_package(folder, out, settings(TARGET, images, package_extra=extra), FILES)


def end_stub(wine, stub):
    """Ends a run a failed test left on the screen, and the working folder it
    could not remove, so that the next tests of the prefix start clean."""
    if stub.poll() is None:
        stub.kill()
        stub.wait()
        for folder in working_folders(wine):
            shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture
def target():
    path = linux_path(TARGET)
    shutil.rmtree(path, ignore_errors=True)
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def package(tmp_path, target):
    out = linux_path(TARGET).parent / "package"
    shutil.rmtree(out, ignore_errors=True)
    yield wizard_package(tmp_path / "pkg", out / "Setup.exe")
    shutil.rmtree(out, ignore_errors=True)


@pytest.fixture
def wizard(wine, robot, package):
    """A run without switches with its wizard on the screen."""
    stub = start_stub(wine, package)
    try:
        robot.wait_window(CAPTION, timeout=60)
        robot.wait_control(NEXT)
        yield stub
    finally:
        end_stub(wine, stub)


def test_next_extracts_and_finish_ends_with_success(robot, wizard, target):
    assert robot.wait_text(WELCOME_TEXT, f"Welcome to the Setup of {CAPTION}.")
    robot.screenshot("welcome")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Extraction successful for {CAPTION}.")
    assert not robot.is_visible(NEXT) and not robot.is_visible(CANCEL)
    robot.screenshot("finish")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(wizard)
    assert result.exit_code == 0
    assert tree(target) == {name.replace("\\", "/"): data for name, data in FILES.items()}


def test_cancel_on_the_welcome_page_ends_with_6_and_extracts_nothing(robot, wizard, target):
    robot.click(CANCEL)
    assert robot.answer_box(CAPTION, "Yes") == QUESTION
    robot.wait_control(FINISH)
    assert robot.wait_text(FINISH_TEXT, f"The extraction of {CAPTION} has been cancelled.")
    robot.screenshot("cancelled")
    robot.click(FINISH)
    robot.wait_gone()
    result = finish_stub(wizard)
    assert result.exit_code == 6
    assert result.has_line("User canceled the Welcome Dialog")
    assert not target.exists()


def test_declined_cancel_keeps_the_wizard_going(robot, wizard, target):
    robot.click(CANCEL)
    assert robot.answer_box(CAPTION, "No") == QUESTION
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Extraction successful for {CAPTION}.")
    robot.key("ESCAPE", window=robot.window)
    robot.wait_gone()
    assert finish_stub(wizard).exit_code == 0
    assert (target / "a.txt").exists()


def test_escape_on_the_finish_page_closes_the_wizard(robot, wizard):
    robot.key("ESCAPE", window=robot.window)
    assert robot.answer_box(CAPTION, "Yes") == QUESTION
    robot.wait_control(FINISH)
    robot.key("ESCAPE", window=robot.window)
    robot.wait_gone()
    assert finish_stub(wizard).exit_code == 6


@pytest.mark.parametrize("setup_type,blue", [("Classic", False), ("PLUS", False), (None, True)],
                         ids=["classic", "plus", "blue-bottom-banner"])
def test_sheet_looks(wine, robot, tmp_path, target, setup_type, blue):
    out = linux_path(TARGET).parent / "package"
    shutil.rmtree(out, ignore_errors=True)
    exe = wizard_package(tmp_path / "pkg", out / "Setup.exe", setup_type, blue)
    stub = start_stub(wine, exe)
    try:
        robot.wait_window(CAPTION, timeout=60)
        robot.wait_control(NEXT)
        robot.screenshot(f"sheet-{setup_type or 'default'}{'-blue' if blue else ''}")
        titles = [c for c in robot.controls() if c["id"] == TITLE and c.get("class", "").lower() == "static"]
        if setup_type == "PLUS":
            assert not titles
        else:
            assert titles and titles[0]["text"] == CAPTION
        robot.click(CANCEL)
        robot.answer_box(CAPTION, "Yes")
        robot.wait_control(FINISH)
        robot.click(FINISH)
        robot.wait_gone()
        assert finish_stub(stub).exit_code == 6
    finally:
        end_stub(wine, stub)
        shutil.rmtree(out, ignore_errors=True)


def test_cancel_during_extraction_removes_what_was_extracted(wine, robot, tmp_path, target):
    out = linux_path(TARGET).parent / "package"
    shutil.rmtree(out, ignore_errors=True)
    # Without the welcome page the extraction starts at once; enough files to
    # still be running when the question comes (the per-file cost, not the
    # bytes, keeps an extraction going for seconds).
    files = {f"f{i:04}.bin": os.urandom(1024) for i in range(4000)}
    exe = build_package(tmp_path / "pkg", out / "Setup.exe", settings(TARGET, "[Dialogs]\nWelcomeDialog=0\n"), files)
    stub = start_stub(wine, exe)
    try:
        robot.wait_window(CAPTION, timeout=60)
        robot.wait_control(CANCEL)
        robot.click(CANCEL)
        assert robot.answer_box(CAPTION, "Yes") == QUESTION
        robot.wait_control(FINISH, timeout=60)
        assert robot.wait_text(FINISH_TEXT, f"The extraction of {CAPTION} has been cancelled.")
        robot.click(FINISH)
        robot.wait_gone()
        result = finish_stub(stub)
        assert result.exit_code == 6
        assert result.has_line("User canceled the extraction process")
        assert not target.exists() or not any(target.iterdir())
    finally:
        end_stub(wine, stub)
        shutil.rmtree(out, ignore_errors=True)


def test_close_box_asks_and_closes_the_finish_page(robot, wizard, target):
    # A close request from another program asks too.
    robot.post(WM_CLOSE)
    assert robot.answer_box(CAPTION, "No") == QUESTION
    assert robot.is_visible(NEXT)
    robot.close_box()
    assert robot.answer_box(CAPTION, "Yes") == QUESTION
    robot.wait_control(FINISH)
    robot.close_box()
    robot.wait_gone()
    assert finish_stub(wizard).exit_code == 6
    assert not target.exists()


def password_dialog(robot, sheet):
    """The password dialog: the other visible window with the wizard's caption."""
    def find():
        return [w for w in robot.windows()
                if w["hwnd"] != sheet and w.get("visible") and w.get("caption", w.get("text")) == CAPTION]
    robot.wait_until(lambda: find(), what="the password dialog")
    return find()[0]["hwnd"]


def test_password_is_asked_before_the_extraction(wine, robot, tmp_path, target):
    out = linux_path(TARGET).parent / "package"
    shutil.rmtree(out, ignore_errors=True)
    exe = build_package(tmp_path / "pkg", out / "Setup.exe", settings(TARGET), FILES, "--password", "s3cret")
    stub = start_stub(wine, exe)
    try:
        sheet = robot.wait_window(CAPTION, timeout=60)["hwnd"]
        robot.wait_control(NEXT)
        robot.click(NEXT)
        dialog = password_dialog(robot, sheet)
        robot.use(dialog)
        robot.wait_control(PASSWORD_EDIT)
        robot.screenshot("password")
        assert not robot.is_enabled(IDOK)
        robot.type(PASSWORD_EDIT, "s3cret")
        robot.click(IDOK)
        robot.wait_gone()
        robot.use(sheet)
        robot.wait_control(FINISH, timeout=60)
        assert robot.wait_text(FINISH_TEXT, f"Extraction successful for {CAPTION}.")
        robot.click(FINISH)
        robot.wait_gone()
        assert finish_stub(stub).exit_code == 0
        assert (target / "a.txt").exists()
    finally:
        end_stub(wine, stub)
        shutil.rmtree(out, ignore_errors=True)
