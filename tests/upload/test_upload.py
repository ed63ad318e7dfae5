"""Uploads of the real pelmix.exe to a real FTP server on a loopback address 127.41.x.y, port 21.

The frame comes from a BMP file, so a test can change the picture and see on screen
whether the preview runs again after an upload.
"""
import contextlib
import os
import pathlib
import struct
import threading
import time

import pytest

from pelmix_e2e import WM_COMMAND, Probe, log_events, wait_until
from upload_support import (APP_TITLE, AUTO, OPENSSH10, SAVE_JPG, SFTP_PASSWORD, SFTP_USER, UPLOAD, UPLOAD_TITLE,
                            VK_SPACE, WM_KEYDOWN, WM_TIMER, FtpServer, FtpsServer, SshServer, TrustedCa,
                            countdown_title, fingerprint, free_address, free_port, make_bmp, make_certificates,
                            pictures, read, screen_has_colour, server_settings, ssh_keygen, write_settings)

ADDRESS = free_address(41)
NOBODY = free_address(42)   # nothing listens here
SILENT = free_address(43)   # accepts and never answers
OTHER = free_address(47)    # a server of the test's own kind
TLS_ADDRESS = free_address(48)  # vsftpd with TLS
SSH_ADDRESS = free_address(49)  # OpenSSH's sshd
MAGENTA = (255, 0, 255)
CYAN = (0, 255, 255)
TIMER = 30
# Every upload ends within 30 s, however the server behaves; more means the window froze.
ANSWER_LIMIT = 40


@pytest.fixture
def launch(tmp_path, start_pelmix):
    """Starts pelmix.exe with the given settings and a magenta frame."""
    def start(**settings):
        (tmp_path / "app").mkdir(exist_ok=True)
        make_bmp(tmp_path / "app" / "frame.bmp", 160, 120, MAGENTA)
        return start_pelmix("file:frame.bmp", timer=TIMER, **settings)

    return start


def upload_and_watch(app, probe):
    """Runs command 32773 from a second probe until its title is gone; returns the titles
    seen meanwhile and whether the upload ended within the limit."""
    sender = Probe()
    done = threading.Event()

    def send():
        sender.number("command", app.hwnd, UPLOAD)
        wait_until(lambda: sender.ask("title", app.hwnd) != UPLOAD_TITLE, timeout=ANSWER_LIMIT, interval=0.05)
        done.set()

    thread = threading.Thread(target=send, daemon=True)
    thread.start()
    titles = []
    deadline = time.monotonic() + ANSWER_LIMIT
    while not done.is_set() and time.monotonic() < deadline:
        title = app.title()
        if not titles or titles[-1] != title:
            titles.append(title)
        time.sleep(0.05)
    answered = done.wait(timeout=max(0.0, deadline - time.monotonic()))
    if answered:
        sender.close()
    return titles, answered


def save_jpeg(app):
    app.send(WM_COMMAND, SAVE_JPG)
    names = pictures(app.folder_path, ".jpg")
    assert names, "the JPEG save produced no file"
    return names[-1]


def save_bmp(app):
    app.send(WM_KEYDOWN, VK_SPACE)
    name, = [n for n in pictures(app.folder_path, ".bmp") if n != "frame.bmp"]
    return name


def jpeg_size(data):
    """Width and height from a baseline JPEG's frame header."""
    at = data.index(b"\xff\xc0")
    return int.from_bytes(data[at + 7:at + 9], "big"), int.from_bytes(data[at + 5:at + 7], "big")


def bmp_size(data):
    """Width and height of a whole 24-bit bottom-up BMP."""
    size, _, offset, _, width, height, _, bits = struct.unpack_from("<IIIIiiHH", data, 2)
    assert data[:2] == b"BM" and bits == 24 and size == len(data) == offset + height * ((width * 3 + 3) & ~3)
    return width, height


def assert_active_mode(server):
    verbs = server.verbs()
    assert "PORT" in verbs or "EPRT" in verbs
    assert "PASV" not in verbs and "EPSV" not in verbs


