"""The archives' file formats: each recognised from its first lines, or chosen with
--format, and read into one Series per station found. A compressed file is read
decompressed, and each member of a zip archive as a file of its own."""

from ..faults import BadInput
from ..months import months_of
from ..observations import check_elements, join, put_in_order
from . import bom, dwd, ecad, eccc, ghcnd, ghcnm, meteostat, metoffice, table
from .compressed import expanded
from .text import first_lines

# In the order they are tried; a plain table is what is left.
FORMATS = {"bom": bom, "ecad": ecad, "metoffice": metoffice, "ghcnd": ghcnd, "ghcnm": ghcnm, "meteostat": meteostat,
           "dwd": dwd, "eccc": eccc, "ncei": table, "csv": table}


def format_of(path, told):
    if told:
        return told
    lines = first_lines(path)
    for name, module in FORMATS.items():
        if module is not table and module.recognises(lines):
            return name
    return "ncei" if lines and table.is_ncei(lines[0]) else "csv"


def is_station_list(path, name):
    module = FORMATS[name]
    return hasattr(module, "is_station_list") and module.is_station_list(path)


def read_stations(paths, options):
    """Every station the files hold: each file read in its format, each station's rows put
    in date order, and the files of one station joined by date; each station's rows then
    added up into months, and the rows let go. A single table of many stations, each one's
    rows together as the archives list them, is read one station at a time, so that only
    one station's rows are held at once."""
    paths = expanded(paths)
    kinds = []
    for path in paths:
        name = format_of(path, options.format)
        kinds.append((path, name, is_station_list(path, name)))
    records = [path for path, _, listing in kinds if not listing]
    one_table = len(records) == 1 and FORMATS[kinds[paths.index(records[0])][1]] is table
    parts, station_lists, stations = [], [], None
    for path, name, listing in kinds:
        if listing:
            station_lists.append(FORMATS[name].station_list(path))
        elif one_table:
            try:
                stations = [settled(put_in_order(series))
                            for series in table.stations_of(path, options, one_at_a_time=True)]
            except table.Interleaved:
                parts = [put_in_order(series) for series in table.read(path, options)]  # read again, whole
        else:
            parts += [put_in_order(series) for series in FORMATS[name].read(path, options)]
    if stations is None:
        if not parts:
            raise BadInput(f"{', '.join(paths)}: a station list but no series of records")
        stations = [settled(series) for series in join(parts)]
    for series in stations:
        for known in station_lists:
            if series.facts.id in known:
                # The station list names and places a station better than a series' header.
                facts = known[series.facts.id]
                facts.learn(series.facts)
                series.facts = facts
    return stations


def precipitation_of(path, options):
    """The months of precipitation of the one station that the file (or the files of a zip
    archive) holds, for a station whose own records carry temperature only."""
    parts = []
    for member in expanded([path]):
        parts += [put_in_order(series) for series in FORMATS[format_of(member, None)].read(member, options)]
    stations = join(parts)
    if len(stations) != 1:
        raise BadInput(f"--precipitation {path}: holds {len(stations)} stations, not one")
    if "precipitation" not in stations[0].readings:
        raise BadInput(f"--precipitation {path}: holds no precipitation")
    return settled(stations[0])


def settled(series):
    """The series with its months, its rows let go."""
    series.records = months_of(series)
    series.observations = []
    return series


def checked_elements(stations):
    for series in stations:
        check_elements(series)
    return stations
