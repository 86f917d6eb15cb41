"""Environment and Climate Change Canada's climate data CSV, daily or monthly, as its bulk
download writes it: one file per station and year (or month), given together and joined
by date. Quoted columns "Longitude (x)", "Latitude (y)", "Station Name", "Climate ID",
"Date/Time" (YYYY-MM-DD, or YYYY-MM monthly), the values in deg C and mm ("Max Temp
(°C)", "Min Temp (°C)", "Mean Temp (°C)", "Total Precip (mm)"; monthly "Mean Max Temp
(°C)", ...), each with its flag column ("Max Temp Flag"). Flag M (missing), A and F
(accumulated over several days), C and L (amount uncertain) and ^ (taken over incomplete
data) count as missing; T is a trace (0); E is estimated, kept and counted."""

import re

from . import table

LAYOUT = table.Layout("eccc", {
    "date": ("DATE/TIME",),
    "mean": ("MEAN TEMP (°C)",),
    "maximum": ("MAX TEMP (°C)", "MEAN MAX TEMP (°C)"),
    "minimum": ("MIN TEMP (°C)", "MEAN MIN TEMP (°C)"),
    "precipitation": ("TOTAL PRECIP (MM)",),
    "latitude": ("LATITUDE (Y)",),
    "longitude": ("LONGITUDE (X)",),
    "name": ("STATION NAME",),
    "id": ("CLIMATE ID",),
}, flag_column=lambda name: re.sub(r"\s*\([^)]*\)$", "", name) + " Flag",
    flag=lambda value, flags, reading, daily: flag_of(value, flags[0], reading), units_told=False)
MISSING_FLAGS = set("MAFCL^")


def flag_of(value, flag, reading):
    if flag in MISSING_FLAGS:
        return None, None, False
    if flag == "T" and reading == "precipitation":
        return 0.0, None, False
    return value, None, flag == "E" and value is not None


def recognises(lines):
    header = lines[0].upper() if lines else ""
    return '"CLIMATE ID"' in header and '"DATE/TIME' in header


def read(path, options):
    return table.read(path, options, LAYOUT)
