"""The archives' file formats: each recognised from its first lines, or chosen with
--format, and read into one Series per station found."""

from ..faults import BadInput
from ..observations import check_elements, join, put_in_order
from . import bom, ecad, metoffice, table
from .text import first_lines

# In the order they are tried; a plain table is what is left.
FORMATS = {"bom": bom, "ecad": ecad, "metoffice": metoffice, "ncei": table, "csv": table}


def format_of(path, told):
    if told:
        return told
    lines = first_lines(path)
    for name, module in FORMATS.items():
        if module is not table and module.recognises(lines):
            return name
    return "ncei" if lines and table.is_ncei(lines[0]) else "csv"


def read_stations(paths, options):
    """Every station the files hold: each file read in its format, each station's rows put
    in date order, and the files of one station joined by date."""
    parts, station_lists = [], []
    for path in paths:
        name = format_of(path, options.format)
        if name == "ecad" and ecad.is_station_list(path):
            station_lists.append(ecad.station_list(path))
            continue
        parts += [put_in_order(series) for series in FORMATS[name].read(path, options)]
    if not parts:
        raise BadInput(f"{', '.join(paths)}: a station list but no series of records")
    stations = join(parts)
    for series in stations:
        for known in station_lists:
            if series.facts.id in known:
                # The station list names and places a station better than a series' header.
                facts = known[series.facts.id]
                facts.learn(series.facts)
                series.facts = facts
        check_elements(series)
    return stations
