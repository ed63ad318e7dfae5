"""The settings dialog driven through real key presses under Xvfb.

settings_dialog_host.exe opens the real dialog 129 with the real dialog procedure in
its current folder; xdotool types into it through the X server as a user would.
"""
import os
import subprocess
import time

from pelmix_e2e import wait_until, x_window_named, xdotool_key

HOST = os.environ.get("PELMIX_SETTINGS_HOST", "")

DEFAULTS = (b"[SETTING]\r\nst=pc\r\nmsg=[%y/%m/%d %H:%M]\r\nlocal_dir=.\r\n"
            b"server=\r\nid=\r\npass=\r\ndut_jpg=\r\ndir=\r\njpeg_q=75\r\ntimer=60\r\n")


class SettingsDialog:
    """The host process with its dialog on screen and keyboard focus."""

    def __init__(self, folder):
        self.log = open(os.path.join(str(folder), "host.log"), "wb")
        self.proc = subprocess.Popen(["wine", HOST], cwd=str(folder),
                                     stdout=subprocess.DEVNULL, stderr=self.log)
        self.xid = wait_until(lambda: x_window_named("^設定$"), timeout=30)
        if not self.xid:
            self.proc.kill()
            raise RuntimeError("the settings dialog did not appear")
        for command in ("windowactivate", "windowfocus"):
            subprocess.run(["xdotool", command, "--sync", self.xid], check=False, timeout=10,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def keys(self, *keys):
        xdotool_key(*keys, delay_ms=40)

    def type(self, text):
        self.keys(*[KEYSYMS.get(c, c) for c in text])

    def result(self, timeout=20):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


KEYSYMS = {".": "period", "/": "slash", " ": "space", "@": "at", "-": "minus", ":": "colon"}


def test_typed_fields_and_enter_store_every_key(tmp_path):
    dialog = SettingsDialog(tmp_path)
    try:
        # The focus starts on OK; Tab goes to Cancel, then the prefix field, whose text
        # a Tab into it selects, so typing replaces it.
        dialog.keys("Tab", "Tab")
        dialog.type("cam")
        # msg, local_dir, server, id, pass
        dialog.keys("Tab", "Tab", "Tab")
        dialog.type("127.0.0.1")
        dialog.keys("Tab")
        dialog.type("user")
        dialog.keys("Tab")
        dialog.type("se cret")
        # dir, dut_jpg, jpeg_q
        dialog.keys("Tab", "Tab", "Tab")
        dialog.type("90")
        dialog.keys("Return")
        assert dialog.result() == 1
    finally:
        dialog.kill()
    assert sorted(os.listdir(tmp_path)) == ["Pelmix.ini", "host.log"], (tmp_path / "host.log").read_text()
    assert (tmp_path / "Pelmix.ini").read_bytes() == (
        b"[SETTING]\r\nst=cam\r\nmsg=[%y/%m/%d %H:%M]\r\nlocal_dir=.\r\n"
        b"server=127.0.0.1\r\nid=user\r\npass=se cret\r\ndut_jpg=\r\ndir=\r\njpeg_q=90\r\ntimer=60\r\n")


def test_escape_after_typing_writes_nothing(tmp_path):
    ini = tmp_path / "Pelmix.ini"
    ini.write_bytes(DEFAULTS)
    stamp = ini.stat().st_mtime_ns
    dialog = SettingsDialog(tmp_path)
    try:
        dialog.keys("Tab", "Tab")
        dialog.type("other")
        dialog.keys("Escape")
        assert dialog.result() == 2
    finally:
        dialog.kill()
    assert ini.read_bytes() == DEFAULTS
    assert ini.stat().st_mtime_ns == stamp


def test_space_on_the_focused_ok_button_writes_the_defaults(tmp_path):
    dialog = SettingsDialog(tmp_path)
    try:
        dialog.keys("space")
        assert dialog.result() == 1
    finally:
        dialog.kill()
    assert (tmp_path / "Pelmix.ini").read_bytes() == DEFAULTS
