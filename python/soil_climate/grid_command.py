"""soil_grid: a monthly climate grid, from NetCDF files or monthly GeoTIFFs, simulated cell by
cell into a CF NetCDF of every field and regime, with GeoTIFFs and a map of the most
frequent regimes if asked. Run by the command soil_grid; `soil_grid --help` lists the
options."""

import argparse
import math
import os
import shlex
import signal
import sys
import warnings

import numpy as np

from . import grid, grid_inputs, grid_netcdf, grid_staging, grid_units

MAP_KINDS = ("regimes", "subdivision", "dominance")


class GridFault(Exception):
    """A fault in the input or the options: one line, and no file written."""


class WriteFault(GridFault):
    """The NetCDF library failed to write the output (a full disk). Its HDF5 layer keeps the
    failed file open and crashes flushing it as the process ends, so the command ends at
    once after its message, the temporary files removed."""


class Interrupted(Exception):
    """A signal that ends the run: its number."""


def _finite(text):
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a number") from None
    if not math.isfinite(value):
        raise argparse.ArgumentTypeError(f"{text!r} is not a finite number")
    return value


def _positive_whole(text):
    if not text.isdigit() or int(text) < 1:
        raise argparse.ArgumentTypeError(f"{text!r} is not a whole number of 1 or more")
    return int(text)


def _scheduler_address(text):
    """A Dask scheduler's address, scheme://host:port or host:port, checked before anything
    is read."""
    scheme, _, rest = text.strip().rpartition("://")
    host, _, port = rest.rpartition(":")
    if scheme not in ("", "tcp", "tls", "ucx", "ws", "wss") or not host or not port.isdigit() or \
            not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError(f"{text!r} is not a scheduler's address, e.g. tcp://node01:8786")
    return text.strip()


def options(argv):
    parser = argparse.ArgumentParser(
        prog="soil_grid",
        usage="%(prog)s (--capacity-mm MM | --capacity FILE.nc:VAR) [options] [INPUT ...] OUTPUT.nc",
        description="Simulates the soil water and soil temperature of every cell of a monthly climate grid "
                    "(NetCDF files, joined along time, or one GeoTIFF a month) and writes every field of every "
                    "year, the regimes and each cell's share of years in each regime to a CF NetCDF file.")
    parser.add_argument("paths", nargs="+", metavar="INPUT ... OUTPUT.nc",
                        help="the monthly climate (NetCDF files or quoted globs), then the file to write")
    parser.add_argument("--temperature", action="append", metavar="FILES",
                        help="files or a quoted glob of the temperature alone (repeatable)")
    parser.add_argument("--precipitation", "--precipitation-file", action="append", metavar="FILES",
                        help="files or a quoted glob of the precipitation alone (repeatable)")
    parser.add_argument("--temperature-var", metavar="NAME",
                        help=f"default: the one of {', '.join(grid_inputs.MEAN_TEMPERATURE_NAMES)} the files hold, "
                             "else the mean of a maximum and a minimum (tmax and tmin, tasmax and tasmin, ...)")
    parser.add_argument("--precipitation-var", metavar="NAME",
                        help=f"default: the one of {', '.join(grid_inputs.PRECIPITATION_NAMES)} the files hold")
    parser.add_argument("--temperature-units", metavar="UNITS", help="units where the files give none, e.g. degC")
    parser.add_argument("--precipitation-units", metavar="UNITS",
                        help="units where the files give none or are ambiguous, e.g. mm, m/day, kg m-2 s-1")
    parser.add_argument("--date-pattern", metavar="PATTERN",
                        help="the month in the names of monthly GeoTIFFs, e.g. _%%Y%%m_")
    capacity = parser.add_mutually_exclusive_group(required=True)
    capacity.add_argument("--capacity-mm", type=_finite, metavar="MM", help="the soil's water-holding capacity, mm")
    capacity.add_argument("--capacity", metavar="FILE.nc:VAR", help="a map of capacity, with units")
    parser.add_argument("--capacity-units", metavar="UNITS", help="the map's units where it gives none (mm, cm, m, 1)")
    parser.add_argument("--capacity-depth-mm", type=_finite, metavar="MM",
                        help="the depth of soil that a map of volumetric water content holds over")
    parser.add_argument("--capacity-regrid", choices=("nearest",),
                        help="put a map on another grid onto the climate's, each cell's nearest")
    parser.add_argument("--soil-temp-offset", type=_finite, default=2.5, metavar="C", help="default 2.5")
    parser.add_argument("--amplitude-factor", type=_finite, default=0.66, metavar="F", help="default 0.66")
    parser.add_argument("--phase-shift", type=_finite, metavar="DAYS", help="default 0 in the north, 90 in the south")
    parser.add_argument("--years", metavar="FIRST:LAST", help="the years to simulate, e.g. 1981:2010")
    workers = parser.add_mutually_exclusive_group()
    workers.add_argument("--workers", type=_positive_whole, metavar="N", help="run on a local Dask cluster of N workers")
    workers.add_argument("--scheduler", type=_scheduler_address, metavar="ADDRESS",
                         help="run on the Dask cluster of this scheduler")
    parser.add_argument("--chunks", metavar="DIM=N,...", help="cells per block along spatial dimensions "
                        "(default: whole rows of 64 cells' height)")
    parser.add_argument("--geotiff", metavar="DIR", help="also write GeoTIFFs of the most frequent regimes, "
                        "their shares and dominance")
    parser.add_argument("--map", metavar="FILE.png", help="also draw a map")
    parser.add_argument("--map-kind", choices=MAP_KINDS, default="regimes",
                        help="regimes (moisture and temperature, the default), subdivision or dominance")
    arguments = parser.parse_args(argv)
    if len(arguments.paths) == 1 and not (arguments.temperature and arguments.precipitation):
        parser.error("give the climate's files and the output, or --temperature and --precipitation and the output")
    return arguments


