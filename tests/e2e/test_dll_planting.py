"""Libraries planted beside a downloaded package are never loaded.

Wine would otherwise prefer its own built-in libraries of these names, so the
runs here ask it to prefer native ones for the libraries the stub loads
itself: a planted library is then loaded whenever the stub looks for it
beside itself. version.dll is planted too but keeps Wine's built-in
preference: Wine's own user32 and comctl32 import it, so with a native
preference the planted one would be resolved for them before the stub runs
(a loader matter of the system's libraries, not a search the stub makes)."""
import shutil

import pytest

from conftest import HELPERS

PLANTED = ["Cabinet.dll", "version.dll", "gdiplus.dll", "comctl32.dll", "ole32.dll", "shell32.dll"]
PREFER_NATIVE = "cabinet,gdiplus,comctl32,ole32,shell32=n,b"


@pytest.fixture
def prefer_native(wine):
    old = wine.env.get("WINEDLLOVERRIDES")
    wine.env["WINEDLLOVERRIDES"] = PREFER_NATIVE
    yield
    if old is None:
        wine.env.pop("WINEDLLOVERRIDES")
    else:
        wine.env["WINEDLLOVERRIDES"] = old


# The common controls and OLE load on first use, so only a run with a window
# loads them: the unattended run covers that late load.
@pytest.mark.parametrize("switch", ["-silent", "-unattended"])
def test_planted_libraries_beside_the_package_are_not_loaded(prefer_native, stage, run_stub, demo_package, switch):
    exe = stage(demo_package)
    for name in PLANTED:
        shutil.copy(HELPERS / "planted.dll", exe.parent / name)
    result = run_stub(switch, exe=exe)
    # The run used the system's own libraries: the cabinet was extracted.
    assert result.exit_code == 0
    assert result.has_line("Return Code for cab extraction : 0", source="ExtractPackage")
    loaded = sorted(p.name for p in exe.parent.glob("*.loaded"))
    assert loaded == []


def test_the_planted_library_does_announce_itself(prefer_native, stage, wine):
    """The marker works: a program that loads the library by its path writes it."""
    exe = stage(HELPERS / "wintool.exe")
    shutil.copy(HELPERS / "planted.dll", exe.parent / "Cabinet.dll")
    code, _ = wine.run(exe, "load-library", wine.win_path(exe.parent / "Cabinet.dll"))
    assert code == 0
    assert (exe.parent / "Cabinet.dll.loaded").exists()
