"""The signals that end an import (SIGINT from Ctrl-C, SIGTERM, SIGHUP): each is turned
into an Interrupted exception, so that what was staged is removed on the way out and the
command ends with one line and the shell's status for that signal (128 + its number)."""

import contextlib
import signal
import threading

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Interrupted(BaseException):
    """A signal ended the import. A BaseException, like KeyboardInterrupt, so that no
    handler of ordinary faults takes it for one."""

    def __init__(self, number):
        super().__init__(number)
        self.number = number

    @property
    def name(self):
        return signal.Signals(self.number).name

    @property
    def status(self):
        return 128 + self.number


@contextlib.contextmanager
def interruptible():
    """Within: the first of SIGNALS raises Interrupted; any after it are ignored, so that
    the clean-up it starts runs to its end. The handlers before are restored after."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return
    seen = []

    def handler(number, frame):
        del frame
        if not seen:
            seen.append(number)
            raise Interrupted(number)

    before = {number: signal.signal(number, handler) for number in SIGNALS}
    try:
        yield
    finally:
        for number, old in before.items():
            signal.signal(number, old)


@contextlib.contextmanager
def held():
    """Within: SIGNALS wait (blocked), so that a few renames run as one step; one that
    came meanwhile is delivered on leaving."""
    old = signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, old)


def waiting():
    """The first of SIGNALS that came while held, or None."""
    pending = signal.sigpending()
    return next((number for number in SIGNALS if number in pending), None)
