"""Writing a station folder that run_station reads as it is: the parameter record, the
monthly files in deg F and inches, and the import report."""

import csv
import io
import math
import os
import pathlib

from .. import _model
from .faults import BadInput

# The importer's options for the soil temperature parameters, by the parameter file's names.
PARAMETER_OPTIONS = {"soil_temp_offset": "--soil-temp-offset", "amplitude_factor": "--amplitude-factor",
                     "phase_shift": "--phase-shift"}


def parameters_of(arguments, facts, csv_path):
    """The parameter record, checked as run_station checks it."""
    latitude = arguments.latitude if arguments.latitude is not None else facts.latitude
    if latitude is None:
        raise BadInput(f"{csv_path}: no LATITUDE column: give the station's latitude with --latitude")
    if not math.isfinite(latitude) or not -90.0 <= latitude <= 90.0:
        raise BadInput(f"--latitude {latitude:g} lies outside -90 to 90")
    name = arguments.name or facts.name or pathlib.Path(csv_path).stem
    name = "_".join(name.split())
    if not name:
        raise BadInput("--name: the station's name is empty")
    capacity_in = arguments.capacity_in if arguments.capacity_in is not None else arguments.capacity_mm / 25.4
    hemisphere = "S" if latitude < 0.0 else "N"
    phase_shift = arguments.phase_shift if arguments.phase_shift is not None else (90.0 if hemisphere == "S" else 0.0)
    # run_station reads the capacity in inches and converts it to mm as it reads it.
    problem = _model.check_station(abs(latitude), hemisphere, capacity_in * 25.4, arguments.soil_temp_offset,
                                   arguments.amplitude_factor, phase_shift)
    if problem is not None:
        field, value, low, high = problem["field"], problem["value"], problem["lowest"], problem["highest"]
        if field == "water_holding_capacity":
            raise BadInput(f"the water-holding capacity must lie from {low:.15g} to {high:.15g} mm")
        raise BadInput(f"{PARAMETER_OPTIONS.get(field, field)} {value:g} lies outside {low:g} to {high:g}")
    fields = (abs(latitude), hemisphere, capacity_in, arguments.soil_temp_offset, arguments.amplitude_factor,
              phase_shift, name)
    return " ".join(repr(float(value)) if isinstance(value, float) else value for value in fields) + "\n"


def monthly_files(outcomes):
    """monthly_T (deg F) and monthly_P (inches): every value with all the digits its double
    holds, so that nothing is rounded away on the way."""
    temperature, precipitation = [], []
    for result in outcomes:
        if result.values is None:
            continue
        temperature.append(" ".join([str(result.year)] + [repr(t * 9.0 / 5.0 + 32.0)
                                                          for t in result.values["temperature"]]))
        precipitation.append(" ".join([str(result.year)] + [repr(p / 25.4) for p in result.values["precipitation"]]))
    return "\n".join(temperature) + "\n", "\n".join(precipitation) + "\n"


def csv_text(rows):
    text = io.StringIO()
    csv.writer(text, lineterminator="\n").writerows(rows)
    return text.getvalue()


def write_station(folder, files, force):
    """Writes the folder's files, each under a temporary name first, then renamed."""
    folder = pathlib.Path(folder)
    temporary = {}
    existing = [name for name in ("monthly_T", "monthly_P", "parameter") if (folder / name).exists()]
    if existing and not force:
        raise BadInput(f"{folder}: already holds a station's {', '.join(existing)}; give --force to replace them")
    try:
        folder.mkdir(parents=True, exist_ok=True)
        for name, text in files.items():
            temporary[name] = folder / f".{name}.station_import-{os.getpid()}"
            temporary[name].write_text(text, encoding="utf-8", newline="\n")
        for name, path in temporary.items():
            os.replace(path, folder / name)
    except OSError as error:
        for path in temporary.values():
            path.unlink(missing_ok=True)
        raise BadInput(f"{folder}: cannot be written: {error.strerror}") from error
