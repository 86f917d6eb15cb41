#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them: the per-year model and report
# formatting on four climates, then whole runs of 1,000-year and 100-year stations
# against the file-system floor, with run_station's peak resident memory.
# Needs Google Benchmark (Debian: libbenchmark-dev) and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DRUN_STATION_BENCH=ON -DRUN_STATION_TESTS=OFF > /dev/null
cmake --build build-bench -j 2 > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build-bench/model_bench --benchmark_min_time=0.2
for years in 1000 100; do
  python3 bench/make_station.py "$work/station_$years" "$years"
  echo "== ${years}-year station"
  build-bench/run_vs_floor build-bench/run_station "$work/station_$years" 21
done
