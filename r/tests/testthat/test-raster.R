test_that("each cell of a raster has the regimes of its station, and NA cells stay NA", {
  skip_if_not_installed("terra")
  files <- davis_files()
  years <- 6L
  cells <- 6L
  layers <- function(values, scale) {
    # Cell k: the example station's first years, wetter and warmer from cell to cell.
    raster <- terra::rast(nrows = 2, ncols = 3, nlyrs = 12 * years, xmin = -122, xmax = -119, ymin = 37, ymax = 39)
    per_cell <- vapply(seq_len(cells), function(k) as.vector(t(values[seq_len(years), ])) * scale(k),
                       numeric(12 * years))
    terra::values(raster) <- t(per_cell)
    raster
  }
  temperature <- layers(files$temperature, function(k) 1 + (k - 1) * 0.04)
  precipitation <- layers(files$precipitation, function(k) k^2 / 4)
  precipitation[5] <- NA
  capacity <- terra::rast(temperature, nlyrs = 1, vals = c(150, 100, NA, 150, 150, 50))
  mapped <- simulate_raster(temperature, precipitation, capacity_mm = capacity, units = "us", threads = 2)
  expect_identical(names(mapped)[1], "moisture_regime")
  expect_true(terra::is.factor(mapped)[1])
  moisture <- terra::values(mapped[["moisture_regime"]], mat = FALSE)
  latitude <- terra::yFromCell(temperature, seq_len(cells))
  for (k in seq_len(cells)) {
    if (k %in% c(3L, 5L)) {
      expect_true(is.na(moisture[k]), label = paste("cell", k))
      next
    }
    cell <- function(raster) matrix(as.vector(terra::values(raster)[k, ]), ncol = 12, byrow = TRUE)
    alone <- simulate(cell(temperature), cell(precipitation), latitude = latitude[k],
                      capacity_mm = terra::values(capacity)[k], units = "us")
    shares <- 100 * table(alone$moisture_regime) / years
    expect_equal(moisture[k], unname(which.max(shares)) - 1, label = paste("cell", k))
    for (regime in names(shares)) {
      layer <- paste0("moisture_regime_percent_", regime)
      expect_equal(terra::values(mapped[[layer]])[k], as.numeric(shares[[regime]]), label = paste(k, regime))
    }
    temperature_shares <- table(alone$temperature_regime)
    expect_equal(terra::values(mapped[["temperature_regime"]])[k], unname(which.max(temperature_shares)) - 1)
  }
  expect_error(simulate_raster(temperature[[1:13]], precipitation[[1:13]], capacity_mm = 150, units = "us"),
               "12 layers a year")
})
