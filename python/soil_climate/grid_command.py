"""soil_grid: a monthly climate grid in NetCDF simulated cell by cell into a CF NetCDF of
every field and regime, with a map of the most frequent regimes if asked. Run by the
command soil_grid; `soil_grid --help` lists the options."""

import argparse
import os
import shlex
import sys
import tempfile

import numpy as np

from . import grid

TEMPERATURE_NAMES = ("tas", "tmp", "tmean", "t2m", "air", "temperature")
PRECIPITATION_NAMES = ("pr", "pre", "precip", "prcp", "tp", "precipitation")

# Units as the archives write them, by what they mean.
TEMPERATURE_UNITS = {
    "celsius": ("degc", "deg_c", "°c", "c", "celsius", "degrees_celsius", "degree_celsius", "deg c", "degrees c"),
    "kelvin": ("k", "kelvin", "degk", "deg_k"),
    "fahrenheit": ("degf", "deg_f", "°f", "f", "fahrenheit", "degrees_fahrenheit"),
}
PRECIPITATION_UNITS = {
    "mm per month": ("mm", "mm/month", "mm month-1", "mm mon-1", "mm/mon", "millimeters", "millimetres",
                     "kg m-2", "kg/m2"),
    "mm per day": ("mm/day", "mm day-1", "mm d-1", "mm/d", "kg m-2 day-1", "kg m-2 d-1"),
    "kg m-2 s-1": ("kg m-2 s-1", "kg/m2/s", "kg.m-2.s-1", "mm/s", "mm s-1"),
    "m per month": ("m",),
}


class GridFault(Exception):
    """A fault in the input or the options: one line, and no file written."""


def options(argv):
    parser = argparse.ArgumentParser(
        prog="soil_grid",
        description="Simulates the soil water and soil temperature of every cell of a monthly climate grid "
                    "(NetCDF, dimensions time and latitude/longitude or y/x) and writes every field of every "
                    "year, the regimes and each cell's share of years in each regime to a CF NetCDF file.")
    parser.add_argument("input", metavar="INPUT.nc", help="the monthly climate")
    parser.add_argument("output", metavar="OUTPUT.nc", help="the file to write")
    parser.add_argument("--temperature-var", metavar="NAME", help=f"default: the first of {', '.join(TEMPERATURE_NAMES)}")
    parser.add_argument("--precipitation-var", metavar="NAME",
                        help=f"default: the first of {', '.join(PRECIPITATION_NAMES)}")
    parser.add_argument("--precipitation-file", metavar="FILE.nc", help="precipitation from a second file")
    capacity = parser.add_mutually_exclusive_group(required=True)
    capacity.add_argument("--capacity-mm", type=float, metavar="MM", help="the soil's water-holding capacity, mm")
    capacity.add_argument("--capacity", metavar="FILE.nc:VAR", help="a map of capacity in mm on the same grid")
    parser.add_argument("--soil-temp-offset", type=float, default=2.5, metavar="C", help="default 2.5")
    parser.add_argument("--amplitude-factor", type=float, default=0.66, metavar="F", help="default 0.66")
    parser.add_argument("--phase-shift", type=float, metavar="DAYS", help="default 0 in the north, 90 in the south")
    parser.add_argument("--years", metavar="FIRST:LAST", help="the years to simulate, e.g. 1981:2010")
    workers = parser.add_mutually_exclusive_group()
    workers.add_argument("--workers", type=int, metavar="N", help="run on a local Dask cluster of N workers")
    workers.add_argument("--scheduler", metavar="ADDRESS", help="run on the Dask cluster of this scheduler")
    parser.add_argument("--chunks", metavar="DIM=N,...", help="cells per block along spatial dimensions "
                        "(default: whole rows of 64 cells' height)")
    parser.add_argument("--map", metavar="FILE.png", help="also draw the most frequent regimes")
    return parser.parse_args(argv)


def _open(xarray, path, chunks=None):
    try:
        return xarray.open_dataset(path, chunks=chunks, use_cftime=True)
    except (OSError, ValueError) as error:
        raise GridFault(f"{path}: cannot be read as NetCDF: {error}") from None


