"""The payload container end to end: a stub packed by zelpack's container step
(settings files plus a cabinet made by another writer) is read back by the
stub's own reader under Wine, both passes, for the i686 and the x86_64 stub."""
import hashlib
import random
import re
import shutil
import subprocess
import uuid
from pathlib import Path

import pytest

from conftest import DEMO_PACKAGE, HELPERS, REPO, ZELPACK, can_run_32bit, parse_log, working_folders

STUBS = {kind: REPO / "build" / kind / "ZelSelfExtractorUI.exe" for kind in ("i686", "x64")}
SETTINGS_NAMES = ["Properties_Tavo.ini", "Default1031.ulf", "Defaultx.ulf"]  # in record order
CONTENT = {
    "a.txt": b"hello\r\n",
    "empty.txt": b"",
    "Data/Sub/c.txt": b"sub\r\n",
    # Incompressible and larger than the probe's 64 KiB buffer.
    "Data/b.bin": random.Random(4).randbytes(200_000),
}


def utf16_ini(text):
    return b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le")


def gcab_cabinet(work):
    """A cabinet of CONTENT written by gcab, with the package signature."""
    src = work / "src"
    for name, data in CONTENT.items():
        (src / name).parent.mkdir(parents=True, exist_ok=True)
        (src / name).write_bytes(data)
    cab = work / "content.cab"
    subprocess.run(["gcab", "-c", "-z", str(cab), *CONTENT], cwd=src, check=True, capture_output=True)
    data = bytearray(cab.read_bytes())
    data[:4] = b"TAVO"
    cab.write_bytes(bytes(data))
    return cab


def inspect(package):
    proc = subprocess.run([ZELPACK, "inspect", str(package)], capture_output=True, text=True, timeout=60)
    assert proc.returncode == 0, proc.stderr
    offset = int(re.search(r"^payload offset: (\d+)$", proc.stdout, re.M).group(1))
    records = re.findall(r"^  (\S+)  kind (\d+) \(\w+\)  size (\d+)  sha256 ([0-9a-f]{64})$", proc.stdout, re.M)
    return offset, [(n, int(k), int(s), h) for n, k, s, h in records]


def sha256(data):
    return hashlib.sha256(data).hexdigest()


@pytest.fixture(params=["i686", "x64"])
def packed(request, wine, tmp_path):
    """(stub kind, package path on C:, settings files, cabinet, extraction folder)."""
    stub = STUBS[request.param]
    if request.param == "i686" and not can_run_32bit():
        pytest.skip("this machine cannot run 32-bit programs")
    if not stub.exists():
        pytest.skip(f"{stub} is not built")
    folder = wine.drive_c() / "zeltest" / f"payload-{uuid.uuid4().hex[:12]}"
    folder.mkdir(parents=True)
    target = folder / "extracted"
    settings = tmp_path / "settings"
    settings.mkdir()
    (settings / "Properties_Tavo.ini").write_bytes(utf16_ini(
        "[Package]\nName=PayloadE2E\n"
        f"[Runtime]\nExtractPath={wine.win_path(folder)}\\extracted\n"
        "[LogFiles]\nExtractLogFileName=PayloadE2E.log\n"
        "[Languages]\nSetupLanguages=1033;1031\n"
        "[Size]\nPackageSize=1048576\n"
        f"[FileCount]\nCount={len(CONTENT)}\n"))
    for name in SETTINGS_NAMES[1:]:
        shutil.copy(DEMO_PACKAGE / name, settings / name)
    cab = gcab_cabinet(tmp_path)
    package = folder / "Setup.exe"
    # Settings files in any order: zelpack puts the settings file first.
    proc = subprocess.run([ZELPACK, "build", "-q", "-o", str(package), "--stub", str(stub), "--cabinet", str(cab),
                           *(str(settings / n) for n in reversed(SETTINGS_NAMES))],
                          capture_output=True, text=True, timeout=120)
    assert proc.returncode == 0, proc.stderr
    yield request.param, package, settings, cab, target
    shutil.rmtree(folder, ignore_errors=True)


def files_below(root):
    return {p.relative_to(root).as_posix(): p.read_bytes() for p in sorted(root.rglob("*")) if p.is_file()}


def test_records_and_stamped_offset_agree_with_the_stubs_reader(wine, packed):
    _, package, settings, cab, _ = packed
    offset, records = inspect(package)
    assert [(n, k) for n, k, _, _ in records] == [(n, 200) for n in SETTINGS_NAMES] + [("WebCab1", 100)]
    expected = {n: (settings / n).read_bytes() for n in SETTINGS_NAMES}
    expected["WebCab1"] = cab.read_bytes()
    for name, _, size, digest in records:
        assert (size, digest) == (len(expected[name]), sha256(expected[name])), name
    # The first record starts at the stamped offset.
    data = package.read_bytes()
    assert data[offset:offset + 76] == "{20726377-9F91-41b8-B514-20AE00AA235D}".encode("utf-16-le")

    code, out = wine.run(HELPERS / "payload_probe.exe", "subtype", wine.win_path(package))
    assert code == 0
    assert int(out.strip()) == offset


def test_each_pass_copies_only_its_own_records(wine, packed):
    _, package, settings, cab, _ = packed
    for kind, expected in [
        (200, {n: (settings / n).read_bytes() for n in SETTINGS_NAMES}),
        (100, {"WebCab1": cab.read_bytes()}),
    ]:
        target = package.parent / f"pass{kind}"
        target.mkdir()
        code, out = wine.run(HELPERS / "payload_probe.exe", "extract", wine.win_path(package),
                             wine.win_path(target), kind)
        assert (code, out.strip()) == (0, "0"), kind
        assert files_below(target) == expected, kind


def extracted_names(lines):
    return [l.message.rsplit("\\", 1)[-1] for l in lines
            if l.source == "ExtractFile" and l.message.startswith("Extracting file : ")]


def test_silent_run_reads_settings_then_package_and_extracts_the_tree(wine, run_stub, packed):
    _, package, _, _, target = packed
    result = run_stub("-silent", "-d", exe=package)
    assert result.exit_code == 0, result

    # Settings pass (master log, which never takes detail lines): the three
    # settings files, then it stops at the package record without reading on
    # to the end of the payload.
    master = parse_log(result.master_log)
    assert extracted_names(master) == SETTINGS_NAMES
    assert not result.has_line("Attached files are extracted", source="ExtractFile")

    # Package pass (extraction log, with -d its detail lines too): four
    # records and the end of the file; settings records skipped, the cabinet
    # copied.
    package_pass = [l for l in parse_log(result.log("PayloadE2E.log")) if l.source == "ExtractFile"]
    assert extracted_names(package_pass) == ["WebCab1"]
    messages = [l.message for l in package_pass]
    assert messages.count("Reading footer information") == len(SETTINGS_NAMES) + 2
    assert messages[-3].startswith("Closing file : ") and messages[-3].endswith("\\WebCab1")
    assert messages[-2:] == ["Reading footer information", messages[-1]]
    assert messages[-1].startswith("Reached EOF : ")
    assert not any(l.level == "ERROR" for l in package_pass)

    assert files_below(target) == CONTENT
    assert working_folders(wine) == []
