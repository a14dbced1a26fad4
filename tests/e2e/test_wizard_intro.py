"""The wizard's pages before the extraction, driven through the GUI robot:
the language page (radios, a language the system lacks, switching the texts
at once), the welcome page with its picture, the requirements page with
Retry, and the license page with its documents; each page kept as
screenshots in English and in the package's German language file."""
import shutil
import subprocess
import time

import pytest

from conftest import HELPERS, collect_result, working_folders, zelpack_build
from quiet_support import CAPTION, finish_stub, linux_path, settings, start_stub, tree
from test_wizard import IDOK, PASSWORD_EDIT, end_stub, password_dialog

TARGET = r"C:\zelintro\target"
FILES = {"a.txt": b"alpha\r\n", "sub/b.txt": b"beta\r\n"}

BACK, NEXT, CANCEL, FINISH = 12323, 12324, 2, 12325
WELCOME_TEXT, FINISH_TEXT = 1047, 1033
LANGUAGE_HEADING = 1013
RADIOS = [1006, 1007, 1008, 1009, 1010, 1011, 1012, 1015, 1016, 1017]
REQ_HEADING, REQ_TEXT = 1041, 1050
LIC_CAPTION, LIC_LIST, LIC_NAME, LIC_VIEWER, LIC_BOX, SEC_BOX = 1056, 1059, 1060, 1039, 1020, 1021

REG_KEY = r"HKCU\Software\ZelIntro"
NOT_READY = "This computer is not ready for the package."
NEEDS_READY = "The value Ready under HKEY_CURRENT_USER\\Software\\ZelIntro must be 1."

GERMAN = {
    110: "< &Zurück", 111: "&Weiter >", 112: "&Abbrechen", 113: "Möchten Sie wirklich abbrechen?",
    114: "&Fertig stellen", 115: "&Wiederholen",
    200: "Willkommen beim Setup von [PACKAGEDISPLAYNAME].", 201: "Klicken Sie auf Weiter.",
    208: "Bitte wählen Sie die Setup-Sprache:",
    300: "Lizenzbedingungen:", 302: "Ich &akzeptiere die Bedingungen der Lizenzvereinbarung",
    303: "Ich bestätige, dass ich die &Sicherheitshinweise zum sicheren Betrieb des Produkts gelesen habe",
    304: "Lizenzvereinbarung Ulverin AG (EULA)", 305: "Bestätigung der Sicherheitshinweise",
    500: "Das Entpacken läuft. Bitte warten ...", 505: "Dateien werden entpackt",
    600: "[PRODUCTNAME] wurde erfolgreich entpackt.", 601: "Das Entpacken von [PRODUCTNAME] wurde abgebrochen.",
    602: "Ein Fehler ist aufgetreten.", 604: "Klicken Sie auf Fertig stellen.", 606: "Bitte prüfen Sie die Logdatei.",
    702: "&Ja", 704: "&Nein",
    802: "Folgende Voraussetzungen müssen erfüllt sein, damit das Web Package entpackt werden kann.",
}
ENGLISH_CAPTIONS = {BACK: "< &Back", NEXT: "&Next >", CANCEL: "&Cancel"}
GERMAN_CAPTIONS = {BACK: GERMAN[110], NEXT: GERMAN[111], CANCEL: GERMAN[112]}
# Papiamentu: a language the test prefix's Wine has no locale for.
MISSING_LOCALE = 1145

RTF = (rb"{\rtf1\ansi\deff0{\fonttbl{\f0 Tahoma;}}{\colortbl;\red180\green0\blue0;}"
       rb"\f0\fs20{\b\cf1 License terms of the Zel Package}\par "
       rb"You may use this software on {\i one} computer.\par}")
TXT = "Security information\r\nKeep the device dry.\r\nÄnderungen vorbehalten.\r\n".encode("cp1252")


def ulf(lines):
    """A language file as the stub reads them: UTF-16LE with a byte-order mark."""
    return "\r\n".join(lines + [""]).encode("utf-16")


def language_file(lcid, name, texts):
    return ulf(["[FileInfo]", f"ID={lcid}", f"LangName={name}", "[Texts]"] +
               [f"{key}={value}" for key, value in texts.items()])


RADIO_CAPTIONS = ulf(["[RADIOBUTTONSTRING]", "1033=&English", "1031=&Deutsch",
                      f"{MISSING_LOCALE}=&Papiamentu (caption)"])


