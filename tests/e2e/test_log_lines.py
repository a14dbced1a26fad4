"""The logs of whole quiet runs, line for line, against runs recorded earlier:
which thread writes a line, and how progress reaches the window, must change
nothing in what the logs say or in their order. Times, stamps, the working
folder's name and the machine's own facts (the system information block) are
masked. ZEL_RECORD_LOGS=1 records the runs instead of comparing them."""
import os
import re
import shutil
from pathlib import Path

import pytest

from conftest import PREFIX, working_folders, zelpack_build
from quiet_support import settings

DATA = Path(__file__).parent / "data"
ROOT = PREFIX / "drive_c" / "zelgolden"
TARGET = "C:\\zelgolden\\target"
SYSTEM_BLOCK = re.compile(r"(-{38} System Information -{38}\r\n).*?(-{95}\r\n)", re.S)


def mask(text):
    text = SYSTEM_BLOCK.sub(r"\1(system information)\r\n\2", text)
    text = re.sub(r"^\d\d:\d\d:\d\d\|", "hh:mm:ss|", text, flags=re.M)
    text = re.sub(r"(START|SUMMARY )\d{14}", r"\1<stamp>", text)
    text = re.sub(r"\{[0-9A-Fa-f]{8}-[0-9A-Fa-f-]{27}\}", "{GUID}", text)
    text = re.sub(r"(\|Date +\|).*", r"\1<date>", text)
    # The stub's own size, the free space and the system's name.
    text = re.sub(r"(Space required for Extraction of Setting files: ).*", r"\1<size>", text)
    text = re.sub(r"(Available space : )[\d.]+( \w+)?", r"\1<free>", text)
    text = re.sub(r"(\|OSVersion +\|).*", r"\1<os>", text)
    return text


@pytest.fixture(scope="module")
def golden_package(tmp_path_factory):
    folder = tmp_path_factory.mktemp("golden") / "pkg"
    files = {"setup.txt": b"top\r\n", "Data/a.bin": bytes(range(256)) * 9, "Data/Deep/b.txt": b"b\r\n",
             "Data/empty.dat": b""}
    for name, data in files.items():
        path = folder / "content" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    (folder / "Properties_Tavo.ini").write_text(settings(TARGET, name="ZelGolden", log="ZelGolden.log"),
                                                encoding="utf-8")
    exe = zelpack_build(folder, folder.parent / "out" / "Setup.exe")
    placed = ROOT / "exe" / "Setup.exe"
    placed.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy2(exe, placed)
    yield placed
    shutil.rmtree(ROOT, ignore_errors=True)


@pytest.mark.parametrize("switch", ["-silent", "-unattended"])
def test_quiet_run_logs_are_as_recorded(wine, golden_package, run_stub, switch):
    shutil.rmtree(ROOT / "target", ignore_errors=True)
    result = run_stub(switch, exe=golden_package)
    assert result.exit_code == 0
    assert working_folders(wine) == []
    logs = {"master": mask(result.master_log), "extraction": mask(result.log("ZelGolden.log"))}
    for kind, text in logs.items():
        recorded = DATA / f"logs{switch}-{kind}.txt"
        if os.environ.get("ZEL_RECORD_LOGS") == "1":
            recorded.write_bytes(text.encode("latin-1"))
            continue
        expected = recorded.read_bytes().decode("latin-1")
        assert text.split("\r\n") == expected.split("\r\n"), kind
