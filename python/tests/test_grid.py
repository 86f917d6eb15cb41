"""Climate grids: every complete cell-year equals simulate on that cell, missing months and
sea cells are masked, calendars and units are read as published, a Dask cluster gives the
NumPy path's Dataset, and soil_grid writes a CF file or, on an error, nothing."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

import soil_climate

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
pytest.importorskip("netCDF4", reason="soil_grid needs python3-netcdf4")

SOIL_GRID = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
YEARS = 4


def small_grid(calendar="360_day"):
    """Three latitudes by two longitudes, four years: a southern row, a sea cell and a cell
    with one missing month; precipitation a little different each year."""
    time = xarray.cftime_range("1990-01-01", periods=12 * YEARS, freq="MS", calendar=calendar)
    lat = np.array([-33.9, 10.0, 38.5])
    lon = np.array([18.4, 20.0])
    month = np.arange(12 * YEARS) % 12
    season = np.cos((month - 6.5) * np.pi / 6)[:, None, None] * np.sign(lat)[None, :, None]
    rng = np.random.default_rng(7)
    temperature = 13.0 + 9.0 * season + rng.normal(0.0, 1.0, (12 * YEARS, 3, 2))
    precipitation = 55.0 - 35.0 * season + rng.uniform(0.0, 20.0, (12 * YEARS, 3, 2))
    temperature[:, 1, 1] = np.nan
    precipitation[:, 1, 1] = np.nan
    temperature[14, 2, 0] = np.nan  # 1991, March
    coords = {"time": time, "lat": lat, "lon": lon}
    return (xarray.DataArray(temperature, dims=("time", "lat", "lon"), coords=coords),
            xarray.DataArray(precipitation, dims=("time", "lat", "lon"), coords=coords))


def test_every_complete_cell_year_is_simulate_on_that_cell_bit_for_bit():
    temperature, precipitation = small_grid()
    capacity = xarray.DataArray([[120.0, 150.0], [80.0, 80.0], [200.0, 175.0]], dims=("lat", "lon"))
    grid = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=capacity)
    assert list(grid.year.values) == [1990, 1991, 1992, 1993]
    for i, latitude in enumerate(temperature.lat.values):
        for j in range(2):
            if (i, j) == (1, 1):
                assert int(grid.complete_years[i, j]) == 0
                assert (grid.moisture_regime[:, i, j] == -1).all()
                assert np.isnan(grid.annual_pet_mm[:, i, j]).all()
                continue
            t = temperature.values[:, i, j].reshape(YEARS, 12)
            p = precipitation.values[:, i, j].reshape(YEARS, 12)
            complete = ~np.isnan(t).any(axis=1)
            station = soil_climate.simulate(t[complete], p[complete], units="metric", latitude=abs(latitude),
                                             hemisphere="S" if latitude < 0 else "N",
                                             capacity_mm=float(capacity[i, j]),
                                             phase_shift=90.0 if latitude < 0 else 0.0)
            for field in soil_climate.grid.year_fields():
                cells = grid[field.name].values[complete, i, j]
                expected = getattr(station, field.name)
                if field.kind == "category":
                    expected = [field.categories.index(name) for name in expected]
                assert cells.tobytes() == np.asarray(expected, dtype=cells.dtype).tobytes(), (i, j, field.name)
            assert int(grid.complete_years[i, j]) == complete.sum()
    shares = grid.moisture_regime_percent.sum("moisture_regime_class", min_count=1).values
    assert np.isnan(shares[1, 1]) and np.allclose(np.delete(shares.ravel(), 3), 100.0)


def test_a_dask_cluster_of_two_workers_gives_the_numpy_dataset():
    distributed = pytest.importorskip("dask.distributed", reason="needs python3-distributed")
    temperature, precipitation = small_grid("noleap")
    expected = soil_climate.simulate_grid(temperature, precipitation, units="us", capacity_mm=150.0)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        chunked = soil_climate.simulate_grid(temperature.chunk({"lat": 1}), precipitation.chunk({"lat": 2}),
                                             units="us", capacity_mm=150.0).compute()
    xarray.testing.assert_identical(chunked, expected)


def test_partial_years_are_dropped_and_bad_values_named_by_their_cell():
    temperature, precipitation = small_grid()
    with pytest.warns(UserWarning, match="partial years dropped: 1990, 1993"):
        grid = soil_climate.simulate_grid(temperature.isel(time=slice(3, -2)), precipitation.isel(time=slice(3, -2)),
                                          units="metric", capacity_mm=150.0)
    assert list(grid.year.values) == [1991, 1992]
    spoiled = temperature.copy()
    spoiled[20, 2, 1] = -9999.0
    with pytest.raises(ValueError, match="the cell at latitude 38.5, longitude 20, 1991 September: temperature "
                                         "-9999 is a missing-value code"):
        soil_climate.simulate_grid(spoiled, precipitation, units="metric", capacity_mm=150.0)


def write_climate(path, temperature, precipitation, temperature_units, precipitation_units):
    xarray.Dataset({"tas": temperature.assign_attrs(units=temperature_units),
                    "pr": precipitation.assign_attrs(units=precipitation_units)}).to_netcdf(path)


def run_soil_grid(*arguments, cwd):
    return subprocess.run([str(SOIL_GRID), *map(str, arguments)], cwd=cwd, capture_output=True, text=True)


def test_soil_grid_reads_units_as_published_and_writes_a_cf_file(tmp_path):
    temperature, precipitation = small_grid("standard")
    write_climate(tmp_path / "metric.nc", temperature, precipitation, "degC", "mm")
    days = precipitation.time.dt.days_in_month
    write_climate(tmp_path / "si.nc", temperature + 273.15, precipitation / (days * 86400.0), "K", "kg m-2 s-1")
    for name in ("metric", "si"):
        result = run_soil_grid("--capacity-mm", 150, "--map", f"{name}.png", f"{name}.nc", f"{name}_out.nc",
                               cwd=tmp_path)
        assert result.returncode == 0, result.stderr
    metric = xarray.open_dataset(tmp_path / "metric_out.nc")
    si = xarray.open_dataset(tmp_path / "si_out.nc")
    assert metric.attrs["Conventions"] == "CF-1.8"
    assert metric.attrs["history"].startswith("soil_grid --capacity-mm 150 ")
    assert metric.moisture_regime.attrs["flag_meanings"].split()[:2] == ["ARIDIC", "XERIC"]
    assert metric.moisture_regime.encoding["_FillValue"] == -1
    assert np.isnan(metric.annual_pet_mm.values[:, 1, 1]).all()
    direct = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=150.0)
    # Read back, the years and cells not simulated are masked.
    assert (metric.subdivision.fillna(-1).values == direct.subdivision.values).all()
    # Kelvin and a flux convert to within rounding of the metric values.
    assert np.nanmax(np.abs(si.annual_pet_mm.values - metric.annual_pet_mm.values)) < 1e-6
    assert (tmp_path / "metric.png").stat().st_size > 0


@pytest.mark.parametrize("units, arguments, message", [
    (("degC", "bananas"), ("--capacity-mm", 150), "variable pr: units 'bananas' cannot be read; give them with "
                                                  "--precipitation-units"),
    (("Celsius?", "mm"), ("--capacity-mm", 150), "variable tas: units 'Celsius?' cannot be read"),
    (("degC", "W m-2"), ("--capacity-mm", 150), "units 'W m-2' are not an amount or a rate of precipitation"),
    (("mm", "mm"), ("--capacity-mm", 150), "units 'mm' are not a temperature"),
    (("degC", "mm"), ("--capacity-mm", -5), "capacity_mm -5 lies outside 0 to 1e+06 mm"),
    (("degC", "mm"), ("--capacity-mm", 150, "--temperature-var", "tmax"), "no variable tmax"),
    (("degC", "mm"), ("--capacity-mm", 150, "--years", "2050:2060"), "the climate holds none of these years"),
])
def test_soil_grid_errors_are_one_line_and_write_nothing(tmp_path, units, arguments, message):
    temperature, precipitation = small_grid("standard")
    write_climate(tmp_path / "in.nc", temperature, precipitation, *units)
    result = run_soil_grid(*arguments, "in.nc", "out.nc", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stderr.count("\n") == 1 and message in result.stderr, result.stderr
    assert sorted(path.name for path in tmp_path.iterdir()) == ["in.nc"]


def test_class_tallies_count_each_cells_years_and_break_ties_by_table_order():
    from soil_climate import _model
    codes = np.array([[[0, 1, 1, np.nan], [2, 2, -1, 0]], [[np.nan] * 4, [1, 0, 1, 0]]])
    counts, most = _model.class_tallies(codes, 3)
    assert counts.tolist() == [[[1, 2, 0], [1, 0, 2]], [[0, 0, 0], [2, 2, 0]]]
    assert most.tolist() == [[1, 2], [-1, 0]]  # no year: -1; a tie: the first in the table
    counts, most = _model.class_tallies(np.array([[0, 1, 1, -1]], dtype=np.int8), 3)
    assert counts.tolist() == [[1, 2, 0]] and most.tolist() == [1]
    counts, most = _model.class_tallies(np.empty((2, 0)), 3)  # cells of no year
    assert counts.tolist() == [[0, 0, 0], [0, 0, 0]] and most.tolist() == [-1, -1]


