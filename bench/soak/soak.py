"""Soak of the automatic mode: `timer` 1, an upload every cycle, for a given time, with the
FTP server stopped and started again midway (twice by default, --outages N). Run by hand, never by CTest:

    build/win64/bench/soak/run-soak.sh [--minutes 30] [--outage-minutes M] ...
    build/win32/bench/soak/run-soak.sh ...        (the i686 build, where it runs)

(or, with the paths set by hand: PELMIX_EXE=... PELMIX_PROBE=... scripts/with-harness.sh win64
/usr/bin/python3 bench/soak/soak.py ...).

Backup numbering is on and `dut_jpg` empty, so every cycle leaves its own file locally and,
when its upload got through, on the server: cycles, stored pictures and failed uploads are
counted from the files, each failure placed against the outage by the file's time. The
process's memory, GDI objects, USER objects, kernel handles and threads are sampled through
probe.exe at the start (after a few warm-up cycles), every sample period and at the end.
"""
import argparse
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "..", "tests", "e2e"), os.path.join(HERE, "..", "..", "tests", "upload")]

from pelmix_e2e import WM_CLOSE, Pelmix, Probe, wait_until  # noqa: E402
from upload_support import (APP_TITLE, UPLOAD_TITLE, AUTO, AUTO_BACKUP, FtpServer, countdown_seconds,  # noqa: E402
                            free_address, pictures, read, server_settings, write_settings)

WARM_UP_CYCLES = 5
# A cycle whose save ended this close to a server stop or start may fairly miss the server.
EDGE_SECONDS = 3.0
RESTING_READINGS = 5


class Resources:
    FIELDS = ("gdi", "user", "workingset", "private", "handles", "threads")

    def __init__(self, answer):
        values = [int(v) for v in answer.split()] + [0] * 6
        for name, value in zip(self.FIELDS, values):
            setattr(self, name, value)

    @classmethod
    def least(cls, readings):
        least = cls("")
        for name in cls.FIELDS:
            setattr(least, name, min(getattr(r, name) for r in readings))
        return least

    def __str__(self):
        return (f"GDI {self.gdi:4d}  USER {self.user:3d}  handles {self.handles:4d}  threads {self.threads:2d}  "
                f"working set {self.workingset / 1048576:6.1f} MB  private {self.private / 1048576:6.1f} MB")


