"""Builders for hostile packages: payload records, cabinets and settings files
written byte by byte, so that every length and name can be wrong on purpose,
and a snapshot of the drives to show what a run wrote."""
import os
import re
import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path

MARKER = "{20726377-9F91-41b8-B514-20AE00AA235D}".encode("utf-16-le")
KIND_PACKAGE = 100
KIND_SETTINGS = 200
END_BANNER = "############################## --------- End --------- ##############################"


@dataclass
class Record:
    name: str
    data: bytes
    kind: int = KIND_SETTINGS


def record_bytes(name, data, kind=KIND_SETTINGS, *, name_length=None, name_raw=None, data_size=None):
    """One payload record; name_length, name_raw and data_size override what
    the header claims, so the header can lie about the bytes that follow."""
    raw = name.encode("utf-16-le") if name_raw is None else name_raw
    return (MARKER + struct.pack("<I", len(raw) if name_length is None else name_length) + raw
            + struct.pack("<IH", len(data) if data_size is None else data_size, kind) + data)


def payload_bytes(records):
    return b"".join(record_bytes(r.name, r.data, r.kind) for r in records)


@dataclass
class Package:
    """A zelpack-built package taken apart: the stamped stub image (its bytes
    up to the first record) and the records behind it."""
    stub: bytes
    records: list

    def record(self, name):
        return next(r for r in self.records if r.name == name)

    def settings(self):
        return [r for r in self.records if r.kind == KIND_SETTINGS]

    def write(self, path, payload=None):
        """Writes the stub with the given payload bytes (default: the records)."""
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(self.stub + (payload_bytes(self.records) if payload is None else payload))
        return path

    def boundaries(self):
        """Offsets into the payload where each record starts, and its end."""
        at, starts = 0, []
        for r in self.records:
            starts.append(at)
            at += len(record_bytes(r.name, r.data, r.kind))
        return starts + [at]


def stamped_offset(zelpack, package):
    out = subprocess.run([zelpack, "inspect", str(package)], capture_output=True, text=True, check=True,
                         timeout=60).stdout
    m = re.search(r"offset\D*(\d+)", out, re.IGNORECASE)
    assert m, out
    return int(m.group(1))


def read_package(zelpack, path):
    data = Path(path).read_bytes()
    offset = stamped_offset(zelpack, path)
    records, at = [], offset
    while data[at:at + len(MARKER)] == MARKER:
        at += len(MARKER)
        (n,) = struct.unpack_from("<I", data, at)
        name = data[at + 4:at + 4 + n].decode("utf-16-le")
        size, kind = struct.unpack_from("<IH", data, at + 4 + n)
        at += 4 + n + 6
        records.append(Record(name, data[at:at + size], kind))
        at += size
    assert records, "no records behind the stamped offset"
    return Package(data[:offset], records)


# --- settings files ---------------------------------------------------------

def ini_text(record):
    return record.data.decode("utf-16")


def ini_record(text, name="Properties_Tavo.ini"):
    """A settings file as the stub reads it: UTF-16LE with a byte-order mark."""
    return Record(name, b"\xff\xfe" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le"))


def set_key(text, section, key, value):
    """Sets key=value in section of an INI text, adding either if missing."""
    lines = text.replace("\r\n", "\n").split("\n")
    head = f"[{section}]".lower()
    try:
        start = next(i for i, l in enumerate(lines) if l.strip().lower() == head)
    except StopIteration:
        return text.rstrip("\n") + f"\n[{section}]\n{key}={value}\n"
    end = next((i for i in range(start + 1, len(lines)) if lines[i].strip().startswith("[")), len(lines))
    for i in range(start + 1, end):
        if lines[i].split("=", 1)[0].strip().lower() == key.lower():
            lines[i] = f"{key}={value}"
            return "\n".join(lines)
    lines.insert(start + 1, f"{key}={value}")
    return "\n".join(lines)


def get_key(text, section, key):
    section_on = False
    for line in text.replace("\r\n", "\n").split("\n"):
        s = line.strip()
        if s.startswith("["):
            section_on = s.lower() == f"[{section}]".lower()
        elif section_on and "=" in s and s.split("=", 1)[0].strip().lower() == key.lower():
            return s.split("=", 1)[1].strip()
    return None


# --- cabinets ---------------------------------------------------------------

@dataclass
class CabFile:
    name: str
    data: bytes
    size: int = None      # the size the entry claims (default: len(data))
    folder: int = 0       # 0xFFFD/0xFFFE/0xFFFF mark files running across cabinets
    offset: int = None    # offset in the folder's uncompressed data (default: packed back to back)


def cabinet(files, *, signature=b"TAVO", set_id=0, index=0, next_cab=None, prev_cab=None, file_count=None,
            folder_count=None, block=32768):
    """An uncompressed cabinet with one folder holding the files' bytes back to
    back. The counts, sizes and names are written as given, true or not."""
    flags = (1 if prev_cab else 0) | (2 if next_cab else 0)
    names = b""
    if prev_cab:
        names += prev_cab.encode("latin-1") + b"\0" + b"disk\0"
    if next_cab:
        names += next_cab.encode("latin-1") + b"\0" + b"disk\0"
    header_size = 36 + len(names)
    data = b"".join(f.data for f in files)
    blocks = [data[i:i + block] for i in range(0, len(data), block)] or [b""]
    entries, at = b"", 0
    for f in files:
        raw = f.name.encode("utf-8")
        attribs = 0x20 | (0x80 if any(ord(c) > 127 for c in f.name) else 0)
        entries += struct.pack("<IIHHHH", len(f.data) if f.size is None else f.size, at if f.offset is None else f.offset,
                               f.folder, 0x5A21, 0x6000, attribs) + raw + b"\0"
        at += len(f.data)
    folder_at = header_size
    files_at = folder_at + 8
    data_at = files_at + len(entries)
    body = b"".join(struct.pack("<IHH", 0, len(b), len(b)) + b for b in blocks)
    total = data_at + len(body)
    header = struct.pack("<4sIIIIIBBHHHHH", signature, 0, total, 0, files_at, 0, 3, 1,
                         1 if folder_count is None else folder_count,
                         len(files) if file_count is None else file_count, flags, set_id, index)
    folder = struct.pack("<IHH", data_at, len(blocks), 0)
    return header + names + folder + entries + body


# --- what a run wrote -------------------------------------------------------

def snapshot(roots, exclude=()):
    """Every file and folder below the roots with its size and write time."""
    excluded = [os.path.realpath(p) for p in exclude]
    seen = {}
    for root in roots:
        for folder, dirs, files in os.walk(root):
            real = os.path.realpath(folder)
            if any(real == e or real.startswith(e + os.sep) for e in excluded):
                dirs[:] = []
                continue
            for name in dirs + files:
                path = os.path.join(folder, name)
                if any(os.path.realpath(path) == e for e in excluded):
                    continue
                try:
                    st = os.lstat(path)
                except FileNotFoundError:
                    continue
                seen[path] = (st.st_size, st.st_mtime_ns) if os.path.isfile(path) else None
    return seen


def changes(before, after):
    """Paths added, removed or changed between two snapshots."""
    return sorted(p for p in set(before) | set(after) if before.get(p, "gone") != after.get(p, "gone"))