class TestStoredFile:
    def test_a_jpeg_keeps_its_own_name_in_the_dir_folder_and_dut_jpg_names_every_upload_the_same(self, launch,
                                                                                               server):
        (server.root_path / "photos").mkdir()
        app = launch(**server_settings(ADDRESS, dir="photos"))
        name = save_jpeg(app)
        app.command(UPLOAD)
        assert server.stored_files() == ["photos/" + name]
        assert read(server.root_path / "photos" / name) == read(app.folder_path / name)
        assert "STOR " + name in server.commands()
        assert_active_mode(server)
        assert app.title() == APP_TITLE
        # The conversation servers have always seen, plus the login folder question and a
        # goodbye; PORT and TYPE may come in either order.
        assert server.verbs() == ["USER", "PASS", "PWD", "CWD", "PORT", "TYPE", "STOR", "RECEIVED", "QUIT"]
        # The settings are read at each upload.
        write_settings(app.folder_path, **server_settings(ADDRESS, dir="photos", dut_jpg="cam.jpg"))
        for colour in (MAGENTA, CYAN):
            make_bmp(app.folder_path / "frame.bmp", 160, 120, colour)
            latest = save_jpeg(app)
            app.command(UPLOAD)
            assert server.stored_files() == sorted(["photos/" + name, "photos/cam.jpg"])
            assert read(server.root_path / "photos" / "cam.jpg") == read(app.folder_path / latest)
        assert latest != name

    # A missing or empty dir leaves the file in the login folder; after a Space save the BMP
    # is sent, also when upload_width is wider than the frame.
    @pytest.mark.parametrize("save, settings, remote", [
        (save_jpeg, {"dir": ""}, None), (save_jpeg, {"dir": "nosuch"}, None), (save_bmp, {}, None),
        (save_bmp, {"dut_jpg": "cam.jpg"}, "cam.jpg"), (save_bmp, {"upload_width": 320}, None),
    ], ids=["empty_dir", "missing_dir", "bmp_own_name", "bmp_dut_jpg", "bmp_narrower"])
    def test_the_picture_is_stored_as_it_is_under_its_remote_name(self, launch, server, save, settings, remote):
        app = launch(**server_settings(ADDRESS, **settings))
        name = save(app)
        app.command(UPLOAD)
        assert server.stored_files() == [remote or name]
        assert read(server.root_path / (remote or name)) == read(app.folder_path / name)

    @pytest.mark.parametrize("save, size", [(save_jpeg, jpeg_size), (save_bmp, bmp_size)], ids=["jpeg", "space"])
    def test_with_upload_width_the_smaller_copy_is_sent_and_the_picture_stays_whole(self, launch, server, save, size):
        app = launch(**server_settings(ADDRESS, upload_width=80))
        name = save(app)
        app.command(UPLOAD)
        assert server.stored_files() == [name]
        assert size(read(server.root_path / name)) == (80, 60)
        assert size(read(app.folder_path / name)) == (160, 120)

    def test_the_title_shows_only_the_upload_title_meanwhile_and_comes_back(self, launch, server, probe):
        app = launch(**server_settings(ADDRESS))
        save_jpeg(app)
        # The menu command goes the same way as Ctrl+U and the automatic cycle.
        titles, answered = upload_and_watch(app, probe)
        assert answered
        assert app.title() == APP_TITLE
        assert len(server.received()) == 1
        assert set(titles) <= {APP_TITLE, UPLOAD_TITLE}


# Each case: the test server's options and the settings beside server, id, pass and dir.
CONNECTIONS = {
    "passive": ({"passive": True}, {"ftp_mode": "Passive"}, ["EPSV"], ["PORT", "EPRT"]),
    "auto_on_a_server_without_passive": ({}, {"ftp_mode": "auto"}, ["EPSV", "PORT"], []),
    "other_port": ({"port": 2121}, {"ftp_port": 2121}, ["PORT"], ["EPSV", "PASV"]),
    "port_that_is_not_a_number_is_21": ({}, {"ftp_port": "2121abc"}, ["PORT"], []),
    "atomic": ({}, {"ftp_atomic": 1, "dut_jpg": "cam.jpg"}, ["RNFR", "RNTO"], ["DELE"]),
    "atomic_where_rename_over_is_refused": ({"no_rename_over": True}, {"ftp_atomic": 1, "dut_jpg": "cam.jpg"},
                                            ["RNFR", "DELE", "RNTO"], []),
}