class Soak:
    def __init__(self, args):
        self.args = args
        self.work = args.work or tempfile.mkdtemp(prefix="pelmix-soak-")
        self.app_dir = os.path.join(self.work, "app")
        self.server_root = os.path.join(self.work, "server")
        self.log = os.path.join(self.work, "ftp.log")
        os.makedirs(self.app_dir, exist_ok=True)
        self.outages = []  # [stopped at, started again at], one per outage
        self.samples = []

    def start_server(self):
        lifetime = self.args.minutes * 60 + 600
        return FtpServer(self.args.address, self.server_root, self.log, lifetime=lifetime)

    def cycles(self):
        return pictures(self.app_dir, ".jpg")

    def stored(self, names):
        good = []
        for name in names:
            remote = os.path.join(self.server_root, name)
            if os.path.exists(remote) and read(remote) == read(os.path.join(self.app_dir, name)):
                good.append(name)
        return good

    def sample(self, probe, pid, label):
        # An upload in flight holds its worker and sockets for a moment: the least of a
        # few readings is the level the program rests at.
        readings = []
        for _ in range(RESTING_READINGS):
            readings.append(Resources(probe.ask("resources", pid)))
            time.sleep(0.3)
        resources = Resources.least(readings)
        names = self.cycles()
        self.samples.append((time.monotonic(), resources))
        print(f"{label:>8}  cycles {len(names):5d}  {resources}", flush=True)
        return resources

    def run(self):
        args = self.args
        write_settings(self.app_dir, timer=1, **server_settings(args.address))
        server = self.start_server()
        probe = Probe()
        app = Pelmix(self.app_dir, probe, source=args.source)
        pid = probe.number("pid", app.hwnd)
        started = time.monotonic()
        try:
            self.sample(probe, pid, "launch")
            app.command(AUTO_BACKUP)
            app.command(AUTO)
            if not wait_until(lambda: len(self.cycles()) >= WARM_UP_CYCLES, timeout=60, interval=0.5):
                raise RuntimeError("the automatic mode did not start")
            first = self.sample(probe, pid, "start")

            end = started + args.minutes * 60
            # The first outage at --outage-at of the run, the others spread over the rest.
            stops = [started + args.minutes * 60 * (args.outage_at + k * (1 - args.outage_at) / args.outages)
                     for k in range(args.outages)]
            next_sample = time.monotonic() + args.sample_seconds
            titles_ok = True
            while time.monotonic() < end:
                now = time.monotonic()
                done = len(self.outages)
                if server and done < len(stops) and now >= stops[done]:
                    server.stop()
                    server = None
                    self.outages.append([time.time(), None])
                    print(f"{'':>8}  FTP server stopped", flush=True)
                if server is None and now >= stops[len(self.outages) - 1] + args.outage_minutes * 60:
                    server = self.start_server()
                    self.outages[-1][1] = time.time()
                    print(f"{'':>8}  FTP server started again", flush=True)
                if not app.alive():
                    raise RuntimeError("pelmix.exe ended during the soak")
                title = app.title()
                if countdown_seconds(title) is None and title not in (APP_TITLE, UPLOAD_TITLE):
                    titles_ok = False
                    print("unexpected title: " + title, flush=True)
                if now >= next_sample:
                    self.sample(probe, pid, f"{(now - started) / 60:5.1f} min")
                    next_sample += args.sample_seconds
                time.sleep(0.5)

            last = self.sample(probe, pid, "end")
            app.command(AUTO)
            time.sleep(1.5)
            title_after = app.title()
            app.post(WM_CLOSE)
            exit_code = app.wait_exit(timeout=30)
        finally:
            app.kill()
            probe.close()
            if server:
                server.stop()
        self.report(first, last, titles_ok, title_after, exit_code, time.monotonic() - started)

    def report(self, first, last, titles_ok, title_after, exit_code, seconds):
        names = self.cycles()
        stored = set(self.stored(names))
        failed = [n for n in names if n not in stored]
        restart = self.outages[-1][1] if self.outages else None

        def when(name):
            return os.path.getmtime(os.path.join(self.app_dir, name))

        def in_outage(name, edge=0.0):
            return any(stop - edge <= when(name) <= (start or float("inf")) + edge for stop, start in self.outages)

        during = [n for n in names if in_outage(n)]
        after = [n for n in names if restart and when(n) > restart]
        failed_while_up = [n for n in failed if not in_outage(n, EDGE_SECONDS)]
        print()
        lengths = ", ".join(f"{(start or 0) - stop:.0f} s" for stop, start in self.outages)
        print(f"run                  {seconds / 60:.1f} min, timer 1, outages {lengths}")
        print(f"cycles run           {len(names)}")
        print(f"pictures stored      {len(stored)}")
        print(f"failed uploads       {len(failed)} ({len(failed) - len(failed_while_up)} during the outage)")
        print(f"failed while up      {len(failed_while_up)} {failed_while_up[:10]}")
        print(f"cycles in outages    {len(during)}; after the last {len(after)}")
        print(f"resources at start   {first}")
        print(f"resources at end     {last}")
        print(f"growth               GDI {last.gdi - first.gdi:+d}  USER {last.user - first.user:+d}  "
              f"handles {last.handles - first.handles:+d}  threads {last.threads - first.threads:+d}  "
              f"private {(last.private - first.private) / 1024:+.0f} KB  "
              f"working set {(last.workingset - first.workingset) / 1024:+.0f} KB")
        print(f"titles               {'as expected' if titles_ok else 'UNEXPECTED ones seen'}; "
              f"after switching off: {title_after!r}; exit code {exit_code}")
        goals = {
            "every cycle while the server was up reached it": not failed_while_up,
            "the mode carried on through the outages": bool(during) and bool(after),
            "GDI, USER, handle and thread counts did not grow": (last.gdi <= first.gdi and last.user <= first.user
                                                                  and last.handles <= first.handles
                                                                  and last.threads <= first.threads),
        }
        for goal, met in goals.items():
            print(f"{'met ' if met else 'MISSED'}  {goal}")
        if not self.args.keep and self.args.work is None:
            shutil.rmtree(self.work, ignore_errors=True)
        else:
            print("files kept in " + self.work)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--outage-at", type=float, default=0.4, help="fraction of the run when the server first stops")
    parser.add_argument("--outages", type=int, default=2, help="how many times the server stops")
    parser.add_argument("--outage-minutes", type=float, default=None,
                        help="default: a tenth of the run, at least 15 s")
    parser.add_argument("--sample-seconds", type=float, default=60)
    parser.add_argument("--address", default=None, help="default: a free one, 127.51.x.y")
    parser.add_argument("--source", default="testpattern", help="PELMIX_VIDEO_SOURCE of the run")
    parser.add_argument("--work", default=None, help="folder for the files (default: a temporary one)")
    parser.add_argument("--keep", action="store_true", help="keep the files of the run")
    args = parser.parse_args()
    if args.address is None:
        args.address = free_address(51)
    if args.outage_minutes is None:
        args.outage_minutes = max(args.minutes / 10, 0.25)
    Soak(args).run()


if __name__ == "__main__":
    main()
