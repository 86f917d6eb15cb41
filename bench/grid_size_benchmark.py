#!/usr/bin/env python3
"""Time and memory of soil_grid on a grid the size of the 4 km conterminous US (1,386 x 621
cells, about 480,000 of them land, 30 years, float32) and on one a quarter of its size,
measured in one go on this machine:

  ideal   the many-cell entry point on every core over the same values already in memory
  nc      soil_grid from the NetCDF file to a NetCDF file   target: within 1.3 x the ideal
  zarr    soil_grid from the NetCDF file to a Zarr store    target: within 1.3 x the ideal
  zarr-2w the same on a local Dask cluster of 2 workers      target: within 1.2 x zarr

with the peak resident memory of the soil_grid process (target: under 2 GB, and the two
sizes within 1.2 x of each other), and the time per cell-year of each way. In the first
round every cell-year of every output is compared with the ideal's, field by field, bit for
bit (the tests show that the entry point gives `simulate` on each cell).

usage: PYTHONPATH=build/python python3 bench/grid_size_benchmark.py [ROUNDS] [FOLDER]
Writes the generated grids (about 2.5 GB for the full size) into FOLDER (default: a
temporary folder) and removes them at the end.
"""

import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import netCDF4
import numpy as np

from soil_climate import PARAMETERS, _model

ROOT = pathlib.Path(__file__).resolve().parent.parent
FULL = (621, 1386)
YEARS = 30


def land(rows, columns):
    """A continent filling about 56 % of the box, as the conterminous US fills its grid."""
    y, x = np.mgrid[0:rows, 0:columns]
    return ((y / rows - 0.5) / 0.42) ** 2 + ((x / columns - 0.5) / 0.47) ** 2 < 1.0


def write_grid(path, rows, columns):
    """tas (deg C) and pr (mm) as float32, one month a chunk, the sea as fill values."""
    lat = np.linspace(49.9, 24.1, rows)
    lon = np.linspace(-125.0, -66.5, columns)
    mask = land(rows, columns)
    with netCDF4.Dataset(path, "w") as output:
        output.createDimension("time", 12 * YEARS)
        output.createDimension("lat", rows)
        output.createDimension("lon", columns)
        time_axis = output.createVariable("time", "f8", ("time",))
        time_axis.units, time_axis.calendar = "days since 1981-01-01", "standard"
        months = np.arange("1981-01", f"{1981 + YEARS}-01", dtype="datetime64[M]").astype("datetime64[D]")
        time_axis[:] = (months - np.datetime64("1981-01-01")).astype(np.float64)  # the first of each month
        for name, values, units in (("lat", lat, "degrees_north"), ("lon", lon, "degrees_east")):
            variable = output.createVariable(name, "f8", (name,))
            variable.units = units
            variable[:] = values
        tas = output.createVariable("tas", "f4", ("time", "lat", "lon"), chunksizes=(1, rows, columns),
                                    fill_value=np.float32(np.nan))
        pr = output.createVariable("pr", "f4", ("time", "lat", "lon"), chunksizes=(1, rows, columns),
                                   fill_value=np.float32(np.nan))
        tas.units, pr.units = "degC", "mm"
        rng = np.random.default_rng(1)
        for month in range(12 * YEARS):
            season = np.cos((month % 12 - 6.5) * np.pi / 6.0)
            warm = 28.0 - 0.55 * (lat[:, None] - 24.0) + 12.0 * season + rng.normal(0.0, 1.0, (rows, columns))
            wet = 20.0 + 90.0 * (lon[None, :] + 125.0) / 60.0 * (1.0 - 0.4 * season) + rng.uniform(0, 30, (rows, columns))
            tas[month] = np.where(mask, warm, np.nan).astype(np.float32)
            pr[month] = np.where(mask, wet, np.nan).astype(np.float32)
    return int(mask.sum())


def peak_memory(command):
    """(seconds, peak resident bytes) of a command, by GNU time."""
    start = time.perf_counter()
    shown = subprocess.run(["/usr/bin/time", "-v", *command], capture_output=True, text=True)
    if shown.returncode != 0:
        sys.exit(f"{command[0]} failed: {shown.stderr.strip().splitlines()[0]}")
    seconds = time.perf_counter() - start
    kilobytes = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", shown.stderr).group(1))
    return seconds, kilobytes * 1024


