"""The automatic mode of the real pelmix.exe, uploading to a real FTP server on 127.44.x.y;
its resumption at launch, the backup limits and the log of a failed upload."""
import os
import re
import time

import pytest

from pelmix_e2e import FAKE_CAMERA, WM_COMMAND, FakeCamera, log_events, wait_until, xdotool_key
from upload_support import (APP_TITLE, AUTO, AUTO_BACKUP, AUTO_UPLOAD, PASSWORD, SETTINGS, UPLOAD, FtpServer,
                            countdown_seconds, free_address, make_bmp, pictures, read, server_settings)

ADDRESS = free_address(44)
IDCANCEL = 2


@pytest.fixture
def launch(start_pelmix):
    return lambda **settings: start_pelmix("testpattern", **server_settings(ADDRESS, **settings))


class TitleLog:
    """Every distinct title seen while polling."""

    def __init__(self, app):
        self.app, self.titles = app, []

    def poll(self):
        title = self.app.title()
        if not self.titles or self.titles[-1] != title:
            self.titles.append(title)
        return title

    def watch(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.poll()
            time.sleep(0.05)

    def until(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.poll()
            if predicate():
                return True
            time.sleep(0.05)
        return False

    def countdowns(self):
        return [s for s in (countdown_seconds(t) for t in self.titles) if s is not None]


def switch(app, item):
    app.command(item)


def switch_off(app):
    """Switches the mode off and waits for an upload still running to end."""
    app.command(AUTO)
    assert wait_until(lambda: app.title() == APP_TITLE, timeout=40)


class TestSwitching:
    def test_switching_on_takes_a_picture_at_once_and_off_restores_the_title(self, launch, server):
        app = launch(timer=30, dut_jpg="cam.jpg")
        switch(app, AUTO)
        # A period is 30 s: the first picture comes long before one has passed.
        assert wait_until(lambda: len(server.received()) == 1, timeout=10)
        assert pictures(app.folder_path) == ["pc99999.jpg"]
        assert server.stored_files() == ["cam.jpg"]
        assert read(server.root_path / "cam.jpg") == read(app.folder_path / "pc99999.jpg")
        assert wait_until(lambda: countdown_seconds(app.title()) in (28, 29), timeout=3)

        switch(app, AUTO)
        assert app.title() == APP_TITLE
        time.sleep(1.5)
        assert app.title() == APP_TITLE

        # On again: at once again, not after the period still left.
        switch(app, AUTO)
        assert wait_until(lambda: len(server.received()) == 2, timeout=10)
        switch(app, AUTO)

    def test_a_picture_every_period_each_uploaded_under_dut_jpg(self, launch, server):
        app = launch(timer=2, dut_jpg="cam.jpg")
        log = TitleLog(app)
        switch(app, AUTO)
        assert log.until(lambda: len(server.received()) >= 4, timeout=20)
        switch_off(app)
        uploads = len(server.received())
        time.sleep(3)
        assert len(server.received()) == uploads, "a picture after switching off"

        assert set(server.received()) == {"cam.jpg"}
        # Without backup numbering every picture goes to the fixed slot.
        assert pictures(app.folder_path) == ["pc99999.jpg"]
        assert read(server.root_path / "cam.jpg") == read(app.folder_path / "pc99999.jpg")
        # Between cycles the title counts the seconds left of the 2-second period.
        assert set(log.countdowns()) == {0, 1}
        # One picture per period, not one per tick.
        times = server.receipt_times()
        assert all(b - a > 1.5 for a, b in zip(times, times[1:])), times

    def test_with_backup_numbering_each_picture_takes_a_new_number(self, launch, server):
        app = launch(timer=2)
        switch(app, AUTO_BACKUP)
        switch(app, AUTO)
        assert wait_until(lambda: len(server.received()) >= 3, timeout=20)
        switch_off(app)
        names = pictures(app.folder_path)
        assert "pc99999.jpg" not in names
        assert names[:3] == ["pc00000.jpg", "pc00001.jpg", "pc00002.jpg"]
        # With dut_jpg empty, each keeps its own name on the server.
        assert server.received()[:3] == names[:3]
        for name in server.received():
            assert read(server.root_path / name) == read(app.folder_path / name)

    def test_without_the_upload_switch_nothing_is_uploaded(self, launch, server):
        app = launch(timer=1)
        switch(app, AUTO_UPLOAD)
        switch(app, AUTO_BACKUP)
        switch(app, AUTO)
        assert wait_until(lambda: len(pictures(app.folder_path)) >= 3, timeout=15)
        switch(app, AUTO)
        assert server.commands() == []


class TestWhileWaiting:
    def test_a_manual_ctrl_u_postpones_the_next_picture_by_a_full_period(self, launch, server):
        app = launch(timer=5)
        app.focus()  # while the title is still the plain one the X window is found by it
        switch(app, AUTO_UPLOAD)  # only the manual upload talks to the server
        switch(app, AUTO_BACKUP)  # a new file per picture, to count them
        switch(app, AUTO)
        assert wait_until(lambda: pictures(app.folder_path) == ["pc00000.jpg"], timeout=10)
        assert wait_until(lambda: countdown_seconds(app.title()) == 3, timeout=10)
        xdotool_key("ctrl+u")
        assert wait_until(lambda: server.received() == ["pc00000.jpg"], timeout=10)
        assert pictures(app.folder_path) == ["pc00000.jpg"]

        # Without the upload the next picture would come within about three seconds; now the
        # countdown starts again from the full period.
        log = TitleLog(app)
        assert log.until(lambda: len(pictures(app.folder_path)) == 2, timeout=15)
        switch(app, AUTO)
        seen = log.countdowns()
        assert seen[:4] == [4, 3, 2, 1], log.titles

    def test_the_settings_dialog_open_does_not_stop_the_mode(self, launch, server, probe):
        app = launch(timer=1, dut_jpg="cam.jpg")
        switch(app, AUTO)
        assert wait_until(lambda: len(server.received()) >= 1, timeout=10)
        app.post(WM_COMMAND, SETTINGS)
        dialog = wait_until(lambda: probe.ask("owned", app.hwnd), timeout=10)
        assert dialog and "#32770" in dialog
        dialog_hwnd = int(dialog.split(";")[0].split()[0])
        uploads = len(server.received())
        log = TitleLog(app)
        assert log.until(lambda: len(server.received()) >= uploads + 2, timeout=15)
        assert log.countdowns(), log.titles
        assert probe.number("iswindow", dialog_hwnd)  # still open all along
        probe.number("post", dialog_hwnd, WM_COMMAND, IDCANCEL, 0)
        assert wait_until(lambda: not probe.number("iswindow", dialog_hwnd), timeout=10)
        switch_off(app)


AUTO_START = 32790
SAVE_JPG_COMMAND = 32779


def ini_values(folder):
    values = {}
    with open(os.path.join(str(folder), "Pelmix.ini"), encoding="cp932") as ini:
        for line in ini:
            key, sep, value = line.strip().partition("=")
            if sep:
                values[key] = value
    return values


def backups(folder):
    """The pictures the retention limits may delete: prefix, five digits, .jpg or .bmp."""
    return sorted(n for n in os.listdir(str(folder))
                  if re.fullmatch(r"pc\d{5}\.(jpg|bmp)", n, re.IGNORECASE) and n != "pc99999.jpg")


LOOK_ALIKES = ["pc0001.jpg", "pc00001.jpg.txt", "xpc00001.jpg", "pc00001 (2).jpg", "pc99999.jpg", "notes.txt"]


def fill_with_old_pictures(folder):
    """Twenty old numbered pictures, a day apart, and look-alikes that must survive."""
    day = 86400
    now = time.time()
    for number in range(20):
        path = os.path.join(str(folder), "pc%05d.jpg" % number)
        with open(path, "wb") as f:
            f.write(b"old")
        stamp = now - (40 - number) * day
        os.utime(path, (stamp, stamp))
    for name in LOOK_ALIKES:
        with open(os.path.join(str(folder), name), "wb") as f:
            f.write(b"look-alike")


class TestResumeAtLaunch:
    def test_the_auto_switch_starts_the_mode_with_the_menu_switches_and_writes_nothing(self, start_pelmix, server):
        app = start_pelmix("testpattern", args=["/AUTO"], **server_settings(ADDRESS, timer=30, dut_jpg="cam.jpg"))
        # Upload on and backup off, as the menu starts: one upload to the fixed slot, at once.
        assert wait_until(lambda: len(server.received()) == 1, timeout=15)
        assert server.received() == ["cam.jpg"]
        assert pictures(app.folder_path) == ["pc99999.jpg"]
        assert wait_until(lambda: countdown_seconds(app.title()) is not None, timeout=5)
        assert log_events(app.folder_path)[:2] == ["起動しました", "自動撮影を起動時に開始しました (/auto)"]
        assert not {"auto_start", "auto_upload", "auto_backup"} & set(ini_values(app.folder_path))

    def test_auto_start_resumes_with_the_stored_switches_and_keeps_the_newest_backups(self, start_pelmix, server):
        app = start_pelmix("testpattern", prepare=fill_with_old_pictures,
                           **server_settings(ADDRESS, timer=1, auto_start=1, auto_upload=0, auto_backup=1,
                                             keep_files=3))
        # Backup on: new numbers after the highest; upload off: the server hears nothing.
        assert wait_until(lambda: "pc00022.jpg" in pictures(app.folder_path), timeout=20)
        switch(app, AUTO)  # sent: no cycle runs once it returns
        kept = backups(app.folder_path)
        assert len(kept) == 3, kept
        assert all(int(name[2:7]) >= 20 for name in kept), kept
        assert kept == ["pc%05d.jpg" % n for n in range(int(kept[0][2:7]), int(kept[0][2:7]) + 3)]
        for name in LOOK_ALIKES:
            assert os.path.exists(os.path.join(str(app.folder_path), name)), name
        assert server.commands() == []
        assert "自動撮影を起動時に開始しました" in log_events(app.folder_path)

        # While auto-start is on, the switches are remembered; once it is off, no longer.
        switch(app, AUTO_BACKUP)
        assert ini_values(app.folder_path)["auto_backup"] == "0"
        switch(app, AUTO_UPLOAD)
        assert ini_values(app.folder_path)["auto_upload"] == "1"
        switch(app, AUTO_START)
        assert ini_values(app.folder_path)["auto_start"] == "0"
        switch(app, AUTO_BACKUP)
        assert ini_values(app.folder_path)["auto_backup"] == "0"
        # Turning it on again stores the switches as they are now.
        switch(app, AUTO_START)
        values = ini_values(app.folder_path)
        assert (values["auto_start"], values["auto_upload"], values["auto_backup"]) == ("1", "1", "1")
        assert log_events(app.folder_path)[-1] == "設定を変更しました (起動時に自動撮影を開始: 入)"

        # A settings file that cannot be written: the log says so instead of a change.
        ini = app.folder_path / "Pelmix.ini"
        before = read(ini)
        os.chmod(str(ini), 0o444)
        switch(app, AUTO_START)
        assert log_events(app.folder_path)[-1] == "設定を保存できませんでした (Pelmix.ini に書き込めません)"
        assert read(ini) == before


def test_a_refused_login_is_logged_with_the_server_and_its_reply(start_pelmix, tmp_path):
    refusing = FtpServer(ADDRESS, tmp_path / "server", tmp_path / "ftp.log", password="not-" + PASSWORD)
    try:
        app = start_pelmix("testpattern", **server_settings(ADDRESS))
        switch(app, SAVE_JPG_COMMAND)
        switch(app, UPLOAD)
        failures = [e for e in log_events(app.folder_path) if e.startswith("アップロードに失敗しました")]
        assert len(failures) == 1, log_events(app.folder_path)
        assert ADDRESS in failures[0]
        assert "530" in failures[0] or "エラー" in failures[0], failures[0]
        assert refusing.received() == []
    finally:
        refusing.stop()


@pytest.mark.skipif(not FAKE_CAMERA, reason="no fake camera built for this tree")
def test_a_camera_gone_silent_uploads_nothing_until_it_sends_again(start_pelmix, server, tmp_path):
    camera = FakeCamera(tmp_path / "camera")
    app = start_pelmix(None, env=camera.env(), **server_settings(ADDRESS, timer=1, dut_jpg="cam.jpg"))
    switch(app, AUTO)
    assert wait_until(lambda: len(server.received()) >= 2, timeout=20)
    camera.stall()
    # Frames within the freshness limit may still go out; after it, none.
    time.sleep(8)
    uploads = len(server.received())
    web_picture = read(server.root_path / "cam.jpg")
    time.sleep(6)
    assert len(server.received()) == uploads, "a frozen picture was uploaded as new"
    assert read(server.root_path / "cam.jpg") == web_picture
    camera.stall(False)
    assert wait_until(lambda: len(server.received()) > uploads, timeout=40), "no upload after the camera came back"
    assert read(server.root_path / "cam.jpg") != web_picture
    switch(app, AUTO)


# Each case: what makes the cycles empty, the line that says so, and what mends it.
EMPTY_CYCLES = {
    "no_frame": ({}, "撮影を保存できませんでした (カメラから画像が来ません)", lambda folder: None),
    "folder_missing": ({"st": "pics\\pc"}, "撮影を保存できませんでした (画像保存フォルダに書き込めません)",
                       lambda folder: (folder / "pics").mkdir()),
}


@pytest.mark.parametrize("case", list(EMPTY_CYCLES))
def test_a_run_of_empty_cycles_is_logged_once_as_it_begins_and_once_as_it_ends(case, start_pelmix, server):
    settings, why, mend = EMPTY_CYCLES[case]
    frame = lambda folder: make_bmp(folder / "frame.bmp", 160, 120, (0, 128, 255))  # noqa: E731
    app = start_pelmix("file:frame.bmp", prepare=None if case == "no_frame" else frame,
                       **server_settings(ADDRESS, timer=1, dut_jpg="cam.jpg", **settings))
    switch(app, AUTO)
    assert wait_until(lambda: why in log_events(app.folder_path), timeout=15)
    time.sleep(3)  # more empty cycles, none of which talks to the server
    assert server.commands() == []
    mend(app.folder_path)
    frame(app.folder_path)
    assert wait_until(lambda: server.received(), timeout=15)
    switch_off(app)
    events = log_events(app.folder_path)
    ends = [e for e in events if e.startswith("自動撮影が元に戻りました")]
    assert events.count(why) == 1 and len(ends) == 1, events
    assert int(re.search(r"(\d+) 回", ends[0]).group(1)) >= 3, ends
