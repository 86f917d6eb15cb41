"""NOAA's Global Historical Climatology Network monthly, version 4 (GHCN-M): the
fixed-width `.dat` file, one line a station, year and element (ID in columns 1-11, year
12-15, element 16-19: TAVG, TMAX or TMIN, then 12 months of a 5-character value in
hundredths of deg C and three flags: DMFLAG, QCFLAG, DSFLAG), with its `.inv` station
list (ID, latitude, longitude, elevation, name) given beside. -9999 is missing; a quality
(QCFLAG) letter marks a value that failed a check, which counts as missing; DMFLAG a to
i is the number of days (1 to 9) the month's mean lacks. GHCN-M holds temperature only:
the precipitation comes from another file, given with --precipitation. The station lists
of GHCN-M (.inv) and GHCN-Daily (ghcnd-stations.txt, whose name follows a state code)
are read here for both."""

import datetime
import re

from ..faults import BadInput
from ..observations import Observation, Series, StationFacts, checked, checked_coordinate
from .text import bounded_lines, open_text, record_lines

ELEMENTS = {"TAVG": "mean", "TMAX": "maximum", "TMIN": "minimum"}
DAT = re.compile(r"[A-Z0-9]{11}\d{4}(TAVG|TMAX|TMIN)[ 0-9-]{5}.*")
DAT_WIDTH = 19 + 12 * 8
STATION = re.compile(r"[A-Z0-9]{11} +-?\d+(\.\d+)? +-?\d+(\.\d+)? +-?\d+(\.\d+)? .*")
# ghcnd-stations.txt: a line of 85 columns, the name in columns 42-71; GHCN-M's .inv:
# the name from column 39.
DAILY_LIST_WIDTH = 72


def recognises(lines):
    return bool(lines) and (DAT.fullmatch(lines[0]) is not None or STATION.fullmatch(lines[0]) is not None)


def is_station_list(path):
    with open_text(path) as file:
        first = next(bounded_lines(file, path), "").rstrip("\r\n")
    return STATION.fullmatch(first) is not None and DAT.fullmatch(first) is None


def station_list(path):
    facts = {}
    with open_text(path) as file:
        for where, line in record_lines(path, bounded_lines(file, path)):
            if not STATION.fullmatch(line):
                raise BadInput(f"{where}: is not a station of a GHCN station list (ID, latitude, longitude, "
                               "elevation, name)")
            key, latitude, longitude, elevation = line.split()[:4]
            name = (line[41:71] if len(line) >= DAILY_LIST_WIDTH else line[38:]).strip()
            facts[key] = StationFacts(checked_coordinate(float(latitude), "latitude", where),
                                      checked_coordinate(float(longitude), "longitude", where),
                                      None if float(elevation) == -999.9 else
                                      checked_coordinate(float(elevation), "elevation", where),
                                      name or None, key)
    return facts


def read(path, options):
    # Hundredths of deg C, whatever the user's units. The archive's file holds every
    # station of the world: with --station naming an identifier, only its lines are kept.
    wanted = getattr(options, "station", None)
    wanted = wanted if wanted and re.fullmatch(r"[A-Z0-9]{11}", wanted) else None
    stations, given = {}, {}
    with open_text(path) as file:
        for where, line in record_lines(path, bounded_lines(file, path)):
            if not DAT.fullmatch(line) or len(line) > DAT_WIDTH:
                raise BadInput(f"{where}: is not a line of a GHCN-M .dat file (ID, year, element and 12 months)")
            key, year, element = line[:11], int(line[11:15]), line[15:19]
            if wanted and key != wanted:
                continue
            if (key, year, element) in given:
                raise BadInput(f"{given[key, year, element]} and {where.rsplit(': ', 1)[-1]} both give {element} of "
                               f"station {key} in {year}")
            given[key, year, element] = where
            reading = ELEMENTS[element]
            series = stations.setdefault(key, Series("ghcnm", False, [path], set(), StationFacts(id=key)))
            series.readings.add(reading)
            line = line.ljust(DAT_WIDTH)
            for month in range(1, 13):
                start = 19 + 8 * (month - 1)
                text, days, quality = line[start:start + 5], line[start + 5], line[start + 6]
                try:
                    hundredths = int(text)
                except ValueError:
                    raise BadInput(f'{where}, month {month}: "{text.strip()}" is not a whole number of '
                                   "hundredths") from None
                value = None if hundredths == -9999 or quality.strip() else hundredths / 100.0
                value = checked(value, reading, False, f"{where}, month {month}")
                missing = {reading: ord(days) - ord("a") + 1} if "a" <= days <= "i" else {}
                series.observations.append(Observation(f"{where}, month {month}", datetime.date(year, month, 1),
                                                       {reading: value}, missing))
    if not stations:
        raise BadInput(f"--station {wanted}: no such station in {path}" if wanted else f"{path}: holds no records")
    for series in stations.values():
        merge_elements(series)
    return list(stations.values())


def merge_elements(series):
    """One observation a month from the lines of each element."""
    months = {}
    for observation in series.observations:
        mine = months.setdefault(observation.date, Observation(observation.where, observation.date, {}))
        mine.values.update(observation.values)
        mine.missing_days.update(observation.missing_days)
    series.observations = list(months.values())
