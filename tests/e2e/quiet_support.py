"""Helpers for the quiet-run tests: package folders with file modes, folders on
C: that are removed afterwards, trees compared byte for byte, and a watcher of
the windows the stub shows."""
import os
import shutil
import stat
import subprocess
import time
import uuid
from pathlib import Path

import pytest

from conftest import (HELPERS, LOG_FOLDER, PREFIX, RUN_TIMEOUT, collect_result, windows_exit_code,
                      zelpack_build)

DISPLAY_NAME = "Zel Quiet Package"
# The display name with the version behind it: the caption of the windows.
CAPTION = DISPLAY_NAME + " 1.0"


def settings(extract_path, *sections, name="ZelQuiet", log="ZelQuiet.log", package_extra=""):
    """A package settings text; every extra section is given whole."""
    text = (f"[Package]\nName={name}\nNameDispl={DISPLAY_NAME}\nVersionString=1.0\n{package_extra}\n"
            f"[Runtime]\nExtractPath={extract_path}\n\n"
            f"[LogFiles]\nExtractLogFileName={log}\n\n")
    return text + "\n".join(sections)


def build_package(folder, output, settings_text, files, *options, read_only=()):
    """Packs a package folder; names in read_only are packed without their write bits."""
    (folder / "content").mkdir(parents=True)
    (folder / "Properties_Tavo.ini").write_text(settings_text, encoding="utf-8")
    for name, data in files.items():
        path = folder / "content" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    for name in read_only:
        (folder / "content" / name).chmod(0o444)
    return zelpack_build(folder, output, *options)


def tree(folder):
    """Every file below folder: relative POSIX path -> bytes."""
    folder = Path(folder)
    return {p.relative_to(folder).as_posix(): p.read_bytes() for p in sorted(folder.rglob("*")) if p.is_file()}


def is_read_only(path):
    # Wine keeps the read-only attribute as the file's missing write bits.
    return not (Path(path).stat().st_mode & (stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))


def linux_path(windows_path):
    """The Linux path of a C: path of the prefix."""
    drive, rest = windows_path.rstrip("\\").split(":", 1)
    assert drive.lower() == "c", windows_path
    return PREFIX / "drive_c" / rest.strip("\\").replace("\\", "/")


def make_removable(folder):
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            p = os.path.join(root, name)
            if not os.path.islink(p):
                os.chmod(p, 0o755)


class Scratch:
    """Fresh folders on C: for a test, removed afterwards."""

    def __init__(self):
        self.folders = []

    def folder(self, create=True):
        path = PREFIX / "drive_c" / "zelquiet" / uuid.uuid4().hex[:12]
        if create:
            path.mkdir(parents=True)
        self.folders.append(path)
        return path

    @staticmethod
    def win(path):
        rel = Path(path).relative_to(PREFIX / "drive_c")
        return "C:\\" + str(rel).replace("/", "\\")

    def cleanup(self):
        for path in self.folders:
            if path.exists():
                subprocess.run(["chattr", "-R", "-i", str(path)], capture_output=True)
                make_removable(path)
                shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def scratch():
    s = Scratch()
    yield s
    s.cleanup()


class WindowWatcher:
    """Records every visible top-level window of other processes while it runs."""

    def __init__(self, wine, tmp_path):
        self.wine = wine
        self.stop_file = tmp_path / f"stop-watch-{uuid.uuid4().hex[:8]}"
        self.stop_file_win = None
        self.proc = None
        self.seen = []

    def __enter__(self):
        # The stop file lives on C: so that the watcher can see it.
        drop = PREFIX / "drive_c" / "zelquiet"
        drop.mkdir(parents=True, exist_ok=True)
        self.stop_file = drop / self.stop_file.name
        self.proc = self.wine.start(HELPERS / "wintool.exe", "watch-windows",
                                    Scratch.win(self.stop_file), 600)
        assert self.proc.stdout.readline().strip() == b"watching"
        return self

    def __exit__(self, *exc):
        self.stop_file.touch()
        out, _ = self.proc.communicate(timeout=60)
        self.stop_file.unlink(missing_ok=True)
        self.seen = [l for l in out.decode("utf-8", "replace").splitlines() if l.strip()]
        return False


def start_stub(wine, exe, *switches):
    """Starts a run without waiting for it; finish_stub collects it like run_stub."""
    shutil.rmtree(LOG_FOLDER, ignore_errors=True)
    return wine.start(exe, *switches)


def finish_stub(proc, timeout=RUN_TIMEOUT):
    return collect_result(windows_exit_code(proc.wait(timeout=timeout)))


def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.02)
    return False