def _variable(dataset, path, chosen, names, what):
    if chosen:
        if chosen not in dataset.data_vars:
            raise GridFault(f"{path}: no variable {chosen}")
        return dataset[chosen]
    for name in dataset.data_vars:
        if str(name).lower() in names:
            return dataset[name]
    raise GridFault(f"{path}: no {what} variable ({', '.join(names)}); name it with --{what}-var")


def _units_of(variable, path, table, element, known):
    """What the variable's units attribute means, from `table`; units it does not know are
    a fault, never a guess."""
    units = variable.attrs.get("units")
    text = " ".join(str(units).strip().lower().replace("**", "").split())
    for kind, spellings in table.items():
        if units is not None and text in spellings:
            return kind
    raise GridFault(f"{path}: variable {variable.name} has units {units!r}; {element} must be in {known}")


def to_celsius(variable, path):
    kind = _units_of(variable, path, TEMPERATURE_UNITS, "temperature", "degC, K or degF")
    if kind == "kelvin":
        return variable - 273.15
    if kind == "fahrenheit":
        return ((variable - 32.0) * 5.0) / 9.0
    return variable


def to_mm_per_month(variable, path):
    kind = _units_of(variable, path, PRECIPITATION_UNITS, "precipitation", "mm (a month), mm/day, kg m-2 s-1 or m")
    days = variable.time.dt.days_in_month
    if kind == "mm per day":
        return variable * days
    if kind == "kg m-2 s-1":
        return variable * (days * 86400.0)
    if kind == "m per month":
        return variable * 1000.0
    return variable


def _years(variable, text):
    if not text:
        return variable
    try:
        first, last = (int(part) for part in text.split(":"))
    except ValueError:
        raise GridFault(f'--years "{text}" is not FIRST:LAST, e.g. 1981:2010') from None
    years = variable.time.dt.year.values
    chosen = variable.isel(time=np.flatnonzero((years >= first) & (years <= last)))
    if chosen.sizes["time"] == 0:
        raise GridFault(f"--years {text}: the climate holds none of these years")
    return chosen


def _chunks(text, variable):
    spatial = [dim for dim in variable.dims if dim != "time"]
    if not text:
        return {dim: (64 if i == 0 else -1) for i, dim in enumerate(spatial)} | {"time": -1}
    chunks = {"time": -1}
    for part in text.split(","):
        name, _, size = part.partition("=")
        if name not in spatial or not size.isdigit() or int(size) < 1:
            raise GridFault(f'--chunks "{text}": give DIM=N for the spatial dimensions {", ".join(spatial)}')
        chunks[name] = int(size)
    return chunks


def run(arguments, command_line):
    xarray = grid._xarray()
    climate = _open(xarray, arguments.input)
    temperature = _variable(climate, arguments.input, arguments.temperature_var, TEMPERATURE_NAMES, "temperature")
    precipitation_source = arguments.precipitation_file or arguments.input
    precipitation_file = _open(xarray, precipitation_source) if arguments.precipitation_file else climate
    precipitation = _variable(precipitation_file, precipitation_source, arguments.precipitation_var,
                              PRECIPITATION_NAMES, "precipitation")
    temperature = to_celsius(_years(temperature, arguments.years), arguments.input)
    precipitation = to_mm_per_month(_years(precipitation, arguments.years), precipitation_source)
    if arguments.capacity:
        path, _, name = arguments.capacity.rpartition(":")
        if not path or not name:
            raise GridFault(f'--capacity "{arguments.capacity}" is not FILE.nc:VAR')
        capacity_file = _open(xarray, path)
        if name not in capacity_file.data_vars:
            raise GridFault(f"{path}: no variable {name}")
        capacity = capacity_file[name].squeeze(drop=True)
    else:
        capacity = arguments.capacity_mm

    # On a cluster, blocks of cells go to the workers; here, one call simulates every cell
    # on every core.
    distributed = arguments.workers is not None or arguments.scheduler is not None
    if distributed:
        chunks = _chunks(arguments.chunks, temperature)
        temperature = temperature.chunk(chunks)
        precipitation = precipitation.chunk(chunks)
    try:
        dataset = grid.simulate_grid(temperature, precipitation, units="metric", capacity_mm=capacity,
                                     soil_temp_offset=arguments.soil_temp_offset,
                                     amplitude_factor=arguments.amplitude_factor, phase_shift=arguments.phase_shift)
    except (ValueError, TypeError) as fault:
        raise GridFault(f"{arguments.input}: {fault}") from None
    name = climate.attrs.get("title") or os.path.basename(arguments.input)
    years = dataset.year.values
    capacity_text = f"{arguments.capacity_mm:g} mm" if arguments.capacity_mm is not None else arguments.capacity
    dataset.attrs.update({
        "Conventions": "CF-1.8",
        "title": f"Soil moisture and soil temperature regimes of {name}",
        "source": f"run_station's soil climate model over every cell of {os.path.basename(arguments.input)}",
        "history": command_line,
        "capacity": capacity_text,
        "soil_temp_offset": arguments.soil_temp_offset,
        "amplitude_factor": arguments.amplitude_factor,
        "phase_shift": "0 days in the north, 90 in the south" if arguments.phase_shift is None
        else arguments.phase_shift,
    })
    if distributed:
        dataset = _compute_on_cluster(dataset, arguments)
    else:
        dataset = _compute_here(dataset)
    write_netcdf(dataset, arguments.output)
    if arguments.map:
        from . import maps
        maps.draw_regime_maps(dataset, arguments.map,
                              f"{name}, {years[0]}-{years[-1]}, capacity {capacity_text}")


