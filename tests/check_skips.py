#!/usr/bin/env python3
"""Runs a test program and makes its skipped tests visible.

    check_skips.py ALLOWED_FILE -- COMMAND [ARGS...]

The program's output passes through unchanged. Afterwards every skipped test
(GoogleTest "[  SKIPPED ]" lines, pytest "SKIPPED [n] file:line: reason"
lines of its -rs summary) is listed. A skip whose description matches no
pattern of ALLOWED_FILE (the short list of skips the environment causes)
fails the entry, even when the program itself passed. When every skip is
allowed, the entry ends with SKIPPED_EXIT, so that ctest shows it as skipped
and not as passed.
"""
import re
import subprocess
import sys

SKIPPED_EXIT = 77
GTEST_SKIP = re.compile(r"^\[  SKIPPED \] (\w[\w/.]*\.\w[\w/]*)")
GTEST_REASON = re.compile(r"^(.+):(\d+): Skipped$")
PYTEST_SKIP = re.compile(r"^SKIPPED \[\d+\] (\S+?:\d+): (.*)$")


def allowed_patterns(path):
    patterns = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                patterns.append(re.compile(line))
    return patterns


def main(argv):
    if len(argv) < 4 or argv[2] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    patterns = allowed_patterns(argv[1])
    proc = subprocess.Popen(argv[3:], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    skips = []
    pending_reason = None
    expect_reason = False
    for raw in proc.stdout:
        text = raw.decode("utf-8", "replace")
        sys.stdout.write(text)
        line = text.rstrip("\r\n")
        if expect_reason:
            # GoogleTest prints the skip's message on the line after "Skipped".
            pending_reason = line.strip()
            expect_reason = False
            continue
        if GTEST_REASON.match(line):
            expect_reason = True
            continue
        m = GTEST_SKIP.match(line)
        if m and "(" in line:
            skips.append(f"gtest {m.group(1)}: {pending_reason or ''}")
            pending_reason = None
            continue
        m = PYTEST_SKIP.match(line)
        if m:
            skips.append(f"pytest {m.group(1)}: {m.group(2)}")
    sys.stdout.flush()
    code = proc.wait()
    if not skips:
        return code
    unexpected = [s for s in skips if not any(p.search(s) for p in patterns)]
    print(f"\n{len(skips)} skipped test(s):")
    for s in skips:
        print(("  NOT ALLOWED  " if s in unexpected else "  allowed      ") + s)
    if unexpected:
        print(f"{len(unexpected)} skip(s) not on the list of environment-caused skips ({argv[1]}): failing.")
        return 1
    return code if code != 0 else SKIPPED_EXIT


if __name__ == "__main__":
    sys.exit(main(sys.argv))
