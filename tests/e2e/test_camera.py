"""The camera path of the real pelmix.exe: driver 0 with no PELMIX_VIDEO_SOURCE, on the
fake /dev/video0 that Wine reaches as it reaches a real one. The frames carry their own
counter, so a saved picture tells whether it is new."""
import os
import subprocess
import time

import pytest

from pelmix_e2e import (FAKE_CAMERA, WM_CLOSE, FakeCamera, Pelmix, artifacts_dir, camera_counter, camera_pixel,
                        log_events, read_bmp24, screen_colour, screenshot, wait_until)

IDM_SAVE_BMP = 32778
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


def preview_mismatches(app, shot, size=(WIDTH, HEIGHT)):
    """Points where the preview does not show the camera's frame of that size the right way
    up at the top left: [(x, y, seen, wanted)]."""
    x, y, _, _ = app.screen_rect(app.capture_child()[0])
    width, height = size
    wrong = []
    for px, py in ((10, 20), (width * 5 // 8, 3), (5, height - 1), (width - 1, height // 2 - 20)):
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

        # The format dialog stops the graph to take a new format: afterwards it runs again.
        probe.number("post", child, WM_CAP_DLG_VIDEOFORMAT, 0, 0)
        time.sleep(1)
        dialog = app.wait_dialog(timeout=2)
        if dialog:
            probe.number("post", dialog, WM_CLOSE, 0, 0)
        after = wait_until(lambda: saved_frame(app), timeout=15)
        assert after and after[2] > first[2]
        time.sleep(0.5)
        again = saved_frame(app)
        assert again and again[2] > after[2]
    finally:
        app.kill()


def preview_counter(app, name, size):
    """The frame counter the preview shows (its top left pixels), or None when the preview
    does not show the camera's frame."""
    shot = screenshot(os.path.join(artifacts_dir(), name + ".png"))
    if preview_mismatches(app, shot, size):
        return None
    x, y, _, _ = app.screen_rect(app.capture_child()[0])
    return sum(screen_colour(shot, x + k, y)[2] << (8 * k) for k in range(4))


def preview_moves(app, name, size):
    """Whether the preview shows the camera's frames, and newer ones a moment later."""
    first = preview_counter(app, name, size)
    time.sleep(0.3)
    second = preview_counter(app, name, size)
    return first is not None and second is not None and second > first


def no_camera_message_shown(app, name):
    """Whether the preview shows the waiting text in place of a frame: none of the frame's
    colours, some white text on black."""
    shot = screenshot(os.path.join(artifacts_dir(), name))
    x, y, width, height = app.screen_rect(app.capture_child()[0])
    if preview_mismatches(app, shot) == []:
        return False
    band = subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (width, 40, x, y + height // 2 - 20),
                           "-depth", "8", "-format", "%[fx:maxima.r*255] %[fx:minima.r*255]", "info:"],
                          capture_output=True, text=True, check=True, timeout=30).stdout.split()
    return float(band[0]) > 200 and float(band[1]) < 30


def wait_no_save(app, timeout):
    """Saves until one writes nothing (within the freshness limit the camera's last frame
    may still be saved)."""
    return wait_until(lambda: saved_frame(app) is None, timeout=timeout, interval=0.5)


# Each case: what happens to the camera, what to change while it is away, and the frame
# size it comes back with. Every frame saved must be one the camera sent after the
# previous one (its counter grows), none may be saved while the camera is away, and
# the picture comes back by itself. Neither a camera slow to open (milliseconds per
# opening) while it is sought again, nor a silent one whose graph the format dialog stops,
# may hold up the window.
FAULTS = [
    ("vanish", dict(vanish=True), None, (WIDTH, HEIGHT)),
    ("stall", dict(stall=True), None, (WIDTH, HEIGHT)),
    ("resize", dict(vanish=True), (160, 120), (160, 120)),
    ("absent_at_start", dict(vanish=True), None, (WIDTH, HEIGHT)),
    ("slow_reopen", dict(vanish=True, slow_open=4000), None, (WIDTH, HEIGHT)),
    ("format_dialog_on_a_silent_camera", dict(stall=True, format_dialog=True), None, (WIDTH, HEIGHT)),
]


def assert_answers(app, probe, why):
    """The main window answers WM_NULL within 2 s, again and again for a second or so."""
    for _ in range(4):
        assert probe.number("answers", app.hwnd, 2000) == 1, why
        time.sleep(0.3)


@pytest.mark.parametrize("name,fault,new_size,size_after", FAULTS, ids=[f[0] for f in FAULTS])
def test_a_lost_camera_saves_nothing_says_so_and_comes_back_by_itself(tmp_path, probe, camera, name, fault,
                                                                      new_size, size_after):
    at_start = name == "absent_at_start"
    if at_start:
        camera.vanish()
    app = start(tmp_path, probe, camera)
    try:
        last = 0
        if not at_start:
            before = wait_until(lambda: saved_frame(app), timeout=15)
            assert before and before[:2] == (WIDTH, HEIGHT)
            last = before[2]
            camera.vanish(fault.get("vanish", False))
            camera.stall(fault.get("stall", False))
            if fault.get("format_dialog"):
                time.sleep(0.3)
                probe.number("post", app.capture_child()[0], WM_CAP_DLG_VIDEOFORMAT, 0, 0)
                assert_answers(app, probe, "the window froze while the graph stopped")
            # Within the freshness limit the last frames may still be saved; then nothing.
            assert wait_no_save(app, timeout=20), "an old frame is still saved as new"
        assert saved_frame(app) is None
        assert wait_until(lambda: no_camera_message_shown(app, "camera-%s.png" % name), timeout=5)
        if new_size:
            camera.set_size(*new_size)
        camera.slow_open(fault.get("slow_open", 0))
        camera.vanish(False)
        camera.stall(False)
        if fault.get("slow_open"):
            assert wait_until(lambda: "slow" in camera.log(), timeout=70), "the camera was not sought again"
            assert_answers(app, probe, "the window froze while the camera reopened")

        after = wait_until(lambda: saved_frame(app), timeout=70, interval=0.5)
        assert after, "the camera did not come back"
        assert after[:2] == size_after
        assert after[2] > last
        time.sleep(0.5)
        again = saved_frame(app)
        assert again and again[2] > after[2], "the picture froze after the return"
        assert wait_until(lambda: preview_moves(app, "camera-%s-back" % name, size_after), timeout=5), \
            "the preview froze after the return"
        # The main window hears of the loss and of the return, once each, and logs them.
        camera_events = [e for e in log_events(app.folder) if e.startswith("カメラ")]
        assert camera_events == ["カメラが見つかりません", "カメラが戻りました"]
    finally:
        app.kill()


def test_closing_while_the_camera_is_silent_is_immediate(tmp_path, probe, camera):
    app = start(tmp_path, probe, camera)
    try:
        assert wait_until(lambda: saved_frame(app), timeout=15)
        camera.stall()
        assert wait_no_save(app, timeout=20)
        assert wait_until(lambda: no_camera_message_shown(app, "camera-silent.png"), timeout=5)
        app.post(WM_CLOSE)
        assert app.wait_exit(timeout=10) == 0
    finally:
        app.kill()