def package(tmp_path, *sections, top=None, runtime=""):
    """A package with the given settings sections and top-level files;
    runtime holds more lines of [Runtime]."""
    folder = tmp_path / "pkg"
    (folder / "content").mkdir(parents=True)
    text = settings(TARGET, *sections).replace("[Runtime]\n", "[Runtime]\n" + runtime, 1)
    (folder / "Properties_Tavo.ini").write_text(text, encoding="utf-8")
    for name, data in (top or {}).items():
        (folder / name).write_bytes(data)
    for name, data in FILES.items():
        path = folder / "content" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return zelpack_build(folder, linux_path(TARGET).parent / "package" / "Setup.exe")


def languages(*lcids):
    return "[Languages]\nSetupLanguages=" + ";".join(map(str, lcids)) + "\n"


def dialogs(**values):
    return "[Dialogs]\n" + "".join(f"{k}={v}\n" for k, v in values.items())


REQUIREMENT = ("[Conditions]\nAction1=Extract\nAction1Condition=Condition1\nAction1Message={NotReady}\n"
               "Condition1={Registry};{HKEY_CURRENT_USER\\Software\\ZelIntro\\Ready};{=};{1};{NeedsReady}\n\n"
               f"[1033]\nNotReady={NOT_READY}\nNeedsReady={NEEDS_READY}\n\n"
               "[1031]\nNotReady=Dieser Computer ist nicht bereit.\n"
               "NeedsReady=Der Wert Ready muss 1 sein.\n")


@pytest.fixture
def target():
    path = linux_path(TARGET)
    shutil.rmtree(path.parent, ignore_errors=True)
    yield path
    shutil.rmtree(path.parent, ignore_errors=True)


@pytest.fixture
def not_ready(wine):
    """The registry value the package's condition asks for is missing. Asked
    for before the robot: a registry change waits for the Wine session to end.
    Both registry views: a 32-bit stub reads its own."""
    def delete():
        for view in ("/reg:32", "/reg:64"):
            try:
                wine.reg("delete", REG_KEY, "/f", view)
            except subprocess.CalledProcessError:
                pass

    def fix():
        for view in ("/reg:32", "/reg:64"):
            wine.reg("add", REG_KEY, "/v", "Ready", "/d", "1", "/f", view)

    delete()
    yield fix
    delete()


class Run:
    """One run of the stub with its wizard on the screen."""

    def __init__(self, wine, robot, exe):
        self.wine, self.robot = wine, robot
        self.stub = start_stub(wine, exe)
        self.sheet = robot.wait_window(CAPTION, timeout=60)["hwnd"]

    def shows(self, captions):
        """Every visible button has its caption of captions (the id of a
        hidden one may find the platform's own button)."""
        shown = {id: c["text"] for id in (BACK, NEXT, CANCEL) if (c := self.robot.control(id))["visible"]}
        return NEXT in shown and all(text == captions[id] for id, text in shown.items())

    def cancel(self, yes="Yes", question="Do you really want to cancel?"):
        self.robot.click(CANCEL)
        assert self.robot.answer_box(CAPTION, yes) == question
        self.robot.wait_control(FINISH)

    def finish(self):
        self.robot.click(FINISH)
        self.robot.wait_gone()
        return finish_stub(self.stub)

    def end(self):
        end_stub(self.wine, self.stub)


@pytest.fixture
def run(wine, robot, target):
    runs = []

    def start(exe):
        runs.append(Run(wine, robot, exe))
        return runs[-1]

    yield start
    for r in runs:
        r.end()


def visible_radios(robot):
    return [c for c in robot.controls() if c["id"] in RADIOS and c["visible"]]


# ---- language page -------------------------------------------------------

