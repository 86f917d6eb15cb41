"""The German Weather Service's (DWD) Climate Data Center station tables: monthly
`produkt_klima_monat_*.txt` (STATIONS_ID;MESS_DATUM_BEGINN;...;MO_TT;...;MO_RR;eor, each
month dated by its first day, YYYYMMDD) and daily `produkt_klima_tag_*.txt`
(MESS_DATUM, TMK, TXK, TNK, RSK), ";" between cells, deg C and mm, -999 missing. The
quality columns (QN_4, QN_6, ...) tell how far a value was checked, not that it failed, so
every value is kept. The station list that the archive's zip holds beside the table,
`Metadaten_Geographie_*.txt` (Stations_id;Stationshoehe;Geogr.Breite;Geogr.Laenge;
von_datum;bis_datum;Stationsname), names and places the station: its last row, where the
station stands now."""

import csv
import io

from ..faults import BadInput
from ..observations import StationFacts, checked_coordinate
from . import table
from .compressed import open_bytes
from .text import LONGEST_LINE, first_lines, number

LAYOUT = table.Layout("dwd", {
    "date": ("MESS_DATUM_BEGINN", "MESS_DATUM"),
    "mean": ("MO_TT", "TMK"),
    "maximum": ("TXK",),
    "minimum": ("TNK",),
    "precipitation": ("MO_RR", "RSK"),
    "id": ("STATIONS_ID",),
}, units_told=False)
GEOGRAPHY = ("stations_id", "stationshoehe", "geogr.breite", "geogr.laenge")


def header_cells(line):
    return [cell.strip().lower() for cell in line.split(";")]


def recognises(lines):
    cells = header_cells(lines[0]) if lines else []
    return cells[:4] == list(GEOGRAPHY) or (cells[:1] == ["stations_id"] and
                                            ("mess_datum" in cells or "mess_datum_beginn" in cells))


def is_station_list(path):
    return header_cells((first_lines(path, 1) or [""])[0])[:4] == list(GEOGRAPHY)


def station_list(path):
    facts = {}
    with open_bytes(path) as file:
        data = file.read(LONGEST_LINE + 1)
    if len(data) > LONGEST_LINE:
        raise BadInput(f"{path}: is longer than {LONGEST_LINE:,} bytes; the file is not a list of stations")
    try:
        text = data.decode("utf-8-sig")
    except UnicodeDecodeError:
        text = data.decode("latin-1")
    rows = csv.reader(io.StringIO(text, newline=""), delimiter=";")
    next(rows, None)
    for row in rows:
        if len(row) < 7 or not row[0].strip():
            continue
        where = f"{path}: line {rows.line_num}"
        key = row[0].strip()
        facts[key] = StationFacts(
            checked_coordinate(number(row[2], f"{where}, Geogr.Breite"), "latitude", where),
            checked_coordinate(number(row[3], f"{where}, Geogr.Laenge"), "longitude", where),
            checked_coordinate(number(row[1], f"{where}, Stationshoehe"), "elevation", where),
            row[6].strip() or None, key)
    if not facts:
        raise BadInput(f"{path}: lists no station")
    return facts


def read(path, options):
    return table.read(path, options, LAYOUT)
