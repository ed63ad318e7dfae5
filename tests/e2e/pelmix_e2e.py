"""Drives the real pelmix.exe under the Wine harness for the end-to-end tests.

The harness (scripts/with-harness.sh) has already set DISPLAY, WINEPREFIX and the
Japanese locale. Windows-side state is read through probe.exe, a small Win32 program
in the same Wine session; key presses go through the X server with xdotool, as a
user's would.
"""
import os
import shutil
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

    def __init__(self, folder, probe, source=None, env=None):
        self.folder = str(folder)
        self.probe = probe
        environment = dict(os.environ)
        environment.pop("PELMIX_VIDEO_SOURCE", None)
        if source is not None:
            environment["PELMIX_VIDEO_SOURCE"] = source
        if env:
            environment.update(env)
        self.proc = subprocess.Popen(["wine", EXE], cwd=self.folder, env=environment,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.hwnd = probe.number("wait", "PELMIX", 20000)
        if not self.hwnd:
            self.proc.kill()
            raise RuntimeError("the Pelmix window did not appear")

    # Window-side helpers
    def title(self):
        return self.probe.ask("title", self.hwnd)

    def command(self, command_id):
        return self.probe.number("command", self.hwnd, command_id)

    def post(self, message, wparam=0, lparam=0):
        return self.probe.number("post", self.hwnd, message, wparam, lparam)

    def send(self, message, wparam=0, lparam=0):
        return self.probe.number("send", self.hwnd, message, wparam, lparam)

    def checked(self, command_id):
        return bool(self.probe.number("menustate", self.hwnd, command_id) & 0x8)

    def capture_child(self):
        """(hwnd, x, y, width, height) of the capture window, or None."""
        parts = self.probe.ask("child", self.hwnd).split()
        if parts == ["0"]:
            return None
        return tuple(int(p) for p in parts)

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout=20):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

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


def x_window_named(pattern):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                         capture_output=True, text=True, timeout=10).stdout.split()
    return out[-1] if out else None


def xdotool_key(*keys, delay_ms=50):
    subprocess.run(["xdotool", "key", "--delay", str(delay_ms), *keys], check=True, timeout=30)


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
