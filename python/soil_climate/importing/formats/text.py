"""Reading an archive's file as text: bounded lines, and numbers as the archives write
them."""

import io
import math

from ... import _model
from ..faults import BadInput
from .compressed import DAMAGED, Decompressed, Member, open_bytes

# The longest line a file of records may hold, characters: far beyond any row of an
# archive's export, and a bound on what a file that is no text table (/dev/zero, a binary
# file with no line end) can make the importer read at once.
LONGEST_LINE = 1_000_000

MISSING_WORDS = {"", "NA", "N/A", "NAN", "NULL", "M", "---"}
TRACE_WORDS = {"T", "TR", "TRACE"}


def open_text(path):
    """The file as text, decompressed where it is compressed."""
    return io.TextIOWrapper(open_bytes(path), newline="", encoding="utf-8-sig")


def bounded_lines(file, path):
    """The file's lines, each at most LONGEST_LINE characters, else a fault."""
    number = 0
    try:
        while True:
            line = file.readline(LONGEST_LINE + 1)
            if not line:
                return
            number += 1
            if len(line) > LONGEST_LINE:
                raise BadInput(f"{path}: line {number} is longer than {LONGEST_LINE:,} characters; the file is not "
                               "a table of records")
            yield line
    except UnicodeDecodeError as error:
        raise BadInput(f"{path}: line {undecodable_line(path, number + 1)} is not UTF-8 text") from error
    except DAMAGED as error:
        if isinstance(getattr(file, "buffer", None), Decompressed) or isinstance(path, Member):
            raise BadInput(f"{path}: after line {number}: the compressed data is damaged or cut short ({error})") \
                from error
        raise BadInput(f"{path}: cannot be read after line {number}: {error}") from error


def undecodable_line(path, guess):
    """The line that holds the file's first byte that is no UTF-8. Text is decoded a block
    at a time, ahead of the lines handed out, so the line being read when the decoder
    fails may lie well before the bad byte: the file is read again as bytes to find it,
    counting line ends as the text reading does (\n, \r\n and a lone \r)."""
    try:
        with open_bytes(path) as file:
            number, carried = 1, b""
            while True:
                read = file.readline(4 * LONGEST_LINE + 4)
                block, carried = carried + read, b""
                if not block:
                    return guess
                try:
                    block.decode("utf-8")
                except UnicodeDecodeError as error:
                    if read and error.reason == "unexpected end of data":
                        # A character cut where a block of lines without \n was split.
                        block, carried = block[:error.start], block[error.start:]
                    else:
                        before = block[:error.start]
                        return number + before.count(b"\r") - before.count(b"\r\n")
                number += block.count(b"\n") + block.count(b"\r") - block.count(b"\r\n")
    except (BadInput, *DAMAGED):
        return guess


def record_lines(path, lines):
    """Each line of `lines` that is not blank, without its line end, with where it stands
    ("path: line N"): the records of a fixed-width file."""
    for number, line in enumerate(lines, start=1):
        line = line.rstrip("\r\n")
        if line.strip():
            yield f"{path}: line {number}", line


def first_lines(path, count=40):
    """The file's first lines, for telling its format; a byte that is no UTF-8 is read as
    a replacement character here, and refused by the format's reader where it matters."""
    with io.TextIOWrapper(open_bytes(path), newline="", encoding="utf-8-sig", errors="replace") as file:
        lines = []
        for line in bounded_lines(file, path):
            lines.append(line.rstrip("\r\n"))
            if len(lines) == count:
                break
        return lines


class DecimalMark:
    """The decimal mark of a file's numbers: "." or "," as told, or, where a file's
    separator leaves it open (";" or tab), the first mark its numbers use; a file that
    then uses the other one is refused rather than read two ways."""

    def __init__(self, told, separator):
        self.mark = told or ("." if separator == "," else None)

    def plain(self, text, where):
        marks = {mark for mark in ".," if mark in text}
        if not marks:
            return text
        if len(marks) > 1:
            raise BadInput(f'{where}: "{text}" holds both "." and ","; give numbers without thousands separators')
        mark = marks.pop()
        if self.mark is None:
            self.mark = mark
        if mark != self.mark:
            raise BadInput(f'{where}: "{text}" has the decimal mark "{mark}", but the file\'s numbers use '
                           f'"{self.mark}" (see --decimal)')
        return text.replace(",", ".")


def number(text, where, decimal=None, trace=False):
    """The cell's value, or None for a gap (an empty cell, NA, ---, or a missing-value code
    as run_station knows them); a trace mark reads as 0 where `trace`."""
    text = text.strip()
    if text.upper() in MISSING_WORDS:
        return None
    if trace and text.upper() in TRACE_WORDS:
        return 0.0
    plain = decimal.plain(text, where) if decimal else text
    try:
        value = float(plain)
    except ValueError:
        raise BadInput(f'{where}: "{text}" is not a number') from None
    if not math.isfinite(value):
        raise BadInput(f'{where}: "{text}" is not a finite number')
    return None if _model.is_missing_value_code(value) else value
