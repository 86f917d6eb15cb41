"""NOAA's Global Historical Climatology Network daily (GHCN-Daily), in both of its station
layouts: the fixed-width `.dly` file, one line a station, month and element (ID in
columns 1-11, year 12-15, month 16-17, element 18-21, then 31 days of a 5-character value
and three flags: measurement, quality, source), and the `by_station` CSV without a header
(ID, YYYYMMDD, element, value, measurement, quality and source flags, time). TMAX, TMIN
and TAVG are in tenths of deg C, PRCP in tenths of mm; other elements are passed over.
-9999 is missing; a quality flag marks a value that failed a check, which counts as
missing; measurement flag T is a trace (0) and P ("missing, presumed zero") is missing.
The latitude is given with --latitude, or read from ghcnd-stations.txt given beside."""

import calendar
import csv
import datetime
import re

from ..faults import BadInput
from ..observations import Observation, Series, StationFacts, checked
from .text import bounded_lines, open_text, record_lines

ELEMENTS = {"TMAX": "maximum", "TMIN": "minimum", "TAVG": "mean", "PRCP": "precipitation"}
DLY = re.compile(r"[A-Z0-9]{11}\d{6}[A-Z0-9]{4}[ 0-9-]{5}.{3}.*")
DLY_WIDTH = 21 + 31 * 8
BY_STATION = re.compile(r"[A-Z0-9]{11},\d{8},[A-Z0-9]{4},-?\d+,.*")


def recognises(lines):
    return bool(lines) and ((DLY.fullmatch(lines[0]) is not None and len(lines[0]) <= DLY_WIDTH)
                            or BY_STATION.fullmatch(lines[0]) is not None)


def value_of(text, measurement, quality, element, where):
    """One day's value of an element in deg C or mm, or None."""
    try:
        tenths = int(text)
    except ValueError:
        raise BadInput(f'{where}: "{text.strip()}" is not a whole number of tenths') from None
    if tenths == -9999 or quality.strip() or measurement == "P":
        return None
    if measurement == "T" and element == "PRCP":
        return 0.0
    return checked(tenths / 10.0, ELEMENTS[element], True, where)


class Stations:
    """The days of each station as they are read, an element at a time."""

    def __init__(self, path):
        self.path, self.series, self.days, self.given = path, {}, {}, {}

    def add(self, key, day, element, value, where):
        series = self.series.setdefault(key, Series("ghcnd", True, [self.path], set(), StationFacts(id=key)))
        series.readings.add(ELEMENTS[element])
        first = self.given.get((key, day, element))
        if first is not None:
            raise BadInput(f"{first} and {where.rsplit(': ', 1)[-1]} both give {element} of station {key} on {day}")
        self.given[key, day, element] = where
        observation = self.days.get((key, day))
        if observation is None:
            observation = self.days[key, day] = Observation(where, day, {})
            series.observations.append(observation)
        observation.values[ELEMENTS[element]] = value

    def found(self):
        if not self.series:
            raise BadInput(f"{self.path}: holds no records of TMAX, TMIN, TAVG or PRCP")
        return list(self.series.values())


def read_dly(path, lines, stations):
    for where, line in record_lines(path, lines):
        if not DLY.fullmatch(line) or len(line) > DLY_WIDTH:
            raise BadInput(f"{where}: is not a line of a .dly file (ID, year, month, element and 31 days)")
        key, year, month, element = line[:11], int(line[11:15]), int(line[15:17]), line[17:21]
        if element not in ELEMENTS:
            continue
        if not 1 <= month <= 12:
            raise BadInput(f'{where}: "{line[11:17]}" is not a year and a month')
        line = line.ljust(DLY_WIDTH)
        for day in range(1, calendar.monthrange(year, month)[1] + 1):
            start = 21 + 8 * (day - 1)
            value = value_of(line[start:start + 5], line[start + 5], line[start + 6], element,
                             f"{where}, {element} day {day}")
            stations.add(key, datetime.date(year, month, day), element, value, f"{where}, day {day}")


def read_by_station(path, lines, stations):
    rows = csv.reader(lines)
    for row in rows:
        if not any(cell.strip() for cell in row):
            continue
        where = f"{path}: line {rows.line_num}"
        if len(row) < 6:
            raise BadInput(f"{where}: holds {len(row)} cells, not ID, date, element, value and flags")
        key, date, element = row[0].strip(), row[1].strip(), row[2].strip()
        if element not in ELEMENTS:
            continue
        try:
            day = datetime.datetime.strptime(date, "%Y%m%d").date()
        except ValueError:
            raise BadInput(f'{where}: "{date}" is not a date (YYYYMMDD)') from None
        value = value_of(row[3], row[4].strip(), row[5], element, f"{where}, {element}")
        stations.add(key, day, element, value, where)


def read(path, options):
    del options  # tenths of deg C and mm, whatever the user's units
    with open_text(path) as file:
        lines = bounded_lines(file, path)
        first = next(lines, "")
        stations = Stations(path)
        reader = read_by_station if BY_STATION.fullmatch(first.rstrip("\r\n")) else read_dly
        reader(path, [first, *lines] if first else [], stations)
        return stations.found()