def _years(variable, text):
    """The months of the years asked for, with a warning naming the years used where the
    climate holds only some of them."""
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
    held = chosen.time.dt.year.values
    if held[0] > first or held[-1] < last:
        warnings.warn(f"--years {text}: the climate holds {held[0]} to {held[-1]} of these years; those are used",
                      stacklevel=2)
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
        chunks[name] = min(int(size), variable.sizes[name])
    return chunks


def _capacity(arguments, climate, xarray):
    """The capacity in mm: the number given, or the map converted by its units and put on
    the climate's grid."""
    if not arguments.capacity:
        return arguments.capacity_mm, f"{arguments.capacity_mm:g} mm"
    path, _, name = arguments.capacity.rpartition(":")
    if not path or not name:
        raise GridFault(f'--capacity "{arguments.capacity}" is not FILE.nc:VAR')
    dataset = grid_inputs.open_dataset(path, xarray)
    if name not in dataset.data_vars:
        raise GridFault(f"{path}: no variable {name}")
    capacity = dataset[name].squeeze(drop=True)
    units = arguments.capacity_units or capacity.attrs.get("units")
    if units is None:
        raise GridFault(f"{path}: variable {name} has no units attribute; give them with --capacity-units")
    try:
        capacity = grid_units.capacity_to_mm(capacity, units, arguments.capacity_depth_mm)
    except grid_units.UnitsFault as fault:
        raise GridFault(f"{path}: variable {name}: {fault}") from None
    capacity = grid_inputs.on_climate_grid(capacity, climate, path, "capacity map", arguments.capacity_regrid)
    return capacity, arguments.capacity


