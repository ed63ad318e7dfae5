"""The whole chain: the real exe starts under Wine, shows its window, and ends with 0;
its log of the run, and one instance per folder."""
from pelmix_e2e import WM_CLOSE, WM_COMMAND, Pelmix, log_events, start_exe, wait_until

WM_CAP_PELMIX_CAMERA_STATE = 0x8000 + 40
IDM_OPEN_LOG = 32791
IDM_SETTINGS = 32775
IDOK, IDCANCEL = 1, 2
SW_MINIMIZE = 6
# The log tests want no camera of their own: a missing one is logged as lost.
SOURCE = "testpattern"


def test_window_opens_with_its_class_and_title_and_closes_with_exit_code_0(tmp_path, probe):
    app = Pelmix(tmp_path, probe, source=SOURCE)
    try:
        assert probe.ask("class", app.hwnd) == "PELMIX"
        assert app.title() == "Pelmix"
        app.post(WM_CLOSE)
        assert app.wait_exit(timeout=20) == 0
        assert not probe.number("iswindow", app.hwnd)
    finally:
        app.kill()


def settings_dialog_ended_with(app, probe, button):
    app.post(WM_COMMAND, IDM_SETTINGS)
    dialog = app.wait_dialog()
    assert dialog, "no settings dialog"
    probe.number("post", dialog, WM_COMMAND, button, 0)
    assert wait_until(lambda: not probe.number("iswindow", dialog), timeout=10)


def test_the_log_records_start_camera_lost_and_found_settings_and_stop(tmp_path, probe):
    app = Pelmix(tmp_path, probe, source=SOURCE)
    try:
        assert log_events(tmp_path) == ["起動しました"]
        # What the capture window tells its parent when the camera goes and comes back.
        app.send(WM_CAP_PELMIX_CAMERA_STATE, 0)
        app.send(WM_CAP_PELMIX_CAMERA_STATE, 1)
        settings_dialog_ended_with(app, probe, IDCANCEL)
        settings_dialog_ended_with(app, probe, IDOK)
        app.post(WM_CLOSE)
        assert app.wait_exit(timeout=20) == 0
        assert log_events(tmp_path) == ["起動しました", "カメラが見つかりません", "カメラが戻りました",
                                        "設定を変更しました", "終了しました"]

        # A second run appends to the same log.
        again = Pelmix(tmp_path, probe, source=SOURCE)
        again.post(WM_CLOSE)
        assert again.wait_exit(timeout=20) == 0
        assert log_events(tmp_path)[-2:] == ["起動しました", "終了しました"]
        assert len(log_events(tmp_path)) == 7
    finally:
        app.kill()


def test_open_log_shows_the_log_in_notepad(tmp_path, probe):
    app = Pelmix(tmp_path, probe, source=SOURCE)
    notepad = None
    try:
        assert app.command(IDM_OPEN_LOG) == 0
        notepad = probe.number("wait", "Notepad", 20000)
        assert notepad, "no Notepad window"
        # The window comes first, the file a moment later.
        assert wait_until(lambda: "Pelmix" in probe.ask("title", notepad), timeout=10), probe.ask("title", notepad)
    finally:
        if notepad:
            probe.number("post", notepad, WM_CLOSE, 0, 0)
            wait_until(lambda: not probe.number("iswindow", notepad), timeout=10)
        app.kill()


def test_a_second_start_in_the_same_folder_raises_the_first_and_exits_0(tmp_path, probe):
    app = Pelmix(tmp_path, probe, source=SOURCE)
    try:
        probe.number("show", app.hwnd, SW_MINIMIZE)
        assert wait_until(lambda: probe.number("iconic", app.hwnd), timeout=5)
        second = start_exe(tmp_path, source=SOURCE)
        assert second.wait(timeout=30) == 0
        assert app.alive()
        # The restore is asked for without waiting on the first window: it follows shortly.
        assert wait_until(lambda: not probe.number("iconic", app.hwnd), timeout=5)
        assert wait_until(lambda: probe.number("getforeground") == app.hwnd, timeout=5)
        # The second never got as far as its own start: one run in the log.
        assert log_events(tmp_path) == ["起動しました"]
    finally:
        app.kill()


def test_starts_in_two_folders_run_side_by_side(tmp_path, probe):
    one, two = tmp_path / "one", tmp_path / "two"
    one.mkdir()
    two.mkdir()
    app = Pelmix(one, probe, source=SOURCE)
    second = start_exe(two, source=SOURCE)
    try:
        assert wait_until(lambda: log_events(two) == ["起動しました"], timeout=30)
        # Both windows exist: the second's is the one that is not the first's.
        assert wait_until(lambda: second.poll() is None and probe.number("iswindow", app.hwnd), timeout=2)
        assert second.poll() is None, "the second Pelmix ended"
        assert app.alive()
    finally:
        if second.poll() is None:
            second.kill()
            second.wait()
        app.kill()
