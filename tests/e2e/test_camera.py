"""The camera path of the real pelmix.exe: driver 0 with no PELMIX_VIDEO_SOURCE, on the
fake /dev/video0 that Wine reaches as it reaches a real one. The frames carry their own
counter, so a saved picture tells whether it is new."""
import os
import subprocess
import time

import pytest

from pelmix_e2e import (FAKE_CAMERA, FakeCamera, Pelmix, artifacts_dir, camera_counter, camera_pixel,
                        read_bmp24, screen_colour, screenshot, wait_until)

IDM_SAVE_BMP = 32778
IDM_SAVE_JPG = 32779
IDM_SAVE_CAPTIONED = 32772
WM_CAP_DRIVER_CONNECT = 1034
WM_CAP_DRIVER_DISCONNECT = 1035
WM_CAP_DLG_VIDEOFORMAT = 1065
WIDTH, HEIGHT = 320, 240

pytestmark = pytest.mark.skipif(not FAKE_CAMERA, reason="no fake camera built for this tree")


@pytest.fixture
def camera(tmp_path):
    return FakeCamera(tmp_path / "camera")


def start(tmp_path, probe, camera):
    folder = tmp_path / "run"
    folder.mkdir(exist_ok=True)
    return Pelmix(folder, probe, env=camera.env())


def save_bmp(app):
    """Path of the BMP that one save command wrote, or None when it wrote none."""
    before = set(app.files())
    app.command(IDM_SAVE_BMP)
    new = [name for name in set(app.files()) - before if name.endswith(".bmp")]
    return os.path.join(app.folder, new[0]) if new else None


def saved_frame(app):
    """(width, height, counter) of a fresh BMP save, or None when the save wrote nothing."""
    path = save_bmp(app)
    if not path:
        return None
    width, height, rows = read_bmp24(path)
    return width, height, camera_counter(rows[0])


def preview_mismatches(app, shot):
    """Points where the preview does not show the camera's frame the right way up at the
    top left: [(x, y, seen, wanted)]."""
    x, y, _, _ = app.screen_rect(app.capture_child()[0])
    wrong = []
    for px, py in ((10, 20), (200, 3), (5, HEIGHT - 1), (WIDTH - 1, 100)):
        b, g, r = camera_pixel(px, py)
        seen = screen_colour(shot, x + px, y + py)
        if seen != (r, g, b):
            wrong.append((px, py, seen, (r, g, b)))
    return wrong


def test_the_camera_is_found_shown_upright_and_saved_pixel_for_pixel(tmp_path, probe, camera):
    app = start(tmp_path, probe, camera)
    try:
        assert wait_until(lambda: saved_frame(app), timeout=15), "no frame from the camera"
        shot = screenshot(os.path.join(artifacts_dir(), "camera-preview.png"))
        assert preview_mismatches(app, shot) == []

        path = save_bmp(app)
        width, height, rows = read_bmp24(path)
        assert (width, height) == (WIDTH, HEIGHT)
        for y, row in enumerate(rows):
            for x in range(4 if y == 0 else 0, width):
                assert tuple(row[3 * x: 3 * x + 3]) == camera_pixel(x, y), (x, y)

        before = set(app.files())
        app.command(IDM_SAVE_CAPTIONED)
        jpegs = [name for name in set(app.files()) - before if name.endswith(".jpg")]
        assert jpegs, "no captioned JPEG"
        size = subprocess.run(["identify", "-format", "%w %h", os.path.join(app.folder, jpegs[0])],
                              capture_output=True, text=True, check=True, timeout=30).stdout
        assert size == "%d %d" % (WIDTH, HEIGHT)
    finally:
        app.kill()


def test_disconnect_releases_the_device_and_connect_opens_it_again(tmp_path, probe, camera):
    app = start(tmp_path, probe, camera)
    try:
        assert wait_until(lambda: saved_frame(app), timeout=15)
        child = app.capture_child()[0]
        assert camera.held() >= 1
        probe.number("send", child, WM_CAP_DRIVER_DISCONNECT, 0, 0)
        assert wait_until(lambda: camera.held() == 0, timeout=10), camera.log()
        assert save_bmp(app) is None
        probe.number("send", child, WM_CAP_DRIVER_CONNECT, 0, 0)
        assert camera.held() >= 1
        first = wait_until(lambda: saved_frame(app), timeout=15)
        assert first
    finally:
        app.kill()
