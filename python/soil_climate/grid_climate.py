"""The climate and the soil of one soil_grid run, as its options name them: temperature in
deg C and precipitation in mm of the years asked for, on one grid, and the water-holding
capacity in mm. Read whole (lazily, for the plan of the run) or one block of cells at a
time, which is how the workers read their own share of the files."""

import functools
import os
import warnings

import numpy as np

from . import grid, grid_delta, grid_ensemble, grid_inputs, grid_periods, grid_units
from .grid_inputs import InputFault
from .parameters import with_defaults


def chosen_years(variable, text, say=True):
    """The months of the years asked for, with a warning (where `say`) naming the years
    used where the climate holds only some of them."""
    if not text:
        return variable
    try:
        first, last = (int(part) for part in text.split(":"))
    except ValueError:
        raise InputFault(f'--years "{text}" is not FIRST:LAST, e.g. 1981:2010') from None
    years = variable.time.dt.year.values
    chosen = variable.isel(time=np.flatnonzero((years >= first) & (years <= last)))
    if chosen.sizes["time"] == 0:
        raise InputFault(f"--years {text}: the climate holds none of these years")
    held = chosen.time.dt.year.values
    if say and (held[0] > first or held[-1] < last):
        warnings.warn(f"--years {text}: the climate holds {held[0]} to {held[-1]} of these years; those are used",
                      stacklevel=2)
    return chosen


def input_files(arguments):
    """The temperature files and the precipitation files the options name, globs expanded."""
    inputs = arguments.baseline or arguments.paths[:-1]
    return (grid_inputs.expand(arguments.temperature or inputs, "temperature"),
            grid_inputs.expand(arguments.precipitation or inputs, "precipitation"))


@functools.lru_cache(maxsize=4)
def _opened(files, date_pattern, name):
    """The files opened once per process: a worker reading block after block reads each
    header once."""
    return grid_inputs.open_climate(list(files), grid._xarray(), date_pattern, name)


def climate_of(arguments, region=None):
    """(temperature, precipitation, note, the first file's attributes) of the years asked
    for, the cells of `region` ({dimension: slice}) or all; the note says how the mean
    temperature was made where it was."""
    temperature_files, precipitation_files = input_files(arguments)
    temperature_sets = _opened(tuple(temperature_files), arguments.date_pattern, "tas")
    precipitation_sets = _opened(tuple(precipitation_files), arguments.date_pattern, "pr")
    temperature, note = grid_inputs.temperature_of(temperature_sets, arguments.temperature_var,
                                                   arguments.temperature_units, region)
    precipitation = grid_inputs.precipitation_of(precipitation_sets, arguments.precipitation_var,
                                                 arguments.precipitation_units, region)
    temperature = chosen_years(temperature, arguments.years)
    precipitation = chosen_years(precipitation, arguments.years, say=False)
    if arguments.periods:
        temperature = grid_periods.select_years(temperature, arguments.periods)
        precipitation = grid_periods.select_years(precipitation, arguments.periods)
    precipitation = grid_inputs.on_climate_grid(precipitation, temperature, precipitation_files[0], "precipitation")
    return temperature, precipitation, note, temperature_sets[0].attrs


def capacity_of(arguments, climate):
    """The capacity in mm: the number given, or the map converted by its units and put on
    the climate's grid (`climate`'s cells: the whole grid or one block)."""
    if not arguments.capacity:
        return arguments.capacity_mm
    path, _, name = arguments.capacity.rpartition(":")
    if not path or not name:
        raise InputFault(f'--capacity "{arguments.capacity}" is not FILE.nc:VAR')
    dataset = grid_inputs.open_dataset(path, grid._xarray())
    if name not in dataset.data_vars:
        raise InputFault(f"{path}: no variable {name}")
    capacity = dataset[name].squeeze(drop=True)
    units = arguments.capacity_units or capacity.attrs.get("units")
    if units is None:
        raise InputFault(f"{path}: variable {name} has no units attribute; give them with --capacity-units")
    try:
        capacity = grid_units.capacity_to_mm(capacity, units, arguments.capacity_depth_mm)
    except grid_units.UnitsFault as fault:
        raise InputFault(f"{path}: variable {name}: {fault}") from None
    return grid_inputs.on_climate_grid(capacity, climate, path, "capacity map", arguments.capacity_regrid)


