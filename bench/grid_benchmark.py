#!/usr/bin/env python3
"""Cell-years per second over a synthetic grid of 20,000 land cells x 30 years, each way a
grid can be run, measured in one go on this machine (median and range of the rounds):

  (a) the many-cell entry point on one thread        (the yardstick)
  (b) the same on two threads                        target: within 1.15 x the ideal (a)/2
  (c) simulate_grid, NumPy-backed, every core
  (d) simulate_grid, Dask-backed, two local workers
  (e) soil_grid from a NetCDF file to a NetCDF file  target: within 1.5 x the ideal (a)/2

usage: PYTHONPATH=build/python python3 bench/grid_benchmark.py [ROUNDS]   (default 3)
Needs the module built (build/python) and build/soil_grid, python3-xarray, python3-netcdf4,
python3-dask and python3-distributed.
"""

import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
import xarray

import soil_climate
from soil_climate import _model

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "examples"))
import make_grid  # noqa: E402

CELLS_LAT, CELLS_LON, YEARS = 100, 200, 30


def synthetic_grid():
    """A continent of 100 x 200 land cells (no sea, so every cell is work) from the example
    grid's climate, 30 years, in deg C and mm a month."""
    latitudes = np.linspace(-45.0, 55.0, CELLS_LAT)
    longitudes = np.linspace(-10.0, 24.0, CELLS_LON)
    climate = make_grid.climate(latitudes, longitudes, list(range(1981, 1981 + YEARS)), land_everywhere=True)
    days = climate.time.dt.days_in_month
    temperature = (climate.tas - 273.15).assign_attrs(units="degC")
    precipitation = (climate.pr * days * 86400.0).assign_attrs(units="mm")
    return temperature, precipitation


def timed(work, rounds):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return times


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    temperature, precipitation = synthetic_grid()
    cells = CELLS_LAT * CELLS_LON
    cell_years = cells * YEARS
    t = np.ascontiguousarray(temperature.transpose("lat", "lon", "time").values.reshape(cells, YEARS, 12))
    p = np.ascontiguousarray(precipitation.transpose("lat", "lon", "time").values.reshape(cells, YEARS, 12))
    lat = np.repeat(temperature.lat.values, CELLS_LON)
    # Every parameter with a default at it, the southern one in southern cells.
    given = {"latitude": lat, "capacity_mm": np.array([150.0])}
    for parameter in soil_climate.PARAMETERS.values():
        if parameter.default is not None:
            given[parameter.name] = np.where(lat < 0, parameter.southern_default, parameter.default)

    def entry_point(threads):
        return lambda: _model.simulate_cells(t, p, given, threads)

    def numpy_grid():
        soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=150.0)

    from dask.distributed import Client, LocalCluster

    def dask_grid():
        soil_climate.simulate_grid(temperature.chunk({"lat": 10, "time": -1}),
                                   precipitation.chunk({"lat": 10, "time": -1}), units="metric",
                                   capacity_mm=150.0).compute()

    folder = pathlib.Path(tempfile.mkdtemp())
    xarray.Dataset({"tas": temperature, "pr": precipitation}).to_netcdf(folder / "grid.nc")

    def soil_grid():
        subprocess.run([str(ROOT / "build" / "soil_grid"), "--capacity-mm", "150", str(folder / "grid.nc"),
                        str(folder / "out.nc")], check=True)

    # Every way in turn within each round, so that all see the machine alike; the Dask
    # cluster lives only while its own way runs, its idle workers taking nothing from the rest.
    ways = (("(a) entry point, 1 thread", entry_point(1)), ("(b) entry point, 2 threads", entry_point(2)),
            ("(c) simulate_grid, NumPy", numpy_grid), ("(d) simulate_grid, Dask, 2 workers", dask_grid),
            ("(e) soil_grid, NetCDF to NetCDF", soil_grid))
    measured = {name: [] for name, _ in ways}
    for _ in range(rounds):
        for name, work in ways:
            if work is dask_grid:
                with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
                        Client(cluster):
                    work()  # the workers' first block imports the module
                    measured[name] += timed(work, 1)
            else:
                measured[name] += timed(work, 1)

    print(f"{cells} cells x {YEARS} years = {cell_years} cell-years, {rounds} rounds, {os.cpu_count()} cores")
    print(f"{'':36} {'seconds (low / median / high)':>32} {'cell-years a second':>20}")
    for name, times in measured.items():
        median = statistics.median(times)
        print(f"{name:36} {min(times):10.3f} / {median:6.3f} / {max(times):6.3f} {cell_years / median:20,.0f}")
    ideal = statistics.median(measured["(a) entry point, 1 thread"]) / 2
    for name, target in (("(b) entry point, 2 threads", 1.15), ("(e) soil_grid, NetCDF to NetCDF", 1.5)):
        ratios = [t / ideal for t in measured[name]]
        print(f"{name} / ideal (a)/2: {min(ratios):.2f} / {statistics.median(ratios):.2f} / {max(ratios):.2f} "
              f"(target {target})")


if __name__ == "__main__":
    main()
