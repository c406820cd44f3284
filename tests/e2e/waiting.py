"""The one way the tests wait for something that happens elsewhere: polling it until it is done."""

import time


def wait_until(poll, timeout=10, done=bool):
    """Calls `poll` until done(its value) holds or `timeout` seconds have passed;
    returns its last value. Files, processes and windows change a moment after
    the call that asked for them, through other processes and the X server."""
    deadline = time.monotonic() + timeout
    while not done(value := poll()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value
