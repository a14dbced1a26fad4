"""Follows docs/walkthrough.md literally: its settings files, its zelpack
commands and its Wine runs, with the exit codes the page promises."""
import re
import shlex
import shutil
import subprocess
from pathlib import Path

from conftest import HELPERS, PREFIX, REPO, STUB, ZELPACK

PAGE = REPO / "docs" / "walkthrough.md"


def blocks(text, language):
    return re.findall(r"```" + language + r"\n(.*?)```", text, re.S)


def temp_folder(name):
    """The prefix's %TEMP%\\name, whatever the user is called."""
    found = list((PREFIX / "drive_c" / "users").glob("*/Temp"))
    assert found, "the prefix has no user Temp folder"
    return found[0] / name


def test_the_walkthrough_builds_and_runs_its_packages(tmp_path, stage, run_stub):
    text = PAGE.read_text("utf-8")
    for block in blocks(text, "ini"):
        first, _, body = block.partition("\n")
        name = re.fullmatch(r"; file: (\S+)", first).group(1)
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_text(body, encoding="utf-8")
    # The files to install are the reader's own; a probe stands in for the installer.
    for folder in ("hello", "setup"):
        (tmp_path / folder / "content").mkdir(exist_ok=True)
        (tmp_path / folder / "content" / "readme.txt").write_bytes(b"hello\r\n")
    shutil.copy(HELPERS / "setup_probe.exe", tmp_path / "setup" / "content" / "setup.exe")

    runs = []
    for block in blocks(text, "sh"):
        for line in block.splitlines():
            command, _, comment = line.partition("#")
            args = shlex.split(command)
            if args[:2] == ["mkdir", "-p"]:
                (tmp_path / args[2]).mkdir(parents=True, exist_ok=True)
            elif args and args[0] == "out/zelpack":
                extra = ["--stub", str(STUB)] if args[1] == "build" else []
                proc = subprocess.run([ZELPACK, *args[1:], *extra], cwd=tmp_path, capture_output=True, text=True,
                                      timeout=300)
                assert proc.returncode == 0, (line, proc.stderr)
                assert "warning" not in proc.stderr, (line, proc.stderr)
                if args[1] == "check":
                    assert proc.stdout == "0 errors, 0 warnings\n", line
            elif args and args[0] == "tools/wine-run":
                code = int(re.search(r"exit code (-?\d+)", comment).group(1))
                runs.append((args[3], args[4:], code))
    assert [r[0] for r in runs] == ["hello-out/Hello.exe", "setup-out/HelloSetup.exe"]

    for package, switches, code in runs:
        name = Path(package).stem
        shutil.rmtree(temp_folder(name), ignore_errors=True)
        result = run_stub(*switches, exe=stage(tmp_path / package))
        assert result.exit_code == code, (package, result.master_log[-2000:])
        assert (temp_folder(name) / "readme.txt").read_bytes() == b"hello\r\n"
        assert f"{name}.log" in result.logs, list(result.logs)

    record = (temp_folder("HelloSetup") / "setup.exe.record").read_text("utf-8")
    assert "--quiet" in record, record
    shutil.rmtree(temp_folder("Hello"), ignore_errors=True)
    shutil.rmtree(temp_folder("HelloSetup"), ignore_errors=True)