def test_language_page_switches_every_text_at_once(tmp_path, robot, run):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1), languages(1033, 1031, MISSING_LOCALE),
                  top={"Defaultx.ulf": RADIO_CAPTIONS,
                       "Default1031.ulf": language_file(1031, "Deutsch", GERMAN),
                       f"Default{MISSING_LOCALE}.ulf": language_file(MISSING_LOCALE, "Papiamentu", {})})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    assert robot.wait_text(LANGUAGE_HEADING, "Please choose the setup language:")
    # The split list holds the last language first.
    radios = {c["id"]: c for c in visible_radios(robot)}
    assert sorted(radios) == RADIOS[:3]
    assert (radios[1006]["text"], radios[1006]["enabled"]) == ("Papiamentu", False)
    assert (radios[1007]["text"], radios[1007]["enabled"]) == ("&Deutsch", True)
    assert (radios[1008]["text"], radios[1008]["enabled"]) == ("&English", True)
    # The system's language (English under Wine) is the one checked.
    assert [id for id in RADIOS[:3] if robot.is_checked(id)] == [1008]
    assert not robot.is_visible(BACK)
    assert r.shows(ENGLISH_CAPTIONS)
    robot.screenshot("language-english")

    robot.click(1007)
    assert robot.wait_text(LANGUAGE_HEADING, GERMAN[208])
    robot.wait_until(lambda: r.shows(GERMAN_CAPTIONS), what="the German button captions")
    assert not robot.is_visible(BACK)
    robot.screenshot("language-german")

    robot.click(1008)
    assert robot.wait_text(LANGUAGE_HEADING, "Please choose the setup language:")
    robot.wait_until(lambda: r.shows(ENGLISH_CAPTIONS), what="the English button captions again")

    robot.click(1007)
    robot.wait_until(lambda: r.shows(GERMAN_CAPTIONS), what="the German button captions")
    r.cancel("Ja", GERMAN[113])
    assert robot.wait_text(FINISH_TEXT, f"Das Entpacken von {CAPTION} wurde abgebrochen.")
    robot.screenshot("finish-german")
    result = r.finish()
    assert result.exit_code == 6
    assert result.has_line("Language : Papiamentu not supported and has been disabled", "DisplayRadioButtons")
    assert result.has_line("ID of the Language selected : 1031", "Language Selected")
    assert result.has_line("User canceled the Language Dialog")


def test_a_single_language_is_checked_and_taken_at_once(tmp_path, robot, run):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1), languages(1031),
                  top={"Defaultx.ulf": RADIO_CAPTIONS, "Default1031.ulf": language_file(1031, "Deutsch", GERMAN)})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    assert [c["id"] for c in visible_radios(robot)] == [1006]
    assert robot.is_checked(1006)
    # The checked language is the one the texts come from.
    assert robot.wait_text(LANGUAGE_HEADING, GERMAN[208])
    assert r.shows(GERMAN_CAPTIONS)
    robot.screenshot("single-language")
    r.cancel("Ja", GERMAN[113])
    assert r.finish().exit_code == 6


def test_twelve_languages_show_ten_radios(tmp_path, robot, run):
    lcids = [1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036]
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1), languages(*lcids),
                  top={"Defaultx.ulf": ulf(["[RADIOBUTTONSTRING]"] + [f"{l}=Language &{l}" for l in lcids])})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    shown = visible_radios(robot)
    assert [c["id"] for c in shown] == RADIOS
    # The last ten of the list, the last first.
    assert [c["text"] for c in shown] == [f"Language &{l}" for l in reversed(lcids[2:])]
    assert [id for id in RADIOS if robot.is_checked(id)] == [RADIOS[3]]  # 1033
    robot.screenshot("ten-languages")
    r.cancel()
    assert r.finish().exit_code == 6


def test_bad_language_input_leaves_the_page_usable(tmp_path, robot, run):
    broken = ulf(["[FileInfo]", "ID=1031", "LangName=Deutsch", "[Texts]", "no equals sign here", "=no id",
                  "abc=not a number", f"208={GERMAN[208]}", "111", f"112={GERMAN[112]}"]) + b"\x00"
    # A French file that says it is German: not loaded, English instead.
    wrong = language_file(1031, "Français", {208: "Choisissez la langue :", 111: "&Suivant >"})
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1),
                  languages("1033", "abc", "", "0", "1031", "10x31", "1036"),
                  top={"Defaultx.ulf": ulf(["[RADIOBUTTONSTRING]", "1033=&English", "1031=&Deutsch", "1036=&Français"]),
                       "Default1031.ulf": broken, "Default1036.ulf": wrong})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    assert [c["text"] for c in visible_radios(robot)] == ["&Français", "&Deutsch", "&English"]
    robot.click(1007)
    assert robot.wait_text(LANGUAGE_HEADING, GERMAN[208])
    robot.wait_until(lambda: robot.text(CANCEL) == GERMAN[112], what="the German Cancel caption")
    # A line without "=" defines string 0, never a caption it lacks.
    assert robot.text(NEXT) == "&Next >"
    robot.screenshot("broken-language-file")
    robot.click(1006)
    assert robot.wait_text(LANGUAGE_HEADING, "Please choose the setup language:")
    robot.wait_until(lambda: r.shows(ENGLISH_CAPTIONS), what="the English captions")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Extraction successful for {CAPTION}.")
    result = r.finish()
    assert result.exit_code == 0
    for entry in ("abc", "0", "10x31"):
        assert result.has_line(f"Invalid language in SetupLanguages : {entry}", "DisplayRadioButtons")
    assert result.has_line("The language file for 1036 is not for that language", "Language Selected")


