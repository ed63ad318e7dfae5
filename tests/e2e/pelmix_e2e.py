"""Drives the real pelmix.exe under the Wine harness for the end-to-end tests.

The harness (scripts/with-harness.sh) has already set DISPLAY, WINEPREFIX and the
Japanese locale. Windows-side state is read through probe.exe, a small Win32 program
in the same Wine session; key presses go through the X server with xdotool, as a
user's would.
"""
import os
import re
import shutil
import struct
import subprocess
import time

EXE = os.environ.get("PELMIX_EXE", "")
PROBE = os.environ.get("PELMIX_PROBE", "")
SOURCE_DIR = os.environ.get("PELMIX_SOURCE_DIR", "")

WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_KEYDOWN = 0x0100
WM_TIMER = 0x0113
WM_SIZE = 0x0005
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
IDM_UPLOAD = 32773
UPLOADING_TITLE = "アップロード中 - "


class Probe:
    """One probe.exe process answering a line per command."""

    def __init__(self):
        self.proc = subprocess.Popen(["wine", PROBE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)

    def ask(self, *words):
        line = " ".join(str(w) for w in words) + "\n"
        self.proc.stdin.write(line.encode("cp932"))
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline()
        if not answer:
            raise RuntimeError("probe.exe ended")
        return answer.rstrip(b"\r\n").decode("cp932", errors="replace")

    def number(self, *words):
        return int(self.ask(*words))

    def close(self):
        if self.proc.poll() is None:
            try:
                self.ask("quit")
            except (RuntimeError, BrokenPipeError):
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()


def probe_for_a_test():
    """The body of every test folder's probe fixture: one probe, closed after the test."""
    p = Probe()
    yield p
    p.close()


def wait_until(predicate, timeout=10.0, interval=0.1):
    """Polls predicate until it returns something true; returns that value or None."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


class Pelmix:
    """pelmix.exe started in a folder of its own (where its Pelmix.ini lives)."""

    def __init__(self, folder, probe, source=None, env=None, stderr_path=None, args=()):
        self.folder = str(folder)
        self.probe = probe
        environment = dict(os.environ)
        environment.pop("PELMIX_VIDEO_SOURCE", None)
        if source is not None:
            environment["PELMIX_VIDEO_SOURCE"] = source
        if env:
            environment.update(env)
        # stderr_path keeps Wine's debug output (e.g. WINEDEBUG=+message) for the test to read.
        self._stderr = open(stderr_path, "wb") if stderr_path else None
        self.proc = subprocess.Popen(["wine", EXE, *args], cwd=self.folder, env=environment,
                                     stdout=subprocess.DEVNULL,
                                     stderr=self._stderr or subprocess.DEVNULL)
        self.hwnd = probe.number("wait", "PELMIX", 20000)
        if not self.hwnd:
            self.proc.kill()
            raise RuntimeError("the Pelmix window did not appear")
        # The class is found as soon as the window exists, before WM_CREATE has made
        # the capture window: wait for that too, so tests see the finished window.
        wait_until(self.capture_child, timeout=5)

    # Window-side helpers
    def title(self):
        return self.probe.ask("title", self.hwnd)

    def command(self, command_id):
        """Sends the command. An upload runs beside the window: for that one this returns
        once the title says it has ended (it ends within 30 s)."""
        result = self.probe.number("command", self.hwnd, command_id)
        if command_id == IDM_UPLOAD:
            wait_until(lambda: not self.title().startswith(UPLOADING_TITLE), timeout=40, interval=0.05)
        return result

    def post(self, message, wparam=0, lparam=0):
        return self.probe.number("post", self.hwnd, message, wparam, lparam)

    def send(self, message, wparam=0, lparam=0):
        return self.probe.number("send", self.hwnd, message, wparam, lparam)

    def checked(self, command_id):
        state = self.probe.number("menustate", self.hwnd, command_id)
        # Wine keeps a menu inside its own process: from another one GetMenuState fails (-1).
        if state == 0xFFFFFFFF:
            raise RuntimeError("menu state not readable from outside; use menu_checks()")
        return bool(state & 0x8)

    def menu_checks(self, popup_keys, positions, folder):
        """Check marks of items of one popup menu, read off the screen as a user sees them.

        popup_keys open the popup (e.g. "alt+o"); positions count its items from 0 with the
        separators left out. Each item is highlighted in turn with the Down key and looked at:
        a mark in the check column shows against the highlight colour.
        """
        self.key(popup_keys)
        popup = wait_until(lambda: self.probe.number("find", "#32768"), timeout=5)
        assert popup, "the menu did not open"
        time.sleep(0.3)
        x, y, width, height = (int(v) for v in self.probe.ask("screen", popup).split())
        highlight = self.probe.ask("syscolor", 13)  # COLOR_HIGHLIGHT
        marks = {}
        at = 0
        for position in sorted(positions):
            if position > at:
                xdotool_key(*["Down"] * (position - at))
                at = position
                time.sleep(0.3)
            shot = screenshot(os.path.join(str(folder), "menu-%d.png" % position))
            column = pixel_column(shot, x + width - 4, y, height)
            rows = [row for row, colour in enumerate(column) if colour == highlight]
            assert rows, "no highlighted item in the menu"
            top, bottom = rows[0], rows[-1]
            # The highlight starts a few pixels in from the popup's frame; the check column
            # is its first 14 pixels, before the item text.
            across = pixel_row(shot, x, y + (top + bottom) // 2, 40)
            left = across.index(highlight)
            box = pixel_box(shot, x + left, y + top, 14, bottom - top + 1)
            marks[position] = any(colour != highlight for colour in box)
        xdotool_key("Escape", "Escape")
        time.sleep(0.2)
        return [marks[p] for p in positions]

    def capture_child(self):
        """(hwnd, x, y, width, height) of the capture window, or None."""
        parts = self.probe.ask("child", self.hwnd).split()
        if parts == ["0"]:
            return None
        return tuple(int(p) for p in parts)

    def owned(self):
        """[(hwnd, class)] of the visible windows the main window owns (dialogs)."""
        out = self.probe.ask("owned", self.hwnd)
        return [(int(h), c) for h, c in (item.split(" ", 1) for item in out.split(";") if item)]

    def wait_dialog(self, timeout=10):
        """The hwnd of the first dialog the main window owns, waiting for it; or None."""
        found = wait_until(lambda: [h for h, c in self.owned() if c == "#32770"], timeout=timeout)
        return found[0] if found else None

    def screen_rect(self, hwnd=None):
        """(x, y, width, height) of a window's client area in screen coordinates."""
        return tuple(int(p) for p in self.probe.ask("screen", hwnd or self.hwnd).split())

    def files(self):
        return sorted(os.listdir(self.folder))

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=20):
        code = self.proc.wait(timeout=timeout)
        self._close_stderr()
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self._close_stderr()

    def _close_stderr(self):
        if self._stderr:
            self._stderr.close()
            self._stderr = None

    # X-side helpers: real key presses through the X server
    def x_window(self):
        return x_window_named("^" + "Pelmix" + "$")

    def focus(self):
        xid = wait_until(self.x_window, timeout=10)
        assert xid, "no X window for Pelmix"
        subprocess.run(["xdotool", "windowactivate", "--sync", xid], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
        subprocess.run(["xdotool", "windowfocus", "--sync", xid], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
        self.probe.ask("foreground", self.hwnd)
        time.sleep(0.3)
        return xid

    def key(self, *keys, delay_ms=50):
        self.focus()
        xdotool_key(*keys, delay_ms=delay_ms)


def start_exe(folder, args=(), source=None):
    """pelmix.exe started in a folder without waiting for any window (a second instance)."""
    environment = dict(os.environ)
    environment.pop("PELMIX_VIDEO_SOURCE", None)
    if source is not None:
        environment["PELMIX_VIDEO_SOURCE"] = source
    return subprocess.Popen(["wine", EXE, *args], cwd=str(folder), env=environment, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


LOG_LINE = re.compile(r"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d (.*)$")


def log_events(folder):
    """The texts of the lines of Pelmix.log in the folder, after checking each line's form."""
    path = os.path.join(str(folder), "Pelmix.log")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        data = f.read()
    assert data.endswith(b"\r\n"), data[-40:]
    events = []
    for line in data[:-2].split(b"\r\n"):
        match = LOG_LINE.match(line.decode("cp932"))
        assert match, line
        events.append(match.group(1))
    return events


def x_window_named(pattern):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                         capture_output=True, text=True, timeout=10).stdout.split()
    return out[-1] if out else None


def xdotool_key(*keys, delay_ms=50):
    subprocess.run(["xdotool", "key", "--delay", str(delay_ms), *keys], check=True, timeout=30)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=30)


def screenshot(path):
    """The whole virtual screen as a PNG (ImageMagick's import)."""
    subprocess.run(["import", "-window", "root", str(path)], check=True, timeout=30)
    return path


def artifacts_dir():
    path = os.path.join(os.environ.get("PELMIX_BINARY_DIR", "."), "artifacts")
    os.makedirs(path, exist_ok=True)
    return path


def copy_fixture(name, dest):
    shutil.copy(os.path.join(SOURCE_DIR, "tests", "data", name), dest)


def write_bmp(path, width, height, pixel, resolution=2835, sized=True):
    """A 24-bit bottom-up BMP file; pixel is one (r, g, b) for a solid frame, or pixel(x, y)
    with y counted from the top. Written whole under a temporary name first, so that a
    program reading the file as a live frame never sees half of it."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width if callable(pixel) else 0):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        if not callable(pixel):
            row = bytes((pixel[2], pixel[1], pixel[0])) * width
        rows.append(bytes(row.ljust(stride, b"\0")))
    image = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image) if sized else 0, resolution,
                         resolution, 0, 0)
    with open(str(path) + ".tmp", "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(image), 0, 0, 14 + len(header)))
        f.write(header)
        f.write(image)
    os.replace(str(path) + ".tmp", str(path))
    return path


def _pixels(png, x, y, width, height):
    out = subprocess.run(["convert", str(png), "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                          "-depth", "8", "txt:-"], capture_output=True, text=True, check=True,
                         timeout=30).stdout
    pixels = {}
    for line in out.splitlines():
        if line.startswith("#"):
            continue
        where, rest = line.split(":", 1)
        px, py = (int(v) for v in where.split(","))
        pixels[(px, py)] = rest.split("#")[1].split()[0][:6].upper()
    return pixels


def pixel_column(png, x, y, height):
    """Colours ("RRGGBB") of a one-pixel column of a screenshot, top to bottom."""
    pixels = _pixels(png, x, y, 1, height)
    return [pixels[(0, row)] for row in range(height)]


def pixel_row(png, x, y, width):
    pixels = _pixels(png, x, y, width, 1)
    return [pixels[(column, 0)] for column in range(width)]


def pixel_box(png, x, y, width, height):
    return list(_pixels(png, x, y, width, height).values())


def screen_colour(png, x, y):
    """(r, g, b) of one pixel of a screenshot, read with ImageMagick."""
    out = subprocess.run(["convert", str(png), "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True, timeout=30).stdout
    # "0,0: (255,0,0)  #FF0000  red"
    hex_colour = out.split("#")[-1].split()[0]
    return tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4))


FAKE_CAMERA = os.environ.get("PELMIX_FAKE_CAMERA", "")


class FakeCamera:
    """The fake /dev/video0 (tests/capture/fake_camera) that Pelmix's own Wine process
    loads: steered by files in a folder of its own, with a log of the device's opens
    and closes. Its frames carry a counter in the first four pixels of the top row."""

    def __init__(self, folder):
        self.folder = str(folder)
        os.makedirs(self.folder, exist_ok=True)

    def env(self):
        """What pelmix.exe's environment needs: the library for that process only."""
        return {"LD_PRELOAD": FAKE_CAMERA, "FAKE_CAMERA_DIR": self.folder}

    def _flag(self, name, on):
        path = os.path.join(self.folder, name)
        if on:
            open(path, "w").close()
        elif os.path.exists(path):
            os.remove(path)

    def vanish(self, on=True):
        self._flag("vanished", on)

    def stall(self, on=True):
        self._flag("stalled", on)

    def set_size(self, width, height):
        with open(os.path.join(self.folder, "size"), "w") as f:
            f.write("%dx%d" % (width, height))

    def log(self):
        try:
            with open(os.path.join(self.folder, "log")) as f:
                return f.read().split()
        except FileNotFoundError:
            return []

    def held(self):
        """How many descriptors of the device are open now."""
        lines = self.log()
        return lines.count("open") - lines.count("close")


def read_bmp24(path):
    """(width, height, rows) of a 24-bit BMP file, rows top first, each row width*3 bytes BGR."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24, "not a 24-bit BMP"
    rows_count = abs(height)
    stride = (width * 3 + 3) & ~3
    rows = [data[offset + r * stride: offset + r * stride + width * 3] for r in range(rows_count)]
    if height > 0:
        rows.reverse()
    return width, rows_count, rows


def camera_counter(row):
    """The fake camera's frame counter from a frame's top row (BGR bytes)."""
    return sum(row[3 * k] << (8 * k) for k in range(4))


def camera_pixel(x, y):
    """(b, g, r) of the fake camera's frame at (x, y), away from the counter."""
    return (x & 255, y & 255, ((x >> 8) << 4) | (y >> 8))
