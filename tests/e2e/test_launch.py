"""The package's setups, started after a quiet run's extraction."""
import getpass

import pytest

from conftest import REPO, working_folders
from launch_support import PROBE_MSI, cabinet_package, launch_package, run_detached  # noqa: F401 (fixtures)

SOURCE = "LaunchMultipleApplications"
USER = getpass.getuser()
TEMP = "C:\\users\\" + USER + "\\Temp"  # %TEMP% of the prefix's user


def finished(result, path, code):
    return (result.has_line(f"Finished - {path}", source=SOURCE)
            and result.has_line(f"Return code of - {path} is {code}", source=SOURCE))


@pytest.mark.parametrize("switch, mode, extra", [
    ("-silent", "tavo", "/s-part"),
    ("-unattended", "TAVO", "/u-part"),
    ("-silent", "web", ""),
])
def test_single_setup_after_extraction(wine, run_stub, launch_package, switch, mode, extra):
    # The working folder is a GUID folder at the root of C:; the probe lists
    # what is there when it starts.
    package = launch_package(
        f"AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1\nMode={mode}",
        "[1033]\nLaunchEXEParams=--exit=7 --list=C:\\{* --who=%USERNAME% --tmp=%TEMP%\\probe\n"
        "LaunchEXEParamsSilent=/s-part\nLaunchEXEParamsUnattended=/u-part\n")
    result = run_stub(switch, exe=package.exe)

    assert result.exit_code == 0
    record = package.record("probe.exe")
    assert record is not None, "the setup was not started:\n" + result.log("ZelLaunch.log")[-2500:]
    cmdline = record["cmdline"]
    # %TEMP% followed by a backslash is replaced by the folder's value.
    # %USERNAME% is not among the supported names: a warning, and replaced all the same.
    expected = f"--exit=7 --list=C:\\{{* --who={USER} --tmp={TEMP}\\probe {extra}".rstrip()
    assert cmdline.rstrip().endswith(expected), cmdline
    warnings = [l for l in result.lines if l.message == "Env variable not supported.."]
    assert [(l.source, l.level) for l in warnings] == [("IsEnvVarPresent", "WARNING")]
    assert record["list"] == "", "the working folder was still there"
    path = package.setup("probe.exe")
    assert finished(result, path, 7)
    assert result.has_line("Launching - " + path, source=SOURCE)
    assert working_folders(wine) == []


MULTI = "Multilaunch=1\nAutoLaunch1=probe1.exe\nAutoLaunch2=probe2.exe\nAutoLaunch3=probe3.exe\n"
PROBES = ("probe1.exe", "probe2.exe", "probe3.exe")


def test_multilaunch_waits_for_each_in_order(run_stub, launch_package):
    # The first setup is the slowest: the next one may only start when it ended.
    package = launch_package(
        MULTI + "WaitForAutolaunchFinish=1",
        "[1033]\nLaunchEXEParams1=--sleep=1500 --exit=1\nLaunchEXEParams2=--exit=2\nLaunchEXEParams3=--exit=3\n",
        probes=PROBES)
    result = run_stub("-silent", exe=package.exe)

    assert result.exit_code == 0
    assert package.order() == ["start probe1.exe", "end probe1.exe", "start probe2.exe", "end probe2.exe",
                               "start probe3.exe", "end probe3.exe"]
    for n in (1, 2, 3):
        assert finished(result, package.setup(f"probe{n}.exe"), n)


def test_multilaunch_without_waiting_starts_all_at_once(wine, launch_package):
    package = launch_package(
        MULTI.replace("AutoLaunch3=probe3.exe\n", "") + "WaitForAutolaunchFinish=0",
        "[1033]\nLaunchEXEParams1=--sleep=8000\nLaunchEXEParams2=--sleep=8000\n",
        probes=PROBES[:2])
    result = run_detached(wine, package.exe, "-silent")

    assert result.exit_code == 0
    # Both are running, and neither has ended, when the stub has ended.
    assert sorted(package.order()) == ["start probe1.exe", "start probe2.exe"]
    assert not any(l.message.startswith(("Finished - ", "Return code of - ")) for l in result.lines)
    assert len(package.wait_for_order(4)) == 4, result.log("ZelLaunch.log")[-2500:]


def test_setup_missing_at_collection_starts_none(run_stub, cabinet_package):
    probe = PROBE_MSI.parent / "setup_probe.exe"
    package = cabinet_package(
        "Multilaunch=1\nAutoLaunch1=probe1.exe\nAutoLaunch2=probe2.exe\nWaitForAutolaunchFinish=1",
        "", {"probe1.exe": probe.read_bytes()})
    result = run_stub("-silent", exe=package.exe)

    assert result.exit_code == 8
    assert (package.folder / "probe1.exe").exists()
    assert package.order() == []
    assert result.has_line(package.setup("probe2.exe"), source="File for launching the setup not found :",
                           level="ERROR")
    assert not any(l.message.startswith("Launching - ") for l in result.lines)


JAPANESE = "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u5b8c\u4e86 JA"