@pytest.mark.parametrize("case", list(CONNECTIONS))
def test_each_connection_setting_stores_the_same_bytes_twice(case, tmp_path, launch):
    options, settings, present, absent = CONNECTIONS[case]
    ftp = FtpServer(OTHER, tmp_path / "other", tmp_path / "other.log", **options)
    try:
        (ftp.root_path / "photos").mkdir()
        app = launch(**server_settings(OTHER, dir="photos", **settings))
        names = []
        # The second picture replaces the first where both have one remote name.
        for colour in (MAGENTA, CYAN):
            make_bmp(app.folder_path / "frame.bmp", 160, 120, colour)
            names.append(save_jpeg(app))
            app.command(UPLOAD)
            remote = settings.get("dut_jpg") or names[-1]
            assert read(ftp.root_path / "photos" / remote) == read(app.folder_path / names[-1])
        expected = ["photos/cam.jpg"] if "dut_jpg" in settings else ["photos/" + n for n in names]
        assert ftp.stored_files() == expected  # no temporary file left behind
        verbs = ftp.verbs()
        assert [v for v in present if v not in verbs] == []
        assert [v for v in absent if v in verbs] == []
        assert app.title() == APP_TITLE
    finally:
        ftp.stop()


def test_an_atomic_replace_never_shows_a_reader_part_of_a_picture(tmp_path, launch):
    """A reader polls the final name on the server while three big BMPs replace each other."""
    ftp = FtpServer(OTHER, tmp_path / "other", tmp_path / "other.log")
    final = ftp.root_path / "cam.bmp"
    done = threading.Event()
    reads, partial = [], []

    def poll():
        while not done.is_set():
            try:
                data = final.read_bytes()
            except FileNotFoundError:
                continue
            reads.append(len(data))
            # A whole BMP is as long as its header says.
            if len(data) < 6 or int.from_bytes(data[2:6], "little") != len(data):
                partial.append(len(data))

    reader = threading.Thread(target=poll, daemon=True)
    try:
        app = launch(**server_settings(OTHER, dut_jpg="cam.bmp", ftp_atomic=1))
        reader.start()
        for colour in (MAGENTA, CYAN, (255, 255, 0)):
            make_bmp(app.folder_path / "frame.bmp", 640, 480, colour)
            before = set(pictures(app.folder_path, ".bmp"))
            app.send(WM_KEYDOWN, VK_SPACE)
            (saved,) = set(pictures(app.folder_path, ".bmp")) - before
            app.command(UPLOAD)
            assert read(final) == read(app.folder_path / saved)
    finally:
        done.set()
        if reader.is_alive():
            reader.join(timeout=10)
        ftp.stop()
    assert reads, "the reader never saw the file"
    assert partial == []
    assert ftp.stored_files() == ["cam.bmp"]


# Each case: ftp_tls, ftp_mode, the server's certificate, whether the test CA is trusted,
# ftp_tls_insecure, and whether the picture may arrive.
TLS_CASES = {
    "explicit_passive": ("EXPLICIT", "passive", "good", True, 0, True),
    "explicit_active": ("explicit", "active", "good", True, 0, True),
    "implicit_passive": ("implicit", "passive", "good", True, 0, True),
    "self_signed_refused": ("explicit", "passive", "self", False, 0, False),
    "untrusted_ca_refused": ("implicit", "passive", "good", False, 0, False),
    "other_name_refused": ("explicit", "passive", "other_name", True, 0, False),
    "self_signed_taken_when_insecure": ("explicit", "auto", "self", False, 1, True),
}


@pytest.fixture(scope="module")
def certificates(tmp_path_factory):
    return make_certificates(tmp_path_factory.mktemp("certificates"), TLS_ADDRESS)


