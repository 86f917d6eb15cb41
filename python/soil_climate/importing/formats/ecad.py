"""ECA&D's blended (and non-blended) daily series text: a block of header lines, then
`STAID, SOUID, DATE, <element>, Q_<element>` with DATE as YYYYMMDD and values in tenths
(0.1 deg C, 0.1 mm). One element per file: TG (mean), TX (maximum), TN (minimum)
temperature or RR (precipitation). -9999 is missing; quality 9 is missing and 1 suspect,
which counts as missing. The station list (stations.txt: STAID, STANAME, CN, LAT, LON,
HGHT, coordinates as degrees:minutes:seconds) may be given with the series to name and
place the stations."""

import csv
import datetime
import re

from ..faults import BadInput
from ..observations import Observation, Series, StationFacts, checked, checked_coordinate
from .text import bounded_lines, number, open_text

ELEMENTS = {"TG": "mean", "TX": "maximum", "TN": "minimum", "RR": "precipitation"}
MISSING = -9999
SERIES_HEADER = re.compile(r"\s*STAID\s*,\s*SOUID\s*,\s*DATE\s*,\s*(\w+)\s*,\s*Q_(\w+)\s*")
STATIONS_HEADER = re.compile(r"\s*STAID\s*,\s*STANAME\s*,\s*CN\s*,\s*LAT\s*,\s*LON\s*,\s*HGHT\s*")
NAMED_IN_HEADER = re.compile(r"blended series of station (.+?) \(STAID: *(\d+)\)")


def recognises(lines):
    return any(SERIES_HEADER.fullmatch(line) or STATIONS_HEADER.fullmatch(line) for line in lines)


def is_station_list(path):
    with open_text(path) as file:
        return any(STATIONS_HEADER.fullmatch(line.rstrip("\r\n")) for line, _ in zip(bounded_lines(file, path),
                                                                                       range(60)))


def degrees(text, where):
    """+56:52:00 as decimal degrees."""
    sign = -1.0 if text.strip().startswith("-") else 1.0
    try:
        parts = [float(part) for part in text.strip().lstrip("+-").split(":")]
    except ValueError:
        raise BadInput(f'{where}: "{text.strip()}" is not degrees:minutes:seconds') from None
    return sign * sum(part / 60.0 ** power for power, part in enumerate(parts))


def station_list(path):
    """What stations.txt says of each station, by STAID; a station listed twice must be
    listed the same both times."""
    facts, lines_of = {}, {}
    with open_text(path) as file:
        lines = bounded_lines(file, path)
        header = 0
        for header, line in enumerate(lines, start=1):
            if STATIONS_HEADER.fullmatch(line.rstrip("\r\n")):
                break
        rows = csv.reader(lines)
        try:
            for row in rows:
                if len(row) < 6:
                    continue
                key, line = row[0].strip(), header + rows.line_num
                where = f"{path}: station {key}"
                station = StationFacts(
                    checked_coordinate(degrees(row[3], where), "latitude", where),
                    checked_coordinate(degrees(row[4], where), "longitude", where),
                    checked_coordinate(number(row[5], f"{where}, HGHT"), "elevation", where), row[1].strip(), key)
                if key in facts and facts[key] != station:
                    raise BadInput(f"{path}: line {lines_of[key]} and line {line} both list station {key}, "
                                   "with different names, coordinates or heights")
                facts.setdefault(key, station)
                lines_of.setdefault(key, line)
        except csv.Error as error:
            raise BadInput(f"{path}: line {header + rows.line_num + 1}: {error}") from error
    return facts


def read(path, options):
    del options  # tenths of deg C and mm, whatever the user's units
    with open_text(path) as file:
        lines = bounded_lines(file, path)
        name = None
        for line_number, line in enumerate(lines, start=1):
            header = SERIES_HEADER.fullmatch(line.rstrip("\r\n"))
            named = NAMED_IN_HEADER.search(line)
            if named:
                name = named.group(1).strip()
            if header:
                break
        else:
            raise BadInput(f"{path}: no line STAID, SOUID, DATE, <element>, Q_<element>")
        code = header.group(1)
        reading = ELEMENTS.get(code)
        if reading is None or header.group(2) != code:
            raise BadInput(f"{path}: line {line_number}: {code} is not TG, TX, TN or RR")
        stations = {}
        for line_number, line in enumerate(lines, start=line_number + 1):
            if not line.strip():
                continue
            where = f"{path}: line {line_number}"
            cells = [cell.strip() for cell in line.split(",")]
            try:
                key, date, tenths, quality = cells[0], cells[2], int(cells[3]), int(cells[4])
                day = datetime.datetime.strptime(date, "%Y%m%d").date()
            except (ValueError, IndexError):
                raise BadInput(f"{where}: is not STAID, SOUID, DATE (YYYYMMDD), {code} and Q_{code}") from None
            value = None if tenths == MISSING or quality in (1, 9) else tenths / 10.0
            value = checked(value, reading, True, f"{where}, column {code}")
            series = stations.setdefault(key, Series("ecad", True, [path], {reading}, StationFacts(name=name, id=key)))
            series.observations.append(Observation(where, day, {reading: value}))
        if not stations:
            raise BadInput(f"{path}: holds no records")
        return list(stations.values())
