"""End-to-end fixtures: run the real stub under Wine in the build's prefix.

Paths come from the environment that ctest sets (ZEL_STUB, ZEL_HELPERS_DIR,
ZEL_WINEPREFIX, ZEL_WINE_RUN, ZEL_ZELPACK); run by hand, they default to the
i686 build in build/i686. Both builds run the suite under ctest.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time
import uuid
from dataclasses import dataclass, field
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
BUILD = REPO / "build" / "i686"
STUB = Path(os.environ.get("ZEL_STUB", BUILD / "ZelSelfExtractorUI.exe"))
HELPERS = Path(os.environ.get("ZEL_HELPERS_DIR", BUILD / "tests"))
PREFIX = Path(os.environ.get("ZEL_WINEPREFIX", BUILD / "wineprefix-e2e"))
WINE_RUN = Path(os.environ.get("ZEL_WINE_RUN", REPO / "tools" / "wine-run"))
# Picks the Wine loader this machine can execute (tools/wine).
WINE = WINE_RUN.parent / "wine"
ZELPACK = os.environ.get("ZEL_ZELPACK", "") or str(REPO / "out" / "zelpack")
DEMO_PACKAGE = REPO / "examples" / "demo-package"

RUN_TIMEOUT = 120  # a run that takes longer counts as a hang
# Screenshots and other things kept from a run, one folder per test.
ARTIFACTS = Path(os.environ.get("ZEL_E2E_ARTIFACTS", PREFIX.parent / "e2e-artifacts"))
LOG_FOLDER = PREFIX / "drive_c" / "ProgramData" / "Ulverin" / "Automation" / "Logfiles"
MASTER_LOG = LOG_FOLDER / "Tavo.log"
GUID_FOLDER = re.compile(r"^\{[0-9A-Fa-f-]{36}\}$")
LOG_LINE = re.compile(r"^(\d\d:\d\d:\d\d)\|(.{10})\|(.*?) \|(.*)$")


def windows_exit_code(status):
    """wine reports the Windows exit code modulo 256; -1 arrives as 255."""
    return status - 256 if status >= 128 else status


@dataclass
class LogLine:
    time: str
    level: str
    source: str
    message: str


def parse_log(text):
    lines = []
    for raw in text.split("\r\n"):
        m = LOG_LINE.match(raw)
        if m:
            lines.append(LogLine(m.group(1), m.group(2).strip(), m.group(3).rstrip(), m.group(4)))
    return lines


@dataclass
class RunResult:
    exit_code: int
    master_log: str
    logs: dict = field(default_factory=dict)  # extraction logs by file name
    stdout: str = ""
    lines: list = field(default_factory=list)  # master log and extraction logs

    def has_line(self, message, source=None, level=None):
        return any(l.message == message and (source is None or l.source == source)
                   and (level is None or l.level == level) for l in self.lines)

    def log(self, name):
        return self.logs.get(name, "")

    def __repr__(self):
        # A failing assertion prints this; the error lines say why a run
        # failed (errors and warnings), where the whole log would be cut short in a CI report.
        errors = [f"{l.source}: {l.message}" for l in self.lines if l.level in ("ERROR", "WARNING")]
        return f"RunResult(exit_code={self.exit_code}, errors={errors[:12]!r})"


def collect_result(exit_code, stdout=""):
    """The result of a run: its exit code and the log files it wrote."""
    texts = {}
    if LOG_FOLDER.exists():
        for f in sorted(LOG_FOLDER.iterdir()):
            texts[f.name] = f.read_bytes().decode("latin-1")
    master = texts.pop("Tavo.log", "")
    lines = parse_log(master)
    for text in texts.values():
        lines += parse_log(text)
    return RunResult(exit_code, master, texts, stdout, lines)


class Wine:
    """Runs Windows programs in the build's prefix under one Xvfb display."""

    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display, WINEDEBUG="-all")
        self.prefix = PREFIX
        self.stale = False
        subprocess.run([str(WINE_RUN), "--prefix", str(PREFIX), "--init"], env=self.env, check=True)
        # Wine draws the stub's title bars itself: without a window manager
        # there would be none, and no close box for the GUI tests to press.
        # Only for the stub's name, so that other programs start as before.
        self.reg("add", r"HKCU\Software\Wine\AppDefaults\Setup.exe\X11 Driver", "/v", "Decorated", "/d", "N", "/f")

    def command(self, program, *args):
        return [str(WINE_RUN), "--prefix", str(PREFIX), str(program), *map(str, args)]

    def run(self, program, *args, timeout=RUN_TIMEOUT):
        self.settle()
        # Output goes to a file, not a pipe: Wine's helper processes that the
        # program starts (the RPC service, say) inherit its output and outlive
        # it while another program keeps the Wine session up; a pipe would
        # then stay open until the whole session ends.
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run(self.command(program, *args), env=self.env, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return windows_exit_code(proc.returncode), out.read().decode("utf-8", "replace")

    def start(self, program, *args):
        self.settle()
        return subprocess.Popen(self.command(program, *args), env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)

    def reg(self, *args):
        subprocess.run([str(WINE), "reg", *args], env=dict(self.env, WINEPREFIX=str(PREFIX)),
                       capture_output=True, check=True, timeout=60)
        self.stale = True

    def settle(self):
        """Waits for the Wine session to end, so that the next program starts a
        new one: the drive manager reads drive types only when it starts."""
        if self.stale:
            subprocess.run(["wineserver", "-w"], env=dict(self.env, WINEPREFIX=str(PREFIX)), timeout=120)
            self.stale = False

    def drive_c(self):
        return PREFIX / "drive_c"

    def win_path(self, linux_path):
        """The C: path of a file inside the prefix's drive_c."""
        rel = Path(linux_path).resolve().relative_to(self.drive_c().resolve())
        return "C:\\" + str(rel).replace("/", "\\")


@pytest.fixture(scope="session")
def display():
    """One private Xvfb for the whole session, so GUI runs can be looked at.
    Xvfb picks a free display number itself, so sessions never share one."""
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    assert number, "Xvfb did not start"
    yield ":" + number
    proc.terminate()
    proc.wait(timeout=10)


@pytest.fixture(scope="session")
def wine(display):
    return Wine(display)


@pytest.fixture
def drives(wine, tmp_path):
    """Maps extra drive letters to fresh folders: drives.add("d", "hd")."""

    class Drives:
        def __init__(self):
            self.mapped = []

        def add(self, letter, kind="hd"):
            folder = tmp_path / f"drive_{letter}"
            folder.mkdir()
            link = PREFIX / "dosdevices" / f"{letter}:"
            if link.is_symlink() or link.exists():
                link.unlink()
            link.symlink_to(folder)
            # The mount manager reads the 64-bit registry view.
            wine.reg("add", r"HKLM\Software\Wine\Drives", "/v", f"{letter}:", "/d", kind, "/f", "/reg:64")
            self.mapped.append(letter)
            return folder

    d = Drives()
    yield d
    for letter in d.mapped:
        (PREFIX / "dosdevices" / f"{letter}:").unlink(missing_ok=True)
        wine.reg("delete", r"HKLM\Software\Wine\Drives", "/v", f"{letter}:", "/f", "/reg:64")


@pytest.fixture
def stage(wine):
    """Copies a file into a fresh folder on C: and returns the copy's Linux path."""
    folders = []

    def copy(source, name=None):
        folder = wine.drive_c() / "zeltest" / uuid.uuid4().hex[:12]
        folder.mkdir(parents=True)
        folders.append(folder)
        target = folder / (name or Path(source).name)
        shutil.copy2(source, target)
        return target

    yield copy
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture
def run_stub(wine, stage):
    """Runs a stub (by default the bare one) and returns its exit code and master log."""

    def run(*args, exe=None, timeout=RUN_TIMEOUT, keep_logs=False):
        program = exe if exe is not None else stage(STUB, "Setup.exe")
        if not keep_logs:
            shutil.rmtree(LOG_FOLDER, ignore_errors=True)
        code, out = wine.run(program, *args, timeout=timeout)
        return collect_result(code, out)

    return run


def working_folders(wine):
    """The working folders (GUID-named) at the root of every fixed drive the prefix has."""
    found = []
    for link in (PREFIX / "dosdevices").iterdir():
        if len(link.name) == 2 and link.name.endswith(":") and link.name != "s:":
            root = link.resolve()
            if root.is_dir():
                found += [p for p in root.iterdir() if GUID_FOLDER.match(p.name)]
    return found


def zelpack_build(folder, output, *options, stub=STUB):
    """Builds a package with zelpack; returns the package path."""
    output.parent.mkdir(parents=True, exist_ok=True)
    proc = subprocess.run([ZELPACK, "build", str(folder), "-o", str(output), "--stub", str(stub), "-q", *options],
                          capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr
    return output


@pytest.fixture(scope="session")
def demo_package(tmp_path_factory):
    """The example package of the repository, packed once."""
    return zelpack_build(DEMO_PACKAGE, tmp_path_factory.mktemp("demo") / "Setup.exe")


@pytest.fixture
def make_package(tmp_path):
    """make_package(settings_text, {"content/a.txt": b"..."}) -> a packed Setup.exe.

    Files whose path does not start with content/ are settings files."""
    counter = [0]

    def make(settings, files=None, *options):
        counter[0] += 1
        folder = tmp_path / f"pkg{counter[0]}"
        (folder / "content").mkdir(parents=True)
        (folder / "Properties_Tavo.ini").write_text(settings, encoding="utf-8")
        for name, data in (files or {"content/readme.txt": b"hello\r\n"}).items():
            path = folder / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))
        return zelpack_build(folder, tmp_path / f"out{counter[0]}" / "Setup.exe", *options)

    return make


def can_run_32bit():
    """False on machines whose kernel cannot execute 32-bit programs: there
    only 64-bit Windows programs run under Wine."""
    return subprocess.run([str(WINE), "--can-run-32bit"]).returncode == 0


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    # Kept on the test item so that fixtures can tell at teardown how the test went.
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


@pytest.fixture
def robot(wine, request):
    """The GUI robot (robot.py) for this test; its screenshots go to
    ARTIFACTS/<test name>/, with one more of the screen when the test failed."""
    from robot import Robot, artifact_folder

    r = Robot(wine, HELPERS / "robot.exe", artifact_folder(ARTIFACTS, request.node.name))
    yield r
    report = getattr(request.node, "report_call", None)
    try:
        if report is not None and report.failed:
            r.screenshot("failed")
    finally:
        r.close()