@pytest.mark.parametrize("case", list(TLS_CASES))
def test_tls_sends_the_password_only_to_a_server_whose_certificate_verifies(case, tmp_path, launch, certificates,
                                                                           probe):
    tls, mode, certificate, trusted, insecure, arrives = TLS_CASES[case]
    port = free_port(TLS_ADDRESS)
    ftps = FtpsServer(TLS_ADDRESS, port, tmp_path / "ftps", certificates / (certificate + ".pem"),
                      implicit=tls.lower() == "implicit")
    try:
        with TrustedCa(certificates / "ca.pem") if trusted else contextlib.nullcontext():
            app = launch(server=TLS_ADDRESS, id="anonymous", **{"pass": "secret"}, dir="", dut_jpg="",
                         local_dir=".", ftp_port=port, ftp_tls=tls, ftp_mode=mode, ftp_tls_insecure=insecure)
            name = save_jpeg(app)
            _, answered = upload_and_watch(app, probe)
        assert answered
        commands = ftps.commands()
        if arrives:
            assert ftps.stored_files() == [name]
            assert read(ftps.root_path / name) == read(app.folder_path / name)
            assert commands[0] == ("AUTH TLS" if tls.lower() == "explicit" else "USER anonymous")
            assert "PROT P" in commands  # the picture went encrypted too
        else:
            assert ftps.stored_files() == []
            assert [c for c in commands if c.split(" ")[0] in ("USER", "PASS")] == []
        assert app.title() == APP_TITLE
    finally:
        ftps.stop()


FAILURES = {
    "before_any_save": dict(save=False, settings=server_settings(ADDRESS)),
    "wrong_password": dict(save=True, settings=server_settings(ADDRESS, **{"pass": "wrong"})),
    "empty_server": dict(save=True, settings=server_settings("")),
    "server_not_there": dict(save=True, settings=server_settings(NOBODY)),
    "silent_server": dict(save=True, settings=server_settings(SILENT)),
    "silent_server_over_sftp": dict(save=True, settings=server_settings(SILENT, protocol="sftp", ftp_port=21,
                                                                         ssh_hostkey="SHA256:x")),
    # Faults of a server of the test's own (OTHER), each with the temporary name in play.
    "hung_store": dict(save=True, other={"hang_on_store": True}, settings=server_settings(OTHER, ftp_atomic=1)),
    "dropped_mid_transfer": dict(save=True, other={"drop_after": 256}, settings=server_settings(OTHER, ftp_atomic=1)),
    "refused_rename": dict(save=True, other={"no_rename": True}, settings=server_settings(OTHER, ftp_atomic=1)),
    # With an old picture on the server, which must stay; the log names the cause first.
    "refused_rename_keeps_the_old_picture": dict(
        save=True, other={"no_rename": True}, old=True,
        logged=["550", "名前の変更を断られました", "前の画像を残しました", "一時ファイルを削除しました (250"]),
    "cut_store_keeps_the_old_picture": dict(
        save=True, other={"cut_store": 256}, old=True, logged=["213 256", "バイト中 256 バイト", "一時ファイルを削除しました"]),
    "store_answered_426": dict(save=True, other={"fail_store": True}, old=True,
                               logged=["426 Connection closed", "一時ファイルを削除しました (250"]),
    # A word the upload does not know: nothing is sent, not even the user name.
    "unknown_tls_word": dict(save=True, settings=server_settings(ADDRESS, ftp_tls="tls"), logged=["ftp_tls=tls"]),
    "unknown_mode_word": dict(save=True, settings=server_settings(ADDRESS, ftp_mode="pasv"), logged=["ftp_mode=pasv"]),
    "unknown_protocol_word": dict(save=True, settings=server_settings(ADDRESS, protocol="ftps"),
                                  logged=["protocol=ftps"]),
}
OLD_PICTURE = b"old picture"