# ---- welcome page --------------------------------------------------------

def test_welcome_page_with_picture_follows_the_language_chosen_later(tmp_path, robot, run):
    exe = package(tmp_path, dialogs(LanguageDialog=1), languages(1033, 1031), runtime="DisplayWelcomeImage=1\n",
                  top={"Defaultx.ulf": RADIO_CAPTIONS, "Default1031.ulf": language_file(1031, "Deutsch", GERMAN)})
    r = run(exe)
    assert robot.wait_text(WELCOME_TEXT, f"Welcome to the Setup of {CAPTION}.")
    assert not robot.is_visible(BACK)
    robot.screenshot("welcome-english")
    robot.click(NEXT)
    robot.wait_control(RADIOS[0])
    assert robot.is_visible(BACK)
    robot.click(1006)  # Deutsch: the list holds the last language first
    robot.wait_until(lambda: r.shows(GERMAN_CAPTIONS), what="the German button captions")
    robot.click(BACK)
    assert robot.wait_text(WELCOME_TEXT, f"Willkommen beim Setup von {CAPTION}.")
    assert not robot.is_visible(BACK)
    robot.screenshot("welcome-german")
    r.cancel("Ja", GERMAN[113])
    result = r.finish()
    assert result.exit_code == 6
    assert result.has_line("Displaying the Welcome image", "DisplayWelcomeImage")


# ---- requirements page ---------------------------------------------------

def condition_checks():
    """How often the run has checked the package's conditions so far."""
    return sum(1 for l in collect_result(0).lines if l.source == "CCondition::EvaluateConditions"
               and l.message.startswith("Operator : "))


def test_retry_keeps_the_page_until_the_requirement_is_met(tmp_path, not_ready, robot, run, target):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LicenseDialog=1), languages(1033), REQUIREMENT,
                  "[SecurityLicenseFiles]\n1033=Security.txt\n", top={"Security.txt": TXT})
    r = run(exe)
    robot.wait_control(REQ_TEXT)
    assert robot.wait_text(REQ_TEXT, f"{NEEDS_READY}\n{NOT_READY}\n")
    assert robot.text(REQ_HEADING).startswith("You must meet the following requirements")
    assert robot.text(NEXT) == "&Retry" and not robot.is_visible(BACK)
    assert robot.focus()["id"] == NEXT
    robot.screenshot("requirements-english")

    checks = condition_checks()
    robot.click(NEXT)
    # The conditions are checked again and the page stays with the texts.
    robot.wait_until(lambda: condition_checks() == checks + 1, what="the second check")
    assert robot.wait_text(REQ_TEXT, f"{NEEDS_READY}\n{NOT_READY}\n")
    assert robot.is_visible(REQ_HEADING) and robot.text(NEXT) == "&Retry"
    assert not target.exists()

    not_ready()  # the user fixes the cause
    robot.click(NEXT)
    robot.wait_control(SEC_BOX)
    # The page after the passed requirements is the first one: no Back.
    assert not robot.is_visible(BACK)
    assert robot.text(NEXT) == "&Next >"
    robot.click(SEC_BOX)
    robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
    assert not robot.is_visible(BACK)
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"Extraction successful for {CAPTION}.")
    result = r.finish()
    assert result.exit_code == 0
    assert tree(target) == {name: data for name, data in FILES.items()}


WM_LBUTTONUP = 0x0202


