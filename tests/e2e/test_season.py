"""The real pelmix.exe through a season unattended: the hours of the day, the free-space
margin and the daily timelapse (checked with Debian's ffprobe and ffmpeg)."""
import datetime
import hashlib
import json
import os
import socket
import subprocess
import time

import pytest

from pelmix_e2e import IDM_UPLOAD, Pelmix, log_events, pixel_box, screenshot, wait_until

PAUSED = "撮影休止中 ("


def write_ini(folder, ini):
    with open(folder / "Pelmix.ini", "wb") as f:
        f.write(("[SETTING]\r\nauto_start=1\r\nauto_upload=0\r\nauto_backup=1\r\ntimer=600\r\n" + ini)
                .encode("cp932"))


def start(folder, probe, ini):
    folder.mkdir(exist_ok=True)
    write_ini(folder, ini)
    return Pelmix(folder, probe, source="testpattern")


def hhmm(moment):
    return moment.strftime("%H:%M")


def test_outside_the_hours_no_picture_is_taken_until_they_come(tmp_path, probe):
    now = datetime.datetime.now()
    opens = now + datetime.timedelta(hours=2)
    folder = tmp_path / "run"
    app = start(folder, probe, f"active_from={hhmm(opens)}\r\nactive_to={hhmm(opens + datetime.timedelta(hours=1))}\r\n")
    try:
        expected = f"撮影休止中 ({hhmm(opens)} に再開) - Pelmix"
        assert wait_until(lambda: app.title() == expected, timeout=10), app.title()
        time.sleep(2)
        assert not [f for f in app.files() if f.endswith(".jpg")]
        # The hours are read at every tick: a window that holds now takes a picture at once.
        hour = datetime.timedelta(hours=1)
        write_ini(folder, f"active_from={hhmm(now - hour)}\r\nactive_to={hhmm(now + hour)}\r\n")
        assert wait_until(lambda: "pc00000.jpg" in app.files(), timeout=15), app.files()
        assert wait_until(lambda: app.title().startswith("あと約"), timeout=5), app.title()
    finally:
        app.kill()
    events = log_events(folder)
    assert [e for e in events if e.startswith("撮影を休止")] == [
        f"撮影を休止します (撮影する時間帯の外です; {hhmm(opens)} に再開)"]
    assert [e for e in events if e.startswith("撮影を再開")] == ["撮影を再開します (撮影する時間帯になりました)"]


def test_a_drive_without_the_margin_loses_its_oldest_pictures_then_skips_the_save(tmp_path, probe):
    folder = tmp_path / "run"
    folder.mkdir()
    for number, age in ((1, 300), (2, 200), (3, 100)):
        path = folder / f"pc{number:05d}.jpg"
        path.write_bytes(b"\xff\xd8 old picture")
        os.utime(path, (time.time() - age,) * 2)
    (folder / "pc99999.jpg").write_bytes(b"fixed slot")
    # More than any test machine has free: all but the newest picture go, and no save is made.
    app = start(folder, probe, "keep_free_mb=16777216\r\n")
    try:
        assert wait_until(lambda: any("空き容量が足りない" in e for e in log_events(folder)), timeout=15)
        assert app.files() == ["Pelmix.ini", "Pelmix.log", "pc00003.jpg", "pc99999.jpg"]
    finally:
        app.kill()
    events = log_events(folder)
    assert "空き容量を確保するため古い写真を2枚削除しました (pc00001.jpg ～ pc00002.jpg)" in events


# ---- The daily timelapse ----

@pytest.fixture(scope="module")
def jpegs(tmp_path_factory):
    """Twelve different small JPEGs, made by ffmpeg."""
    folder = tmp_path_factory.mktemp("jpegs")
    subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=1",
                    "-frames:v", "12", "-q:v", "5", str(folder / "f%02d.jpg")], check=True, timeout=60)
    return [(folder / f"f{i:02d}.jpg").read_bytes() for i in range(1, 13)]


def day_at(days_ago, hour, minute=0):
    day = datetime.date.today() - datetime.timedelta(days=days_ago)
    return time.mktime(datetime.datetime(day.year, day.month, day.day, hour, minute).timetuple())


def probe_video(path):
    info = json.loads(subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=codec_name,r_frame_rate,nb_read_packets", "-of", "json", str(path)],
        capture_output=True, text=True, check=True, timeout=60).stdout)["streams"][0]
    decoded = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "framecrc", "-"],
                             capture_output=True, text=True, timeout=60)
    copied = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-c", "copy", "-f", "framemd5", "-"],
                            capture_output=True, text=True, check=True, timeout=60).stdout
    return {
        "codec": info["codec_name"], "rate": info["r_frame_rate"], "frames": int(info["nb_read_packets"]),
        "decode_errors": decoded.stderr.strip(),
        "decoded": len([l for l in decoded.stdout.splitlines() if l and not l.startswith("#")]),
        "md5": [l.split(",")[-1].strip() for l in copied.splitlines() if l and not l.startswith("#")],
    }


