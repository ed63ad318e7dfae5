"""The x86-64 and the i686 pelmix.exe make byte-identical pictures of the same frame.

libjpeg-turbo's SIMD code differs between the two architectures; what lands on disk must
not. Each build runs under its own Wine (scripts/with-harness.sh ARCH), in a folder of its
own, on the same frame file, and saves a plain BMP (Space) and a captioned JPEG (Ctrl+S,
with a fixed caption so that the clock cannot differ).

Run by build/CTestTestfile.cmake where both builds run. PELMIX_BOTH_ARCHES names the pair
("win64 win32"); "win64 win64" checks this test's own workings on any host.
"""
import os
import subprocess
import sys

import pytest

from pelmix_e2e import Pelmix, Probe, wait_until, write_bmp

BUILD = os.environ.get("PELMIX_BUILD", "")
TOP = os.environ.get("PELMIX_SOURCE_DIR", "")
ARCHES = os.environ.get("PELMIX_BOTH_ARCHES", "win64 win32").split()

WM_COMMAND = 0x0111
WM_KEYDOWN = 0x0100
VK_SPACE = 0x20
SAVE_CAPTIONED = 32772
EXPECTED = ["pc00000.bmp", "pc00001.jpg"]


def frame_pixel(x, y):
    # Edges, gradients and noise-like detail, on odd sides: every SIMD path and its tail.
    return ((x * 7 + y * 3) & 255, (x * y) & 255, ((255 - x) & 255) ^ ((y * 5) & 255))


def save_pictures(folder, frame):
    """Inside the harness of one architecture: the two pictures into folder."""
    with open(os.path.join(folder, "Pelmix.ini"), "wb") as ini:
        ini.write("[SETTING]\r\nmsg=Pelmix 試験 &&\r\njpeg_q=83\r\n".encode("cp932"))
    probe = Probe()
    app = Pelmix(folder, probe, source="file:" + frame)
    try:
        app.send(WM_KEYDOWN, VK_SPACE)
        app.send(WM_COMMAND, SAVE_CAPTIONED)
        made = wait_until(lambda: sorted(n for n in os.listdir(folder) if n.startswith("pc")) == EXPECTED)
        assert made, os.listdir(folder)
    finally:
        app.kill()
        probe.close()


@pytest.mark.skipif(not BUILD, reason="run from the build folder's CTest index")
def test_both_builds_save_the_same_bmp_and_jpeg_bytes(tmp_path):
    frame = write_bmp(tmp_path / "frame.bmp", 321, 241, frame_pixel)
    made = {}
    for index, arch in enumerate(ARCHES):
        folder = tmp_path / ("%d-%s" % (index, arch))
        folder.mkdir()
        env = dict(os.environ,
                   PELMIX_EXE=os.path.join(BUILD, arch, "app", "pelmix.exe"),
                   PELMIX_PROBE=os.path.join(BUILD, arch, "tests", "e2e", "probe.exe"))
        subprocess.run([os.path.join(TOP, "scripts", "with-harness.sh"), arch, sys.executable, __file__,
                        str(folder), str(frame)], env=env, check=True, timeout=300)
        made[arch, index] = {name: (folder / name).read_bytes() for name in EXPECTED}

    (first, first_files), (second, second_files) = made.items()
    assert first_files["pc00000.bmp"] == frame.read_bytes(), "the BMP is the frame as it was"
    for name in EXPECTED:
        assert first_files[name] == second_files[name], "%s differs between %s and %s" % (name, first, second)


if __name__ == "__main__":
    save_pictures(sys.argv[1], sys.argv[2])