@pytest.mark.parametrize("presses", [1, 2], ids=["one press", "a second press queued"])
def test_the_license_page_follows_passed_requirements_and_holds(tmp_path, not_ready, robot, run, target, presses):
    # The requirements page is not the first here, so it takes itself out of
    # the wizard once they pass. A second press queued behind the first (a
    # quick double click) must not carry on past the unaccepted license.
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1, LicenseDialog=1), languages(1033, 1031),
                  REQUIREMENT, "[SecurityLicenseFiles]\n1033=Security.txt\n",
                  top={"Defaultx.ulf": RADIO_CAPTIONS, "Security.txt": TXT})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    robot.click(NEXT)
    assert robot.wait_text(REQ_TEXT, f"{NEEDS_READY}\n{NOT_READY}\n")

    not_ready()
    # Button releases posted back to back reach the page before it can act
    # on the first one.
    robot.post(WM_LBUTTONUP, window=robot.control(NEXT)["hwnd"], count=presses)
    robot.wait_control(SEC_BOX)
    time.sleep(1.5)
    assert robot.is_visible(SEC_BOX) and not robot.is_checked(SEC_BOX)
    assert not robot.is_enabled(NEXT)
    assert robot.is_visible(BACK), "the language page is still before it"
    assert not target.exists()
    robot.screenshot(f"license-after-requirements-{presses}")
    r.cancel()
    assert r.finish().exit_code == 6


def test_cancel_on_the_requirements_page_ends_with_5(tmp_path, not_ready, robot, run, target):
    exe = package(tmp_path, dialogs(WelcomeDialog=0), languages(1033), REQUIREMENT)
    r = run(exe)
    assert robot.wait_text(REQ_TEXT, f"{NEEDS_READY}\n{NOT_READY}\n")
    robot.click(NEXT)
    assert robot.wait_text(REQ_TEXT, f"{NEEDS_READY}\n{NOT_READY}\n")
    r.cancel()
    assert robot.wait_text(FINISH_TEXT, "An error occurred. Please check the log file.")
    robot.screenshot("requirements-cancelled")
    result = r.finish()
    assert result.exit_code == 5
    assert not target.exists()


def test_a_huge_requirement_message_is_cut(tmp_path, not_ready, robot, run):
    huge = "Requirement " + "x" * (100 * 1024)
    condition = REQUIREMENT.replace(f"NeedsReady={NEEDS_READY}", f"NeedsReady={huge}")
    exe = package(tmp_path, dialogs(WelcomeDialog=0), languages(1033), condition)
    r = run(exe)
    robot.wait_until(lambda: robot.text(REQ_TEXT).startswith("Requirement xxx"), what="the cut message")
    shown = robot.text(REQ_TEXT).split("\n")
    # Two messages share the room: 260 characters each at most, then "...".
    assert shown[0] == huge[:260] + "..."
    assert shown[1] == NOT_READY
    robot.screenshot("huge-message")
    r.cancel()
    assert r.finish().exit_code == 5


# ---- license page --------------------------------------------------------

def list_images(robot):
    return [item["image"] for item in robot.list_items(LIC_LIST)]


def viewer_text(robot):
    return robot.text(LIC_VIEWER).replace("\r\n", "\n").replace("\r", "\n")


def test_license_page_with_both_documents(tmp_path, robot, run, target):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LicenseDialog=1), languages(1033),
                  "[LicenseFiles]\n1033=License.rtf\n\n[SecurityLicenseFiles]\n1033=Security.TXT\n",
                  top={"License.rtf": RTF, "Security.TXT": TXT})
    r = run(exe)
    robot.wait_control(LIC_BOX)
    items = robot.list_items(LIC_LIST)
    assert [(i["text"], i["image"]) for i in items] == [("License agreement Ulverin AG(EULA)", 0),
                                                       ("Confirmation of the security information", 0)]
    assert items[0]["selected"]
    assert robot.text(LIC_CAPTION) == "License terms:"
    assert robot.text(LIC_NAME) == "License agreement Ulverin AG(EULA)"
    # The RTF is rendered: its text without the markup.
    robot.wait_until(lambda: "License terms of the Zel Package" in viewer_text(robot), what="the RTF text")
    assert "rtf1" not in viewer_text(robot)
    assert not robot.is_enabled(NEXT) and not robot.is_visible(BACK)
    robot.screenshot("license-english")

    robot.click(LIC_BOX)
    robot.wait_until(lambda: list_images(robot) == [1, 0], what="the license icon to turn green")
    assert not robot.is_enabled(NEXT)
    robot.click(SEC_BOX)
    robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
    assert list_images(robot) == [1, 1]
    robot.screenshot("license-accepted")

    for box, images in ((LIC_BOX, [0, 1]), (SEC_BOX, [1, 0])):
        robot.click(box)
        robot.wait_until(lambda: not robot.is_enabled(NEXT), what="Next disabled again")
        assert list_images(robot) == images
        assert robot.focus()["id"] == CANCEL
        robot.click(box)
        robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled again")

    # The second item shows the plain text, read in the system's code page.
    robot.click(LIC_LIST)
    robot.key("END")
    assert robot.wait_text(LIC_NAME, "Confirmation of the security information")
    assert not robot.is_visible(BACK)
    robot.wait_until(lambda: viewer_text(robot).strip("\n") == TXT.decode("cp1252").replace("\r\n", "\n").strip("\n"),
                     what="the TXT document")
    robot.screenshot("license-text-document")
    robot.key("HOME")
    robot.wait_until(lambda: "License terms of the Zel Package" in viewer_text(robot), what="the RTF again")

    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    result = r.finish()
    assert result.exit_code == 0
    assert result.has_line("User has accepted the license agreement", "License Agreement")
    assert result.has_line("User has accepted the lSecurity icense agreement", "Security License Agreement")


