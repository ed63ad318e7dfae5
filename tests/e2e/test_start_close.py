"""The whole chain: the real exe starts under Wine, shows its window, and ends with 0."""
from pelmix_e2e import WM_CLOSE, Pelmix


def test_window_opens_with_its_class_and_title_and_closes_with_exit_code_0(tmp_path, probe):
    app = Pelmix(tmp_path, probe)
    try:
        assert probe.ask("class", app.hwnd) == "PELMIX"
        assert app.title() == "Pelmix"
        app.post(WM_CLOSE)
        assert app.wait_exit(timeout=20) == 0
        assert not probe.number("iswindow", app.hwnd)
    finally:
        app.kill()
