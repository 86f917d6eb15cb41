"""soil_grid: a monthly climate grid, from NetCDF files or monthly GeoTIFFs, simulated cell by
cell into a CF NetCDF of every field and regime, with GeoTIFFs and a map of the most
frequent regimes if asked. Run by the command soil_grid; `soil_grid --help` lists the
options."""

import argparse
import contextlib
import importlib.util
import math
import os
import shlex
import signal
import sys
import warnings

import numpy as np

from . import grid, grid_blocks, grid_climate, grid_inputs, grid_netcdf_blocks, grid_periods, grid_staging
from .maps import MAP_KINDS
from .parameters import default_words, metavar_of, option_of, with_defaults


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


def _memory(text):
    try:
        return grid_blocks.parse_memory(text)
    except ValueError as fault:
        raise argparse.ArgumentTypeError(str(fault)) from None


def _positive_whole(text):
    if not text.isdigit() or int(text) < 1:
        raise argparse.ArgumentTypeError(f"{text!r} is not a whole number of 1 or more")
    return int(text)


def _periods(text):
    try:
        return grid_periods.parse_periods(text)
    except ValueError as fault:
        raise argparse.ArgumentTypeError(str(fault)) from None


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
    for parameter in with_defaults():
        # One default everywhere is the option's own; one that differs in the south is
        # left to the grid, which gives each cell its hemisphere's.
        same = parameter.default == parameter.southern_default
        parser.add_argument(option_of(parameter.name), type=_finite, default=parameter.default if same else None,
                            metavar=metavar_of(parameter), help=f"default {default_words(parameter)}")
    parser.add_argument("--baseline", action="append", metavar="FILES",
                        help="the observed climate (files or a quoted glob, repeatable) that a model's change "
                             "goes onto by the delta method; the output alone follows the options")
    parser.add_argument("--historical", action="append", metavar="FILES",
                        help="with --baseline: a model's historical run, tas and pr (files or a quoted glob); "
                             "repeat with --future for each member of an ensemble")
    parser.add_argument("--future", action="append", metavar="FILES",
                        help="with --baseline: the same model's future run, paired with the --historical of its "
                             "place")
    years = parser.add_mutually_exclusive_group()
    years.add_argument("--years", metavar="FIRST:LAST", help="the years to simulate, e.g. 1981:2010")
    years.add_argument("--periods", type=_periods, metavar="A:B,C:D",
                       help="compare two periods, e.g. 1961:1990,1991:2020: each period's regimes and means, "
                            "their change, and a table of the transitions beside the output")
    parser.add_argument("--cold-regimes", action="store_true",
                        help="also name the cold soil temperature regimes, Pergelic and Cryic")
    workers = parser.add_mutually_exclusive_group()
    workers.add_argument("--workers", type=_positive_whole, metavar="N", help="run on a local Dask cluster of N workers")
    workers.add_argument("--scheduler", type=_scheduler_address, metavar="ADDRESS",
                         help="run on the Dask cluster of this scheduler")
    parser.add_argument("--chunks", metavar="DIM=N", help="the blocks of cells: N cells along the spatial "
                        "dimension DIM, whole along the others (default: from --memory-per-worker)")
    parser.add_argument("--memory-per-worker", type=_memory, default=_memory("1GB"), metavar="BYTES",
                        help="the memory a block may take, a quarter of this (default 1GB)")
    parser.add_argument("--resume", action="store_true",
                        help="continue an interrupted run into the same OUTPUT.zarr from its blocks written")
    parser.add_argument("--geotiff", metavar="DIR", help="also write GeoTIFFs of the most frequent regimes, "
                        "their shares and dominance")
    parser.add_argument("--map", metavar="FILE.png", help="also draw a map")
    parser.add_argument("--map-kind", choices=MAP_KINDS, default="regimes",
                        help="regimes (moisture and temperature, the default), subdivision or dominance")
    parser.add_argument("--map-regime", metavar="NAME",
                        help="with --periods: add a panel of the change in this regime's share of the years, "
                             "e.g. USTIC, and map its kind's change")
    arguments = parser.parse_args(argv)
    if arguments.baseline or arguments.historical or arguments.future:
        if not arguments.baseline or not arguments.historical or \
                len(arguments.historical) != len(arguments.future or []):
            parser.error("--baseline needs a model's --historical and --future runs, one of each for every member")
        if len(arguments.paths) != 1 or arguments.temperature or arguments.precipitation or arguments.periods:
            parser.error("with --baseline give only the output: the climate is the baseline's, changed by the "
                         "model's runs (no --temperature, --precipitation or --periods)")
    elif len(arguments.paths) == 1 and not (arguments.temperature and arguments.precipitation):
        parser.error("give the climate's files and the output, or --temperature and --precipitation and the output")
    return arguments


