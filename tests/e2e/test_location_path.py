"""The extraction-location page: the folder the user types, once the path and
space check accepts it, is where the wizard extracts the package, as the check
completed it (variables expanded, a trailing backslash added)."""
import shutil

import pytest

from quiet_support import CAPTION, DISPLAY_NAME, build_package, finish_stub, linux_path, start_stub, tree

DEFAULT_TARGET = r"C:\zellocation\default"
TYPED = r"%SystemDrive%\zellocation\typed\deeper"
TYPED_TARGET = r"C:\zellocation\typed\deeper"
FILES = {"a.txt": b"alpha\r\n", "sub/b.txt": b"beta\r\n"}

NEXT, FINISH = 12324, 12325
PATH_EDIT, OVERWRITE_BOX = 1000, 1023


def location_settings():
    return (f"[Package]\nName=ZelLocation\nNameDispl={DISPLAY_NAME}\nVersionString=1.0\n\n"
            f"[Runtime]\nExtractPath={DEFAULT_TARGET}\nAllowChangeTarget=1\n\n"
            "[LogFiles]\nExtractLogFileName=ZelLocation.log\n")


@pytest.fixture
def folders():
    root = linux_path(r"C:\zellocation")
    shutil.rmtree(root, ignore_errors=True)
    yield root
    shutil.rmtree(root, ignore_errors=True)


def test_typed_folder_is_where_the_files_go(wine, robot, tmp_path, folders):
    package = build_package(tmp_path / "pkg", folders / "package" / "Setup.exe", location_settings(), FILES)
    stub = start_stub(wine, package)
    try:
        robot.wait_window(CAPTION, timeout=60)
        robot.wait_control(NEXT)
        robot.click(NEXT)
        robot.wait_control(OVERWRITE_BOX, timeout=60)
        robot.screenshot("location")
        assert robot.type(PATH_EDIT, TYPED) == TYPED
        robot.click(NEXT)
        robot.wait_control(FINISH, timeout=60)
        robot.screenshot("finish")
        robot.click(FINISH)
        robot.wait_gone()
        result = finish_stub(stub)
    finally:
        if stub.poll() is None:
            stub.kill()
            stub.wait()
    assert result.exit_code == 0
    assert tree(linux_path(TYPED_TARGET)) == {name: data for name, data in FILES.items()}
    assert not linux_path(DEFAULT_TARGET).exists()
