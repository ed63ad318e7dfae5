"""Keys as a user presses them (through the X server) on the real pelmix.exe: the
numbered saves of Space, Enter and Ctrl+S, a held Space, and the About box."""
import os
import time

import pytest

from pelmix_e2e import (SC_CLOSE, WM_KEYDOWN, WM_SYSCOMMAND, Pelmix, wait_until, write_bmp,
                        xdotool, xdotool_key)

VK_SPACE = 0x20


@pytest.fixture
def frame(tmp_path):
    """A frame file the capture window hands out unchanged for every picture."""
    return write_bmp(tmp_path / "frame.bmp", 64, 48, lambda x, y: (200, 40 + y, 30 + x))


@pytest.fixture
def app(tmp_path, probe, frame):
    folder = tmp_path / "run"
    folder.mkdir()
    pelmix = Pelmix(folder, probe, source="file:" + str(frame))
    yield pelmix
    pelmix.kill()


def pictures(app):
    return [f for f in app.files() if f.startswith("pc")]


def wait_pictures(app, count, timeout=15):
    return wait_until(lambda: len(pictures(app)) >= count and pictures(app), timeout=timeout) or pictures(app)


def test_space_enter_and_ctrl_s_save_the_next_numbered_bmp_then_jpegs(app, frame):
    app.key("space")
    assert wait_pictures(app, 1) == ["pc00000.bmp"]
    with open(frame, "rb") as original, open(os.path.join(app.folder, "pc00000.bmp"), "rb") as saved:
        assert saved.read() == original.read(), "a plain BMP is the frame as the capture window wrote it"

    app.key("Return")
    assert wait_pictures(app, 2) == ["pc00000.bmp", "pc00001.jpg"]

    app.key("ctrl+s")
    assert wait_pictures(app, 3) == ["pc00000.bmp", "pc00001.jpg", "pc00002.jpg"]
    for name in ("pc00001.jpg", "pc00002.jpg"):
        with open(os.path.join(app.folder, name), "rb") as f:
            assert f.read(3) == b"\xff\xd8\xff", name
    assert app.alive()


def test_holding_space_saves_one_bmp_for_every_key_down(app):
    # Auto-repeated key-downs carry bit 30 (the key was already down) and count all the same.
    app.post(WM_KEYDOWN, VK_SPACE, 0x00390001)
    for _ in range(4):
        app.post(WM_KEYDOWN, VK_SPACE, 0x40390001)
    expected = ["pc%05d.bmp" % n for n in range(5)]
    assert wait_pictures(app, 5) == expected
    time.sleep(0.5)
    assert pictures(app) == expected


def test_a_space_key_held_down_saves_a_run_of_bmps(app):
    app.focus()
    xdotool("keydown", "space")
    time.sleep(1.5)
    xdotool("keyup", "space")
    # The X server repeats a held key; each repeat arrives as one more key-down.
    saved = wait_until(lambda: len(pictures(app)) >= 2 and pictures(app), timeout=15)
    assert saved, "a held Space gave %s" % pictures(app)
    assert saved == ["pc%05d.bmp" % n for n in range(len(saved))]


@pytest.mark.parametrize("keys", [["alt+slash"], ["alt+question"]], ids=["alt-slash", "alt-question"])
def test_alt_slash_and_alt_question_open_the_about_box(app, probe, keys):
    app.key(*keys)
    dialog = app.wait_dialog()
    assert dialog, "no About box"
    assert probe.ask("title", dialog) == "ﾊﾞｰｼﾞｮﾝ情報"
    assert probe.ask("dlgtext", dialog, 1) == "OK"
    xdotool_key("Escape")
    assert wait_until(lambda: not probe.number("iswindow", dialog))
    assert app.alive()


@pytest.mark.parametrize("close", ["Return", "Escape", "closebox"])
def test_enter_esc_and_the_close_box_close_the_about_box(app, probe, close):
    app.key("alt+slash")
    dialog = app.wait_dialog()
    assert dialog, "no About box"
    if close == "closebox":
        probe.ask("post", dialog, WM_SYSCOMMAND, SC_CLOSE, 0)
    else:
        xdotool_key(close)
    assert wait_until(lambda: not probe.number("iswindow", dialog)), "the About box stayed open"
    # The main window takes keys again: Space saves.
    app.key("space")
    assert wait_pictures(app, 1) == ["pc00000.bmp"]
