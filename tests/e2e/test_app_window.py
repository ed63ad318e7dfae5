"""The real pelmix.exe as a window: its menu switches, the stretched preview, opening
the image folder, resizing, the two ways out, a run with no video source at all, and
a screenshot with the menu open over the test picture."""
import os
import re
import subprocess
import time

import pytest

from pelmix_e2e import (SC_CLOSE, WM_CLOSE, WM_SYSCOMMAND, Pelmix, artifacts_dir,
                        screen_colour, screenshot, wait_until, write_bmp, xdotool, xdotool_key)

IDM_EXIT = 105
IDM_OPEN_FOLDER = 32781
IDM_STRETCH = 32776
IDM_AUTO_UPLOAD = 32777
IDM_AUTO_BACKUP = 32780
IDM_AUTO = 32774
RED = (255, 0, 0)


@pytest.fixture
def red_frame(tmp_path):
    """A small flat red frame: unscaled it covers only the top left of the preview."""
    return write_bmp(tmp_path / "red.bmp", 80, 60, lambda x, y: RED)


def start(tmp_path, probe, source, **kwargs):
    folder = tmp_path / "run"
    folder.mkdir(exist_ok=True)
    return Pelmix(folder, probe, source=source, **kwargs)


def close_and_wait(app, how):
    """Closes the window as a user would; returns the exit code."""
    if how == "closebox":
        app.post(WM_SYSCOMMAND, SC_CLOSE, 0)   # what a click on the close box sends
    elif how == "exit":
        app.key("alt+f", "x")                  # ﾌｧｲﾙ(&F) → 終了(&X)
    return app.wait_exit(timeout=30)


