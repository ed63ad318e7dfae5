import pytest

from pelmix_e2e import probe_for_a_test

probe = pytest.fixture(probe_for_a_test, name="probe")
