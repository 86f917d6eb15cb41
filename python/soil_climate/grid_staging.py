"""All or nothing for soil_grid's outputs: every output name is checked before the run, each
output is written under a temporary name beside its final one, and only when all are
written are they renamed into place. On any failure, or a signal, nothing new is left."""

import contextlib
import os
import shutil
import signal
import tempfile


STOPPING_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


@contextlib.contextmanager
def _signals_held():
    """The signals that end a run held back for a moment: delivered, and their handlers
    run, when the block ends."""
    held = signal.pthread_sigmask(signal.SIG_BLOCK, STOPPING_SIGNALS)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, held)


class StagingFault(Exception):
    """An output that cannot be written where it is named: one line."""


def _same_file(path, other):
    try:
        return os.path.samefile(path, other)
    except OSError:
        return os.path.realpath(path) == os.path.realpath(other)


def check_output(path, inputs, what, folder=False):
    """Refuses an output name whose folder is missing or not writable, that is a folder (or,
    for `folder`, a file), or that is (or, through links, resolves to) one of the inputs."""
    parent = os.path.dirname(os.path.abspath(path))
    if not os.path.isdir(parent):
        raise StagingFault(f"{path}: cannot be written: the folder {parent} does not exist")
    if not os.access(parent, os.W_OK | os.X_OK):
        raise StagingFault(f"{path}: cannot be written: the folder {parent} is not writable")
    if folder:
        if os.path.exists(path) and not os.path.isdir(path):
            raise StagingFault(f"{path}: {what} must be a folder, and this is a file")
        if os.path.isdir(path) and not os.access(path, os.W_OK | os.X_OK):
            raise StagingFault(f"{path}: cannot be written: the folder is not writable")
    elif os.path.isdir(path) and not os.path.islink(path):
        raise StagingFault(f"{path}: {what} is a folder")
    for given in inputs:
        if os.path.exists(path) and _same_file(path, given):
            raise StagingFault(f"{path}: {what} would overwrite the input {given}")


class Staging:
    """Temporary names beside the outputs, renamed into place by `commit`, removed by
    `discard` (which `commit` makes a no-op, and which is safe to call twice)."""

    def __init__(self):
        self._files = []  # (temporary, final)
        self._folders = []  # (temporary folder, final folder)

    def file(self, path):
        """A temporary name in the folder of `path`, with its suffix, for the output `path`."""
        folder = os.path.dirname(os.path.abspath(path))
        suffix = os.path.splitext(path)[1]
        with _signals_held():  # made and listed at once, so that a signal never leaves it behind
            descriptor, temporary = tempfile.mkstemp(prefix=".soil_grid-", suffix=suffix, dir=folder)
            self._files.append((temporary, path))
        mask = os.umask(0)
        os.umask(mask)
        os.fchmod(descriptor, 0o666 & ~mask)
        os.close(descriptor)
        return temporary

    def folder(self, path):
        """A temporary folder beside the output folder `path`, whose files are moved into
        `path` (created if need be) on commit."""
        parent = os.path.dirname(os.path.abspath(path))
        with _signals_held():
            temporary = tempfile.mkdtemp(prefix=".soil_grid-", dir=parent)
            self._folders.append((temporary, path))
        return temporary

    def commit(self):
        for temporary, path in self._files:
            os.replace(temporary, path)  # a link at the output name is replaced, never followed
        for temporary, path in self._folders:
            os.makedirs(path, exist_ok=True)
            for name in sorted(os.listdir(temporary)):
                os.replace(os.path.join(temporary, name), os.path.join(path, name))
            os.rmdir(temporary)
        self._files, self._folders = [], []

    def discard(self):
        for temporary, _ in self._files:
            if os.path.lexists(temporary):
                os.unlink(temporary)
        for temporary, _ in self._folders:
            shutil.rmtree(temporary, ignore_errors=True)
        self._files, self._folders = [], []
