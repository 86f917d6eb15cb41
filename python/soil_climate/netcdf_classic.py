"""The length a classic NetCDF file (CDF-1, CDF-2 or CDF-5) must have, read from its header.
The NetCDF library reads the missing end of a cut classic file as fill values or zeros
without a word, so a file shorter than its header promises is refused before it is read."""

import os
import struct

TYPE_SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 4, 6: 8, 7: 1, 8: 2, 9: 4, 10: 8, 11: 8}
DIMENSION, VARIABLE, ATTRIBUTE = 0x0A, 0x0B, 0x0C


class _Header:
    """A reader of the header's big-endian fields; counts are 8 bytes in CDF-5."""

    def __init__(self, data, version):
        self.data, self.at = data, 4
        self.count_format = ">q" if version == 5 else ">i"
        self.offset_format = ">i" if version == 1 else ">q"

    def _take(self, form):
        value, = struct.unpack_from(form, self.data, self.at)
        self.at += struct.calcsize(form)
        return value

    def tag(self):
        return self._take(">i")

    def count(self):
        return self._take(self.count_format)

    def offset(self):
        return self._take(self.offset_format)

    def skip_name(self):
        length = self.count()
        self.at += (length + 3) // 4 * 4

    def skip_attributes(self):
        self.tag()
        for _ in range(self.count()):
            self.skip_name()
            size = TYPE_SIZES[self.tag()]
            length = self.count()
            self.at += (length * size + 3) // 4 * 4


def promised_length(path):
    """The bytes the header of the classic file `path` says it holds, or None where the file
    is not classic NetCDF (NetCDF-4 is HDF5, which checks itself) or its header cannot be
    read (the NetCDF library then says what is wrong)."""
    with open(path, "rb") as file:
        data = file.read(1 << 20)
    if len(data) < 8 or data[:3] != b"CDF" or data[3] not in (1, 2, 5):
        return None
    header = _Header(data, data[3])
    try:
        records = header.count()
        header.tag()
        dimensions = []
        for _ in range(header.count()):
            header.skip_name()
            dimensions.append(header.count())
        header.skip_attributes()
        header.tag()
        variables = []
        for _ in range(header.count()):
            header.skip_name()
            shape = [dimensions[header.count()] for _ in range(header.count())]
            header.skip_attributes()
            size = TYPE_SIZES[header.tag()]
            stored_size = header.count()
            begin = header.offset()
            variables.append((shape, size, stored_size, begin))
    except (struct.error, KeyError, IndexError):
        return None
    is_record = [bool(shape) and shape[0] == 0 for shape, _, _, _ in variables]
    record_size = sum(stored for (_, _, stored, _), record in zip(variables, is_record) if record)
    if records < 0:  # a file still being streamed gives no count
        records = 0
    end = 0
    for (shape, size, _, begin), record in zip(variables, is_record):
        values = 1
        for length in (shape[1:] if record else shape):
            values *= length
        if record:
            end = max(end, begin + (records - 1) * record_size + values * size if records else 0)
        else:
            end = max(end, begin + values * size)
    return end


def check_length(path):
    """Raises ValueError when the classic file `path` is shorter than its header promises."""
    promised = promised_length(path)
    actual = os.path.getsize(path)
    if promised is not None and actual < promised:
        raise ValueError(f"the file is cut short: its header promises {promised} bytes and it holds {actual}")
