"""The station parameters go by the names of the library's table, in every function that
takes them: unknown and missing names are refused as Python refuses keyword arguments,
None and a parameter left out take the table's default, and what a station folder gives
carries every parameter of the table."""

import inspect
import os
import pathlib

import numpy as np
import pytest

import soil_climate
from soil_climate import PARAMETERS, _model

EXAMPLE = pathlib.Path(os.environ["EXAMPLES_DIR"]) / "davis"


def davis():
    return soil_climate.read_station(EXAMPLE)


@pytest.mark.filterwarnings("ignore:the warmest months")
def test_simulate_takes_the_parameters_by_their_table_names():
    station = davis()
    given = {name: station[name] for name in ("temperature", "precipitation", "units", "labels")}
    with pytest.raises(TypeError, match=r"simulate\(\) got an unexpected keyword argument 'soil_temp_ofset'"):
        soil_climate.simulate(**given, latitude=38.5, capacity_mm=150.0, soil_temp_ofset=2.0)
    with pytest.raises(TypeError, match=r"missing 2 required keyword-only arguments: 'latitude' and 'capacity_mm'"):
        soil_climate.simulate(**given)
    with pytest.raises(TypeError, match=r"missing 1 required keyword-only argument: 'capacity_mm'"):
        soil_climate.simulate(**given, latitude=38.5)
    with pytest.raises(TypeError, match="amplitude_factor must be a real number"):
        soil_climate.simulate(**given, latitude=38.5, capacity_mm=150.0, amplitude_factor="0.5")
    plain = soil_climate.simulate(**given, latitude=-38.5, capacity_mm=150.0)
    nones = soil_climate.simulate(**given, latitude=-38.5, capacity_mm=150.0,
                                  **{parameter.name: None for parameter in soil_climate.parameters.with_defaults()})
    assert plain.station == nones.station
    assert plain.station["phase_shift"] == PARAMETERS["phase_shift"].southern_default
    assert np.array_equal(plain.temperature_calendar, nones.temperature_calendar)
    # The result's station: the latitude, the hemisphere, every other parameter in table
    # order, the name.
    assert list(plain.station) == ["latitude", "hemisphere", *list(PARAMETERS)[1:], "station_name"]
    # Editors and help() see every parameter by name.
    listed = inspect.signature(soil_climate.simulate).parameters
    assert all(listed[name].kind is inspect.Parameter.KEYWORD_ONLY for name in PARAMETERS)
    assert listed["capacity_mm"].default is inspect.Parameter.empty
    assert listed["amplitude_factor"].default == PARAMETERS["amplitude_factor"].default
    assert listed["phase_shift"].default is None  # differs in the south


def test_read_station_gives_every_parameter_of_the_table():
    station = davis()
    assert all(name in station for name in PARAMETERS)
    keys = list(station)
    assert keys.index("hemisphere") == keys.index("latitude") + 1


def test_simulate_grid_takes_the_grids_parameters_by_name():
    xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
    time = xarray.cftime_range("1990-01-01", periods=24, freq="MS", calendar="360_day")
    coords = {"time": time, "lat": [-30.0, 30.0]}
    season = np.cos((np.arange(24) % 12 - 6.5) * np.pi / 6)[:, None] * np.array([-1.0, 1.0])
    temperature = xarray.DataArray(12.0 + 8.0 * season, dims=("time", "lat"), coords=coords)
    precipitation = xarray.DataArray(50.0 - 30.0 * season, dims=("time", "lat"), coords=coords)
    with pytest.raises(TypeError, match="unexpected keyword argument 'latitude'"):
        soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=150.0, latitude=30.0)
    with pytest.raises(TypeError, match="missing 1 required keyword-only argument: 'capacity_mm'"):
        soil_climate.simulate_grid(temperature, precipitation, units="metric")
    grid = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=150.0,
                                      soil_temp_offset=None, amplitude_factor=0.5)
    for cell, latitude in enumerate((-30.0, 30.0)):
        alone = soil_climate.simulate(temperature.values[:, cell].reshape(2, 12),
                                      precipitation.values[:, cell].reshape(2, 12), units="metric",
                                      latitude=latitude, capacity_mm=150.0, amplitude_factor=0.5)
        assert np.array_equal(grid.mean_soil_temperature_c.values[:, cell], alone.mean_soil_temperature_c)


@pytest.mark.parametrize("call", [
    lambda parameters: _model.check_station("N", parameters),
    lambda parameters: _model.simulate(np.zeros((1, 12)), np.zeros((1, 12)), parameters, "N", ["1"], "metric", ""),
    lambda parameters: _model.simulate_cells(np.zeros((1, 1, 12)), np.zeros((1, 1, 12)), parameters),
], ids=["check_station", "simulate", "simulate_cells"])
def test_the_modules_functions_refuse_a_missing_or_unknown_parameter_naming_it(call):
    complete = {"latitude": 38.5, "capacity_mm": 150.0}
    complete.update({parameter.name: parameter.default for parameter in soil_climate.parameters.with_defaults()})
    call(complete)
    lacking = dict(complete)
    del lacking["amplitude_factor"]
    with pytest.raises(TypeError, match='station parameter "amplitude_factor" missing'):
        call(lacking)
    with pytest.raises(TypeError, match='unknown station parameter "depth"'):
        call({**complete, "depth": 1.0})
    with pytest.raises(TypeError, match="named by strings"):
        call({**complete, 3: 1.0})


def test_the_modules_check_names_the_parameter_outside_its_range():
    given = {"latitude": 38.5, "capacity_mm": 150.0, "soil_temp_offset": 40.0, "amplitude_factor": 0.66,
             "phase_shift": 0.0}
    given.update({parameter.name: parameter.default for parameter in soil_climate.parameters.with_defaults()
                  if parameter.name not in given})
    problem = _model.check_station("N", given)
    assert problem["field"] == "soil_temp_offset" and problem["value"] == 40.0
    assert _model.check_station("N", {**given, "soil_temp_offset": 2.5}) is None
    assert _model.check_station("X", {**given, "soil_temp_offset": 2.5}) == {"field": "hemisphere"}
