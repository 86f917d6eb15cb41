#!/usr/bin/env python3
"""Cells side by side: cell-years a second per core of the many-cell entry point at each
pack width it runs (1 = one cell at a time, the station model's own path), measured in one
go on this machine, the widths alternating within each round (median and range), over the
synthetic continent of bench/grid_benchmark.py (20,000 land cells x 30 years), one thread.

  --callgrind  instructions per cell-year at each width, by callgrind, counted inside the
               entry point only, on 400 of those cells x 30 years (not width 8: valgrind
               does not run AVX-512)

usage: PYTHONPATH=build/python python3 bench/cell_lanes_benchmark.py [ROUNDS] [--callgrind]
Needs the module built (build/python), python3-xarray and, for --callgrind, valgrind.
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import grid_benchmark  # noqa: E402

import soil_climate  # noqa: E402
from soil_climate import _model  # noqa: E402


def arrays(cells=None):
    """The continent's (cells, years, 12) arrays and parameters; the first `cells` only if given."""
    temperature, precipitation = grid_benchmark.synthetic_grid()
    count = grid_benchmark.CELLS_LAT * grid_benchmark.CELLS_LON
    years = grid_benchmark.YEARS
    t = temperature.transpose("lat", "lon", "time").values.reshape(count, years, 12)
    p = precipitation.transpose("lat", "lon", "time").values.reshape(count, years, 12)
    lat = np.repeat(temperature.lat.values, grid_benchmark.CELLS_LON)
    if cells is not None:
        # Cells from across the continent, in runs of neighbours as a grid's rows hold them.
        rows = np.linspace(0, count - 200, cells // 200).astype(int)
        chosen = np.concatenate([np.arange(r, r + 200) for r in rows])
        t, p, lat = t[chosen], p[chosen], lat[chosen]
    given = {"latitude": lat, "capacity_mm": np.array([150.0])}
    for parameter in soil_climate.PARAMETERS.values():
        if parameter.default is not None:
            given[parameter.name] = np.where(lat < 0, parameter.southern_default, parameter.default)
    return np.ascontiguousarray(t), np.ascontiguousarray(p), given


def run_once(width, cells):
    t, p, given = arrays(cells)
    _model.simulate_cells(t, p, given, 1, lane_width=width)


def callgrind(widths):
    cells = 400
    cell_years = cells * grid_benchmark.YEARS
    print(f"instructions per cell-year, callgrind, inside simulate_grid, {cells} cells x "
          f"{grid_benchmark.YEARS} years, one thread")
    for width in widths:
        if width == 8:
            print("  width 8: not counted (valgrind does not run AVX-512)")
            continue
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "callgrind.out")
            subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                            "--toggle-collect=soil_climate::simulate_grid(*", sys.executable, __file__, "--once", str(width),
                            str(cells)], check=True, capture_output=True)
            totals = subprocess.run(["callgrind_annotate", out], check=True, capture_output=True, text=True).stdout
            instructions = int(re.search(r"^([\d,]+) .*PROGRAM TOTALS", totals, re.M).group(1).replace(",", ""))
        print(f"  width {width}: {instructions / cell_years:10,.0f}")


def main():
    if sys.argv[1:2] == ["--once"]:
        run_once(int(sys.argv[2]), int(sys.argv[3]))
        return
    widths = list(_model.lane_widths)
    if "--callgrind" in sys.argv:
        callgrind(widths)
        return
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    t, p, given = arrays()
    cell_years = t.shape[0] * t.shape[1]
    measured = {width: [] for width in widths}
    outputs = {}
    for _ in range(rounds):
        for width in widths:
            start = time.perf_counter()
            outputs[width] = _model.simulate_cells(t, p, given, 1, lane_width=width)
            measured[width].append(time.perf_counter() - start)
    for width in widths:
        assert outputs[width].tobytes() == outputs[1].tobytes(), f"width {width} differs from one cell at a time"
    print(f"{t.shape[0]} cells x {t.shape[1]} years = {cell_years} cell-years, {rounds} rounds, one thread")
    print(f"{'width':>6} {'seconds (low / median / high)':>32} {'cell-years a second':>20} "
          f"{'gain over width 1 (low / median / high)':>42}")
    for width in widths:
        times = measured[width]
        gains = sorted(a / b for a, b in zip(measured[1], times))
        print(f"{width:>6} {min(times):10.3f} / {statistics.median(times):6.3f} / {max(times):6.3f} "
              f"{cell_years / statistics.median(times):20,.0f} "
              f"{gains[0]:20.2f} / {statistics.median(gains):5.2f} / {gains[-1]:5.2f}")


if __name__ == "__main__":
    main()
