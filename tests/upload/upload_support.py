"""Helpers shared by the upload and automatic-mode tests and the soak: the FTP server
process, the settings file and the picture files."""
import os
import pathlib
import random
import socket
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER_SCRIPT = os.path.join(HERE, "ftp_server.py")
USER = "pelmix"
PASSWORD = "secret"

WM_KEYDOWN = 0x0100
WM_TIMER = 0x0113
VK_SPACE = 0x20
VK_RETURN = 0x0D

UPLOAD = 32773
AUTO = 32774
SETTINGS = 32775
AUTO_UPLOAD = 32777
SAVE_BMP = 32778
SAVE_JPG = 32779
AUTO_BACKUP = 32780

APP_TITLE = "Pelmix"
UPLOAD_TITLE = "アップロード中 - Pelmix"


def countdown_title(seconds):
    return f"あと約{seconds}秒で撮影 - Pelmix"


def countdown_seconds(title):
    """The seconds of a countdown title, or None for any other title."""
    prefix, suffix = "あと約", "秒で撮影 - Pelmix"
    if title.startswith(prefix) and title.endswith(suffix):
        try:
            return int(title[len(prefix):-len(suffix)])
        except ValueError:
            return None
    return None


def free_address(second_octet):
    """A loopback address 127.<second_octet>.x.y on whose port 21 nothing listens.

    x and y are picked at random: the same tests may run at the same time from another
    build folder, and each run needs servers of its own. Each test file has its own
    second octet, so the files never meet either.
    """
    chooser = random.Random()
    for _ in range(100):
        address = "127.%d.%d.%d" % (second_octet, chooser.randint(1, 254), chooser.randint(1, 254))
        probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            probe.bind((address, 21))
            return address
        except OSError:
            continue
        finally:
            probe.close()
    raise RuntimeError("no free loopback address")


class FtpServer:
    """ftp_server.py on a loopback address, port 21; stops itself after `lifetime` s."""

    def __init__(self, address, root, log, silent=False, lifetime=120, password=PASSWORD, hang_on_store=False,
                 port=21, passive=False, no_rename_over=False, no_rename=False, drop_after=0):
        self.address, self.root, self.log = address, str(root), str(log)
        self.root_path = pathlib.Path(self.root)
        os.makedirs(self.root, exist_ok=True)
        command = ["/usr/bin/python3", SERVER_SCRIPT,
                   "--address", address, "--root", self.root, "--log", self.log,
                   "--user", USER, "--password", password, "--lifetime", str(lifetime)]
        if silent:
            command.append("--silent")
        if hang_on_store:
            command.append("--hang-on-store")
        if passive:
            command.append("--passive")
        if no_rename_over:
            command.append("--no-rename-over")
        if no_rename:
            command.append("--no-rename")
        command += ["--port", str(port), "--drop-after", str(drop_after)]
        self.proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline()
        if line.strip() != "ready":
            self.proc.kill()
            raise RuntimeError("the FTP server did not start: " + line + self.proc.stderr.read())

    def timed_commands(self):
        """(unix time, line) for every line of the log."""
        if not os.path.exists(self.log):
            return []
        entries = []
        with open(self.log, encoding="utf-8", errors="replace") as log:
            for line in log:
                stamp, _, text = line.rstrip("\n").partition(" ")
                entries.append((float(stamp), text))
        return entries

    def commands(self):
        return [text for _, text in self.timed_commands()]

    def receipt_times(self):
        return [stamp for stamp, text in self.timed_commands() if text.startswith("RECEIVED ")]

    def verbs(self):
        return [line.split(" ", 1)[0] for line in self.commands()]

    def received(self):
        return [line.split(" ", 1)[1] for line in self.commands() if line.startswith("RECEIVED ")]

    def stored_files(self):
        """Every file under the root, as paths relative to it."""
        found = []
        for folder, _, files in os.walk(self.root):
            for name in files:
                found.append(os.path.relpath(os.path.join(folder, name), self.root))
        return sorted(found)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()
        self.proc.stderr.close()


def stop(app, probe):
    """Kills pelmix.exe and waits for its window to go: the next test finds its own
    window by class, and must not find this one while Wine is still removing it."""
    app.kill()
    deadline = time.monotonic() + 10
    while probe.number("iswindow", app.hwnd) and time.monotonic() < deadline:
        time.sleep(0.05)


def write_settings(folder, **values):
    """Pelmix.ini in the folder, with the given keys (dut_jpg=..., timer=...)."""
    lines = ["[SETTING]"] + [f"{key}={value}" for key, value in values.items()]
    with open(os.path.join(str(folder), "Pelmix.ini"), "wb") as ini:
        ini.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


def server_settings(address, **more):
    values = {"server": address, "id": USER, "pass": PASSWORD, "dir": "", "dut_jpg": "", "local_dir": "."}
    values.update(more)
    return values


def pictures(folder, extension=None):
    names = sorted(n for n in os.listdir(str(folder)) if n.lower().endswith((".jpg", ".bmp")))
    if extension:
        names = [n for n in names if n.lower().endswith(extension)]
    return names


def read(path):
    with open(str(path), "rb") as f:
        return f.read()


def make_bmp(path, width, height, rgb):
    """A solid 24-bit BMP frame file."""
    stride = (width * 3 + 3) & ~3
    row = bytes([rgb[2], rgb[1], rgb[0]]) * width + b"\0" * (stride - width * 3)
    pixels = row * height
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little")
    info = ((40).to_bytes(4, "little") + width.to_bytes(4, "little") + height.to_bytes(4, "little")
            + (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + b"\0" * 24)
    tmp = str(path) + ".tmp"
    with open(tmp, "wb") as f:
        f.write(header + info + pixels)
    os.replace(tmp, str(path))


def screen_has_colour(rgb, tmpdir):
    """Whether some pixel of the X screen has exactly this colour."""
    shot = os.path.join(str(tmpdir), "screen.png")
    subprocess.run(["import", "-window", "root", shot], check=True, timeout=30)
    out = subprocess.run(["convert", shot, "-fill", "black", "+opaque", "rgb(%d,%d,%d)" % rgb,
                          "-format", "%[fx:maxima.r+maxima.g+maxima.b]", "info:"],
                         capture_output=True, text=True, timeout=30).stdout
    return float(out or 0) > 0

