"""The wizard as a person without a mouse uses it: every page of one package
walked with Tab, Shift+Tab, the arrows, Space and Enter only, once with an
English and once with a Japanese user interface. Each page is kept as a
screenshot; docs/wizard-pictures.md lists them as the wizard's reference
pictures.

A page joins the walk as one row of PAGES: what the package needs for it,
the control that shows it is current, the keys pressed there with the
control that must hold the focus after each, and how the page is left."""
import os
import shutil
import subprocess
import time
from dataclasses import dataclass, field

import pytest

from conftest import LOG_FOLDER, working_folders
from japanese_support import japanese_env, japanese_locale  # noqa: F401 (fixture)
from launch_support import launch_package  # noqa: F401 (fixture)
from quiet_support import finish_stub

CAPTION = "Zel Launch 1.0"
BACK, NEXT, CANCEL, FINISH = 12323, 12324, 2, 12325
OVERWRITE, EXTRACT_ONLY = 1023, 1001
LANGUAGE_HEADING, JAPANESE_RADIO, ENGLISH_RADIO = 1013, 1006, 1007
LICENSE_LIST, LICENSE_VIEWER, LICENSE_BOX = 1059, 1039, 1020
LICENSE = b"Terms of use of the Zel Launch package.\r\n"


@dataclass
class Page:
    name: str
    # The control that is visible only while the page is current.
    marker: int
    # The control that has the focus when the page opens (None: not checked),
    # or a dict of them by language.
    entry: object = None
    # (key, id of the control that has the focus afterwards)
    keys: list = field(default_factory=list)
    # A key, or a callable (robot, package), that leaves the page; None when
    # the page moves on by itself.
    leave: object = None
    # What the package needs for the page: [Runtime] lines and whole sections.
    runtime: str = ""
    sections: str = ""
    # A check of the page after its keys: callable (robot).
    check: object = None


def release_setup(robot, package):
    (package.folder / "release.flag").write_text("go")


def license_accepted(robot):
    assert robot.is_checked(LICENSE_BOX) and robot.is_enabled(NEXT)


def overwrite_checked(robot):
    assert robot.is_checked(OVERWRITE)


PAGES = [
    Page("welcome", 1047, entry=NEXT, keys=[("TAB", CANCEL), ("SHIFT+TAB", NEXT), ("RIGHT", CANCEL), ("LEFT", NEXT)],
         leave="ENTER"),
    # The radios list the languages last first; the one of the run holds the focus.
    Page("language", LANGUAGE_HEADING, entry={"en": ENGLISH_RADIO, "ja": JAPANESE_RADIO},
         keys=[("TAB", BACK), ("TAB", NEXT), ("TAB", CANCEL), ("SHIFT+TAB", NEXT)], leave="ENTER",
         sections="[Dialogs]\nLanguageDialog=1\nLicenseDialog=1\n"),
    # Next stays disabled until the terms are accepted with Space; then it
    # takes the focus.
    Page("license", LICENSE_LIST, entry=LICENSE_LIST, keys=[("TAB", LICENSE_VIEWER), ("TAB", LICENSE_BOX),
                                                            ("SPACE", NEXT)],
         leave="ENTER", check=license_accepted, sections="[LicenseFiles]\n1033=License.txt\n1041=License.txt\n"),
    Page("location", 1000, entry=1000, keys=[("TAB", OVERWRITE), ("SPACE", OVERWRITE), ("TAB", EXTRACT_ONLY),
                                             ("TAB", BACK), ("TAB", NEXT),
                                             ("TAB", CANCEL), ("SHIFT+TAB", NEXT)],
         leave="ENTER", runtime="AllowChangeTarget=1\n", check=overwrite_checked),
    # Many small files keep the extraction going long enough to be seen.
    Page("extraction", 1037, entry=CANCEL, keys=[("TAB", CANCEL)]),
    # The setup waits until the test lets it end.
    Page("installation", 1063, entry=CANCEL, keys=[("TAB", CANCEL)], leave=release_setup,
         runtime="AutoLaunch=probe.exe\nWaitForAutolaunchFinish=1\nAutoLaunchInstallationDialog=1\n",
         sections="[1033]\nLaunchEXEParams=--until={target}\\release.flag\n"
                  "[1041]\nLaunchEXEParams=--until={target}\\release.flag\n"),
    Page("finish", 1033, entry=FINISH, keys=[("TAB", FINISH)], leave="ENTER"),
]

