"""An upload to a server that takes the file and never opens the data connection. The
upload gives up after its limit with nothing left running, and neither the next save of
the same picture file nor the next upload, to a working server on 127.45.x.y, is held up.
Meanwhile the window answers; closing it ends the upload and leaves no copy behind."""
import contextlib
import glob
import os
import pathlib
import time

from upload_support import (APP_TITLE, AUTO, SAVE_BMP, UPLOAD, UPLOAD_TITLE, FtpServer, countdown_seconds,
                            free_address, make_bmp, pictures, read, server_settings, write_settings)
from pelmix_e2e import WM_CLOSE, log_events, wait_until

ADDRESS = free_address(45)  # the working server
HANGING = free_address(46)
MAGENTA = (255, 0, 255)
CYAN = (0, 255, 255)
LONG_PERIOD = {"timer": 3600}  # only the tick of switching on takes a picture
# Every upload ends within 30 s; the rest is the automatic save around it.
GIVE_UP_LIMIT = 60


def copies_folder():
    """Where the uploads keep the copies they send, in the Wine prefix's temporary folder."""
    found = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "*", "Temp", "Pelmix upload"))
    assert found, "no folder of upload copies"
    return pathlib.Path(found[0])


@contextlib.contextmanager
def upload_hanging(tmp_path, start_pelmix, **server):
    """Pelmix in the automatic mode, its first upload stuck in a STOR that never ends."""
    hanging = FtpServer(HANGING, tmp_path / "hanging", tmp_path / "hanging.log", hang_on_store=True, **server)
    try:
        (tmp_path / "app").mkdir()
        make_bmp(tmp_path / "app" / "frame.bmp", 160, 120, MAGENTA)
        app = start_pelmix("file:frame.bmp", **server_settings(HANGING, **LONG_PERIOD))
        # Without backup numbering each automatic picture replaces pc99999.jpg.
        app.command(AUTO)
        assert wait_until(lambda: "STOR pc99999.jpg" in hanging.commands(), timeout=30)
        yield app, hanging
    finally:
        hanging.stop()


def test_a_transfer_that_never_ends_holds_up_neither_the_next_save_nor_the_next_upload(
        tmp_path, start_pelmix, server):
    with upload_hanging(tmp_path, start_pelmix, lifetime=300) as (app, hanging):
        assert wait_until(lambda: countdown_seconds(app.title()) is not None, timeout=GIVE_UP_LIMIT)
        app.command(AUTO)
        first = read(app.folder_path / "pc99999.jpg")

        write_settings(app.folder_path, **server_settings(ADDRESS, **LONG_PERIOD))
        make_bmp(app.folder_path / "frame.bmp", 160, 120, CYAN)
        # The copy another instance is sending at this moment.
        foreign = copies_folder() / "pmxdead.tmp"
        foreign.write_bytes(b"another instance's picture")
        app.command(AUTO)
        assert wait_until(lambda: server.received() == ["pc99999.jpg"], timeout=30)
        app.command(AUTO)
        assert wait_until(lambda: app.title() == APP_TITLE, timeout=GIVE_UP_LIMIT)
        second = read(app.folder_path / "pc99999.jpg")
        assert second != first, "the second picture did not replace the first"
        assert read(server.root_path / "pc99999.jpg") == second
        # This instance's copies are gone; the other instance's copy is untouched.
        assert [p.name for p in copies_folder().glob("*.tmp")] == ["pmxdead.tmp"]
        assert foreign.read_bytes() == b"another instance's picture"


def test_while_an_upload_hangs_the_window_refuses_saves_and_closing_leaves_no_copy(tmp_path, start_pelmix):
    # The copies sent (*.tmp); a save's smaller copy for upload_width (*.jpg) stays by design.
    own_copies = lambda: [p.name for p in copies_folder().glob("*.tmp") if p.name != "pmxdead.tmp"]  # noqa: E731
    with upload_hanging(tmp_path, start_pelmix) as (app, hanging):
        assert own_copies(), "no copy is being sent"
        # A frozen window would answer these only when the upload gives up, 10 s on.
        started = time.monotonic()
        for command in (SAVE_BMP, UPLOAD, SAVE_BMP):
            app.probe.number("command", app.hwnd, command)
        assert time.monotonic() - started < 5
        assert app.title() == UPLOAD_TITLE and pictures(app.folder_path) == ["frame.bmp", "pc99999.jpg"]
        assert log_events(app.folder_path).count("保存もアップロードもしませんでした (アップロード中です)") == 1
        app.post(WM_CLOSE)
        assert app.wait_exit(timeout=10) == 0
        assert own_copies() == [] and hanging.commands().count("STOR pc99999.jpg") == 1
