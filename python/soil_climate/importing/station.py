"""Writing a station folder that run_station reads as it is: the parameter record, the
monthly files in deg F and inches, and the import report."""

import csv
import io
import math
import os
import pathlib
import re

from .. import _model
from ..parameters import default_of, option_of, with_defaults
from .faults import BadInput
from .gaps import MONTH_NAMES

# The parameter record's fields, in their fixed order: the latitude's magnitude, the
# hemisphere letter, the capacity in inches, the soil temperature parameters and the name.
# A parameter of the library's table that the record does not hold takes its default when
# run_station reads the record, and the importer checks it so.
RECORD_PARAMETERS = ("soil_temp_offset", "amplitude_factor", "phase_shift")

# The help of an option where it says more than the default ({} is the default's words).
OPTION_HELP = {"soil_temp_offset": "deg C added to the mean air temperature for the soil (default {})",
               "phase_shift": "days (default {}, where the soil is warmest in summer)"}


def record_parameters():
    """The parameters with a default that the record holds, each an option of the
    importer, in table order."""
    return tuple(parameter for parameter in with_defaults() if parameter.name in RECORD_PARAMETERS)


def inches_of(capacity_mm):
    """The capacity in inches as the parameter file holds it: capacity_mm / 25.4, unless
    run_station's conversion back (x 25.4) would then pass the largest capacity it takes,
    where the nearest double below keeps it within."""
    inches = capacity_mm / 25.4
    largest = _model.largest_capacity_mm
    if capacity_mm <= largest:
        while inches * 25.4 > largest:
            inches = math.nextafter(inches, 0.0)
    return inches


def clean_name(text):
    """A station's name as one word that is also a safe folder name: letters, digits, "_",
    "-" and "."; every run of other characters (blanks, commas, path separators) becomes
    one "_", and none begins or ends with "." or "_"."""
    return re.sub(r"[^\w.-]+", "_", text).strip("._")


def usable_name(*names):
    """The first of `names` that leaves a word when cleaned (a name such as ".." or "***"
    names no folder and no station), or None."""
    return next((name for name in names if name and clean_name(name)), None)


def name_of(arguments, facts, files):
    """The station's name: --name as given, else the first of the file's name, the
    identifier and the file's stem that cleans to a word."""
    if arguments.name:
        return arguments.name
    stem = pathlib.Path(re.sub(r"\.(gz|bz2|xz)$", "", os.path.basename(files[0]))).stem
    return usable_name(facts.name, facts.id, stem) or facts.name or facts.id or stem


def parameters_of(arguments, facts, files):
    """The parameter record, checked as run_station checks it."""
    latitude = arguments.latitude if arguments.latitude is not None else facts.latitude
    if latitude is None:
        raise BadInput(f"{', '.join(files)}: no latitude in the file: give the station's latitude with --latitude")
    if not math.isfinite(latitude) or not -90.0 <= latitude <= 90.0:
        raise BadInput(f"--latitude {latitude:g} lies outside -90 to 90")
    if not name_of(arguments, facts, files).isprintable():
        raise BadInput(f"--name: the station's name {name_of(arguments, facts, files)!r} holds a control character")
    name = clean_name(name_of(arguments, facts, files))
    if not name:
        raise BadInput("--name: the station's name is empty")
    if not name.isprintable():
        raise BadInput(f"--name: the station's name {name!r} holds a control character")
    if len(name.encode("utf-8")) > _model.longest_input_word:
        raise BadInput(f"--name: the station's name is longer than {_model.longest_input_word} bytes")
    capacity_in = arguments.capacity_in if arguments.capacity_in is not None else inches_of(arguments.capacity_mm)
    hemisphere = "S" if latitude < 0.0 else "N"
    chosen = {}
    for parameter in with_defaults():
        given = getattr(arguments, parameter.name) if parameter.name in RECORD_PARAMETERS else None
        chosen[parameter.name] = given if given is not None else default_of(parameter.name, hemisphere == "S")
    # run_station reads the capacity in inches and converts it to mm as it reads it.
    problem = _model.check_station(hemisphere, {"latitude": abs(latitude), "capacity_mm": capacity_in * 25.4,
                                                **chosen})
    if problem is not None:
        field, value, low, high = problem["field"], problem["value"], problem["lowest"], problem["highest"]
        if field == "water_holding_capacity":
            raise BadInput(f"the water-holding capacity must lie from {low:.15g} to {high:.15g} mm")
        shown = option_of(field) if field in RECORD_PARAMETERS else field
        raise BadInput(f"{shown} {value:g} lies outside {low:g} to {high:g}")
    fields = (abs(latitude), hemisphere, capacity_in, *(chosen[name] for name in RECORD_PARAMETERS), name)
    return " ".join(repr(float(value)) if isinstance(value, float) else value for value in fields) + "\n"