def _climate(arguments, xarray):
    """Temperature (deg C) and precipitation (mm) of the years asked for, on one grid, with a
    note for the history where the mean temperature was made from the extremes."""
    inputs = arguments.paths[:-1]
    temperature_files = grid_inputs.expand(arguments.temperature or inputs, "temperature")
    precipitation_files = grid_inputs.expand(arguments.precipitation or inputs, "precipitation")
    opened = {}

    def datasets(files, name):
        key = tuple(files)
        if key not in opened:
            opened[key] = grid_inputs.open_climate(files, xarray, arguments.date_pattern, name)
        return opened[key]

    temperature, note = grid_inputs.temperature_of(datasets(temperature_files, "tas"), arguments.temperature_var,
                                                   arguments.temperature_units)
    precipitation = grid_inputs.precipitation_of(datasets(precipitation_files, "pr"), arguments.precipitation_var,
                                                 arguments.precipitation_units)
    temperature = _years(temperature, arguments.years)
    precipitation = _years(precipitation, arguments.years)
    precipitation = grid_inputs.on_climate_grid(precipitation, temperature, precipitation_files[0], "precipitation")
    first = next(iter(opened.values()))[0]
    return temperature, precipitation, note, first.attrs, temperature_files + precipitation_files


def _check_outputs(arguments, inputs):
    output = arguments.paths[-1]
    capacity = [arguments.capacity.rpartition(":")[0]] if arguments.capacity else []
    every_input = list(inputs) + capacity
    grid_staging.check_output(output, every_input, "the output")
    if arguments.map:
        from . import maps
        try:
            maps.check_map_path(arguments.map)
        except ValueError as fault:
            raise GridFault(f"--map {arguments.map}: {fault}") from None
        grid_staging.check_output(arguments.map, every_input + [output], "the map")
        if os.path.abspath(arguments.map) == os.path.abspath(output):
            raise GridFault(f"--map {arguments.map}: the map would overwrite the output")
    if arguments.geotiff:
        grid_staging.check_output(arguments.geotiff, every_input, "--geotiff", folder=True)


def run(arguments, command_line, staging):
    xarray = grid._xarray()
    output = arguments.paths[-1]
    named_inputs = [path for pattern in (arguments.paths[:-1] + (arguments.temperature or []) +
                                         (arguments.precipitation or [])) for path in _existing(pattern)]
    _check_outputs(arguments, named_inputs)
    temperature, precipitation, note, attributes, inputs = _climate(arguments, xarray)
    _check_outputs(arguments, inputs)
    spatial = [dim for dim in temperature.dims if dim != "time"]
    if (arguments.map or arguments.geotiff) and len(spatial) != 2:
        raise GridFault(f"{inputs[0]}: --map and --geotiff need a grid of two dimensions; the climate's cells lie "
                        f"along {', '.join(spatial)}")
    capacity, capacity_text = _capacity(arguments, temperature, xarray)

    # On a cluster, blocks of cells go to the workers; here, one call simulates every cell
    # on every core, from values in memory.
    distributed = arguments.workers is not None or arguments.scheduler is not None
    if distributed:
        chunks = _chunks(arguments.chunks, temperature)
        temperature = temperature.chunk(chunks)
        precipitation = precipitation.chunk(chunks)
    else:
        temperature, precipitation = temperature.load(), precipitation.load()
    try:
        dataset = grid.simulate_grid(temperature, precipitation, units="metric", capacity_mm=capacity,
                                     soil_temp_offset=arguments.soil_temp_offset,
                                     amplitude_factor=arguments.amplitude_factor, phase_shift=arguments.phase_shift)
    except (ValueError, TypeError) as fault:
        raise GridFault(f"{inputs[0]}: {fault}") from None
    name = attributes.get("title") or os.path.basename(inputs[0])
    years = dataset.year.values
    history = command_line if note is None else f"{command_line} ({note})"
    dataset.attrs.update({
        "Conventions": "CF-1.8",
        "title": f"Soil moisture and soil temperature regimes of {name}",
        "source": f"run_station's soil climate model over every cell of {os.path.basename(inputs[0])}",
        "history": history,
        "capacity": capacity_text,
        "soil_temp_offset": arguments.soil_temp_offset,
        "amplitude_factor": arguments.amplitude_factor,
        "phase_shift": "0 days in the north, 90 in the south" if arguments.phase_shift is None
        else arguments.phase_shift,
    })
    dataset = _compute_on_cluster(dataset, arguments) if distributed else _compute_here(dataset)
    _report_coverage(dataset, temperature)
    try:
        grid_netcdf.write_netcdf_file(dataset, staging.file(output))
    except RuntimeError as error:  # the NetCDF library's word for a failed write (a full disk)
        raise WriteFault(f"{output}: cannot be written: {str(error).splitlines()[0]}") from None
    if arguments.geotiff:
        from . import grid_geotiff
        grid_geotiff.write_geotiff(grid_netcdf.cf_complete(dataset), staging.folder(arguments.geotiff))
    if arguments.map:
        from . import maps
        period = f"{years[0]}-{years[-1]}"
        title = f"{name}, capacity {capacity_text}" if period in str(name) else \
            f"{name}, {period}, capacity {capacity_text}"
        maps.draw_regime_maps(dataset, staging.file(arguments.map), title, kind=arguments.map_kind,
                              format=os.path.splitext(arguments.map)[1].lstrip(".").lower())
    staging.commit()


