"""Files as the archives ship them: plain, or compressed with gzip, bzip2 or xz, or a zip
archive whose every member is a file of its own. The kind is told by the file's first
bytes, whatever its name says."""

import bz2
import gzip
import io
import lzma
import os
import stat
import zipfile
import zlib

from ..faults import BadInput

# The first bytes of each compressed kind, and how it is opened.
COMPRESSIONS = ((b"\x1f\x8b", "gzip", lambda file: gzip.GzipFile(fileobj=file, mode="rb")),
                (b"BZh", "bzip2", bz2.BZ2File), (b"\xfd7zXZ\x00", "xz", lzma.LZMAFile))
ZIP_MAGIC = (b"PK\x03\x04", b"PK\x05\x06")
# Kinds that are recognised only to be named in the refusal.
UNREAD = ((b"\x28\xb5\x2f\xfd", "zstd"), (b"7z\xbc\xaf\x27\x1c", "7z"), (b"Rar!", "rar"))
# What a damaged or cut-short compressed stream raises while it is read.
DAMAGED = (EOFError, zlib.error, lzma.LZMAError, zipfile.BadZipFile, gzip.BadGzipFile, OSError)


class Decompressed(io.BufferedReader):
    """A decompressing reader that closes the file below it too."""

    def __init__(self, stream, under):
        super().__init__(stream)
        self.under = under

    def close(self):
        try:
            super().close()
        finally:
            self.under.close()


class Member(str):
    """One member of a zip archive, named "archive.zip/member" in every message."""

    def __new__(cls, archive, member):
        name = super().__new__(cls, f"{archive}/{member}")
        name.archive, name.member = str(archive), member
        return name


def open_plain_file(path):
    """The file itself, as bytes. A pipe or a FIFO is refused: the importer reads each file
    more than once (to tell its format, then to read it), and a FIFO that no one writes
    would keep it waiting; opened without waiting, it is told apart before any read."""
    try:
        descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        raise BadInput(f"{path}: cannot be read: {error.strerror}") from error
    try:
        mode = os.fstat(descriptor).st_mode
        if stat.S_ISFIFO(mode) or stat.S_ISSOCK(mode):
            raise BadInput(f"{path}: is a pipe, not a file; save the records to a file and give that")
        if stat.S_ISDIR(mode):
            raise BadInput(f"{path}: cannot be read: Is a directory")
        os.set_blocking(descriptor, True)
    except BaseException:
        os.close(descriptor)
        raise
    return open(descriptor, "rb", buffering=1 << 16)


def magic_of(file):
    return file.peek(8)[:8]


def is_zip(path):
    with open_plain_file(path) as file:
        return magic_of(file).startswith(ZIP_MAGIC)


def open_bytes(path):
    """The file's bytes as its writer meant them: decompressed where its first bytes say it
    is compressed; a zip Member read from its archive."""
    if isinstance(path, Member):
        try:
            with zipfile.ZipFile(path.archive) as archive:
                raw = archive.open(path.member)
        except (zipfile.BadZipFile, NotImplementedError, OSError) as error:
            raise BadInput(f"{path}: cannot be read from the zip archive: {error}") from error
    else:
        raw = open_plain_file(path)
    try:
        buffered = raw
        magic = magic_of(buffered)
        for start, _, opener in COMPRESSIONS:
            if magic.startswith(start):
                return Decompressed(opener(buffered), buffered)
        for start, kind in UNREAD:
            if magic.startswith(start):
                raise BadInput(f"{path}: is compressed with {kind}, which station_import does not read; give it "
                               "decompressed, or as .gz, .bz2, .xz or .zip")
        if magic.startswith(ZIP_MAGIC):
            raise BadInput(f"{path}: is a zip archive inside a zip archive; give the inner archive itself")
        return buffered
    except BaseException:
        raw.close()
        raise


# Members of a German Weather Service archive that document its product file rather than
# hold records: read past when the archive holds a product file.
def documents_a_product(name, names):
    base = name.rsplit("/", 1)[-1]
    if not any(other.rsplit("/", 1)[-1].startswith("produkt_") for other in names):
        return False
    return base.lower().endswith((".html", ".pdf")) or (base.startswith("Metadaten_")
                                                         and not base.startswith("Metadaten_Geographie"))


def expanded(paths):
    """The files given, each zip archive replaced by its members that are files (in the
    archive's order), else as given."""
    files = []
    for path in paths:
        if not is_zip(path):
            files.append(path)
            continue
        try:
            with zipfile.ZipFile(path) as archive:
                names = [info.filename for info in archive.infolist()
                         if not info.is_dir() and not info.filename.startswith("__MACOSX/")]
        except (zipfile.BadZipFile, OSError) as error:
            raise BadInput(f"{path}: is not a whole zip archive: {error}") from error
        members = [Member(path, name) for name in names if not documents_a_product(name, names)]
        if not members:
            raise BadInput(f"{path}: a zip archive that holds no file")
        files += members
    return files
