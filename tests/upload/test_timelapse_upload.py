"""The daily timelapse uploaded once, atomically, under timelapse_name to a real FTP server
on 127.46.x.y."""
import datetime
import os
import subprocess
import time

from pelmix_e2e import log_events, wait_until
from upload_support import FtpServer, free_address, server_settings  # noqa: F401 (server fixture)

ADDRESS = free_address(46)


def test_yesterdays_timelapse_is_uploaded_once_under_its_name_after_the_pictures_upload(start_pelmix, server,
                                                                                       tmp_path):
    def prepare(folder):
        subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=1", "-frames:v", "3",
                        str(folder / "pc%05d.jpg")], check=True, timeout=60)
        yesterday = time.time() - 86400
        for n in (1, 2, 3):
            os.utime(folder / f"pc{n:05d}.jpg", (yesterday + n,) * 2)

    app = start_pelmix("testpattern", prepare=prepare, **server_settings(
        ADDRESS, auto_start=1, auto_upload=1, timer=600, timelapse=1, timelapse_upload=1, timelapse_name="daily.avi",
        ftp_atomic=1))
    name = (datetime.date.today() - datetime.timedelta(days=1)).strftime("timelapse-%Y%m%d.avi")
    assert wait_until(lambda: any(e.startswith("タイムラプスをアップロード") for e in log_events(app.folder_path)),
                      timeout=40), log_events(app.folder_path)
    assert f"タイムラプスをアップロードしました ({name} → daily.avi)" in log_events(app.folder_path)
    # The cycle's picture went too, one upload at a time, and its countdown runs on.
    assert server.stored_files() == ["daily.avi", "pc99999.jpg"]
    assert (server.root_path / "daily.avi").read_bytes() == (app.folder_path / name).read_bytes()
    assert wait_until(lambda: app.title().startswith("あと約"), timeout=5), app.title()
    time.sleep(3)
    assert len([c for c in server.commands() if c.startswith("STOR")]) == 2
