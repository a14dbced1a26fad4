"""Packages whose setups are copies of setup_probe.exe, and what the probes recorded."""
import shutil
import subprocess
import time
import uuid
from pathlib import Path

import pytest

from conftest import HELPERS, LOG_FOLDER, RUN_TIMEOUT, STUB, ZELPACK, collect_result, windows_exit_code

PROBE = HELPERS / "setup_probe.exe"
PROBE_MSI = HELPERS / "launch_probe.msi"
LAUNCH_ROOT = "zellaunch"


def settings_text(runtime, sections="", os_allowed="Windows51+", package_extra=""):
    """A package settings file; runtime holds the [Runtime] lines beyond ExtractPath.
    The setups start only on a system the package supports."""
    return ("[Package]\nName=ZelLaunch\nNameDispl=Zel Launch\nVersionString=1.0\n" + package_extra +
            "[LogFiles]\nExtractLogFileName=ZelLaunch.log\n"
            "[OS]\nOSAllowed=" + os_allowed + "\n"
            "[Runtime]\nExtractPath={target}\n" + runtime + "\n" + sections)


class LaunchPackage:
    """One package and its extraction folder on C:."""

    def __init__(self, wine, folder_name):
        self.wine = wine
        self.folder = wine.drive_c() / LAUNCH_ROOT / folder_name
        self.win_folder = "C:\\" + LAUNCH_ROOT + "\\" + folder_name
        self.exe = None

    def win(self, name):
        return self.win_folder + "\\" + name.replace("/", "\\")

    def setup(self, name):
        """A setup's path as the stub starts and logs it: the extraction folder
        keeps its closing backslash and one more joins the name."""
        return self.win_folder + "\\\\" + name.replace("/", "\\")

    def record(self, probe):
        """What the probe wrote about its start, as a dict; None when it never ran."""
        path = self.folder / (probe + ".record")
        if not path.exists():
            return None
        pairs = [line.split("=", 1) for line in path.read_text("utf-8").splitlines() if "=" in line]
        return dict(pairs)

    def order(self):
        path = self.folder / "launch_order.txt"
        return path.read_text("utf-8").splitlines() if path.exists() else []

    def wait_for_order(self, lines, timeout=60):
        """Waits for setups that run on after the stub ended."""
        deadline = time.monotonic() + timeout
        while len(self.order()) < lines and time.monotonic() < deadline:
            time.sleep(0.25)
        return self.order()


@pytest.fixture
def launch_package(wine, stage, make_package, tmp_path):
    """launch_package(runtime, sections, {"probe.exe": args...}) -> LaunchPackage with .exe staged.

    Every name in probes becomes a copy of setup_probe.exe under content/;
    "{target}" in the settings is the package's extraction folder."""
    made = []

    def make(runtime, sections="", probes=("probe.exe",), files=None, folder_name=None, os_allowed="Windows51+",
             package_extra=""):
        package = LaunchPackage(wine, folder_name or uuid.uuid4().hex[:10])
        contents = {"content/readme.txt": b"hello\r\n"}
        for name in probes:
            contents["content/" + name] = PROBE.read_bytes()
        contents.update(files or {})
        text = settings_text(runtime, sections, os_allowed, package_extra).replace("{target}", package.win_folder)
        package.exe = stage(make_package(text, contents))
        made.append(package)
        return package

    yield make
    for package in made:
        shutil.rmtree(package.folder, ignore_errors=True)


def utf16_settings(text):
    return b"\xff\xfe" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le")


@pytest.fixture
def cabinet_package(wine, stage, tmp_path):
    """A package packed around a cabinet made by gcab, for settings zelpack would
    refuse (a setup that is not in the package, a setup path too long to run).

    cabinet_package(settings_text, {"name": bytes}) -> LaunchPackage with .exe staged."""
    made = []

    def make(runtime, sections, files):
        package = LaunchPackage(wine, uuid.uuid4().hex[:10])
        work = tmp_path / ("cab_" + package.folder.name)
        (work / "files").mkdir(parents=True)
        for name, data in files.items():
            (work / "files" / name).write_bytes(data)
        cab = work / "package.cab"
        subprocess.run(["gcab", "-c", "-n", str(cab), *files], cwd=work / "files", check=True,
                       capture_output=True, timeout=60)
        data = bytearray(cab.read_bytes())
        data[0:4] = b"TAVO"
        cab.write_bytes(bytes(data))
        ini = work / "Properties_Tavo.ini"
        ini.write_bytes(utf16_settings(settings_text(runtime, sections).replace("{target}", package.win_folder)))
        output = work / "out" / "Setup.exe"
        output.parent.mkdir()
        proc = subprocess.run([ZELPACK, "build", "-o", str(output), "--stub", str(STUB), "--cabinet", str(cab),
                               "-q", str(ini)], capture_output=True, text=True, timeout=120)
        assert proc.returncode == 0, proc.stderr
        package.exe = stage(output)
        made.append(package)
        return package

    yield make
    for package in made:
        shutil.rmtree(package.folder, ignore_errors=True)


def run_detached(wine, exe, *switches, timeout=RUN_TIMEOUT):
    """Runs the stub without capturing its output and returns a RunResult with
    .elapsed: a setup left running holds the inherited output pipes open, and
    a capturing run would wait for it instead of for the stub."""
    wine.settle()
    shutil.rmtree(LOG_FOLDER, ignore_errors=True)
    started = time.monotonic()
    proc = subprocess.Popen(wine.command(exe, *switches), env=wine.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    status = proc.wait(timeout=timeout)
    elapsed = time.monotonic() - started
    result = collect_result(windows_exit_code(status))
    result.elapsed = elapsed
    return result
