#!/bin/sh
# The R package from a copy of r/ in the build folder, never touching the source tree.
#   r_package.sh test  SOURCE WORK RUN_STATION : installs it and runs its testthat tests,
#                      with run_station's years.csv of the example station to compare with
#   r_package.sh check SOURCE WORK             : builds its tarball and runs R CMD check,
#                      which must end without a warning or an error
set -eu
mode=$1 source=$2 work=$3
rm -rf "$work"
mkdir -p "$work/library"
cp -R "$source/r" "$work/soilclimate"
rm -rf "$work/soilclimate/src/library" "$work/soilclimate/inst/extdata"
rm -f "$work/soilclimate/src/Makevars" "$work/soilclimate/src/"*.o "$work/soilclimate/src/"*.so
export SOIL_CLIMATE_SOURCE="$source"

if [ "$mode" = test ]; then
  R CMD INSTALL --library="$work/library" "$work/soilclimate" > "$work/install.log" 2>&1 ||
    { tail -n 40 "$work/install.log"; exit 1; }
  mkdir "$work/davis"
  cp "$source"/examples/davis/* "$work/davis/"
  (cd "$work/davis" && "$4" --csv --no-reports > /dev/null)
  cd "$work/soilclimate/tests"
  SOILCLIMATE_YEARS_CSV="$work/davis/years.csv" R_LIBS="$work/library" Rscript -e \
    'testthat::test_dir("testthat", package = "soilclimate", load_package = "installed", stop_on_failure = TRUE)'
else
  (cd "$work/soilclimate" && sh ./configure > /dev/null)
  cd "$work"
  R CMD build --no-build-vignettes soilclimate > build.log 2>&1 || { tail -n 40 build.log; exit 1; }
  _R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual soilclimate_*.tar.gz > check.log 2>&1 ||
    { tail -n 60 check.log; exit 1; }
  cat check.log | sed -n '/^Status/,$p'
  if grep -q "^Status: .*\(WARNING\|ERROR\)" check.log; then
    grep -B2 -A8 "WARNING\|ERROR" check.log
    exit 1
  fi
fi
