"""Hostile packages and faults during a silent run.

Every case proves the same contract: the run ends by itself within a fixed
time with the documented exit code for what went wrong, a log line names the
cause, nothing is written outside the extraction folder and the working
folder, and no working folder is left behind."""
import hashlib
import os
import random
import shutil
import subprocess
import time
import uuid
from pathlib import Path

import pytest

from conftest import HELPERS, LOG_FOLDER, PREFIX, ZELPACK, working_folders, zelpack_build
from hostile_support import (END_BANNER, KIND_PACKAGE, KIND_SETTINGS, CabFile, Package, Record, cabinet, changes,
                             get_key, ini_record, ini_text, read_package, record_bytes, set_key, snapshot)

LIMIT = 60  # seconds; a run that takes longer is a hang
SEED = 1303

SETTINGS = """[Package]
Name=Hostile
NameDispl=Hostile Package
VersionString=1.0
[Runtime]
ExtractPath=C:\\zelhostile\\default
[LogFiles]
ExtractLogFileName=Hostile.log
"""
CONTENT = {
    "content/readme.txt": b"hello\r\n",
    "content/Data/table.bin": random.Random(SEED).randbytes(70000),
}
# The log folder and its parents, which the first run creates.
LOG_ROOT = LOG_FOLDER.parents[1]
DOCUMENTED = {0, -1, 1, 2, 3, 4, 5, 6, 7, 8}


def run_wineserver(*args):
    subprocess.run(["wineserver", *args], env=dict(os.environ, WINEPREFIX=str(PREFIX)), timeout=60)


def map_drive(wine, letter, folder, kind="hd"):
    link = PREFIX / "dosdevices" / f"{letter}:"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(folder)
    wine.reg("add", r"HKLM\Software\Wine\Drives", "/v", f"{letter}:", "/d", kind, "/f", "/reg:64")


def unmap_drive(wine, letter):
    (PREFIX / "dosdevices" / f"{letter}:").unlink(missing_ok=True)
    wine.reg("delete", r"HKLM\Software\Wine\Drives", "/v", f"{letter}:", "/f", "/reg:64")


@pytest.fixture(scope="module")
def test_drive(wine, tmp_path_factory):
    """D:, a fixed drive above C:, so the working folder lands there; and a
    crash ends the process instead of waiting in a dialog."""
    wine.reg("add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")
    folder = tmp_path_factory.mktemp("hostile_d")
    (folder / "bait").mkdir()
    (folder / "bait" / "keep.txt").write_bytes(b"existing\r\n")
    map_drive(wine, "d", folder)
    yield folder
    unmap_drive(wine, "d")


@pytest.fixture(scope="module")
def base(tmp_path_factory):
    """A sound package, taken apart into its stamped stub and records."""
    folder = tmp_path_factory.mktemp("hostile_pkg")
    (folder / "Properties_Tavo.ini").write_text(SETTINGS, encoding="utf-8")
    for name, data in CONTENT.items():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(data)
    exe = zelpack_build(folder, folder.parent / (folder.name + "_out") / "Setup.exe")
    return read_package(ZELPACK, exe)


def settings_with(package, *edits):
    """The package's settings record with (section, key, value) edits."""
    text = ini_text(package.record("Properties_Tavo.ini"))
    for section, key, value in edits:
        text = set_key(text, section, key, value)
    return ini_record(text)


def replaced(package, *records):
    """The package's records with those of the same name replaced; new names
    are put before the package record."""
    by_name = {r.name: r for r in records}
    out = [by_name.pop(r.name, r) for r in package.records]
    return [r for r in out if r.kind != KIND_PACKAGE] + list(by_name.values()) + \
        [r for r in out if r.kind == KIND_PACKAGE]