@pytest.mark.parametrize("case", list(FAILURES))
def test_a_failed_upload_stores_nothing_and_restores_title_preview_and_countdown(
        case, tmp_path, launch, server, probe):
    silent = FtpServer(SILENT, tmp_path / "silent", tmp_path / "silent.log", silent=True) \
        if case == "silent_server" else None
    row = FAILURES[case]
    other = FtpServer(OTHER, tmp_path / "other", tmp_path / "other.log", **row["other"]) if "other" in row else None
    if row.get("old"):
        (other.root_path / "cam.jpg").write_bytes(OLD_PICTURE)
    try:
        app = launch(**row.get("settings", server_settings(OTHER, ftp_atomic=1, dut_jpg="cam.jpg")))
        if FAILURES[case]["save"]:
            save_jpeg(app)
        titles, answered = upload_and_watch(app, probe)
        assert answered, "the window did not answer again"
        assert server.received() == [] and server.stored_files() == []
        if case == "before_any_save":
            assert "USER pelmix" in server.commands()  # the connection is still made
        if case == "wrong_password":
            assert "PASS wrong" in server.commands()
        if silent:
            assert "ACCEPTED" in silent.commands()
            assert UPLOAD_TITLE in titles
        if other:
            assert "STOR" in other.verbs()
            assert other.stored_files() == (["cam.jpg"] if row.get("old") else []), "a whole or partial file was left"
        if row.get("old"):
            assert read(other.root_path / "cam.jpg") == OLD_PICTURE
        if "logged" in row:
            (line,) = [e for e in log_events(app.folder_path) if e.startswith("アップロードに失敗しました")]
            places = [line.find(text) for text in row["logged"]]
            assert -1 not in places and places == sorted(places), line
        if case.startswith("unknown"):
            assert server.commands() == []
        assert app.title() == APP_TITLE
        assert probe.ask("owned", app.hwnd) == ""  # no message box
        # The preview runs again: a new frame reaches the screen.
        make_bmp(app.folder_path / "frame.bmp", 160, 120, CYAN)
        assert wait_until(lambda: screen_has_colour(CYAN, tmp_path), timeout=10, interval=0.3)
        # The countdown holds a full period again: one tick leaves timer - 1 seconds and
        # starts no cycle (a countdown left at 0 would take a picture now).
        before = pictures(app.folder_path)
        app.send(WM_TIMER, 10, 0)
        assert app.title() == countdown_title(TIMER - 1)
        assert pictures(app.folder_path) == before
    finally:
        if silent:
            silent.stop()
        if other:
            other.stop()


# Each case: local_dir, the prefix ({tmp}: the test's folder as Wine names it), the folder
# under the test's folder where the picture is saved, and the frame file's folder there.
PREFIXES = {
    "folder_part": ("img", "sub/pc", "app/img/sub", "app"),
    "up_a_folder": ("img", "..\\up\\pc", "app/up", "app"),
    "absolute": ("img", "{tmp}\\pics\\pc", "pics", "app"),
    "from_the_root": ("img", "{tmp_root}\\pics\\pc", "pics", "app"),
    "unc": ("img", "\\\\pelmixhost\\share\\pics\\pc", "pics", "app"),
    "own_drive_relative": ("img", "Z:sub\\pc", "app/img/sub", "app"),
    "missing_image_folder": ("nosuch", "pc", "app", "app"),
    "frame_in_a_japanese_folder": (".", "pc", "app", "写真 2026"),
}


@pytest.mark.parametrize("case", list(PREFIXES))
def test_every_kind_of_prefix_is_saved_and_uploaded_as_one_file(case, tmp_path, start_pelmix, server):
    local_dir, prefix, where, frame_folder = PREFIXES[case]
    for folder in ("app/img/sub", "app/up", "pics", frame_folder):
        (tmp_path / folder).mkdir(parents=True, exist_ok=True)
    make_bmp(tmp_path / frame_folder / "frame.bmp", 160, 120, MAGENTA)
    tmp = "Z:" + str(tmp_path).replace("/", "\\")
    # The UNC name \\pelmixhost\share reaches the test's folder through the Wine prefix.
    share = pathlib.Path(os.environ["WINEPREFIX"], "dosdevices", "unc", "pelmixhost", "share")
    share.parent.mkdir(parents=True, exist_ok=True)
    share.unlink(missing_ok=True)
    share.symlink_to(tmp_path)
    try:
        app = start_pelmix("file:" + tmp + "\\" + frame_folder.replace("/", "\\") + "\\frame.bmp",
                           **server_settings(ADDRESS, local_dir=local_dir,
                                             st=prefix.format(tmp=tmp, tmp_root=tmp[2:])))
        app.send(WM_COMMAND, SAVE_JPG)
        (name,) = pictures(tmp_path / where, ".jpg")
        app.command(UPLOAD)
    finally:
        share.unlink()
    assert server.stored_files() == [name]
    assert read(server.root_path / name) == read(tmp_path / where / name)


