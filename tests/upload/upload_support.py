"""Helpers shared by the upload and automatic-mode tests and the soak: the FTP server
process, the settings file and the picture files."""
import hashlib
import os
import pathlib
import random
import socket
import struct
import shutil
import subprocess
import tempfile
import time

from pelmix_e2e import write_bmp

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


def end_process(proc):
    """Terminates a server process (killing it if it will not go) and closes its output."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    if proc.stdout:
        proc.stdout.close()


def wait_listening(server, address, port, name, output):
    """Returns once the server takes connections; stops it and says why when it never does."""
    for _ in range(100):
        try:
            socket.create_connection((address, port), timeout=1).close()
            return
        except OSError:
            if server.proc.poll() is not None:
                raise RuntimeError(name + " did not start: " + output())
            time.sleep(0.1)
    server.stop()
    raise RuntimeError(name + " does not listen")


class FtpServer:
    """ftp_server.py on a loopback address, port 21; stops itself after `lifetime` s."""

    def __init__(self, address, root, log, silent=False, lifetime=120, password=PASSWORD, hang_on_store=False,
                 port=21, passive=False, no_rename_over=False, no_rename=False, drop_after=0, cut_store=0,
                 fail_store=False):
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
        if fail_store:
            command.append("--fail-store")
        command += ["--port", str(port), "--drop-after", str(drop_after), "--cut-store", str(cut_store)]
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
        end_process(self.proc)
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
    """A solid frame file whose header gives no resolution and no image size."""
    return write_bmp(path, width, height, rgb, resolution=0, sized=False)


def screen_has_colour(rgb, tmpdir):
    """Whether some pixel of the X screen has exactly this colour."""
    shot = os.path.join(str(tmpdir), "screen.png")
    subprocess.run(["import", "-window", "root", shot], check=True, timeout=30)
    out = subprocess.run(["convert", shot, "-fill", "black", "+opaque", "rgb(%d,%d,%d)" % rgb,
                          "-format", "%[fx:maxima.r+maxima.g+maxima.b]", "info:"],
                         capture_output=True, text=True, timeout=30).stdout
    return float(out or 0) > 0



def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=str(cwd), check=True, capture_output=True, timeout=60)


def make_certificates(folder, address):
    """In the folder: a test CA (ca.pem, its name partly Japanese); good.pem, signed by it
    for the address (IP subjectAltName); other_name.pem, signed by it for another address;
    self.pem, signed by itself. Each with its key, <name>.key."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
            "-days", "2", "-utf8", "-subj", "/O=ペルミックス/CN=Pelmix test CA", cwd=folder)
    for name, ip in (("good", address), ("other_name", "127.1.2.3")):
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                "-subj", "/CN=" + ip, cwd=folder)
        (folder / (name + ".ext")).write_text(
            "subjectAltName=IP:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n" % ip)
        openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                "-out", name + ".pem", "-days", "2", "-extfile", name + ".ext", cwd=folder)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "self.key", "-out", "self.pem",
            "-days", "2", "-subj", "/CN=" + address, "-addext", "subjectAltName=IP:" + address, cwd=folder)
    return folder


class TrustedCa:
    """The test CA in the current user's root store of the Wine prefix, for the length
    of a with block: Wine keeps that store in the registry, one key per certificate."""

    def __init__(self, pem_path):
        der = subprocess.run(["openssl", "x509", "-in", str(pem_path), "-outform", "DER"],
                             check=True, capture_output=True, timeout=30).stdout
        # One serialized property: the certificate itself (id 32, X.509 encoding).
        self.blob = struct.pack("<III", 32, 1, len(der)) + der
        self.key = "HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + \
            hashlib.sha1(der).hexdigest().upper()

    def __enter__(self):
        subprocess.run(["wine", "reg", "add", self.key, "/v", "Blob", "/t", "REG_BINARY", "/d", self.blob.hex(),
                        "/f"], check=True, capture_output=True, timeout=60)
        return self

    def __exit__(self, *exc):
        subprocess.run(["wine", "reg", "delete", self.key, "/f"], capture_output=True, timeout=60)