class Attack:
    """Runs a hostile package silently and checks what every case must hold."""

    def __init__(self, wine, stage, run_stub, drive, tmp_path):
        self.wine, self.stage, self.run_stub, self.drive, self.tmp = wine, stage, run_stub, drive, tmp_path
        self.parent = wine.drive_c() / "zelhostile" / uuid.uuid4().hex[:10]
        self.parent.mkdir(parents=True)
        self.target = self.parent / "out"
        self.roots = [wine.drive_c(), drive]

    def exe(self, package, payload=None, name="Setup.exe"):
        return self.stage(package.write(self.tmp / uuid.uuid4().hex[:8] / name, payload))

    def run(self, exe, expect, *switches, target=None, target_win=None, roots=None, label=""):
        target = self.target if target is None else target
        target_win = self.win(target) if target_win is None else target_win
        roots = self.roots if roots is None else roots
        before = snapshot(roots, exclude=[LOG_ROOT, target])
        try:
            result = self.run_stub("-silent", f"-extractpath={target_win}", *switches, exe=exe, timeout=LIMIT)
        except subprocess.TimeoutExpired:
            run_wineserver("-k")
            pytest.fail(f"{label}: the run did not end within {LIMIT} s")
        written = changes(before, snapshot(roots, exclude=[LOG_ROOT, target]))
        assert result.master_log.rstrip("\r\n").endswith(END_BANNER), f"{label}: the run did not end normally"
        assert result.exit_code in DOCUMENTED, label
        assert expect is None or result.exit_code == expect, f"{label}: {self.errors(result) or self.tail(result)}"
        assert written == [], f"{label}: written outside the extraction folder"
        assert working_folders(self.wine) == [], label
        return result

    def win(self, path):
        return self.wine.win_path(path)

    @staticmethod
    def tail(result):
        return "\n".join(f"{l.source}: {l.message}" for l in result.lines[-25:])

    @staticmethod
    def errors(result):
        return "\n".join(f"{l.source}: {l.message}" for l in result.lines if l.level == "ERROR")


@pytest.fixture
def attack(wine, stage, run_stub, test_drive, tmp_path):
    a = Attack(wine, stage, run_stub, test_drive, tmp_path)
    yield a
    shutil.rmtree(a.parent, ignore_errors=True)


def error_lines(result, source=None):
    return [l.message for l in result.lines if l.level == "ERROR" and (source is None or l.source == source)]


# --- the payload ------------------------------------------------------------

HEADER_CUT = (-1, "ExtractFile", "Payload is truncated : the record header ends early")
MISSING_CABINET = (7, "ExtractPackage", "Part file ")


CUTS = ["at its start", "inside the marker", "inside the name length", "inside the name",
        "inside the size and kind", "inside the data", "one byte short"]


