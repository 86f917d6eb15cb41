#!/usr/bin/env bash
# Times run_stations -j N over many small stations (copies of the example station) against
# the ideal: a plain serial shell loop of `run_station --csv` over the same folders, one
# process per station, divided by N. Both run in this one go, alternating, on tmpfs (/dev/shm) where it exists;
# the spread over the rounds is printed.
# usage: bench/run_stations_benchmark.sh [STATIONS [JOBS [ROUNDS [OPTIONS]]]]   (default 200 2 5)
# OPTIONS go to both sides, e.g. "--no-reports" for lean outputs.
set -euo pipefail
cd "$(dirname "$0")/.."
stations=${1:-200} jobs=${2:-2} rounds=${3:-5} options=${4:-}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j 2 --target run_station gather_stations > /dev/null
program=$PWD/build/run_station
root=/dev/shm
[ -d "$root" ] || root=${TMPDIR:-/tmp}
work=$(mktemp -d -p "$root")
trap 'rm -rf "$work"' EXIT

fresh_stations() {
  rm -rf "$work/stations" "$work/results"
  mkdir -p "$work/stations"
  for i in $(seq -w 1 "$stations"); do
    mkdir "$work/stations/s$i"
    cp examples/davis/monthly_T examples/davis/monthly_P examples/davis/parameter "$work/stations/s$i/"
  done
}

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

serial_loop() {
  # One process per station and nothing more: the station's folder given to run_station.
  # shellcheck disable=SC2086 # the options are separate words
  for dir in "$work"/stations/*/; do "$program" --csv $options --input-dir "$dir" > /dev/null; done
}

batch_run() {
  # shellcheck disable=SC2086
  RUN_STATION=$program tools/run_stations -j "$jobs" $options -o "$work/results" "$work"/stations/*/
}

serial=() batch=() ratio=()
for round in $(seq 1 "$rounds"); do
  fresh_stations
  if [ $((round % 2)) -eq 1 ]; then
    s=$(seconds serial_loop); fresh_stations; b=$(seconds batch_run)
  else
    b=$(seconds batch_run); fresh_stations; s=$(seconds serial_loop)
  fi
  serial+=("$s") batch+=("$b")
  ratio+=("$(echo "scale=3; $b / ($s / $jobs)" | bc)")
done
spread() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%.3f / %.3f / %.3f", v[1], v[int((NR + 1) / 2)], v[NR] }'; }
echo "$stations stations of $(wc -l < examples/davis/monthly_T) years on $root, $rounds rounds (lowest / median / highest):"
echo "  serial loop of run_station --csv $options: $(spread "${serial[@]}") s"
echo "  run_stations -j $jobs:              $(spread "${batch[@]}") s"
echo "  run_stations / (serial / $jobs):     $(spread "${ratio[@]}")"