# Each picture: (name, index of the JPEG, days ago, hour, minute). The frames expected are
# indexes into the JPEGs, in order.
TIMELAPSE_CASES = {
    "yesterday by write time, look-alikes left out": dict(
        pictures=[("pc00003.jpg", 0, 1, 6), ("pc00001.jpg", 1, 1, 7), ("pc00002.jpg", 2, 1, 8),
                  ("pc00004.JPG", 3, 1, 9), ("pc00005.bmp", 4, 1, 10), ("pc0006.jpg", 5, 1, 11),
                  ("pc99999.jpg", 6, 1, 12), ("pc00007.jpg", 7, 0, 0, 1)],
        ini="", day=1, frames=[0, 1, 2, 3], rate="24/1"),
    "an even sample that keeps the first and the last": dict(
        pictures=[(f"pc{n:05d}.jpg", n, 1, 1 + n) for n in range(10)],
        ini="timelapse_frames=4\r\ntimelapse_fps=5\r\n", day=1, frames=[0, 3, 6, 9], rate="5/1"),
    "the latest earlier day when Pelmix was off for days": dict(
        pictures=[("pc00001.jpg", 1, 3, 12), ("pc00002.jpg", 2, 2, 12), ("pc00003.jpg", 3, 2, 13)],
        ini="timelapse_fps=0\r\n", day=2, frames=[2, 3], rate="24/1"),
    "pictures in the prefix's folder, the video beside them": dict(st="sub\\pc", ini="", day=1, frames=[2, 1],
        rate="24/1", pictures=[("pc00002.jpg", 2, 1, 6), ("pc00001.jpg", 1, 1, 7)]),
    "nothing before today": dict(pictures=[("pc00001.jpg", 1, 0, 0, 1)], ini="", day=None, frames=None),
}


@pytest.mark.parametrize("case", TIMELAPSE_CASES.keys())
def test_the_day_before_becomes_a_timelapse_of_its_jpegs(tmp_path, probe, jpegs, case):
    c = TIMELAPSE_CASES[case]
    folder = tmp_path / "run"
    folder.mkdir()
    st = c.get("st", "pc")
    pictures = folder / st[:-len("pc")].replace("\\", "/")
    pictures.mkdir(exist_ok=True)
    for name, index, *when in c["pictures"]:
        (pictures / name).write_bytes(jpegs[index])
        os.utime(pictures / name, (day_at(*when),) * 2)
    app = start(folder, probe, f"timelapse=1\r\nst={st}\r\n" + c["ini"])
    try:
        made = lambda: [e for e in log_events(folder) if e.startswith("タイムラプス")]
        if c["day"] is None:
            assert wait_until(lambda: "pc00002.jpg" in app.files(), timeout=15), app.files()
            time.sleep(3)
            assert not made() and not [f for f in app.files() if f.startswith("timelapse")]
            return
        assert wait_until(made, timeout=30), log_events(folder)
    finally:
        app.kill()
    name = (datetime.date.today() - datetime.timedelta(days=c["day"])).strftime("timelapse-%Y%m%d.avi")
    assert made() == [f"タイムラプスを作成しました ({st[:-len('pc')]}{name}, {len(c['frames'])} コマ)"]
    assert not [f for f in os.listdir(pictures) if f.endswith(".part")]
    video = probe_video(pictures / name)
    assert video == {"codec": "mjpeg", "rate": c["rate"], "frames": len(c["frames"]), "decode_errors": "",
                     "decoded": len(c["frames"]),
                     "md5": [hashlib.md5(jpegs[i]).hexdigest() for i in c["frames"]]}


def test_with_tray_the_icon_shows_a_failed_upload_and_minimising_hides_the_window_till_a_double_click(tmp_path, probe):
    folder = tmp_path / "run"
    folder.mkdir()
    refusing = socket.socket()  # bound, never listening: the upload is refused at once
    refusing.bind(("127.0.0.1", 0))
    (folder / "Pelmix.ini").write_bytes(b"[SETTING]\r\ntray=1\r\nserver=127.0.0.1\r\nftp_port=%d\r\n"
                                        % refusing.getsockname()[1])
    app = Pelmix(folder, probe, source="testpattern")
    try:
        assert wait_until(app.x_window, timeout=10)
        app.post(0x0112, 0xF020)  # WM_SYSCOMMAND, SC_MINIMIZE
        assert wait_until(lambda: not app.x_window(), timeout=10)
        # The icon in Wine's own notification area, with the window out of its way: the camera (no
        # red at this size), then after a failed upload the camera with a red cross.
        icon = int(probe.ask("child", probe.number("find", "__winex11_standalone_tray")).split()[0])
        red = lambda: pixel_box(screenshot(tmp_path / "tray.png"), *app.screen_rect(icon)).count("FF0000")
        assert icon and wait_until(lambda: red() == 0, timeout=10)
        app.command(32779)  # save a JPEG
        app.command(IDM_UPLOAD)
        assert wait_until(red, timeout=10)
        app.post(0x8000 + 26, 1, 0x0203)  # the icon's message: WM_LBUTTONDBLCLK
        assert wait_until(app.x_window, timeout=10)
        assert wait_until(lambda: app.probe.number("iconic", app.hwnd) == 0, timeout=5)
    finally:
        app.kill()