def cut_point(package, name, where):
    """(payload length, expected code, log source, log line start) for a cut
    at a record boundary or inside the marker, header, name or data of a
    record. Settings records come first and the cabinet last, so every cut
    loses at least part of the cabinet."""
    at = [r.name for r in package.records].index(name)
    r, start, end = package.records[at], package.boundaries()[at], package.boundaries()[at + 1]
    name_bytes = len(r.name.encode("utf-16-le"))
    # A cut in a settings record fails the settings pass; in the cabinet
    # record, the package pass.
    data_cut = (-1 if r.kind == KIND_SETTINGS else 7, "ExtractFile", f"Payload is truncated : record {r.name} needs")
    return {"at its start": (start, *MISSING_CABINET),
            "inside the marker": (start + 40, *MISSING_CABINET),
            "inside the name length": (start + 78, *HEADER_CUT),
            "inside the name": (start + 81, *HEADER_CUT),
            "inside the size and kind": (start + 80 + name_bytes + 5, *HEADER_CUT),
            "inside the data": (start + 86 + name_bytes + len(r.data) // 2, *data_cut),
            "one byte short": (end - 1, *data_cut)}[where]


@pytest.mark.parametrize("where", CUTS)
@pytest.mark.parametrize("record", ["Properties_Tavo.ini", "WebCab1"])
def test_a_payload_cut_anywhere_fails_with_its_cause(attack, base, record, where):
    whole = b"".join(record_bytes(r.name, r.data, r.kind) for r in base.records)
    cut, code, source, line = cut_point(base, record, where)
    result = attack.run(attack.exe(base, whole[:cut]), code)
    assert any(m.startswith(line) for m in error_lines(result, source)), attack.errors(result)


EVIL = "evil.txt"


def with_record(package, record):
    """The package with one more settings record before the cabinet."""
    return replaced(package, record)


@pytest.mark.parametrize("record, line", [
    (record_bytes(EVIL, b"x", name_length=1024), "Invalid record in payload : name length 1024 is not below 1024 bytes"),
    (record_bytes(EVIL, b"x", name_length=0xFFFFFFFF), "Invalid record in payload : name length 4294967295"),
    (record_bytes("", b"x"), "Refused file name in payload :  : the name is empty"),
    (record_bytes(EVIL, b"x", name_length=3), "Payload is truncated"),
    (record_bytes(EVIL, b"x", data_size=0xFFFFFFFF), f"Payload is truncated : record {EVIL} needs 4294967295 bytes"),
    (record_bytes("..", b"x"), "Refused file name in payload : .. : the name refers to a folder"),
    (record_bytes(". .", b"x"), "Refused file name in payload : . . : the name refers to a folder"),
    (record_bytes("..\\" + EVIL, b"x"), "Refused file name in payload : ..\\evil.txt : the name holds a folder part"),
    (record_bytes("../" + EVIL, b"x"), "Refused file name in payload : ../evil.txt : the name holds a folder part"),
    (record_bytes("C:" + EVIL, b"x"), "Refused file name in payload : C:evil.txt : the name holds a drive or a stream"),
    (record_bytes("C:\\" + EVIL, b"x"), "Refused file name in payload : C:\\evil.txt : the name holds a folder part"),
    (record_bytes(EVIL + ":stream", b"x"), "Refused file name in payload : evil.txt:stream : the name holds a drive or a stream"),
    (record_bytes("\\\\srv\\share\\" + EVIL, b"x"), "Refused file name in payload : \\\\srv\\share\\evil.txt : the name holds a folder part"),
    (record_bytes("CON", b"x"), "Refused file name in payload : CON : the name is a device name"),
], ids=["name length 1024", "name length 2^32-1", "zero name length", "odd name length", "data size 2^32-1",
        "dot-dot", "dots and blanks", "parent folder", "parent folder slash", "drive relative", "drive absolute",
        "stream", "UNC", "device"])
def test_a_lying_settings_record_stops_the_settings_pass(attack, base, record, line):
    payload = b"".join(record_bytes(r.name, r.data, r.kind) for r in base.settings()) + record + \
        record_bytes("WebCab1", base.record("WebCab1").data, KIND_PACKAGE)
    result = attack.run(attack.exe(base, payload), -1)
    assert any(m.startswith(line) for m in error_lines(result, "ExtractFile")), attack.errors(result)
    assert result.has_line("An error occured during extraction of Setting files", source="ExtractIntermediateFiles")


@pytest.mark.parametrize("name", ["..\\WebCab1", "C:\\WebCab1", "WebCab1:stream", ".."])
def test_a_cabinet_record_with_an_escaping_name_fails_the_extraction(attack, base, name):
    payload = b"".join(record_bytes(r.name, r.data, r.kind) for r in base.settings()) + \
        record_bytes(name, base.record("WebCab1").data, KIND_PACKAGE)
    result = attack.run(attack.exe(base, payload), 7)
    assert any(m.startswith(f"Refused file name in payload : {name} : ") for m in error_lines(result, "ExtractFile"))


# --- the cabinet ------------------------------------------------------------

GOOD = CabFile("\\readme.txt", b"hello\r\n")


def with_cabinet(package, cab, *more):
    return replaced(package, Record("WebCab1", cab, KIND_PACKAGE), *more)


ESCAPING = ["..\\" + EVIL, "\\..\\" + EVIL, "Data\\..\\..\\" + EVIL, "Data/../../" + EVIL, "...\\" + EVIL,
            " ..\\" + EVIL, "C:\\" + EVIL, "C:" + EVIL, "D:\\bait\\keep.txt", "\\\\srv\\share\\" + EVIL,
            "readme.txt:stream", "\\Data\\..\\..\\..\\..\\..\\..\\windows\\" + EVIL, "..\\\u00e9" + EVIL]


@pytest.mark.parametrize("name", ESCAPING)
def test_a_cabinet_entry_that_leaves_the_folder_stops_the_extraction(attack, base, name):
    """The first entry is sound and extracted; the escaping one stops the run."""
    package = Package(base.stub, with_cabinet(base, cabinet([GOOD, CabFile(name, b"evil\r\n")])))
    result = attack.run(attack.exe(package), 7)
    # Log files are not UTF-16: compare the name up to its first non-ASCII character.
    shown = name.encode("ascii", "replace").decode().split("?")[0]
    assert any(m.startswith(f"File name leaves the extraction folder, extraction stopped : {shown}")
               for m in error_lines(result, "FdiCallback")), attack.errors(result)
    assert (attack.target / "readme.txt").read_bytes() == b"hello\r\n"


def cabinet_failure(result):
    """The engine's code and the error line the driver wrote for it."""
    codes = [l.message for l in result.lines if l.message.startswith("Return Code for cab extraction : ")]
    return codes, error_lines(result, "ExtractPackage")


@pytest.mark.parametrize("cabs", [
    # WebCab1 names itself, in another letter case, or a second cabinet that
    # names it back; settings records put the second one beside it.
    {"WebCab1": "WebCab1"},
    {"WebCab1": "WEBCAB1"},
    {"WebCab1": "WebCab2", "WebCab2": "WebCab1"},
    {"WebCab1": "WebCab2", "WebCab2": "WebCab3", "WebCab3": "webcab2"},
], ids=["itself", "itself in capitals", "two in a circle", "three with a loop"])
def test_a_circle_of_next_cabinet_names_ends(attack, base, cabs):
    records = []
    for i, (name, next_name) in enumerate(cabs.items()):
        data = cabinet([CabFile(f"\\part{i}.txt", b"x" * 10)], index=i, next_cab=next_name,
                       prev_cab=None if i == 0 else list(cabs)[i - 1])
        records.append(Record(name, data, KIND_PACKAGE if name == "WebCab1" else KIND_SETTINGS))
    package = Package(base.stub, replaced(base, *records))
    result = attack.run(attack.exe(package), 7)
    assert result.has_line("Return Code for cab extraction : 10", source="ExtractPackage"), attack.errors(result)
    assert any(m.startswith("The cabinet set names a cabinet twice") for m in error_lines(result, "ExtractCabinet")), \
        attack.errors(result)


def test_a_file_running_on_into_its_own_cabinet_ends(attack, base):
    """The decoder itself follows a file that continues into the next
    cabinet; that next cabinet is the same one."""
    cab = cabinet([CabFile("\\spans.bin", b"y" * 1000, size=5000, folder=0xFFFE)], next_cab="WebCab1")
    package = Package(base.stub, with_cabinet(base, cab))
    result = attack.run(attack.exe(package), 7)
    codes, errors = cabinet_failure(result)
    assert codes and codes != ["Return Code for cab extraction : 0"] and errors, attack.errors(result)


@pytest.mark.parametrize("cab", [
    cabinet([GOOD], file_count=65535),
    cabinet([GOOD], folder_count=65535),
    cabinet([GOOD], folder_count=0),
    cabinet([CabFile("\\huge.bin", b"z" * 100, size=0xFFFFFFFF)]),
    cabinet([CabFile("\\far.bin", b"z" * 100, offset=0x7FFFFFF0)]),
    cabinet([CabFile("\\long" + "x" * 300 + ".txt", b"z")]),
    cabinet([GOOD], signature=b"MSCF"),
    cabinet([GOOD])[:60],
    b"",
    random.Random(SEED).randbytes(5000),
], ids=["65535 files", "65535 folders", "no folder", "file of 4 GiB", "offset beyond the data", "name of 300",
        "plain signature", "cut header", "empty", "garbage"])
def test_an_absurd_cabinet_fails_with_the_engine_error(attack, base, cab):
    package = Package(base.stub, with_cabinet(base, cab))
    result = attack.run(attack.exe(package), 7)
    codes, errors = cabinet_failure(result)
    assert codes and codes != ["Return Code for cab extraction : 0"], attack.errors(result)
    assert errors, "no log line names the cause"


# --- the settings files -----------------------------------------------------

TRUE_CONDITION = ("{Registry};{HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\CurrentVersion};"
                  "{>=};{5.1};{}")
FALSE_CONDITION = "{File};{C:\\no\\such\\file.txt};{EXIST};{};{}"


def conditions(expression, count=1000, false_at=()):
    edits = [("Conditions", "Action1", "Extract"), ("Conditions", "Action1Condition", expression)]
    edits += [("Conditions", f"Condition{i}", FALSE_CONDITION if i in false_at else TRUE_CONDITION)
              for i in range(1, count + 1)]
    return edits


@pytest.mark.parametrize("edits", [
    conditions(" AND ".join(f"Condition{i}" for i in range(1, 1001))),
    conditions(" OR ".join(f"Condition{i}" for i in range(1, 1001)), false_at=range(1, 1001)),
    conditions("(" * 500 + "Condition1 AND Condition2" + ")" * 500, count=2, false_at={2}),
    conditions("NOT " * 251 + "Condition1", count=1),
    conditions("(" * 1000 + "Condition1", count=1),
], ids=["thousand ANDs", "thousand false ORs", "500 parentheses deep", "251 NOTs", "unbalanced"])
def test_a_huge_condition_expression_is_refused_in_time(attack, base, edits):
    package = Package(base.stub, replaced(base, settings_with(base, *edits)))
    result = attack.run(attack.exe(package), 5)
    assert result.has_line("Condition not satisfied", source="CTavoInitalizer::InitDisplay", level="ERROR")


def test_values_of_100_kb_are_cut_and_do_not_break_the_run(attack, base):
    big = "A" * 100 * 1024
    edits = [("Package", "Name", big), ("Package", "NameDispl", big), ("Package", "VersionString", big),
             ("Tavo", "FrameVersion", big), ("LogFiles", "ExtractLogFileName", big), ("Runtime", "AutoLaunch", big),
             ("Languages", "SetupLanguages", ";".join(["1033"] * 20000))]
    package = Package(base.stub, replaced(base, settings_with(base, *edits)))
    # The setup named by the cut AutoLaunch value does not exist.
    attack.run(attack.exe(package), 8)


def garbage(seed, size):
    return random.Random(seed).randbytes(size)


def ini_garbage(seed, lines):
    """UTF-16 text made of INI pieces in random order: brackets, equal signs,
    known section and key names, odd characters."""
    rnd = random.Random(seed)
    pieces = ["[", "]", "=", ";", "\r\n", "\0", "Package", "Runtime", "AutoLaunch", "Conditions", "Action1Condition",
              "ExtractPath", "..\\..", "%TEMP%", "%", "Condition1", "{File}", "\ufeff", "\udc00", "\u202e", "A" * 2000]
    text = "".join(rnd.choice(pieces) for _ in range(lines))
    return b"\xff\xfe" + text.encode("utf-16-le", "surrogatepass")


@pytest.mark.parametrize("record", [
    Record("Properties_Tavo.ini", garbage(SEED, 20000)),
    Record("Properties_Tavo.ini", ini_garbage(SEED, 3000)),
    Record("Default1033.ulf", garbage(SEED + 1, 20000)),
    Record("Defaultx.ulf", ini_garbage(SEED + 2, 3000)),
], ids=["binary settings", "scrambled settings", "binary language file", "scrambled language list"])
def test_garbage_settings_files_end_the_run_cleanly(attack, base, record):
    """The cabinet is sound; garbage settings may or may not refuse it, but
    the run ends by itself, documented, and writes nothing elsewhere."""
    package = Package(base.stub, replaced(base, record))
    result = attack.run(attack.exe(package), None)
    assert result.exit_code in DOCUMENTED


# --- part files -------------------------------------------------------------

@pytest.fixture(scope="module")
def parted(tmp_path_factory):
    """A package in three part files: (exe, {part name: bytes})."""
    folder = tmp_path_factory.mktemp("hostile_parts")
    text = set_key(set_key(SETTINGS, "Package", "MultiPartDownload", "1"), "Package", "MultipartFileName", "Parts")
    (folder / "Properties_Tavo.ini").write_text(text, encoding="utf-8")
    (folder / "content").mkdir()
    (folder / "content" / "a.bin").write_bytes(random.Random(SEED).randbytes(150000))
    exe = zelpack_build(folder, folder.parent / (folder.name + "_out") / "Setup.exe", "--part-size", "64K")
    parts = {p.name: p.read_bytes() for p in sorted(exe.parent.glob("Parts.0*"))}
    assert list(parts) == ["Parts.001", "Parts.002", "Parts.003"]
    return read_package(ZELPACK, exe), parts


def part_hash(data):
    return hashlib.sha1(data).hexdigest()[:32]


def swap_keys(text, section, a, b):
    va, vb = get_key(text, section, a), get_key(text, section, b)
    return set_key(set_key(text, section, a, vb), section, b, va)


PART_CASES = {
    # name: (change the parts, change the settings text, expected log line start)
    "swapped": (lambda p: {**p, "Parts.002": p["Parts.003"], "Parts.003": p["Parts.002"]}, None,
                "Part file {folder}Parts.003 is corrupt."),
    "duplicated": (lambda p: {**p, "Parts.003": p["Parts.002"]}, None, "Part file {folder}Parts.003 is corrupt."),
    "truncated": (lambda p: {**p, "Parts.002": p["Parts.002"][:len(p["Parts.002"]) // 2]}, None,
                  "Part file {folder}Parts.002 is corrupt."),
    "missing": (lambda p: {k: v for k, v in p.items() if k != "Parts.003"}, None,
                "Part file {folder}Parts.003 not found"),
    # The hash codes follow the swap, so only the cabinets' own numbers tell.
    "swapped with their hash codes": (
        lambda p: {**p, "Parts.002": p["Parts.003"], "Parts.003": p["Parts.002"]},
        lambda t: swap_keys(swap_keys(t, "HashCode", "002", "003"), "PartFileIno", "002", "003"),
        "Part file {folder}Parts.003 is invalid."),
}


@pytest.mark.parametrize("case", list(PART_CASES))
def test_damaged_part_files_are_refused(attack, parted, case):
    package, parts = parted
    change_parts, change_settings, line = PART_CASES[case]
    if change_settings:
        ini = package.record("Properties_Tavo.ini")
        package = Package(package.stub, replaced(package, ini_record(change_settings(ini_text(ini)))))
    exe = attack.exe(package)
    for name, data in change_parts(parts).items():
        (exe.parent / name).write_bytes(data)
    result = attack.run(exe, 7)
    folder = attack.win(exe.parent) + "\\"
    assert any(m.startswith(line.format(folder=folder)) for m in error_lines(result, "ExtractPackage")), \
        attack.errors(result)


def test_a_truncated_part_whose_hash_was_fixed_up_fails_in_the_engine(attack, parted):
    package, parts = parted
    cut = parts["Parts.002"][:len(parts["Parts.002"]) // 2]
    ini = ini_text(package.record("Properties_Tavo.ini"))
    ini = set_key(set_key(ini, "HashCode", "002", part_hash(cut)), "PartFileIno", "002", str(len(cut)))
    package = Package(package.stub, replaced(package, ini_record(ini)))
    exe = attack.exe(package)
    for name, data in {**parts, "Parts.002": cut}.items():
        (exe.parent / name).write_bytes(data)
    result = attack.run(exe, 7)
    codes, errors = cabinet_failure(result)
    assert codes and codes != ["Return Code for cab extraction : 0"] and errors, attack.errors(result)


# --- faults during the run --------------------------------------------------

@pytest.fixture(scope="module")
def large(tmp_path_factory):
    """A package of 48 MiB that does not compress, whose settings claim it
    needs 1 byte: the free-space check passes and the drive fills later."""
    folder = tmp_path_factory.mktemp("hostile_large")
    (folder / "Properties_Tavo.ini").write_text(SETTINGS, encoding="utf-8")
    (folder / "content" / "Data").mkdir(parents=True)
    rnd = random.Random(SEED)
    for i in range(6):
        (folder / "content" / "Data" / f"chunk{i}.bin").write_bytes(rnd.randbytes(8 << 20))
    (folder / "content" / "readme.txt").write_bytes(b"hello\r\n")
    package = read_package(ZELPACK, zelpack_build(folder, folder.parent / (folder.name + "_out") / "Setup.exe"))
    return Package(package.stub, replaced(package, settings_with(package, ("Size", "PackageSize", "1"),
                                                                    ("Size", "CabSize", "1"))))


@pytest.fixture
def small_drive(wine, tmp_path):
    """E:, a fixed drive of 8 MiB: too small for the package's executable, so
    the working folder never lands there, and too small for its content."""
    folder = tmp_path / "drive_e"
    folder.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=8m", "tmpfs", str(folder)], check=True)
    map_drive(wine, "e", folder)
    yield folder
    unmap_drive(wine, "e")
    subprocess.run(["umount", str(folder)], check=True)


def test_a_drive_filling_up_mid_way_fails_with_exit_7(attack, large, small_drive):
    target = small_drive / "out"
    target.mkdir()
    (target / "keep.txt").write_bytes(b"existing\r\n")
    result = attack.run(attack.exe(large), 7, target=target, target_win="E:\\out", roots=attack.roots + [small_drive])
    assert result.has_line("There is not sufficient space on drive :E:", source="ExtractPackage",
                           level="ERROR"), attack.errors(result)
    assert (target / "keep.txt").read_bytes() == b"existing\r\n"


@pytest.fixture
def held_file(wine, attack):
    """readme.txt in the extraction folder, held open without sharing by
    another process."""
    attack.target.mkdir()
    held = attack.target / "readme.txt"
    held.write_bytes(b"original\r\n")
    holder = wine.start(HELPERS / "wintool.exe", "hold-file", wine.win_path(held), 120)
    assert holder.stdout.readline().strip() == b"held"
    yield held
    holder.kill()
    holder.wait(timeout=30)


def test_a_file_held_open_by_another_process_fails_with_exit_7(attack, base, held_file):
    result = attack.run(attack.exe(base), 7)
    assert result.has_line("Cannot copy readme.txt It is being used by another person or program.Close any programs "
                           "that might be using the file and try again.", source="ExtractPackage", level="ERROR"), \
        attack.errors(result)
    assert held_file.read_bytes() == b"original\r\n"


def test_the_working_folders_drive_disappearing_fails_with_exit_7(wine, attack, large, tmp_path):
    """F:, the highest fixed drive, takes the working folder; its drive letter
    goes away while the cabinet is being copied there."""
    from conftest import parse_log
    backing = tmp_path / "drive_f"
    backing.mkdir()
    map_drive(wine, "f", backing)
    try:
        exe = attack.exe(large)
        before = snapshot(attack.roots, exclude=[LOG_ROOT, attack.target])
        shutil.rmtree(LOG_FOLDER, ignore_errors=True)
        proc = wine.start(exe, "-silent", f"-extractpath={attack.win(attack.target)}")
        deadline = time.time() + LIMIT
        while time.time() < deadline and not list(backing.glob("{*}/WebCab1")):
            time.sleep(0.002)
        (PREFIX / "dosdevices" / "f:").unlink()
        try:
            status = proc.wait(timeout=max(1, deadline - time.time()))
        except subprocess.TimeoutExpired:
            proc.kill()
            run_wineserver("-k")
            pytest.fail(f"the run did not end within {LIMIT} s")
    finally:
        unmap_drive(wine, "f")
    code = status - 256 if status >= 128 else status
    texts = {f.name: f.read_bytes().decode("latin-1") for f in LOG_FOLDER.iterdir()}
    lines = [l for t in texts.values() for l in parse_log(t)]
    assert texts["Tavo.log"].rstrip("\r\n").endswith(END_BANNER)
    assert code == 7, [f"{l.source}: {l.message}" for l in lines if l.level == "ERROR"]
    assert any(l.source in ("ExtractPackage", "ExtractFile") and l.level == "ERROR" for l in lines)
    assert changes(before, snapshot(attack.roots, exclude=[LOG_ROOT, attack.target])) == []