def disconnects(trace_path):
    """How many driver disconnects (message 1035) reached the capture window."""
    with open(trace_path, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    return len(re.findall(r'spy_enter_message\s+\(0x[0-9a-f]+\) L"My Capture Wind\S*\s+\[040b\]', text))


# ---- Menu switches ----

def processing_checks(app, folder):
    """Check marks of 自動処理…, 自動アップロード時のバックアップ, 自動処理でアップロードする."""
    return app.menu_checks("alt+o", [0, 1, 2], folder)


def stretch_checked(app, folder):
    return app.menu_checks("alt+v", [0], folder)[0]


def test_upload_and_backup_switches_toggle_their_check_marks(tmp_path, probe):
    app = start(tmp_path, probe, "testpattern")
    try:
        time.sleep(1)
        assert processing_checks(app, tmp_path) == [False, False, True], "only 32777 starts checked"
        assert stretch_checked(app, tmp_path) is False
        app.command(IDM_AUTO_UPLOAD)
        app.command(IDM_AUTO_BACKUP)
        assert processing_checks(app, tmp_path) == [False, True, False]
        app.command(IDM_AUTO_UPLOAD)
        app.command(IDM_AUTO_BACKUP)
        assert processing_checks(app, tmp_path) == [False, False, True]
        assert app.title() == "Pelmix"
        assert [f for f in app.files() if f not in ("Pelmix.ini", "Pelmix.log")] == [], "toggling saves nothing"
    finally:
        app.kill()


def test_a_stored_auto_start_sets_the_switches_as_they_were_left(tmp_path, probe):
    folder = tmp_path / "run"
    folder.mkdir()
    with open(folder / "Pelmix.ini", "wb") as ini:
        ini.write(b"[SETTING]\r\nauto_start=1\r\nauto_upload=0\r\nauto_backup=1\r\ntimer=600\r\n")
    app = start(tmp_path, probe, "testpattern")
    try:
        # Backup on: the first picture takes number 0 instead of the fixed slot.
        assert wait_until(lambda: "pc00000.jpg" in app.files(), timeout=15), app.files()
        app.command(IDM_AUTO)  # off, so the title is the plain one the X window is found by
        # 自動処理…, バックアップ, アップロードする, 起動時に自動撮影を開始
        assert app.menu_checks("alt+o", [0, 1, 2, 3], tmp_path) == [False, True, False, True]
    finally:
        app.kill()


# ---- Stretched preview ----

def preview_colours(app, tmp_path, name):
    """Colours at the top left and the middle of the preview, from a real screenshot."""
    time.sleep(0.5)  # a few preview frames at 66 ms
    x, y, width, height = app.screen_rect(app.capture_child()[0])
    shot = screenshot(tmp_path / name)
    return screen_colour(shot, x + 10, y + 10), screen_colour(shot, x + width // 2, y + height // 2)


def test_stretch_toggles_its_check_and_stretches_the_preview(tmp_path, probe, red_frame):
    app = start(tmp_path, probe, "file:" + str(red_frame))
    try:
        corner, middle = preview_colours(app, tmp_path, "unscaled.png")
        assert corner == RED and middle != RED, "unscaled: the 80x60 frame sits at the top left"
        app.command(IDM_STRETCH)
        corner, middle = preview_colours(app, tmp_path, "stretched.png")
        assert corner == RED and middle == RED, "stretched: the frame fills the window"
        assert stretch_checked(app, tmp_path) is True
        app.command(IDM_STRETCH)
        assert stretch_checked(app, tmp_path) is False
        corner, middle = preview_colours(app, tmp_path, "unscaled-again.png")
        assert corner == RED and middle != RED
    finally:
        app.kill()


def test_without_a_capture_window_stretch_changes_nothing(tmp_path, probe, red_frame):
    app = start(tmp_path, probe, "file:" + str(red_frame))
    try:
        child = app.capture_child()[0]
        # A child closed by WM_CLOSE destroys itself; the program keeps its stale handle.
        probe.ask("send", child, WM_CLOSE, 0, 0)
        assert not probe.number("iswindow", child)
        app.command(IDM_STRETCH)
        assert stretch_checked(app, tmp_path) is False
        app.key("space")
        time.sleep(1)
        assert app.alive()
        assert close_and_wait(app, "closebox") == 0
    finally:
        app.kill()


# ---- Resizing ----

def test_resizing_resizes_the_capture_window_to_the_client_area(tmp_path, probe):
    app = start(tmp_path, probe, "testpattern")
    try:
        for width, height in ((500, 400), (820, 300), (300, 650)):
            assert probe.number("setpos", app.hwnd, 20, 20, width, height)
            client = [int(v) for v in probe.ask("client", app.hwnd).split()]
            child = wait_until(lambda: (lambda c: c if list(c[3:]) == client else None)(app.capture_child()),
                               timeout=5)
            assert child, "capture window %s, client %s" % (app.capture_child(), client)
            assert child[1:3] == (0, 0)
        probe.ask("show", app.hwnd, 6)  # SW_MINIMIZE
        assert wait_until(lambda: app.capture_child()[3:] == (0, 0), timeout=5)
        probe.ask("show", app.hwnd, 9)  # SW_RESTORE
        client = [int(v) for v in probe.ask("client", app.hwnd).split()]
        assert wait_until(lambda: list(app.capture_child()[3:]) == client, timeout=5)
    finally:
        app.kill()


# ---- Opening the image folder ----

def shell_window_named(name):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)],
                         capture_output=True, text=True, timeout=10).stdout.split()
    return out[-1] if out else None


def close_shell_window(xid):
    xdotool("windowfocus", "--sync", xid)
    xdotool_key("alt+F4")
    wait_until(lambda: not x_window_exists(xid), timeout=10)


def x_window_exists(xid):
    return subprocess.run(["xdotool", "getwindowname", xid], capture_output=True, timeout=10).returncode == 0


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def ini_with_local_dir(folder, value):
    (folder / "Pelmix.ini").write_bytes(("[SETTING]\r\nlocal_dir=%s\r\n" % value).encode("cp932"))


def start_with_local_dir(tmp_path, probe, local_dir):
    """Starts pelmix.exe in tmp_path/run with local_dir set to the given Linux path."""
    folder = tmp_path / "run"
    folder.mkdir()
    ini_with_local_dir(folder, windows_path(local_dir))
    return Pelmix(folder, probe, source="testpattern")


def default_local_dir(tmp_path, start):
    return start.name