# Each case: the pictures in the image folder at the start (name: days since written,
# negative for a date ahead of the clock; "link": a link to a file outside) and keep_files.
RETENTION = {
    "dated_years_ahead": ({"pc00001.jpg": -1500, "pc00002.jpg": -1500}, 2),
    "dated_an_hour_ahead": ({"pc00001.jpg": -1 / 24}, 1),
    "link_to_a_file_outside": ({"pc00001.jpg": "link", "pc00002.jpg": 30}, 1),
}


@pytest.mark.parametrize("case", list(RETENTION))
def test_backup_limits_keep_every_new_picture_log_deletions_and_never_follow_a_link(case, tmp_path, start_pelmix,
                                                                                  server):
    old, keep = RETENTION[case]
    outside = tmp_path / "outside.jpg"
    outside.write_bytes(b"not a backup")

    def prepare(folder):
        for name, days in old.items():
            if days == "link":
                os.symlink(outside, folder / name)
            else:
                (folder / name).write_bytes(b"old")
                os.utime(folder / name, (time.time() - days * 86400,) * 2)

    app = start_pelmix("testpattern", prepare=prepare, **server_settings(
        ADDRESS, timer=1, auto_start=1, auto_upload=1, auto_backup=1, keep_files=keep, dut_jpg="cam.jpg"))
    assert wait_until(lambda: len(server.received()) >= 3, timeout=30)
    app.command(AUTO)
    events = log_events(app.folder_path)
    assert [e for e in events if e.startswith("アップロードに失敗")] == []
    assert [e for e in events if e.startswith("古いバックアップを")], events
    backups = [n for n in pictures(app.folder_path) if not (app.folder_path / n).is_symlink()]
    assert len(backups) == keep and not set(backups) & set(old), backups
    assert all((app.folder_path / n).is_symlink() for n in old if old[n] == "link")
    assert outside.read_bytes() == b"not a backup"


@pytest.fixture(scope="module")
def client_keys(tmp_path_factory):
    """The login keys: ECDSA in OpenSSH's own format, locked with a passphrase (its public
    half beside it), and RSA in PEM form without one."""
    folder = tmp_path_factory.mktemp("client_keys")
    ssh_keygen("-t", "ecdsa", "-N", "unlock", "-f", str(folder / "ecdsa"))
    ssh_keygen("-t", "rsa", "-m", "PEM", "-N", "", "-f", str(folder / "rsa"))
    return folder


# Each case: sshd's configuration beyond its defaults, its host keys, the login (password, or key file and
# the pass that unlocks it), the pinned key (the server's of that kind, another, none), ftp_atomic, arrives.
SFTP_CASES = {
    "debian12_password_atomic": ({}, ("rsa", "ecdsa", "ed25519"), ("", SFTP_PASSWORD), "ecdsa", 1, True),
    "openssh10_encrypted_ecdsa_key": (OPENSSH10, ("rsa", "ecdsa", "ed25519"), ("ecdsa", "unlock"), "ecdsa", 0, True),
    "openssh10_rsa_host_rsa_key": (dict(OPENSSH10, HostKeyAlgorithms="rsa-sha2-512,rsa-sha2-256"), ("rsa",),
                                   ("rsa", ""), "rsa", 1, True),
    "atomic_without_posix_rename": (dict(OPENSSH10, sftp_flags="-P posix-rename"),
                                    ("ecdsa",), ("", SFTP_PASSWORD), "ecdsa", 1, True),
    "wrong_pinned_key": ({}, ("ecdsa",), ("", SFTP_PASSWORD), "other", 0, False),
    "no_pinned_key": (OPENSSH10, ("ecdsa",), ("", SFTP_PASSWORD), "", 0, False),
}


