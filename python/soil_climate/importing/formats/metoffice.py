"""The Met Office's historic station data text: the station's name, a location line with
Lat and Lon (and the height in metres amsl), notes, the column header
`yyyy mm tmax tmin af rain sun` over a line of units (degC, mm), then one month per line.
`---` is missing; a trailing `*` marks an estimated value (kept, and counted), `#` a
sunshine instrument; a closing `Provisional` is read like any other month. The month's
mean temperature is the mean of tmax and tmin."""

import datetime
import re

from ..faults import BadInput
from ..observations import Observation, Series, StationFacts, checked, checked_coordinate
from .text import bounded_lines, number, open_text

HEADER = re.compile(r"\s*yyyy\s+mm\s+tmax\s+tmin\s+.*\brain\b.*")
LOCATION = re.compile(r"Lat\s*:?\s*(-?\d+(?:\.\d+)?)\s*,?\s*Lon\s*:?\s*(-?\d+(?:\.\d+)?)", re.IGNORECASE)
HEIGHT = re.compile(r"(\d+(?:\.\d+)?)\s*m(?:etres|etre|eters|)?\s+amsl", re.IGNORECASE)
READINGS = {"tmax": "maximum", "tmin": "minimum", "rain": "precipitation"}


def recognises(lines):
    return any(HEADER.fullmatch(line) for line in lines)


def read(path, options):
    del options  # deg C and mm
    with open_text(path) as file:
        lines = bounded_lines(file, path)
        facts = StationFacts()
        for number_, line in enumerate(lines, start=1):
            text = line.strip()
            if facts.name is None and text:
                facts.name = text
            place = LOCATION.search(text)
            if place:
                # A station that moved lists each site; the last is where it stands now.
                where = f"{path}: line {number_}"
                facts.latitude = checked_coordinate(float(place.group(1)), "latitude", where)
                facts.longitude = checked_coordinate(float(place.group(2)), "longitude", where)
                height = HEIGHT.search(text)
                facts.elevation = checked_coordinate(float(height.group(1)), "elevation", where) if height else None
            if HEADER.fullmatch(text):
                columns = text.split()
                break
        else:
            raise BadInput(f"{path}: no column header yyyy mm tmax tmin af rain sun")
        next(lines, None)  # the line of units
        series = Series("metoffice", False, [path], set(READINGS.values()), facts)
        for number_, line in enumerate(lines, start=number_ + 2):
            cells = line.split()
            if not cells or not cells[0][0].isdigit():
                continue  # a note such as "Site closed"
            where = f"{path}: line {number_}"
            if len(cells) < len(columns) - 1:
                raise BadInput(f"{where}: holds {len(cells)} values, not the {len(columns)} of the column header")
            try:
                month = datetime.date(int(cells[0]), int(cells[1]), 1)
            except ValueError:
                raise BadInput(f'{where}: "{cells[0]} {cells[1]}" is not a year and a month') from None
            values, estimated = {}, set()
            for column, reading in READINGS.items():
                text = cells[columns.index(column)] if columns.index(column) < len(cells) else "---"
                if text.endswith("*"):
                    estimated.add(reading)
                value = number(text.rstrip("*#"), f"{where}, column {column}")
                values[reading] = checked(value, reading, False, f"{where}, column {column}")
            series.observations.append(Observation(where, month, values, estimated=frozenset(estimated)))
        if not series.observations:
            raise BadInput(f"{path}: holds no records")
        return [series]
