"""The release archive as a user meets it: made by scripts/release.sh, unpacked into an empty
folder and started in a new Wine prefix with nothing of the build around."""
import os
import re
import subprocess
import time
import zipfile

import pelmix_e2e
from pelmix_e2e import WM_CLOSE, WM_COMMAND, Pelmix, Probe, wait_until

ARCH = os.environ["PELMIX_ARCH"]
VERSION = os.environ["PELMIX_VERSION"]
TOP = os.environ["PELMIX_SOURCE_DIR"]
BUILD = os.path.dirname(os.environ["PELMIX_BINARY_DIR"])
IDM_SAVE_JPG = 32779
GUIDE = "はじめにお読みください.txt"
ENTRIES = ["Pelmix/", "Pelmix/LICENSE.txt", "Pelmix/THIRD-PARTY-NOTICES.txt", "Pelmix/pelmix.exe", "Pelmix/" + GUIDE]
# (what the version resource says, the value)
VERSION_INFO = [("\\", VERSION + ".0"), ("FileVersion", VERSION), ("ProductVersion", VERSION),
                ("ProductName", "Pelmix"), ("OriginalFilename", "pelmix.exe"),
                ("FileDescription", "Pelmix カメラ画像の保存とアップロード"),
                ("LegalCopyright", "Copyright (c) The Pelmix developers. MIT License.")]
# Where a library linked into the exe comes from -> (its heading in the notices, a line of its licence)
LIBRARIES = [(r"/libjpeg\.a$", "libjpeg-turbo", "Independent JPEG Group"),
             (r"/libcurl\.a$", "libcurl", "Daniel Stenberg"),
             (r"/libssh2\.a$", "libssh2", "Sara Golemon"),
             (r"/libmbed(crypto|tls|x509)\.a$", "Mbed TLS", "Apache License"),
             (r"^/usr/[^/]*-w64-mingw32/lib/", "MinGW-w64 runtime and winpthreads", "mingw-w64 project"),
             (r"^/usr/lib/gcc/", "GCC runtime libraries", "GCC RUNTIME LIBRARY EXCEPTION"),
             (r"^[^/].*/libpelmix_\w+\.a$", None, None)]  # Pelmix's own, in the build tree


def windows_text(data):
    assert data.startswith(b"\xef\xbb\xbf") and b"\r\n" in data and b"\n" not in data.replace(b"\r\n", b"")
    return data[3:].decode("utf-8")


def linked_archives():
    with open(os.path.join(BUILD, "release", ARCH, "pelmix.map")) as f:
        return {os.path.normpath(m.group(1)) for m in re.finditer(r"^(\S+\.a)\(", f.read(), re.M)}


def test_the_archive_unpacks_runs_and_names_what_it_contains(tmp_path):
    dist = tmp_path / "dist"
    subprocess.run(["bash", os.path.join(TOP, "scripts", "release.sh"), ARCH], check=True, timeout=1800,
                   env=dict(os.environ, PELMIX_DIST=str(dist), PELMIX_BUILD=BUILD))
    epoch = int(subprocess.run(["git", "-C", TOP, "log", "-1", "--format=%ct"], capture_output=True, text=True,
                               check=True).stdout)
    with zipfile.ZipFile(dist / ("Pelmix-%s-%s.zip" % (VERSION, ARCH))) as archive:
        assert archive.namelist() == sorted(ENTRIES)
        # The commit's time, in the two-second steps a zip entry keeps.
        assert {info.date_time for info in archive.infolist()} == {time.gmtime(epoch - epoch % 2)[:6]}
        texts = {name: windows_text(archive.read("Pelmix/" + name))
                 for name in (GUIDE, "LICENSE.txt", "THIRD-PARTY-NOTICES.txt")}
        archive.extractall(tmp_path / "user")
    # One file that runs as it is: it imports only DLLs of Windows.
    subprocess.run(["sh", os.path.join(TOP, "tests", "app", "check_imports.sh"), os.environ["PELMIX_OBJDUMP"],
                    str(tmp_path / "user" / "Pelmix" / "pelmix.exe")], check=True, timeout=60)
    assert ("Pelmix " + VERSION) in texts[GUIDE] and "@PELMIX_VERSION@" not in texts[GUIDE]
    assert "MIT License" in texts["LICENSE.txt"] and "Copyright (c) The Pelmix developers" in texts["LICENSE.txt"]

    archives = linked_archives()
    assert any(a.endswith("/libjpeg.a") for a in archives) and any(a.endswith("/libcurl.a") for a in archives)
    for path in archives:
        known = [(heading, line) for pattern, heading, line in LIBRARIES if re.search(pattern, path)]
        assert known, "linked but not in the table of notices: " + path
        heading, line = known[0]
        assert heading is None or (heading in texts["THIRD-PARTY-NOTICES.txt"] and
                                   line in texts["THIRD-PARTY-NOTICES.txt"]), path

    # A new prefix: the user's Wine, with nothing of the test harness's set-up in it.
    os.environ["WINEPREFIX"] = str(tmp_path / "prefix")
    subprocess.run(["wineboot", "--init"], check=True, timeout=300, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    folder = tmp_path / "user" / "Pelmix"
    pelmix_e2e.EXE = str(folder / "pelmix.exe")
    probe = Probe()
    try:
        for name, value in VERSION_INFO:
            assert probe.ask("version", name, pelmix_e2e.EXE) == value, name
        app = Pelmix(folder, probe, source="testpattern")
        assert app.title() == "Pelmix"
        app.post(WM_COMMAND, IDM_SAVE_JPG)
        assert wait_until(lambda: (folder / "pc00000.jpg").exists(), timeout=20)
        jpeg = wait_until(lambda: (folder / "pc00000.jpg").read_bytes().endswith(b"\xff\xd9") and
                          (folder / "pc00000.jpg").read_bytes())
        assert jpeg.startswith(b"\xff\xd8") and len(jpeg) > 10000
        app.post(WM_CLOSE)
        assert app.wait_exit(timeout=30) == 0
    finally:
        probe.close()
        subprocess.run(["wineserver", "-k"], timeout=60)