def _existing(pattern):
    """The files a name or glob names now, for checking outputs before anything is read."""
    import glob
    return sorted(glob.glob(pattern)) if glob.has_magic(pattern) else [pattern]


def _report_coverage(dataset, temperature):
    """Says so when no cell, or only some of the cells with data, could be simulated."""
    simulated = int((dataset["complete_years"] > 0).sum())
    with_data = int(temperature.notnull().any("time").sum())
    if simulated == 0:
        raise GridFault("no cell holds a whole year without a missing month: nothing could be simulated")
    if simulated < with_data:
        warnings.warn(f"{with_data - simulated} of the {with_data} cells with data hold no whole year without a "
                      "missing month and are left missing", stacklevel=2)


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
        try:
            client = Client(arguments.scheduler, timeout="10s")
        except (OSError, ValueError, TypeError) as error:
            raise GridFault(f"--scheduler {arguments.scheduler}: no Dask scheduler answers there "
                            f"({str(error).splitlines()[0] if str(error) else type(error).__name__})") from None
        cluster = None
    else:
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


def _raise_interrupted(number, _frame):
    raise Interrupted(number)


def main(argv=None):
    arguments = options(argv)
    command_line = " ".join(shlex.quote(word) for word in ["soil_grid"] + (sys.argv[1:] if argv is None else argv))
    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, _raise_interrupted)
    staging = grid_staging.Staging()
    with warnings.catch_warnings():
        warnings.showwarning = _show_warning
        try:
            run(arguments, command_line, staging)
        except WriteFault as fault:
            staging.discard()
            print(f"soil_grid: {fault}", file=sys.stderr, flush=True)
            os._exit(1)
        except (GridFault, grid_inputs.InputFault, grid_staging.StagingFault) as fault:
            print(f"soil_grid: {fault}", file=sys.stderr)
            return 1
        except ImportError as missing:
            print(f"soil_grid: {missing}", file=sys.stderr)
            return 1
        except MemoryError:
            print(f"soil_grid: {arguments.paths[0]}: the grid does not fit in memory; run it on a Dask cluster "
                  "(--workers, --scheduler) with smaller --chunks", file=sys.stderr)
            return 1
        except OSError as error:
            where = error.filename or arguments.paths[-1]
            print(f"soil_grid: {where}: cannot be written: {error.strerror or error}", file=sys.stderr)
            return 1
        except KeyboardInterrupt:
            print("soil_grid: interrupted; nothing was written", file=sys.stderr)
            return 130
        except Interrupted as stop:
            print(f"soil_grid: stopped by signal {stop.args[0]}; nothing was written", file=sys.stderr)
            return 128 + int(stop.args[0])
        finally:
            staging.discard()
    return 0


def _show_warning(message, category, filename, lineno, file=None, line=None):
    """The model's warnings as one line each; other libraries' notices are not the user's."""
    if category is UserWarning:
        print(f"soil_grid: warning: {message}", file=sys.stderr)
