"""One 200 KB picture to a loopback sshd over SFTP, login included, as pelmix.exe sends it
(the upload command, timed from the command to its end) and as OpenSSH's `sftp -b` sends
it (the whole process). Both log in with the same ECDSA key and replace one remote name.
The figure is the median of the runs and their ratio (goal: at most 2x)."""
import os
import statistics
import subprocess
import sys
import tempfile
import time
import pathlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "..", "tests", "e2e"), os.path.join(HERE, "..", "..", "tests", "upload")]

from pelmix_e2e import WM_KEYDOWN, Pelmix, Probe  # noqa: E402
from upload_support import (SFTP_USER, UPLOAD, VK_SPACE, SshServer, fingerprint, free_address, free_port,  # noqa: E402
                            make_bmp, pictures, read, ssh_keygen, stop, write_settings)


def main(runs):
    work = pathlib.Path(tempfile.mkdtemp(prefix="pelmix-sftp-bench-"))
    ssh_keygen("-t", "ecdsa", "-N", "", "-f", str(work / "key"))
    address = free_address(50)
    port = free_port(address)
    server = SshServer(address, port, work / "ssh", host_keys=("ecdsa",), authorized=[work / "key"])
    app_dir = work / "app"
    app_dir.mkdir()
    make_bmp(app_dir / "frame.bmp", 260, 260, (40, 120, 200))  # a 24-bit BMP of 202,854 bytes
    write_settings(app_dir, server=address, id=SFTP_USER, dir="", dut_jpg="cam.bmp", local_dir=".", timer=600,
                   protocol="sftp", ftp_port=port, ssh_hostkey=fingerprint(server.host_keys["ecdsa"]),
                   ssh_key="Z:" + str(work / "key").replace("/", "\\"), **{"pass": ""})
    probe = Probe()
    app = Pelmix(app_dir, probe, source="file:frame.bmp")
    batch = work / "batch"
    try:
        app.send(WM_KEYDOWN, VK_SPACE)
        saved = [n for n in pictures(app_dir, ".bmp") if n != "frame.bmp"][0]
        size = os.path.getsize(app_dir / saved)
        batch.write_text("put %s cam.bmp\n" % (app_dir / saved))
        ours, theirs = [], []
        for _ in range(runs):
            start = time.perf_counter()
            app.command(UPLOAD)
            ours.append(time.perf_counter() - start)
            assert read(server.root_path / "cam.bmp") == read(app_dir / saved), "pelmix.exe's upload did not arrive"
            (server.root_path / "cam.bmp").unlink()
            start = time.perf_counter()
            subprocess.run(["sftp", "-q", "-b", str(batch), "-i", str(work / "key"), "-P", str(port),
                            "-o", "UserKnownHostsFile=/dev/null", "-o", "StrictHostKeyChecking=no",
                            "%s@%s" % (SFTP_USER, address)], check=True, capture_output=True, timeout=60)
            theirs.append(time.perf_counter() - start)
            (server.root_path / "cam.bmp").unlink()
        a, b = statistics.median(ours), statistics.median(theirs)
        print("picture: %d bytes, %d runs, medians" % (size, runs))
        print("pelmix.exe upload (Wine, libcurl/libssh2/mbedTLS): %7.1f ms" % (a * 1000))
        print("OpenSSH sftp -b (native):                          %7.1f ms" % (b * 1000))
        print("ratio: %.2fx (goal: at most 2x)" % (a / b))
    finally:
        stop(app, probe)
        probe.close()
        server.stop()


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 9)
