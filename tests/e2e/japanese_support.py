"""A Japanese user-interface language for runs of the stub: Wine takes the
system's language from the locale of the process that starts it, so the
locale is compiled once into the build folder and handed over by LOCPATH."""
import shutil
import subprocess

import pytest

from conftest import PREFIX

JAPANESE = "ja_JP.UTF-8"


@pytest.fixture(scope="session")
def japanese_locale():
    folder = PREFIX.parent / "locale-ja"
    if not (folder / JAPANESE / "LC_MESSAGES").exists():
        assert shutil.which("localedef"), "localedef (libc-bin) is needed for the Japanese runs"
        folder.mkdir(parents=True, exist_ok=True)
        proc = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", str(folder / JAPANESE)],
                              capture_output=True, text=True, timeout=300)
        assert (folder / JAPANESE / "LC_MESSAGES").exists(), proc.stderr
    return folder


def japanese_env(locale_folder):
    """What a run with a Japanese user interface adds to the Wine environment."""
    return {"LANG": JAPANESE, "LC_ALL": JAPANESE, "LOCPATH": str(locale_folder)}
