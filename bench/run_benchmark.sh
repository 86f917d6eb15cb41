#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them: the per-year model and report
# formatting on four climates; whole runs of a 1,000-year and a 100-year station against
# the file-system floor, on disk and on tmpfs, with the spread over the rounds and the
# program's peak memory; and, when valgrind is installed, the instructions per
# station-year counted by callgrind (steady where wall times are not).
# Needs Google Benchmark (Debian: libbenchmark-dev) and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DRUN_STATION_BENCH=ON -DRUN_STATION_TESTS=OFF > /dev/null
cmake --build build-bench -j 2 > /dev/null
work=$(mktemp -d -p "${TMPDIR:-/var/tmp}")
trap 'rm -rf "$work"' EXIT
roots=("$work")
[ -d /dev/shm ] && roots+=("$(mktemp -d -p /dev/shm)") && trap 'rm -rf "$work" "${roots[1]}"' EXIT

build-bench/model_bench --benchmark_min_time=0.2
for years in 1000 100; do
  python3 bench/make_station.py "$work/station_$years" "$years"
  echo "== ${years}-year station: run_station against the floor (disk: ${roots[0]}, then tmpfs)"
  build-bench/run_vs_floor build-bench/run_station "$work/station_$years" 15 "${roots[@]}"
done

if command -v valgrind > /dev/null; then
  echo "== Instructions per station-year (callgrind, start-up included)"
  for years in 100 1000; do
    run=$(mktemp -d -p "$work")
    cp "$work/station_$years"/{monthly_T,monthly_P,parameter} "$run/"
    total=$(cd "$run" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$OLDPWD/build-bench/run_station" \
      2>&1 > /dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
    echo "  ${years}-year station: $total instructions, $((total / years)) per station-year"
  done
fi

if [ -d build-bench/python/soil_climate ]; then
  echo "== The Python module against the C++ entry point, on the 1,000-year station's years"
  PYTHONPATH=build-bench/python "$(sed -n 's/^Python_EXECUTABLE:FILEPATH=//p' build-bench/CMakeCache.txt)" \
    bench/python_vs_cpp.py "$work/station_1000" build-bench/station_years_bench 21
fi

if command -v Rscript > /dev/null 2>&1 && Rscript -e 'library(soilclimate)' > /dev/null 2>&1; then
  echo "== The R package against the C++ entry point, on the 1,000-year station's years"
  Rscript bench/r_vs_cpp.R "$work/station_1000" build-bench/station_years_bench 21
fi
