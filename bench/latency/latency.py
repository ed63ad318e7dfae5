"""How quickly the main window answers while the automatic mode uploads: `timer` 1, an
upload every cycle, for a given time against a server that accepts and never says a word,
then against a healthy one; then, where the tree has the fake camera, while that camera
vanishes, comes back, goes silent and sends again (reconnects, each opening of the device
taking a second, and graphs being stopped). A probe sends the window WM_NULL every 50 ms and times each
answer (answer_times.exe); the worst and the median are printed (goal: 250 ms worst, 20 ms median). Run by
hand, never by CTest:

    build/win64/bench/latency/run-latency.sh [--seconds 60]
    build/win32/bench/latency/run-latency.sh ...      (the i686 build, where it runs)
"""
import argparse
import os
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "..", "tests", "e2e"), os.path.join(HERE, "..", "..", "tests", "upload")]

from pelmix_e2e import FAKE_CAMERA, FakeCamera, Pelmix, Probe, log_events  # noqa: E402
from upload_support import AUTO, FtpServer, free_address, server_settings, stop, write_settings  # noqa: E402


def answer_times(app, seconds):
    """(count, worst, median) of the window's answer times over that many seconds."""
    out = subprocess.run(["wine", os.environ["PELMIX_ANSWER_TIMES"], str(app.hwnd), str(int(seconds * 1000))],
                         capture_output=True, text=True, check=True, timeout=seconds + 120).stdout
    return out.split()


def run(kind, seconds, work, probe):
    folder = os.path.join(work, kind)
    os.makedirs(os.path.join(folder, "app"))
    server = FtpServer(free_address(52), os.path.join(folder, "server"), os.path.join(folder, "ftp.log"),
                       silent=kind == "dead", lifetime=seconds + 120)
    try:
        write_settings(os.path.join(folder, "app"), **server_settings(server.address, timer=1, dut_jpg="cam.jpg"))
        app = Pelmix(os.path.join(folder, "app"), probe, source="testpattern")
        try:
            app.command(AUTO)
            count, worst, median = answer_times(app, seconds)
            app.command(AUTO)
            failed = sum(1 for e in log_events(app.folder) if e.startswith("アップロードに失敗しました"))
            print(f"{kind:7s} server: {count:>5s} messages, worst {float(worst):7.1f} ms, median {float(median):5.1f} ms; "
                  f"{len(server.received())} uploads stored, {failed} failed", flush=True)
        finally:
            stop(app, probe)
    finally:
        server.stop()


def run_camera(seconds, work, probe):
    folder = os.path.join(work, "camera")
    os.makedirs(os.path.join(folder, "app"))
    camera = FakeCamera(os.path.join(folder, "camera"))
    write_settings(os.path.join(folder, "app"), timer=1, server="")
    app = Pelmix(os.path.join(folder, "app"), probe, env=camera.env())
    # From here on every opening of the device takes a second, as with a slow driver: the
    # reconnects must not hold up the window for it.
    camera.slow_open(1000)
    done = threading.Event()

    def trouble():
        # A quarter of each stretch away, then back: losses, reconnects and stopped graphs.
        step = seconds / 8
        for fault in (camera.vanish, camera.stall, camera.vanish, camera.stall):
            if done.wait(step):
                return
            fault(True)
            if done.wait(step):
                return
            fault(False)

    changer = threading.Thread(target=trouble, daemon=True)
    try:
        app.command(AUTO)  # a save every second, the frame request with it
        changer.start()
        count, worst, median = answer_times(app, seconds)
        events = log_events(app.folder)
        print(f"camera  faults: {count:>5s} messages, worst {float(worst):7.1f} ms, median {float(median):5.1f} ms; "
              f"lost {events.count('カメラが見つかりません')}, back {events.count('カメラが戻りました')}", flush=True)
    finally:
        done.set()
        changer.join()
        stop(app, probe)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=60)
    args = parser.parse_args()
    probe = Probe()
    try:
        with tempfile.TemporaryDirectory(prefix="pelmix-latency-") as work:
            for kind in ("dead", "healthy"):
                run(kind, args.seconds, work, probe)
            if FAKE_CAMERA:
                run_camera(args.seconds, work, probe)
    finally:
        probe.close()


if __name__ == "__main__":
    main()