def _check_outputs(arguments, inputs, zarr_output):
    output = arguments.paths[-1]
    capacity = [arguments.capacity.rpartition(":")[0]] if arguments.capacity else []
    every_input = list(inputs) + capacity
    grid_staging.check_output(output, every_input, "the output", folder=zarr_output)
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
    if compares(arguments):
        grid_staging.check_output(transitions_path(output), every_input + [output], "the transition table")
    if arguments.map_regime is not None and not (compares(arguments) and arguments.map):
        raise GridFault(f"--map-regime {arguments.map_regime}: draws a panel of a comparison's map; give --periods "
                        "or --baseline, and --map too")
    if arguments.map_regime is not None:
        from . import REGIME_KINDS, maps_change
        tables = {f"{kind}_class": names for kind, names in REGIME_KINDS.items()}
        try:
            maps_change.regime_kind_of(tables, arguments.map_regime)
        except ValueError as fault:
            raise GridFault(f"--map-regime: {fault}") from None


def compares(arguments):
    """Whether the run compares two climates: two periods, or a baseline and its scenarios."""
    return bool(arguments.periods or arguments.baseline)


def transitions_path(output):
    """The transition table of a comparison of periods, beside the output: OUT.transitions.csv."""
    return os.path.splitext(output.rstrip("/"))[0] + ".transitions.csv"


def _is_zarr(path):
    return path.rstrip("/").lower().endswith(".zarr")