@pytest.mark.parametrize("switches, code, mapping, exit_code, line, level", [
    # The log file is 8-bit: each Japanese character is written as "?".
    (["-unattended", "-setupLanguage=1041"], 0, "ReturnCode_0=SUCCESS:{Ok_Msg}", 0,
     "Message Configuerd : " + "?" * 8 + " JA", ""),
    (["-silent"], 0, "ReturnCode_0=SUCCESS:{Ok_Msg}", 0, "Message Configuerd : Installed", ""),
    (["-silent"], -1, "ReturnCode_-1=Error:{Fail_Msg}", 8,
     "Error while installation. Message Configuerd : It failed", "ERROR"),
    (["-silent"], 0, "ReturnCode_0=SUCCESS:Done", 0, "Message Configuerd : ", ""),
    (["-silent"], 0, "returncode_0=success:{Ok_Msg}", 0, "Message Configuerd : Installed", ""),
    (["-silent"], 5, "ReturnCode_0=Error:{Fail_Msg}", 0, None, None),
])
def test_return_code_messages(run_stub, launch_package, switches, code, mapping, exit_code, line, level):
    texts = "[1033]\nLaunchEXEParams=--exit={code}\nOk_Msg=Installed\nFail_Msg=It failed\n".format(code=code)
    texts += "[1041]\nLaunchEXEParams=--exit={code}\nOk_Msg={ja}\n".format(code=code, ja=JAPANESE)
    package = launch_package(
        "AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1",
        "[Languages]\nSetupLanguages=1033;1041\n[AutoLaunch]\n" + mapping + "\n" + texts,
        files={"Default1041.ulf": "[FileInfo]\nID=1041\nLangName=Japanese\n", "Defaultx.ulf":
               "[RADIOBUTTONSTRING]\n1033=&English\n1041=&Japanese\n"})
    result = run_stub(*switches, exe=package.exe)

    assert result.exit_code == exit_code
    assert finished(result, package.setup("probe.exe"), code)
    configured = [l for l in result.lines if "Message Configuerd : " in l.message]
    if line is None:
        assert configured == []
    else:
        assert [(l.message, l.level) for l in configured] == [(line, level)]


@pytest.fixture
def probe_msi(wine):
    """The installer package the build makes with wixl, removed again afterwards."""
    if not PROBE_MSI.exists():
        pytest.skip("wixl was not found when the build was configured")
    # A product still installed by an earlier run would not install its file again.
    on_s = "S:\\" + str(PROBE_MSI.resolve().relative_to(REPO)).replace("/", "\\")
    wine.run("msiexec.exe", "/x", on_s, "/qn")
    yield PROBE_MSI
    wine.run("msiexec.exe", "/x", on_s, "/qn")


def test_installer_package_is_installed_through_msiexec(wine, run_stub, launch_package, probe_msi):
    # A blank in the extraction folder: an unquoted path would not reach msiexec whole.
    package = launch_package("AutoLaunch=launch_probe.msi\nWaitForAutolaunchFinish=1",
                             "[1033]\nLaunchEXEParams=/qn INSTALLDIR=\"{target}\\installed\"\n", probes=(),
                             files={"content/launch_probe.msi": probe_msi.read_bytes()},
                             folder_name="msi package")
    result = run_stub("-silent", exe=package.exe)

    assert result.exit_code == 0
    assert finished(result, package.setup("launch_probe.msi"), 0)
    # INSTALLDIR reached msiexec: the file lands where the parameters say.
    assert (package.folder / "installed" / "probe.txt").read_bytes() == \
        (REPO / "tests" / "unit" / "data" / "launch" / "probe.txt").read_bytes()


def test_setup_path_too_long_to_run(run_stub, cabinet_package):
    name = "a" * 450 + "\\" + "b" * 450 + "\\" + "setup.exe"
    package = cabinet_package(f"AutoLaunch={name}\nWaitForAutolaunchFinish=1", "",
                              {"readme.txt": b"hello\r\n"})
    result = run_stub("-silent", exe=package.exe)

    assert result.exit_code == 8
    assert result.has_line(package.setup(name), source="Folder depth is too large to run the setup.", level="ERROR")
    assert not any(l.message.startswith("Launching - ") for l in result.lines)


@pytest.fixture(scope="module")
def no_crash_dialog(wine):
    # A crashing setup must not leave Wine's crash dialog waiting for a click.
    wine.reg("add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")


@pytest.mark.parametrize("wait, parameters, code", [
    ("1", "--crash", -1073741819),          # the access violation is the setup's exit code
    ("0", "--crash", None),
    ("0", "--sleep=20000", None),           # still running when the stub ends
    ("1", '--exit=3 "100%" %%% "%temp%\\a b" %"x"% %nothere% """ %', 3),
])
def test_bad_setups_never_hold_the_stub(wine, launch_package, no_crash_dialog, wait, parameters, code):
    package = launch_package(f"AutoLaunch=probe.exe\nWaitForAutolaunchFinish={wait}",
                             f"[1033]\nLaunchEXEParams={parameters}\n")
    result = run_detached(wine, package.exe, "-silent")

    assert result.exit_code == 0
    # A setup the stub does not wait for may start only after the stub ended.
    package.wait_for_order(2, timeout=40)
    assert package.record("probe.exe") is not None
    path = package.setup("probe.exe")
    if code is None:
        assert not result.has_line(f"Finished - {path}", source=SOURCE)
        assert result.elapsed < 15
    else:
        assert finished(result, path, code)


def test_unsupported_system_starts_no_setup(run_stub, launch_package):
    # The prefix reports Windows 7; the package allows Windows XP only.
    package = launch_package("AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1", os_allowed="Windows51")
    result = run_stub("-silent", exe=package.exe)

    assert (package.folder / "probe.exe").exists(), "a quiet run still extracts"
    assert package.record("probe.exe") is None
    assert result.exit_code == 8