def phase_shift_doubt(parameter):
    """The warning for a southern station given a phase shift of 0 days, as run_station
    gives it, or None."""
    fields = parameter.split()
    if fields[1] == "S" and float(fields[5]) == 0.0:
        return _model.phase_shift_doubt()
    return None


def hemisphere_doubt(parameter, kept):
    """The library's warning for a station whose warmest months belong to the other
    hemisphere than its parameter record's letter, from the mean of its kept years."""
    hemisphere = parameter.split()[1]
    means = [sum(result.values["temperature"][m] for result in kept) / len(kept) for m in range(12)]
    return _model.hemisphere_doubt(hemisphere, means)


def day_length_notice(parameter):
    """The library's notice for a station beyond the latitudes of the day-length tables,
    from its parameter record, or None."""
    return _model.day_length_limit_notice(float(parameter.split()[0]))


def station_csv(arguments, series):
    """station.csv: what is known of the station beyond its records, for maps and tables
    (run_stations reads it): identifier, name as given, latitude, longitude, elevation (m),
    source format and source files (";" between them)."""
    facts = series.facts
    latitude = arguments.latitude if arguments.latitude is not None else facts.latitude
    values = (facts.id or "", name_of(arguments, facts, series.files), latitude, facts.longitude, facts.elevation,
              series.format, ";".join(os.path.basename(path) for path in series.files))
    return csv_text([("id", "name", "latitude", "longitude", "elevation", "source", "files"),
                     tuple("" if value is None else repr(value) if isinstance(value, float) else value
                           for value in values)])


def monthly_files(outcomes, source):
    """monthly_T (deg F) and monthly_P (inches): every value with all the digits its double
    holds, so that nothing is rounded away on the way, and each one that run_station takes
    (a month of daily rain may sum past what it accepts)."""
    files = {"monthly_T": [], "monthly_P": []}
    for result in outcomes:
        if result.values is None:
            continue
        for name, element, quantity, convert in (
                ("monthly_T", "temperature", "temperature_f", lambda t: t * 9.0 / 5.0 + 32.0),
                ("monthly_P", "precipitation", "precipitation_in", lambda p: p / 25.4)):
            texts = [repr(convert(value)) for value in result.values[element]]
            for number, text in enumerate(texts, start=1):
                problem = _model.check_monthly_value(float(text), quantity)
                if problem is not None:
                    raise BadInput(f"{source}: {result.year} {MONTH_NAMES[number - 1]}: the monthly {element} "
                                   f"{float(text):g} {problem['unit']} is not one that run_station takes "
                                   f"({problem['lowest']:g} to {problem['highest']:g} {problem['unit']}, "
                                   "no missing-value code)")
            files[name].append(" ".join([str(result.year)] + texts))
    return "\n".join(files["monthly_T"]) + "\n", "\n".join(files["monthly_P"]) + "\n"


def csv_text(rows):
    text = io.StringIO()
    csv.writer(text, lineterminator="\n").writerows(rows)
    return text.getvalue()


