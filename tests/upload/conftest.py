"""The probe fixture for the upload and automatic-mode tests (as in tests/e2e)."""
import pytest

from pelmix_e2e import Probe


@pytest.fixture
def probe():
    p = Probe()
    yield p
    p.close()
