#!/usr/bin/env python3
"""Times the Python module on a station's years against the C++ entry point on the same
years, both in this one run.

usage: python_vs_cpp.py STATION_FOLDER STATION_YEARS_BENCH [ROUNDS]
The module must be importable (PYTHONPATH=build/python).
"""
import statistics
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

import soil_climate


def read_monthly(path):
    rows = [line.split() for line in path.read_text().split("\n") if line.strip()]
    return [row[0] for row in rows], np.array([[float(value) for value in row[1:13]] for row in rows])


def main():
    folder = Path(sys.argv[1])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 15
    labels, temperature = read_monthly(folder / "monthly_T")
    _, precipitation = read_monthly(folder / "monthly_P")
    fields = (folder / "parameter").read_text().split()
    station = dict(units="us", latitude=float(fields[0]), hemisphere=fields[1], capacity_mm=float(fields[2]) * 25.4,
                   soil_temp_offset=float(fields[3]), amplitude_factor=float(fields[4]),
                   phase_shift=float(fields[5]), labels=labels)
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        soil_climate.simulate(temperature, precipitation, **station)
        times.append((time.perf_counter() - start) * 1e3)
    median = statistics.median(times)
    cpp = subprocess.run([sys.argv[2], str(folder), str(rounds)], check=True, capture_output=True, text=True).stdout
    cpp_ms = float(cpp.split(" in ")[1].split(" ms")[0])
    print(cpp.strip())
    print(f"Python module:   {len(labels)} years in {median:.2f} ms (median of {rounds}; {min(times):.2f} to "
          f"{max(times):.2f}), {median * 1e3 / len(labels):.2f} us a year")
    print(f"Python / C++: {median / cpp_ms:.2f}")


if __name__ == "__main__":
    main()