def ideal(path):
    """The entry point on every core over the land cells' values in memory: its seconds,
    the land mask and its outputs (cells, years, fields)."""
    with netCDF4.Dataset(path) as grid:
        lat = grid["lat"][:]
        columns = grid.dimensions["lon"].size
        mask = ~np.isnan(grid["tas"][0].filled(np.nan))
        cells = int(mask.sum())
        t = np.empty((cells, YEARS * 12))
        p = np.empty((cells, YEARS * 12))
        for month in range(12 * YEARS):
            t[:, month] = grid["tas"][month].filled(np.nan)[mask]
            p[:, month] = grid["pr"][month].filled(np.nan)[mask]
    latitude = np.broadcast_to(np.asarray(lat)[:, None], (len(lat), columns))[mask].astype(np.float64)
    t, p = t.reshape(cells, YEARS, 12), p.reshape(cells, YEARS, 12)
    # Every parameter with a default at its northern one.
    given = {"latitude": latitude, "capacity_mm": np.full(cells, 150.0)}
    for parameter in PARAMETERS.values():
        if parameter.default is not None:
            given[parameter.name] = np.full(cells, parameter.default)
    start = time.perf_counter()
    outputs = _model.simulate_cells(t, p, given, 0)
    return time.perf_counter() - start, mask, outputs


def differing_cell_years(output, mask, expected):
    """The number of land cell-years of `output` (NetCDF or Zarr) in which any field is not
    the ideal's value, bit for bit."""
    import xarray
    written = xarray.open_zarr(output) if str(output).endswith(".zarr") else xarray.open_dataset(output)
    with written:
        wrong = np.zeros(expected.shape[:2], dtype=bool)
        for index, name in enumerate(_model.grid_field_names):
            values = written[name].transpose("year", "lat", "lon").values[:, mask].T.astype(np.float64)
            wrong |= ~((values == expected[:, :, index]) | (np.isnan(values) & np.isnan(expected[:, :, index])))
    return int(wrong.sum())


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 1
    folder = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp())
    soil_grid = str(ROOT / "build" / "soil_grid")
    results = {}
    try:
        for label, (rows, columns) in (("quarter", (FULL[0] // 2, FULL[1] // 2)), ("full", FULL)):
            path = folder / f"{label}.nc"
            cells = write_grid(path, rows, columns)
            cell_years = cells * YEARS
            ways = {"ideal": [], "nc": [], "zarr": [], "zarr-2w": []}
            memory = {"nc": [], "zarr": [], "zarr-2w": []}
            differing = {}
            for round_number in range(rounds):  # each way in turn within a round
                seconds, mask, expected = ideal(path)
                ways["ideal"].append(seconds)
                for way, output, extra in (("nc", folder / "out.nc", []), ("zarr", folder / "out.zarr", []),
                                           ("zarr-2w", folder / "out.zarr", ["--workers", "2"])):
                    seconds, peak = peak_memory([soil_grid, "--capacity-mm", "150", *extra, str(path), str(output)])
                    ways[way].append(seconds)
                    memory[way].append(peak)
                    if round_number == 0:
                        differing[way] = differing_cell_years(output, mask, expected)
                    shutil.rmtree(output, ignore_errors=True) if way != "nc" else os.unlink(output)
                del expected
            results[label] = (cells, cell_years, ways, memory, differing)
            os.unlink(path)
    finally:
        if len(sys.argv) <= 2:
            shutil.rmtree(folder, ignore_errors=True)
    print(f"{os.cpu_count()} cores, {rounds} round(s), {YEARS} years, low / median / high")
    for label, (cells, cell_years, ways, memory, differing) in results.items():
        print(f"{label}: {cells:,} land cells, {cell_years:,} cell-years")
        best = statistics.median(ways["ideal"])
        for way, times in ways.items():
            per = statistics.median(times) / cell_years * 1e6
            line = f"  {way:6} {min(times):8.1f} / {statistics.median(times):6.1f} / {max(times):6.1f} s, " \
                   f"{per:.2f} us a cell-year"
            if way != "ideal":
                ratios = [t / best for t in times]
                line += f", {min(ratios):.2f} / {statistics.median(ratios):.2f} / {max(ratios):.2f} x the ideal"
                line += f", peak {max(memory[way]) / 1e9:.2f} GB, {differing[way]} cell-years differ"
            print(line)
        cluster = [w / t for w, t in zip(ways["zarr-2w"], ways["zarr"])]
        print(f"  zarr-2w / zarr: {min(cluster):.2f} / {statistics.median(cluster):.2f} / {max(cluster):.2f} "
              "(target 1.2)")
    if {"quarter", "full"} <= results.keys():
        for way in ("nc", "zarr"):
            growth = max(results["full"][3][way]) / max(results["quarter"][3][way])
            print(f"peak memory of {way}, full / quarter: {growth:.2f} (target 1.2)")


if __name__ == "__main__":
    main()
