# Times the R package on a station's years against the C++ entry point on the same years,
# both in this one run, and a raster of cells against the same cells through the C++
# many-cell entry point's Python binding as a second yardstick.
#
# usage: Rscript bench/r_vs_cpp.R STATION_FOLDER STATION_YEARS_BENCH [ROUNDS]
# The package must be installed (R_LIBS=... for a library of one's own).
arguments <- commandArgs(trailingOnly = TRUE)
folder <- arguments[1]
rounds <- if (length(arguments) > 2) as.integer(arguments[3]) else 15L
suppressPackageStartupMessages(library(soilclimate))

station <- read_station(folder)
years <- length(station$labels)
times <- vapply(seq_len(rounds), function(i) system.time(simulate_station(station))[["elapsed"]] * 1000, numeric(1))
cpp <- system2(arguments[2], c(folder, rounds), stdout = TRUE)
cpp_ms <- as.numeric(sub(" ms.*", "", sub(".* in ", "", cpp[1])))
cat(sprintf("R simulate, %d station-years: median %.1f ms (range %.1f to %.1f) over %d rounds\n", years,
            stats::median(times), min(times), max(times), rounds))
cat(sprintf("C++ entry point, same years: %.1f ms; R / C++ = %.2f\n", cpp_ms, stats::median(times) / cpp_ms))

if (requireNamespace("terra", quietly = TRUE)) {
  # A raster of 100 x 100 cells, each the station's first 30 years, scaled from cell to cell.
  side <- 100L
  span <- min(30L, years)
  grid_of <- function(values, scale) {
    raster <- terra::rast(nrows = side, ncols = side, nlyrs = 12L * span, xmin = -20, xmax = 30, ymin = -40,
                          ymax = 40)
    base <- as.vector(t(values[seq_len(span), ]))
    terra::values(raster) <- outer(seq_len(side * side), seq_along(base), function(k, j) base[j] * scale(k))
    raster
  }
  temperature <- grid_of(station$temperature, function(k) 0.8 + 0.4 * ((k - 1) %/% side) / side)
  precipitation <- grid_of(station$precipitation, function(k) 0.2 + 2 * ((k - 1) %% side) / side)
  cell_years <- side * side * span
  for (threads in c(1L, 0L)) {
    times <- vapply(seq_len(5L), function(i) system.time(
      simulate_raster(temperature, precipitation, capacity_mm = 150, units = "metric", threads = threads)
    )[["elapsed"]], numeric(1))
    cat(sprintf("R simulate_raster, %d cell-years, %s: median %.2f s (range %.2f to %.2f), %.1f us a cell-year\n",
                cell_years, if (threads == 0L) "every core" else "1 thread", stats::median(times), min(times),
                max(times), stats::median(times) * 1e6 / cell_years))
  }
}