def test_license_page_with_only_the_security_document(tmp_path, robot, run):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LicenseDialog=1), languages(1033),
                  "[SecurityLicenseFiles]\n1033=Security.txt\n", top={"Security.txt": TXT})
    r = run(exe)
    robot.wait_control(SEC_BOX)
    assert [(i["text"], i["image"]) for i in robot.list_items(LIC_LIST)] == [
        ("Confirmation of the security information", 0)]
    assert not robot.is_visible(LIC_BOX)
    assert robot.text(LIC_NAME) == "Confirmation of the security information"
    assert "Keep the device dry." in viewer_text(robot)
    assert not robot.is_enabled(NEXT)
    robot.click(SEC_BOX)
    robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
    assert list_images(robot) == [1]
    robot.screenshot("license-security-only")
    r.cancel()
    assert r.finish().exit_code == 6


def test_license_page_without_documents_lets_the_user_on(tmp_path, robot, run):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LicenseDialog=1), languages(1033))
    r = run(exe)
    robot.wait_control(LIC_CAPTION)
    robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
    assert not robot.is_visible(LIC_BOX) and not robot.is_visible(SEC_BOX)
    assert robot.list_items(LIC_LIST) == [] and viewer_text(robot) == ""
    robot.screenshot("license-no-documents")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert r.finish().exit_code == 0


def test_a_license_document_that_cannot_be_opened(wine, tmp_path, robot, run):
    exe = package(tmp_path, dialogs(LicenseDialog=1), languages(1033),
                  "[LicenseFiles]\n1033=License.txt\n", top={"License.txt": TXT})
    r = run(exe)
    robot.wait_control(WELCOME_TEXT)
    [folder] = working_folders(wine)
    held = wine.start(HELPERS / "wintool.exe", "hold-file", wine.win_path(folder / "License.txt"), 60)
    try:
        assert held.stdout.readline().strip() == b"held"
        robot.click(NEXT)
        robot.wait_control(LIC_BOX)
        # Listed and acceptable, but nothing to show.
        assert [i["text"] for i in robot.list_items(LIC_LIST)] == ["License agreement Ulverin AG(EULA)"]
        assert viewer_text(robot) == ""
        assert robot.is_visible(BACK)
        robot.click(LIC_BOX)
        robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
        robot.screenshot("license-unreadable")
    finally:
        held.kill()
        held.wait()
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    result = r.finish()
    assert result.exit_code == 0
    assert any(l.source == "LoadDocument" and l.message.startswith("The document could not be opened : ")
               for l in result.lines)


# ---- the pages in German -------------------------------------------------

