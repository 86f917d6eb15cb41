"""Writing the station folders of one import all at once or not at all.

Every station is staged first: its files are written into a fresh temporary folder, beside
a station folder that does not exist yet, or inside one that does (the same file system,
so that a rename moves it). Only when every station is staged are they put in place, with
the signals that end an import held back: a new folder is renamed to its name, and in an
existing folder each file the import writes is swapped with the old one, which waits in
the staging folder until every station is in place. A failure or a signal on the way
undoes every step taken, removes what was staged and every folder made for it, and leaves
the station folders as they were: an old station is never lost to an import that fails."""

import os
import pathlib
import shutil
import tempfile

from .faults import BadInput
from .interrupts import Interrupted, held, waiting

STATION_FILES = ("monthly_T", "monthly_P", "parameter")
STAGE_MARK = "station_import-"


def check_target(folder, files, force):
    """A station folder may be written: it is a folder or is yet to be made, it holds no
    station unless --force, and none of the files' names is a folder."""
    folder = pathlib.Path(folder)
    if os.path.lexists(folder) and not folder.is_dir():
        raise BadInput(f"{folder}: is not a folder, so the station cannot be written; nothing was changed")
    existing = [name for name in STATION_FILES if (folder / name).exists()]
    if existing and not force:
        raise BadInput(f"{folder}: already holds a station's {', '.join(existing)}; give --force to replace them")
    for name in files:
        target = folder / name
        if target.is_dir() and not target.is_symlink():
            raise BadInput(f"{folder}: {name} is a folder, so the station cannot be written; nothing was changed")


def umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def make_parents(folder, made):
    """The folders above `folder` that are missing, made one by one and noted in `made`
    so that a failed import removes them again."""
    missing = []
    parent = folder.parent
    while not os.path.lexists(parent):
        missing.append(parent)
        parent = parent.parent
    for path in reversed(missing):
        os.mkdir(path)
        made.append(path)


class Staged:
    """One station folder: its files written under a staging folder, then put in place,
    with every rename noted so that it can be undone."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.new = not self.folder.exists()
        self.stage = None
        self.renames = []
        self.names = ()

    def write(self, files, made):
        try:
            with held():  # each folder made is noted before a signal can end the import
                if self.new:
                    make_parents(self.folder, made)
                    self.stage = pathlib.Path(tempfile.mkdtemp(prefix=f".{self.folder.name[:40]}.{STAGE_MARK}",
                                                               dir=self.folder.parent))
                else:
                    self.stage = pathlib.Path(tempfile.mkdtemp(prefix=f".{STAGE_MARK}", dir=self.folder))
            if self.new:
                os.chmod(self.stage, 0o777 & ~umask())
            else:
                (self.stage / "old").mkdir()
            for name, text in files.items():
                # "x": made here, in a folder only this import writes to, never through a link.
                with open(self.stage / name, "x", encoding="utf-8", newline="\n") as out:
                    out.write(text)
        except OSError as error:
            raise self.fault(error) from error
        self.names = tuple(files)

    def fault(self, error):
        return BadInput(f"{self.folder}: cannot be written: {error.strerror or error}")

    def rename(self, source, target):
        os.rename(source, target)
        self.renames.append((source, target))

    def place(self):
        """The station in its folder: the staged folder renamed to a new one's name, or in
        an existing folder each file swapped with the old one, kept aside."""
        try:
            if self.new:
                self.rename(self.stage, self.folder)
                return
            for name in self.names:
                if os.path.lexists(self.folder / name):
                    self.rename(self.folder / name, self.stage / "old" / name)
                self.rename(self.stage / name, self.folder / name)
        except OSError as error:
            raise self.fault(error) from error

    def undo(self):
        while self.renames:
            source, target = self.renames.pop()
            try:
                os.rename(target, source)
            except OSError:
                pass

    def remove(self):
        """The staging folder, with the new files or the old ones it holds, gone."""
        if self.stage is not None and not (self.new and self.renames):
            shutil.rmtree(self.stage, ignore_errors=True)


def write_stations(targets, force):
    """Writes every (folder, files) of `targets`, all or none; on a failure or a signal
    the folders are left as they were. A signal that comes once all are in place is raised
    marked `written`."""
    for folder, files in targets:
        check_target(folder, files, force)
    made, staged, placed, pending = [], [], False, None
    try:
        for folder, files in targets:
            staged.append(Staged(folder))
            staged[-1].write(files, made)
        with held():
            try:
                for station in staged:
                    station.place()
                pending = waiting()
                placed = pending is None
            finally:
                if not placed:
                    for station in reversed(staged):
                        station.undo()
            if placed:
                for station in staged:
                    station.remove()
        if pending is not None:  # delivered on leaving, but its handler raised nothing
            raise Interrupted(pending)
    except Interrupted as interruption:
        interruption.written = placed
        if not placed:
            clean_up(staged, made)
        raise
    except BaseException:
        clean_up(staged, made)
        raise


def clean_up(staged, made):
    with held():
        for station in staged:
            station.remove()
        for path in reversed(made):
            try:
                os.rmdir(path)
            except OSError:
                pass