@pytest.mark.parametrize("case", list(SFTP_CASES))
def test_sftp_sends_the_login_only_to_the_pinned_host_key(case, tmp_path, launch, client_keys, probe):
    options, host_keys, (key, password), pin, atomic, arrives = SFTP_CASES[case]
    port = free_port(SSH_ADDRESS)
    authorized = [client_keys / key] if key else []
    ssh = SshServer(SSH_ADDRESS, port, tmp_path / "ssh", options, host_keys, authorized)
    try:
        ssh.make_folder("photos")
        shown = fingerprint(ssh.host_keys[host_keys[0] if pin == "other" else pin]) if pin else ""
        pinned = fingerprint(client_keys / "rsa") if pin == "other" else shown
        app = launch(server=SSH_ADDRESS, id=SFTP_USER, **{"pass": password}, dir="photos", local_dir=".",
                     protocol="sftp", ftp_port=port, ssh_hostkey=pinned, ftp_atomic=atomic,
                     ssh_key="Z:" + str(client_keys / key).replace("/", "\\") if key else "",
                     dut_jpg="cam.jpg" if atomic else "")
        names = []
        for colour in (MAGENTA, CYAN):  # the second replaces the first where both have one name
            make_bmp(app.folder_path / "frame.bmp", 160, 120, colour)
            names.append(save_jpeg(app))
            _, answered = upload_and_watch(app, probe)
            assert answered
            if arrives:
                remote = "cam.jpg" if atomic else names[-1]
                assert read(ssh.root_path / "photos" / remote) == read(app.folder_path / names[-1])
        log = ssh.text()
        if arrives:
            expected = ["photos/cam.jpg"] if atomic else ["photos/" + n for n in names]
            assert ssh.stored_files() == expected
            assert "Accepted %s for %s" % ("publickey" if key else "password", SFTP_USER) in log
            assert not any(line.startswith("アップロードに失敗") for line in log_events(app.folder_path))
        else:
            assert ssh.stored_files() == []
            assert "userauth-request" not in log and "Accepted" not in log and "Failed" not in log
            assert "Connection from" in log  # it did reach the server
            failures = [line for line in log_events(app.folder_path) if line.startswith("アップロードに失敗")]
            assert len(failures) == 2 and all(fingerprint(ssh.host_keys[host_keys[0]]) in f for f in failures)
        if atomic:
            # The name only ever came into being by a rename of the temporary file, never
            # written to (OpenSSH's plain rename is a link and an unlink: CREATE, no MODIFY).
            touched = [event for event, path in ssh.changes() if path == "photos/cam.jpg"]
            if "sftp_flags" in options:
                assert touched == ["CREATE", "DELETE", "CREATE"]
            else:
                assert touched == ["MOVED_TO", "MOVED_TO"]
        assert app.title() == APP_TITLE
    finally:
        ssh.stop()


# Each case of the connection dialog's test: the server ("sftp"; vsftpd with a certificate,
# the test CA trusted or not, and ftp_tls; "ftp": the module's server; or an address where
# none answers), the settings beyond server, id and pass, and for each press of 接続テスト the
# lines of its result ({address}: the server's; a line ending in "(" stands for one with
# libcurl's words after it). A question box on the way is answered yes.
REFUSED_LOGIN = "サーバーにはつながりましたが、ログインを拒否されました (ユーザー名・パスワード・鍵を確かめてください)。"
UNVERIFIED = "サーバーの証明書を検証できないので、ログインせずに切断しました ("
BY_TEST_CA = "証明書: CN={address} (発行者: O=ペルミックス, CN=Pelmix test CA) は検証"
SELF_SIGNED = "証明書: CN={address} (発行者: CN={address}) は検証"
PROBE_CASES = {
    "sftp_unknown_key_trusted": ("sftp", dict(protocol="sftp"), [
        ["ホスト鍵を登録しました。もう一度接続テストができます。"], ["接続とログインに成功しました。"]]),
    "ftps_verified": (("good", True, "explicit"), {}, [["接続とログインに成功しました。", BY_TEST_CA + "できました。"]]),
    "ftps_login_refused": (("good", True, "explicit"), {"id": "nobody"}, [[REFUSED_LOGIN, BY_TEST_CA + "できました。"]]),
    "ftps_self_signed": (("self", False, "explicit"), {}, [[UNVERIFIED, SELF_SIGNED + "できません。"]]),
    "ftps_other_name": (("other_name", True, "explicit"), {}, [
        [UNVERIFIED, "証明書: CN=127.1.2.3 (発行者: O=ペルミックス, CN=Pelmix test CA) は検証できません。"]]),
    "ftps_implicit_untrusted_ca": (("good", False, "implicit"), {}, [[UNVERIFIED, BY_TEST_CA + "できません。"]]),
    "ftps_self_signed_taken_when_insecure": (("self", False, "explicit"), {"ftp_tls_insecure": 1}, [
        ["接続とログインに成功しました。", SELF_SIGNED + "していません (検証できない証明書も受け入れる設定です)。"]]),
    "ftp_login_refused": ("ftp", {"pass": "wrong"}, [[REFUSED_LOGIN]]),
    "ftp_unreachable": (NOBODY, {}, [["サーバーに接続できません (サーバー名とポート番号を確かめてください)。"]]),
    "ftp_timed_out": (SILENT, {}, [["サーバーが時間内に応答しませんでした。"]]),
}


