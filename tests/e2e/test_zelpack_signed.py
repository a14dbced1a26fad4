"""A package signed by zelpack with a throwaway certificate: osslsigncode
accepts the signature, inspect names the signer, and the stub still runs it."""
import random
import shutil
import subprocess

import pytest

from conftest import DEMO_PACKAGE, PREFIX, STUB, ZELPACK


@pytest.fixture(scope="module")
def certificate(tmp_path_factory):
    folder = tmp_path_factory.mktemp("cert")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Zel Throwaway Signer", "-keyout", str(folder / "key.pem"),
                    "-out", str(folder / "cert.pem")], check=True, capture_output=True, timeout=120)
    return folder / "cert.pem", folder / "key.pem"


def zelpack(*args):
    proc = subprocess.run([ZELPACK, *map(str, args)], capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stderr
    return proc.stdout


def verify(exe, cert):
    proc = subprocess.run(["osslsigncode", "verify", "-in", str(exe), "-CAfile", str(cert)],
                          capture_output=True, text=True, timeout=120)
    assert proc.returncode == 0 and "Signature verification: ok" in proc.stdout, proc.stdout + proc.stderr


def test_the_signed_demo_package_verifies_and_extracts(tmp_path, certificate, stage, run_stub):
    cert, key = certificate
    exe = tmp_path / "Setup.exe"
    # The command tools/demo.sh runs, with its signing options.
    zelpack("build", DEMO_PACKAGE, "-o", exe, "--stub", STUB, "--sign-cert", cert, "--sign-key", key)
    verify(exe, cert)
    assert "signer: CN = Zel Throwaway Signer" in zelpack("inspect", exe)

    target = PREFIX / "drive_c" / "zelsigned"
    result = run_stub("-silent", "-extractpath=C:\\zelsigned", exe=stage(exe))
    assert result.exit_code == 0, result.master_log[-2000:]
    assert (target / "Data" / "table.bin").read_bytes() == (DEMO_PACKAGE / "content" / "Data" / "table.bin").read_bytes()
    shutil.rmtree(target, ignore_errors=True)


def test_parts_of_a_signed_set_stay_unsigned_data(tmp_path, certificate, stage, run_stub):
    cert, key = certificate
    folder = tmp_path / "pkg"
    (folder / "content").mkdir(parents=True)
    (folder / "Properties_Tavo.ini").write_text(
        "[Package]\nName=ZelSignedParts\nMultiPartDownload=1\nMultipartFileName=Parts\n"
        "[Runtime]\nExtractPath=C:\\zelsignedparts\n", encoding="utf-8")
    data = random.Random(24).randbytes(150000)  # does not compress: three parts of 64K
    (folder / "content" / "a.bin").write_bytes(data)
    plain, signed = tmp_path / "plain" / "Setup.exe", tmp_path / "signed" / "Setup.exe"
    for out in (plain, signed):
        out.parent.mkdir()
    zelpack("build", folder, "-o", plain, "--stub", STUB, "--part-size", "64K")
    zelpack("build", folder, "-o", signed, "--stub", STUB, "--part-size", "64K", "--sign-cert", cert, "--sign-key", key)
    verify(signed, cert)
    parts = sorted(p.name for p in signed.parent.glob("Parts.*"))
    assert len(parts) >= 2
    for name in parts:
        assert (signed.parent / name).read_bytes() == (plain.parent / name).read_bytes(), name

    staged = stage(signed)
    for name in parts:
        (staged.parent / name).write_bytes((signed.parent / name).read_bytes())
    result = run_stub("-silent", exe=staged)
    assert result.exit_code == 0, result.master_log[-2000:]
    assert (PREFIX / "drive_c" / "zelsignedparts" / "a.bin").read_bytes() == data
    shutil.rmtree(PREFIX / "drive_c" / "zelsignedparts", ignore_errors=True)