JAPANESE_STRINGS = {
    110: "< \u623b\u308b(&B)",
    111: "\u6b21\u3078(&N) >",
    112: "\u30ad\u30e3\u30f3\u30bb\u30eb(&C)",
    113: "\u30ad\u30e3\u30f3\u30bb\u30eb\u3057\u307e\u3059\u304b?",
    114: "\u5b8c\u4e86(&F)",
    200: "[PACKAGEDISPLAYNAME] \u306e\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u3078\u3088\u3046\u3053\u305d\u3002",
    400: "\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7 \u30d5\u30a1\u30a4\u30eb\u3092\u5c55\u958b\u3059\u308b\u30d5\u30a9"
         "\u30eb\u30c0\u30fc\u3092\u5165\u529b\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    401: "\u30d1\u30c3\u30b1\u30fc\u30b8\u3092\u5c55\u958b\u3059\u308b\u30d5\u30a9\u30eb\u30c0\u30fc:",
    402: "\u78ba\u8a8d\u305b\u305a\u306b\u30d5\u30a1\u30a4\u30eb\u3092\u4e0a\u66f8\u304d\u3059\u308b(&O)",
    506: "\u30d1\u30c3\u30b1\u30fc\u30b8\u306e\u5185\u5bb9\u3092\u5c55\u958b\u3057\u3066\u3044\u307e\u3059\u3002",
    507: "\u30d1\u30c3\u30b1\u30fc\u30b8\u3092\u8aad\u307f\u8fbc\u3093\u3067\u3044\u307e\u3059 ...",
    508: "\u30d1\u30c3\u30b1\u30fc\u30b8\u3092\u5c55\u958b\u3057\u3066\u3044\u307e\u3059 ...",
    512: "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3057\u3066\u3044\u307e\u3059 ...",
    513: "\u5c55\u958b\u3057\u305f\u30bd\u30d5\u30c8\u30a6\u30a7\u30a2\u3092\u30a4\u30f3\u30b9\u30c8\u30fc"
         "\u30eb\u3057\u3066\u3044\u307e\u3059\u3002",
    304: "\u4f7f\u7528\u8a31\u8afe\u5951\u7d04",
    610: "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u304c\u5b8c\u4e86\u3057\u307e\u3057\u305f : [PRODUCTNAME]",
}


def language_file():
    """The package's Japanese texts, as UTF-16 with its byte-order mark."""
    lines = ["[FileInfo]", "ID=1041", "LangName=Japanese", "[Strings]"]
    lines += [f"{number}={text}" for number, text in JAPANESE_STRINGS.items()]
    return b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le")


def radio_captions():
    """The language page's captions: each language in its own script."""
    lines = ["[RADIOBUTTONSTRING]", "1033=&English", "1041=\u65e5\u672c\u8a9e(&J)"]
    return b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le")


def walk_package(launch_package):
    contents = {f"content/many/f{i:04}.bin": os.urandom(512) for i in range(3000)}
    contents["Default1041.ulf"] = language_file()
    contents["License.txt"] = LICENSE
    contents["Defaultx.ulf"] = radio_captions()
    return launch_package("".join(p.runtime for p in PAGES),
                          "[Languages]\nSetupLanguages=1033;1041\n" + "".join(p.sections for p in PAGES),
                          files=contents)


def wait_focus(robot, control_id, what):
    seen = []

    def focused():
        seen.append(robot.focus()["id"])
        return seen[-1] == control_id

    try:
        robot.wait_until(focused, 10, f"the focus on {control_id} {what}")
    except AssertionError as error:
        raise AssertionError(f"{error}; it is on {seen[-1]}") from None


@pytest.mark.parametrize("language", ["en", "ja"])
def test_keyboard_walk_through_every_page(wine, robot, launch_package, japanese_locale, language):
    package = walk_package(launch_package)
    env = dict(wine.env, **japanese_env(japanese_locale)) if language == "ja" else wine.env
    wine.settle()
    shutil.rmtree(LOG_FOLDER, ignore_errors=True)
    stub = subprocess.Popen(wine.command(package.exe), env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        robot.wait_window(CAPTION, timeout=60)
        for page in PAGES:
            robot.wait_control(page.marker, timeout=60)
            # The page's controls paint in their own time after it shows.
            time.sleep(0.5)
            robot.screenshot(f"{language}-{page.name}")
            entry = page.entry.get(language) if isinstance(page.entry, dict) else page.entry
            if entry is not None:
                wait_focus(robot, entry, f"when the {page.name} page opens")
            for key, focused in page.keys:
                robot.key(key, window=robot.window)
                # A key is handled in the program's own time: a focus that
                # should stay put is read only once the key has had its effect.
                time.sleep(0.3)
                wait_focus(robot, focused, f"after {key} on the {page.name} page")
            if page.check is not None:
                page.check(robot)
            if callable(page.leave):
                page.leave(robot, package)
            elif page.leave is not None:
                robot.key(page.leave, window=robot.window)
        robot.wait_gone(timeout=60)
        result = finish_stub(stub)
        assert result.exit_code == 0
        assert package.order() == ["start probe.exe", "end probe.exe"]
        if language == "ja":
            assert [l.message for l in result.lines if l.source == "UI Language"][-1].endswith("(1041)")
    finally:
        if stub.poll() is None:
            stub.kill()
            stub.wait()
            for folder in working_folders(wine):
                shutil.rmtree(folder, ignore_errors=True)