@pytest.mark.parametrize("case", list(PROBE_CASES))
def test_the_connection_test_says_in_one_sentence_what_it_found_and_trusts_a_key_when_told(
        case, tmp_path, launch, probe, certificates, server):
    kind, settings, presses = PROBE_CASES[case]
    address, port, ssh, ftps = ADDRESS, 21, None, None
    if kind == "sftp":
        address, port = SSH_ADDRESS, free_port(SSH_ADDRESS)
        ssh = SshServer(address, port, tmp_path / "ssh", host_keys=("ecdsa",))
        settings = dict(settings, id=SFTP_USER, **{"pass": SFTP_PASSWORD})
    elif isinstance(kind, tuple):
        address, port = TLS_ADDRESS, free_port(TLS_ADDRESS)
        ftps = FtpsServer(address, port, tmp_path / "ftps", certificates / (kind[0] + ".pem"),
                          implicit=kind[2] == "implicit")
        settings = dict(dict(id="anonymous", **{"pass": "secret"}, ftp_tls=kind[2]), **settings)
    elif kind != "ftp":
        address = kind
    silent = FtpServer(SILENT, tmp_path / "silent", tmp_path / "silent.log", silent=True) if kind == SILENT else None
    try:
        with TrustedCa(certificates / "ca.pem") if ftps and kind[1] else contextlib.nullcontext():
            app = launch(**server_settings(address, ftp_port=port, **settings))
            app.post(WM_COMMAND, 32792)  # ファイル → FTP接続設定
            dialog = app.wait_dialog()

            def result():
                boxes = [item.split(" ")[0] for item in probe.ask("owned", dialog).split(";") if item]
                if boxes:
                    probe.ask("post", boxes[0], WM_COMMAND, 6, 0)  # IDYES
                return probe.ask("dlgtext", dialog, 1020).split("\t")

            for lines in presses:
                expected = [line.format(address=address) for line in lines]
                probe.ask("post", dialog, WM_COMMAND, 1019, 0)

                def matches():
                    shown = result()
                    return len(shown) == len(expected) and all(
                        s == e or e.endswith("(") and s.startswith(e) for s, e in zip(shown, expected))

                assert wait_until(matches, timeout=25), result()
        if ssh:
            shown = fingerprint(ssh.host_keys["ecdsa"])
            assert probe.ask("dlgtext", dialog, 1018) == shown
            assert "ssh_hostkey=" + shown in (app.folder_path / "Pelmix.ini").read_text(encoding="cp932")
            assert ssh.text().count("Accepted password") == 1 and ssh.stored_files() == []
        if ftps:
            if "検証できません。" in expected[-1]:
                # The certificate was read on a second connection that went no further than the handshake.
                assert ftps.commands() == (["AUTH TLS"] * 2 if kind[2] == "explicit" else [])
            else:
                assert "USER " + settings["id"] in ftps.commands()
            assert ftps.stored_files() == []
        assert server.stored_files() == []
    finally:
        for running in (ssh, ftps, silent):
            if running:
                running.stop()