def absolute_local_dir(tmp_path, start):
    images = tmp_path / "pelmix-image-folder"
    images.mkdir()
    ini_with_local_dir(start, windows_path(images))
    return images.name


def program_named_local_dir(tmp_path, start):
    # A bare "notepad" alone would make the shell start Notepad instead.
    (start / "notepad").mkdir()
    ini_with_local_dir(start, "notepad")
    return "notepad"


@pytest.mark.parametrize("setting", [default_local_dir, absolute_local_dir, program_named_local_dir],
                         ids=["default", "absolute", "relative_named_like_a_program"])
def test_open_folder_shows_the_image_folder_in_the_shell(tmp_path, probe, setting):
    start = tmp_path / "pelmix-start-folder"
    start.mkdir()
    shown = setting(tmp_path, start)
    app = Pelmix(start, probe, source="testpattern")
    try:
        assert app.command(IDM_OPEN_FOLDER) == 0
        shell = wait_until(lambda: shell_window_named(shown), timeout=20)
        assert shell, "the shell showed no window for " + shown
        close_shell_window(shell)
        assert app.alive()
    finally:
        app.kill()


def test_open_folder_never_runs_a_file_named_by_local_dir(tmp_path, probe):
    # "open" on a batch file would run it; the command is for folders only.
    marker = tmp_path / "ran.txt"
    script = tmp_path / "pelmix-not-a-folder.bat"
    script.write_bytes(("echo ran > %s\r\n" % windows_path(marker)).encode("cp932"))
    app = start_with_local_dir(tmp_path, probe, script)
    try:
        assert app.command(IDM_OPEN_FOLDER) == 0
        time.sleep(3)
        assert not marker.exists()
        assert app.alive()
    finally:
        app.kill()


# ---- Closing ----

@pytest.mark.parametrize("how, expected_disconnects", [("closebox", 1), ("exit", 0)])
def test_exit_and_close_box_end_with_0_and_only_the_close_box_disconnects(tmp_path, probe, how,
                                                                           expected_disconnects):
    trace = tmp_path / "messages.txt"
    app = start(tmp_path, probe, "testpattern", env={"WINEDEBUG": "+message"}, stderr_path=trace)
    try:
        assert app.capture_child()
        assert close_and_wait(app, how) == 0
        assert not probe.number("iswindow", app.hwnd)
        assert disconnects(trace) == expected_disconnects
    finally:
        app.kill()


def test_alt_f4_closes_like_the_close_box(tmp_path, probe):
    app = start(tmp_path, probe, "testpattern")
    try:
        app.key("alt+F4")
        assert app.wait_exit(timeout=30) == 0
    finally:
        app.kill()


# ---- No video source ----

def test_with_no_video_source_the_window_opens_runs_and_closes(tmp_path, probe):
    app = start(tmp_path, probe, None)
    try:
        assert app.title() == "Pelmix"
        assert probe.ask("class", app.hwnd) == "PELMIX"
        assert app.capture_child(), "the capture window is there, empty"
        app.key("space")
        app.key("Return")
        time.sleep(1)
        assert app.alive()
        assert [f for f in app.files() if f.startswith("pc")] == [], "nothing to save"
        assert close_and_wait(app, "closebox") == 0
    finally:
        app.kill()


# ---- Screenshot ----

def test_screenshot_with_the_menu_open_over_the_test_picture(tmp_path, probe):
    app = start(tmp_path, probe, "testpattern")
    try:
        time.sleep(1)
        app.key("alt+o")  # 処理(&O)
        time.sleep(1)
        path = os.path.join(artifacts_dir(), "pelmix-menu-open.png")
        screenshot(path)
        assert os.path.getsize(path) > 0
        xdotool_key("Escape", "Escape")
        # About box too, for its "ＭＳ Ｐゴシック" texts.
        app.key("alt+slash")
        assert app.wait_dialog()
        time.sleep(0.5)
        screenshot(os.path.join(artifacts_dir(), "pelmix-about-box.png"))
        xdotool_key("Return")
    finally:
        app.kill()