def _compute_here(dataset):
    if not any(variable.chunks for variable in dataset.data_vars.values()):
        return dataset
    if sys.stderr.isatty():
        from dask.diagnostics import ProgressBar
        with ProgressBar():
            return dataset.compute()
    return dataset.compute()


def _compute_on_cluster(dataset, arguments):
    try:
        from dask.distributed import Client, LocalCluster, progress
    except ImportError as missing:
        raise GridFault("--workers and --scheduler need Dask's distributed scheduler (Debian: "
                        "python3-distributed)") from missing
    if arguments.scheduler:
        client = Client(arguments.scheduler)
        cluster = None
    else:
        if arguments.workers < 1:
            raise GridFault(f"--workers {arguments.workers}: give 1 or more")
        cluster = LocalCluster(n_workers=arguments.workers, threads_per_worker=1, dashboard_address=None)
        client = Client(cluster)
    try:
        persisted = dataset.persist()
        if sys.stderr.isatty():
            progress(persisted)
        return persisted.compute()
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def write_netcdf(dataset, path):
    """Writes the Dataset compressed, with fill values for the cells and years not simulated,
    under a temporary name in the output's folder, renamed into place when complete."""
    counts = {field.name for field in grid.year_fields() if field.kind == "count"}
    encoding = {}
    for name, variable in dataset.data_vars.items():
        settings = {"zlib": True, "complevel": 1, "shuffle": True}
        if variable.dtype == np.int8:
            settings["_FillValue"] = np.int8(-1)
        elif name in counts:
            settings.update(dtype="int16", _FillValue=np.int16(-1))  # whole days, exactly
        elif variable.dtype.kind == "f":
            settings["_FillValue"] = np.nan
        encoding[name] = settings
    folder = os.path.dirname(os.path.abspath(path))
    descriptor, temporary = tempfile.mkstemp(prefix=".soil_grid-", suffix=".nc", dir=folder)
    mask = os.umask(0)
    os.umask(mask)
    os.fchmod(descriptor, 0o666 & ~mask)
    os.close(descriptor)
    try:
        dataset.to_netcdf(temporary, encoding=encoding, format="NETCDF4")
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv=None):
    arguments = options(argv)
    command_line = " ".join(shlex.quote(word) for word in ["soil_grid"] + (sys.argv[1:] if argv is None else argv))
    try:
        run(arguments, command_line)
    except GridFault as fault:
        print(f"soil_grid: {fault}", file=sys.stderr)
        return 1
    except ImportError as missing:
        print(f"soil_grid: {missing}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"soil_grid: {arguments.output}: cannot be written: {error.strerror or error}", file=sys.stderr)
        return 1
    return 0
