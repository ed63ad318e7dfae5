import pytest

from pelmix_e2e import Probe


@pytest.fixture
def probe():
    p = Probe()
    yield p
    p.close()
