#!/bin/sh
# Installs the project into a fresh prefix, then configures, builds and runs the consumer
# project against the installed package, as another project would.
# usage: build_against_install.sh CMAKE PROJECT_BUILD_DIR CONSUMER_SOURCE WORK_DIR
set -eu
cmake=$1 build=$2 source=$3 work=$4
rm -rf "$work"
"$cmake" --install "$build" --prefix "$work/prefix" > /dev/null
# One header is installed, below soil_climate/: no internal header under a generic name.
headers=$(cd "$work/prefix/include" && find . -type f | sort | tr '\n' ' ')
if [ "$headers" != "./soil_climate/station_simulation.hpp " ]; then
  echo "the install's headers are '$headers', expected ./soil_climate/station_simulation.hpp alone"
  exit 1
fi
"$cmake" -S "$source" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release > /dev/null
"$cmake" --build "$work/build" > /dev/null
output=$("$work/build/one_year")
expected="XERIC, DRY XERIC, Thermic, BIO8 177 days"
if [ "$output" != "$expected" ]; then
  echo "one_year printed '$output', expected '$expected'"
  exit 1
fi