class FtpsServer:
    """vsftpd in the foreground on a loopback address and port, from a configuration of
    its own: anonymous uploads into root/ (any password), TLS required with the given
    certificate, explicit (AUTH TLS) or implicit. Its protocol log tells what came."""

    def __init__(self, address, port, folder, certificate, implicit=False, lifetime=120):
        folder = pathlib.Path(folder)
        self.root_path = folder / "root"
        (folder / "empty").mkdir(parents=True, exist_ok=True)
        self.root_path.mkdir(parents=True, exist_ok=True)
        os.chmod(str(self.root_path), 0o777)
        self.log = folder / "vsftpd.log"
        certificate = pathlib.Path(certificate)
        settings = {
            "listen": "YES", "listen_address": address, "listen_port": port, "background": "NO",
            "anonymous_enable": "YES", "local_enable": "NO", "write_enable": "YES",
            "anon_upload_enable": "YES", "anon_other_write_enable": "YES", "anon_umask": "022",
            "anon_root": self.root_path, "run_as_launching_user": "YES", "seccomp_sandbox": "NO",
            "secure_chroot_dir": folder / "empty", "pasv_enable": "YES", "pasv_address": address,
            "connect_from_port_20": "NO", "ssl_enable": "YES", "allow_anon_ssl": "YES",
            "force_anon_logins_ssl": "YES", "force_anon_data_ssl": "YES", "require_ssl_reuse": "NO",
            "implicit_ssl": "YES" if implicit else "NO", "ssl_ciphers": "HIGH",
            "rsa_cert_file": certificate, "rsa_private_key_file": certificate.with_suffix(".key"),
            "log_ftp_protocol": "YES", "xferlog_enable": "YES", "xferlog_std_format": "NO",
            "vsftpd_log_file": self.log, "idle_session_timeout": 60, "data_connection_timeout": 30,
        }
        config = folder / "vsftpd.conf"
        config.write_text("".join("%s=%s\n" % item for item in settings.items()))
        self.proc = subprocess.Popen(["/usr/sbin/vsftpd", str(config)], stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True)
        self.deadline = time.monotonic() + lifetime
        wait_listening(self, address, port, "vsftpd", lambda: self.proc.stdout.read())

    def commands(self):
        """Every command the clients sent, as vsftpd logged it ("PASS <password>" hides it)."""
        if not self.log.exists():
            return []
        found = []
        for line in self.log.read_text(errors="replace").splitlines():
            _, marker, rest = line.partition('FTP command: Client "')
            if marker:
                found.append(rest.split('", "', 1)[-1].rstrip('"'))
        return found

    def stored_files(self):
        return sorted(str(p.relative_to(self.root_path)) for p in self.root_path.rglob("*") if p.is_file())

    def stop(self):
        end_process(self.proc)


def free_port(address):
    """A port on the address that nothing listens on."""
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        probe.bind((address, 0))
        return probe.getsockname()[1]
    finally:
        probe.close()


SFTP_USER = "pelmix-sftp"          # made by scripts/setup.sh, for these tests only
SFTP_PASSWORD = "pelmix-sftp-test"
# The algorithms a current OpenSSH server offers: no finite-field DH, no SHA-1 ssh-rsa.
OPENSSH10 = {"KexAlgorithms": "curve25519-sha256,ecdh-sha2-nistp256,ecdh-sha2-nistp384",
             "HostKeyAlgorithms": "ssh-ed25519,ecdsa-sha2-nistp256,rsa-sha2-512,rsa-sha2-256"}


def ssh_keygen(*args):
    return subprocess.run(["ssh-keygen", "-q", *args], check=True, capture_output=True, text=True,
                          timeout=60).stdout


def fingerprint(key_file):
    """'SHA256:...' of a key file, as `ssh-keygen -lf` prints it."""
    return ssh_keygen("-lf", str(key_file)).split()[1]


