#!/usr/bin/env python3
"""Writes a long synthetic station into a folder: monthly_T, monthly_P and parameter.

usage: make_station.py FOLDER [YEARS]

The climate is Mediterranean (cool wet winters, hot dry summers) with year-to-year
variation from a fixed seed, so every run of the benchmark sees the same station.
"""
import math
import os
import random
import sys


def main():
    folder = sys.argv[1]
    years = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    os.makedirs(folder, exist_ok=True)
    normals_f = [46.2, 50.5, 54.6, 58.9, 65.3, 71.0, 74.6, 73.6, 70.3, 62.6, 52.9, 46.0]
    normals_in = [4.03, 3.83, 2.80, 1.18, 0.63, 0.20, 0.02, 0.06, 0.24, 1.05, 2.28, 3.53]
    rng = random.Random(1000)
    with open(os.path.join(folder, "monthly_T"), "w") as t, open(os.path.join(folder, "monthly_P"), "w") as p:
        for year in range(1001, 1001 + years):
            anomaly = rng.gauss(0.0, 0.9)
            wetness = math.exp(rng.gauss(0.0, 0.35))
            temps = [v + anomaly + rng.gauss(0.0, 1.6) for v in normals_f]
            rain = [v * wetness * math.exp(rng.gauss(0.0, 0.6)) for v in normals_in]
            t.write(f"{year} " + " ".join(f"{v:.1f}" for v in temps) + "\n")
            p.write(f"{year} " + " ".join(f"{v:.2f}" for v in rain) + "\n")
    with open(os.path.join(folder, "parameter"), "w") as parameter:
        parameter.write("38.5 N 6.0 2.5 0.66 0.0 Bench\n")


if __name__ == "__main__":
    main()
