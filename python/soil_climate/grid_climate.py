"""The climate and the soil of one soil_grid run, as its options name them: temperature in
deg C and precipitation in mm of the years asked for, on one grid, and the water-holding
capacity in mm. Read whole (lazily, for the plan of the run) or one block of cells at a
time, which is how the workers read their own share of the files."""

import functools
import warnings

import numpy as np

from . import grid, grid_inputs, grid_periods, grid_units
from .grid_inputs import InputFault


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
    inputs = arguments.paths[:-1]
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
        simulated = grid.simulate_grid(temperature, precipitation, units="metric", capacity_mm=capacity,
                                       soil_temp_offset=arguments.soil_temp_offset,
                                       amplitude_factor=arguments.amplitude_factor,
                                       phase_shift=arguments.phase_shift, threads=threads,
                                       cold_regimes=arguments.cold_regimes, periods=arguments.periods)
    return simulated, int(temperature.notnull().any("time").sum())