class SshServer:
    """OpenSSH's sshd in the foreground on a loopback address and port, with host keys,
    authorized_keys and a configuration of its own (never the system's): only SFTP, for
    SFTP_USER by password or key, its login folder `root_path`. `options` are more
    sshd_config lines ("sftp_flags": more flags of internal-sftp). Its log (LogLevel DEBUG1) tells every authentication request;
    inotifywait tells what the sftp-server did to the files."""

    def __init__(self, address, port, folder, options=None, host_keys=("rsa", "ecdsa", "ed25519"),
                 authorized=()):
        folder = pathlib.Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        # The login user must reach its folder, so it lives outside the tests' private tree.
        self.root_path = pathlib.Path(tempfile.mkdtemp(prefix="pelmix-sftp-"))
        os.chmod(str(self.root_path), 0o755)
        shutil.chown(str(self.root_path), SFTP_USER, SFTP_USER)
        self.host_keys = {}
        for kind in host_keys:
            self.host_keys[kind] = folder / ("host_" + kind)
            ssh_keygen("-t", kind, "-N", "", "-f", str(self.host_keys[kind]))
        # sshd reads authorized_keys as the login user: it too lives outside the private tree.
        self.keys_path = pathlib.Path(tempfile.mkdtemp(prefix="pelmix-sshd-"))
        os.chmod(str(self.keys_path), 0o755)
        authorized_keys = self.keys_path / "authorized_keys"
        authorized_keys.write_text("".join(pathlib.Path(str(k) + ".pub").read_text() for k in authorized))
        options = dict(options or {})
        sftp = "internal-sftp %s -d %s" % (options.pop("sftp_flags", ""), self.root_path)
        settings = {"ListenAddress": "%s:%d" % (address, port), "PidFile": "none", "UsePAM": "no",
                    "StrictModes": "no", "AuthorizedKeysFile": str(authorized_keys),
                    "PasswordAuthentication": "yes", "KbdInteractiveAuthentication": "no",
                    "AllowUsers": SFTP_USER, "LogLevel": "DEBUG1", "Subsystem": "sftp " + sftp,
                    "ForceCommand": sftp, "LoginGraceTime": "30"}
        settings.update(options)
        config = folder / "sshd_config"
        config.write_text("".join("HostKey %s\n" % k for k in self.host_keys.values()) +
                          "".join("%s %s\n" % item for item in settings.items()))
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)  # sshd's privilege separation
        self.log = folder / "sshd.log"
        self.proc = subprocess.Popen(["/usr/sbin/sshd", "-D", "-f", str(config), "-E", str(self.log)],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.changes_log = folder / "changes.log"
        self.watcher = subprocess.Popen(["inotifywait", "-m", "-r", "--format", "%e %w%f", "-o",
                                         str(self.changes_log), "-e", "create,delete,modify,moved_from,moved_to",
                                         str(self.root_path)], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.watcher.stderr.readline()  # "Watches established."
        wait_listening(self, address, port, "sshd", self.text)

    def make_folder(self, name):  # in the login folder, owned by the login user
        (self.root_path / name).mkdir()
        shutil.chown(str(self.root_path / name), SFTP_USER, SFTP_USER)

    def text(self):
        return self.log.read_text(errors="replace") if self.log.exists() else ""

    def stored_files(self):
        return sorted(str(p.relative_to(self.root_path)) for p in self.root_path.rglob("*") if p.is_file())

    def changes(self):
        """(event, path relative to the root) for every change of the files, in order."""
        time.sleep(0.3)  # inotifywait writes as the events come
        lines = self.changes_log.read_text().splitlines() if self.changes_log.exists() else []
        root = str(self.root_path) + "/"
        return [(event, path[len(root):]) for event, _, path in (line.partition(" ") for line in lines)]

    def stop(self):
        for proc in (self.watcher, self.proc):
            end_process(proc)
        self.watcher.stderr.close()
        shutil.rmtree(str(self.root_path), ignore_errors=True)
        shutil.rmtree(str(self.keys_path), ignore_errors=True)