# The dimensions along which a model's files may hold several members of an ensemble.
MEMBER_DIMENSIONS = ("member", "model", "realization", "ensemble")


def model_files(arguments):
    """The files of each member's historical and future runs, in the order given."""
    return [(grid_inputs.expand([historical], "historical"), grid_inputs.expand([future], "future"))
            for historical, future in zip(arguments.historical or [], arguments.future or [])]


def _run_of(files, what):
    """A model run's temperature (deg C) and precipitation (mm a month), its variables and
    units found as in any climate file (tas and pr, with their units)."""
    sets = _opened(tuple(files), None, "tas")
    temperature, _ = grid_inputs.temperature_of(sets)
    precipitation = grid_inputs.precipitation_of(sets)
    precipitation = grid_inputs.on_climate_grid(precipitation, temperature, files[0], f"the {what} precipitation")
    return temperature, precipitation


@functools.lru_cache(maxsize=2)
def _model_changes(pairs):
    """(label, warming, ratio) of each member, its monthly change on the model's grid,
    computed once per process from the whole of both runs."""
    members = []
    for historical, future in pairs:
        try:
            warming, ratio = grid_delta.monthly_change(*_run_of(historical, "historical"),
                                                       *_run_of(future, "future"))
        except ValueError as fault:  # a run without every calendar month
            raise InputFault(f"{future[0]}: {fault}") from None
        warming, ratio = warming.load(), ratio.load()
        label = os.path.splitext(os.path.basename(future[0]))[0]
        along = next((dim for dim in warming.dims if str(dim).lower() in MEMBER_DIMENSIONS), None)
        if along is None:
            members.append((label, warming, ratio))
            continue
        names = warming[along].values if along in warming.coords else range(warming.sizes[along])
        for index, name in enumerate(names):
            members.append((f"{label} {name}", warming.isel({along: index}, drop=True),
                            ratio.isel({along: index}, drop=True)))
    return tuple(members)


def model_changes(arguments):
    """Each member's monthly change, as `_model_changes` gives it for the files named."""
    return _model_changes(tuple((tuple(historical), tuple(future)) for historical, future in model_files(arguments)))


def simulate_region(arguments, region=None, threads=None):
    """The simulated Dataset of the cells of `region`, read from the files here, and the
    number of its cells that hold any temperature. A block's warnings are those of the
    whole grid, said once when the run is planned, so a block says none."""
    with warnings.catch_warnings():
        if region is not None:
            warnings.simplefilter("ignore")
        temperature, precipitation, _, _ = climate_of(arguments, region)
        if arguments.capacity and region is not None:
            # The map is put on the whole grid (its coordinates only are read), then cut as the climate is.
            capacity = grid_inputs.in_region(capacity_of(arguments, climate_of(arguments)[0]), region)
        else:
            capacity = capacity_of(arguments, temperature)
        if region is not None:
            temperature, precipitation = temperature.load(), precipitation.load()
        def simulated(temperature, precipitation, periods=None):
            return grid.simulate_grid(temperature, precipitation, units="metric", capacity_mm=capacity,
                                      threads=threads, cold_regimes=arguments.cold_regimes, periods=periods,
                                      **{parameter.name: getattr(arguments, parameter.name)
                                         for parameter in with_defaults()})

        if arguments.baseline:
            result = _scenarios(arguments, temperature, precipitation, simulated)
        else:
            result = simulated(temperature, precipitation, arguments.periods)
    return result, int(temperature.notnull().any("time").sum())


def _scenarios(arguments, temperature, precipitation, simulated):
    """The baseline and each member's scenario of the cells, compared: as two periods for
    one member, as an ensemble for more."""
    members = model_changes(arguments)
    baseline = simulated(temperature, precipitation)
    scenarios = [simulated(*grid_delta.apply_change(temperature, precipitation, warming, ratio))
                 for _, warming, ratio in members]
    if len(scenarios) == 1:
        return grid_periods.compare_grids(baseline, scenarios[0])
    return grid_ensemble.compare_ensemble(baseline, scenarios, [label for label, _, _ in members])