def test_the_pages_in_german(tmp_path, not_ready, robot, run, target):
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1, LicenseDialog=1),
                  languages(1033, 1031), REQUIREMENT,
                  "[LicenseFiles]\n1031=Lizenz.rtf\n\n[SecurityLicenseFiles]\n1031=Sicherheit.txt\n",
                  top={"Defaultx.ulf": RADIO_CAPTIONS, "Default1031.ulf": language_file(1031, "Deutsch", GERMAN),
                       "Lizenz.rtf": RTF, "Sicherheit.txt": TXT})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    robot.click(1006)
    robot.wait_until(lambda: r.shows(GERMAN_CAPTIONS), what="the German button captions")
    robot.click(NEXT)
    assert robot.wait_text(REQ_TEXT, "Der Wert Ready muss 1 sein.\nDieser Computer ist nicht bereit.\n")
    assert robot.text(REQ_HEADING).startswith("Folgende Voraussetzungen")
    assert robot.text(NEXT) == GERMAN[115] and robot.is_visible(BACK)
    robot.screenshot("requirements-german")

    not_ready()
    robot.click(NEXT)
    robot.wait_control(LIC_BOX)
    # The requirements page went; Back leads to the language page.
    robot.wait_control(BACK)
    assert [i["text"] for i in robot.list_items(LIC_LIST)] == [GERMAN[304], GERMAN[305]]
    assert robot.text(LIC_CAPTION) == GERMAN[300]
    robot.screenshot("license-german")
    robot.click(BACK)
    robot.wait_control(RADIOS[0])
    robot.click(NEXT)
    robot.wait_control(LIC_BOX)
    robot.click(LIC_BOX)
    robot.click(SEC_BOX)
    robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
    robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert robot.wait_text(FINISH_TEXT, f"{CAPTION} wurde erfolgreich entpackt.")
    robot.screenshot("finish-german")
    result = r.finish()
    assert result.exit_code == 0
    assert (target / "a.txt").exists()


def test_license_labels_of_other_languages_come_from_their_file(tmp_path, robot, run):
    russian = {304: "Лицензионное 304 соглашение", 305: "Безопасность", 208: "Выберите язык установки:"}
    exe = package(tmp_path, dialogs(WelcomeDialog=0, LanguageDialog=1, LicenseDialog=1), languages(1033, 1049),
                  "[LicenseFiles]\n1049=License.txt\n\n[SecurityLicenseFiles]\n1033=Security.txt\n",
                  top={"Defaultx.ulf": ulf(["[RADIOBUTTONSTRING]", "1033=&English", "1049=&Русский"]),
                       "Default1049.ulf": language_file(1049, "Русский", russian),
                       "License.txt": TXT, "Security.txt": TXT})
    r = run(exe)
    robot.wait_control(RADIOS[0])
    robot.click(1006)
    assert robot.wait_text(LANGUAGE_HEADING, russian[208])
    robot.click(NEXT)
    robot.wait_control(LIC_BOX)
    # The digits of the id go wherever they stand; the English security
    # document is the fallback, labelled from the same file.
    assert [i["text"] for i in robot.list_items(LIC_LIST)] == ["Лицензионное  соглашение", "Безопасность"]
    robot.screenshot("license-russian")
    r.cancel()
    assert r.finish().exit_code == 6


# ---- the password question -----------------------------------------------

@pytest.mark.parametrize("first", ["license", "language"])
def test_the_first_page_asks_for_the_password(tmp_path, robot, run, first):
    if first == "license":
        sections = (dialogs(WelcomeDialog=0, LicenseDialog=1), languages(1033))
    else:
        sections = (dialogs(WelcomeDialog=0, LanguageDialog=1), languages(1033, 1031))
    folder = tmp_path / "pkg"
    (folder / "content").mkdir(parents=True)
    (folder / "Properties_Tavo.ini").write_text(settings(TARGET, *sections), encoding="utf-8")
    (folder / "content" / "a.txt").write_bytes(FILES["a.txt"])
    exe = zelpack_build(folder, linux_path(TARGET).parent / "package" / "Setup.exe", "--password", "s3cret")
    r = run(exe)
    if first == "language":
        # The language page asks when it is left.
        robot.wait_control(RADIOS[0])
        robot.click(NEXT)
    dialog = password_dialog(robot, r.sheet)
    robot.use(dialog)
    robot.wait_control(PASSWORD_EDIT)
    robot.type(PASSWORD_EDIT, "s3cret")
    robot.click(IDOK)
    robot.wait_gone()
    robot.use(r.sheet)
    if first == "license":
        robot.wait_until(lambda: robot.is_enabled(NEXT), what="Next enabled")
        robot.click(NEXT)
    robot.wait_control(FINISH, timeout=60)
    assert r.finish().exit_code == 0