def run(arguments, command_line, staging):
    xarray = grid._xarray()
    output = arguments.paths[-1]
    zarr_output = _is_zarr(output)
    named_inputs = [path for pattern in (arguments.paths[:-1] + (arguments.temperature or []) +
                                         (arguments.precipitation or []) + (arguments.baseline or []) +
                                         (arguments.historical or []) + (arguments.future or []))
                    for path in _existing(pattern)]
    _check_outputs(arguments, named_inputs, zarr_output)
    temperature_files, precipitation_files = grid_climate.input_files(arguments)
    models = grid_climate.model_files(arguments)
    inputs = temperature_files + precipitation_files + [path for pair in models for files in pair for path in files]
    _check_outputs(arguments, inputs, zarr_output)
    temperature, _, note, attributes = grid_climate.climate_of(arguments)
    spatial = [dim for dim in temperature.dims if dim != "time"]
    if (arguments.map or arguments.geotiff) and len(spatial) != 2:
        raise GridFault(f"{inputs[0]}: --map and --geotiff need a grid of two dimensions; the climate's cells lie "
                        f"along {', '.join(spatial)}")
    try:
        # The grid's warnings, said once here, since each block keeps its own to itself.
        _, years = grid.whole_years(temperature)
        for period in arguments.periods or []:
            grid_periods.held_years(years, period, stacklevel=2)
        if arguments.phase_shift is not None:
            grid.warn_of_phase_shift(grid.find_coordinate(temperature, grid.LATITUDE_NAMES, "latitude"),
                                     arguments.phase_shift)
        grid.warn_of_high_latitudes(grid.find_coordinate(temperature, grid.LATITUDE_NAMES, "latitude"),
                                    {dim: temperature.sizes[dim] for dim in spatial})
        # A block holds the baseline's climate and each member's scenario of its cells.
        plan = grid_blocks.plan_of(temperature, arguments.chunks, arguments.memory_per_worker // (1 + len(models)))
        # The models' monthly changes, read here once, before any block needs them.
        grid_climate.model_changes(arguments)
        # One row simulated, for the layout of the output: every variable, attribute and code.
        first, _ = grid_climate.simulate_region(arguments, {plan.dim: slice(0, 1)}, threads=1)
        # The whole grid's capacity map and climate, read here only to check them before the run.
        grid_climate.capacity_of(arguments, temperature)
    except (ValueError, TypeError) as fault:
        raise GridFault(f"{inputs[0]}: {fault}") from None
    name = attributes.get("title") or os.path.basename(inputs[0])
    capacity_text = arguments.capacity or f"{arguments.capacity_mm:g} mm"
    layout = grid_blocks.template(first, temperature, plan)
    layout.attrs.update({
        "Conventions": "CF-1.8",
        "title": f"Soil moisture and soil temperature regimes of {name}",
        "source": f"run_station's soil climate model over every cell of {os.path.basename(inputs[0])}",
        "history": command_line if note is None else f"{command_line} ({note})",
        "capacity": capacity_text,
    })
    for parameter in with_defaults():
        given = getattr(arguments, parameter.name)
        layout.attrs[parameter.name] = given if given is not None else \
            f"{parameter.default:g} {parameter.unit} in the north, {parameter.southern_default:g} in the south"
    cell_years = int(np.prod([temperature.sizes[dim] for dim in spatial], dtype=np.int64)) * \
        (temperature.sizes["time"] // 12)
    with _executor(arguments) as executor:
        try:
            if zarr_output:
                with_data = grid_blocks.write_zarr(
                    arguments, plan, executor, layout, output, inputs, arguments.resume,
                    lambda done: grid_blocks.Progress(plan, cell_years, done), _say)
                written = output
            else:
                written = staging.file(output)
                with_data = grid_netcdf_blocks.write_netcdf(arguments, plan, executor, layout, written,
                                                            grid_blocks.Progress(plan, cell_years))
        except RuntimeError as error:  # the NetCDF library's word for a failed write (a full disk)
            raise WriteFault(f"{output}: cannot be written: {str(error).splitlines()[0]}") from None
        except (ValueError, TypeError) as fault:
            raise GridFault(f"{inputs[0]}: {fault}") from None
    result = _open_output(xarray, written, zarr_output)
    _report_coverage(result, with_data)
    if compares(arguments):
        _write_comparison(arguments, result, staging, inputs[0], f"{name}, capacity {capacity_text}")
    elif arguments.geotiff:
        from . import grid_geotiff
        grid_geotiff.write_geotiff(result, staging.folder(arguments.geotiff))
    if arguments.map and not compares(arguments):
        from . import maps
        years = result.year.values
        period = f"{years[0]}-{years[-1]}"
        title = f"{name}, capacity {capacity_text}" if period in str(name) else \
            f"{name}, {period}, capacity {capacity_text}"
        maps.draw_regime_maps(result, staging.file(arguments.map), title, kind=arguments.map_kind,
                              format=os.path.splitext(arguments.map)[1].lstrip(".").lower())
    result.close()
    staging.commit()


def _open_output(xarray, path, zarr_output):
    """The written output, its codes as they are stored (−1 for no regime), for the maps and
    GeoTIFFs, which read only the per-cell summaries."""
    if zarr_output:
        return xarray.open_zarr(path, mask_and_scale=False, consolidated=True)
    return xarray.open_dataset(path, mask_and_scale=False)


def _write_comparison(arguments, result, staging, source, title):
    """The outputs of a comparison beside the grid's file: the transition table, and the
    GeoTIFFs and maps asked for, of the two sides, an ensemble's read as its baseline and
    the members' most frequent regimes."""
    from . import grid_ensemble, grid_transitions
    if "member" in result.dims:
        result = grid_ensemble.ensemble_view(result)
    try:
        areas = grid_transitions.cell_areas_km2(result)
    except ValueError as fault:
        warnings.warn(f"{source}: the transition table gives cells only: {fault}", stacklevel=2)
        areas = None
    grid_transitions.write_transitions(result, staging.file(transitions_path(arguments.paths[-1])), areas)
    if arguments.geotiff:
        from . import grid_geotiff
        folder = staging.folder(arguments.geotiff)
        for index, label in enumerate(result["period"].values):
            grid_geotiff.write_geotiff(result.isel(period=index), folder, suffix=f"_{label}")
        grid_geotiff.write_change_geotiff(result, folder)
    if arguments.map:
        from . import maps_change
        maps_change.draw_change_maps(result, staging.file(arguments.map), title, regime=arguments.map_regime,
                                     format=os.path.splitext(arguments.map)[1].lstrip(".").lower())


def _say(line):
    print(f"soil_grid: {line}", file=sys.stderr, flush=True)


def _existing(pattern):
    """The files a name or glob names now, for checking outputs before anything is read."""
    import glob
    return sorted(glob.glob(pattern)) if glob.has_magic(pattern) else [pattern]


def _report_coverage(result, with_data):
    """Says so when no cell, or only some of the cells with data, could be simulated."""
    if with_data is None:  # a store already complete
        return
    complete = result["complete_years"]
    complete = complete.max([dim for dim in complete.dims if dim in ("period", "member")])
    simulated = int((complete.values > 0).sum())
    if simulated == 0:
        raise GridFault("no cell holds a whole year without a missing month: nothing could be simulated")
    if simulated < with_data:
        warnings.warn(f"{with_data - simulated} of the {with_data} cells with data hold no whole year without a "
                      "missing month and are left missing", stacklevel=2)


@contextlib.contextmanager
def _executor(arguments):
    """Threads of this process, every core, or the workers of a Dask cluster."""
    if arguments.workers is None and arguments.scheduler is None:
        executor = grid_blocks.LocalExecutor(os.cpu_count() or 1)
        try:
            yield executor
        finally:
            executor.close()
        return
    try:
        from dask.distributed import Client, LocalCluster
    except ImportError as missing:
        raise GridFault("--workers and --scheduler need Dask's distributed scheduler (Debian: "
                        "python3-distributed)") from missing
    cluster = None
    if arguments.scheduler:
        try:
            client = Client(arguments.scheduler, timeout="10s")
        except (OSError, ValueError, TypeError) as error:
            raise GridFault(f"--scheduler {arguments.scheduler}: no Dask scheduler answers there "
                            f"({str(error).splitlines()[0] if str(error) else type(error).__name__})") from None
    else:
        dashboard = importlib.util.find_spec("bokeh") is not None  # Dask draws its dashboard with bokeh
        cluster = LocalCluster(n_workers=arguments.workers, threads_per_worker=1,
                               dashboard_address=":0" if dashboard else None)
        client = Client(cluster)
        if dashboard:
            _say(f"the Dask dashboard is at {cluster.dashboard_link}")
    try:
        yield grid_blocks.ClusterExecutor(client)
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
        except (GridFault, grid_inputs.InputFault, grid_staging.StagingFault, grid_blocks.BlockFault) as fault:
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
