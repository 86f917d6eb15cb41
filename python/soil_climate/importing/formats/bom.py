"""The Bureau of Meteorology's daily CSV: one element per file (rainfall, maximum or
minimum temperature), one row per day, with the station number, the value in mm or deg C,
the days it was gathered over and a quality letter. Quality Y (checked and acceptable)
and N (not yet checked) are kept; any other letter marks a value judged wrong, suspect or
inconsistent, which counts as missing. A rainfall amount gathered over N > 1 days is
added on the day reported and covers those N days; a temperature over more than one day
is the extreme of several days, not of that day, and counts as missing."""

import csv
import datetime

from ..faults import BadInput
from ..observations import Observation, Series, StationFacts, checked
from .text import bounded_lines, number, open_text

HEADER_START = "Product code,Bureau of Meteorology station number,Year,Month,Day,"
ELEMENT_COLUMNS = (("Rainfall amount", "precipitation"), ("Maximum temperature", "maximum"),
                   ("Minimum temperature", "minimum"))
KEPT_QUALITY = {"Y", "N", ""}
# The most days one value may be gathered over: a year, leap or not. A longer period (a
# rain gauge read once after years unattended) says nothing of any month.
LONGEST_PERIOD = 366


def recognises(lines):
    return bool(lines) and lines[0].startswith(HEADER_START)


def read(path, options):
    del options  # the Bureau's files are metric and say where they come from
    with open_text(path) as file:
        rows = csv.reader(bounded_lines(file, path))
        try:
            header = next(rows, None)
        except csv.Error as error:
            raise BadInput(f"{path}: line 1: {error}") from error
        if header is None:
            raise BadInput(f"{path}: holds no header row")
        if len(header) < 8:
            raise BadInput(f"{path}: line 1 holds {len(header)} cells, not the 8 of the Bureau of Meteorology's "
                           f"header ({HEADER_START}<element>,<period>,Quality)")
        reading = next((reading for start, reading in ELEMENT_COLUMNS if header[5].startswith(start)), None)
        if reading is None:
            raise BadInput(f'{path}: line 1: "{header[5]}" is not rainfall, maximum or minimum temperature')
        stations = {}
        try:
            for row in rows:
                if not any(cell.strip() for cell in row):
                    continue
                line = rows.line_num
                where = f"{path}: line {line}"
                if len(row) < 8:
                    raise BadInput(f"{where}: holds {len(row)} cells, not the 8 of the header")
                key = row[1].strip()
                try:
                    day = datetime.date(int(row[2]), int(row[3]), int(row[4]))
                except ValueError:
                    raise BadInput(f'{where}: "{row[2]}-{row[3]}-{row[4]}" is not a year, a month and a day') \
                        from None
                value = number(row[5], f"{where}, column {header[5]}")
                period = number(row[6], f"{where}, column {header[6]}")
                covers = 1 if period is None else int(period)
                if period is not None and (covers != period or covers < 1):
                    raise BadInput(f'{where}, column {header[6]}: "{row[6]}" is not a number of days')
                if covers > LONGEST_PERIOD:
                    raise BadInput(f'{where}, column {header[6]}: "{row[6]}" days is longer than the '
                                   f"{LONGEST_PERIOD} days a value may be gathered over")
                if row[7].strip() not in KEPT_QUALITY or (covers > 1 and reading != "precipitation"):
                    value = None
                value = checked(value, reading, True, f"{where}, column {header[5]}")
                series = stations.setdefault(key, Series("bom", True, [path], {reading}, StationFacts(id=key)))
                series.observations.append(Observation(where, day, {reading: value},
                                                       covers=covers if reading == "precipitation" else 1))
        except csv.Error as error:
            raise BadInput(f"{path}: line {rows.line_num + 1}: {error}") from error
        if not stations:
            raise BadInput(f"{path}: holds no records")
        return list(stations.values())
