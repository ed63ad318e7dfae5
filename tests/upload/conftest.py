"""Fixtures of the upload and automatic-mode tests: the probe (as in tests/e2e), a real FTP
server on the test module's ADDRESS, and pelmix.exe started in tmp_path/app."""
import pytest

from pelmix_e2e import Pelmix, probe_for_a_test
from upload_support import FtpServer, stop, write_settings


probe = pytest.fixture(probe_for_a_test, name="probe")


@pytest.fixture
def server(request, tmp_path):
    s = FtpServer(request.module.ADDRESS, tmp_path / "server", tmp_path / "ftp.log")
    yield s
    s.stop()


@pytest.fixture
def start_pelmix(tmp_path, probe):
    """Starts pelmix.exe in tmp_path/app on the given frame source (None: the camera) with
    the given settings, command-line args and environment, after prepare(folder) has filled
    the folder; every one started is stopped after the test."""
    started = []

    def start(source, args=(), prepare=None, env=None, **settings):
        folder = tmp_path / "app"
        folder.mkdir(exist_ok=True)
        write_settings(folder, **settings)
        if prepare:
            prepare(folder)
        app = Pelmix(folder, probe, source=source, args=args, env=env)
        app.folder_path = folder
        started.append(app)
        return app

    yield start
    for app in started:
        stop(app, probe)
