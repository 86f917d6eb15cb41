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
    alone <- simulate_station(cell(temperature), cell(precipitation), latitude = latitude[k],
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

# Four cells of the example station's first years, in deg F and inches, drier to wetter;
# made afresh each time, since terra sets a raster's time in place.
small_grid <- function(years = 2L, crs = "EPSG:4326") {
  files <- davis_files()
  layers <- function(values, scale) {
    raster <- terra::rast(nrows = 2, ncols = 2, nlyrs = 12 * years, xmin = -122, xmax = -120, ymin = 37, ymax = 39,
                          crs = crs)
    terra::values(raster) <- t(sapply(scale, function(s) as.vector(t(values[seq_len(years), ])) * s))
    raster
  }
  list(temperature = layers(files$temperature, c(1, 1, 1.2, 1.4)),
       precipitation = layers(files$precipitation, c(0.2, 1, 2, 4)))
}

test_that("a raster's time is read: whole years of months from January pass, any other stack is refused", {
  skip_if_not_installed("terra")
  months <- function(first, n = 24L) seq(as.Date(first), by = "month", length.out = n)
  january <- months("2000-01-15")
  dated <- function(raster, when, step) {
    if (is.null(when)) return(raster)
    if (is.null(step)) terra::time(raster) <- when else terra::time(raster, tstep = step) <- when
    raster
  }
  cases <- list(
    list("days", january, NULL, NULL, NULL, NA),
    list("seconds", as.POSIXct(months("1999-01-01")), NULL, NULL, NULL, NA),
    list("year and month", january, "yearmonths", rep(1:12, 2), "months", NA),
    list("years only", january, NULL, rep(2000:2001, each = 12), "years", NA),
    list("precipitation without time", january, NULL, NULL, NULL, NA),
    list("July start", months("2000-07-15"), NULL, NULL, NULL, "first layer is 2000-07-15 \\(July\\)$"),
    list("a month twice", january[c(1:5, 5, 7:24)], NULL, NULL, NULL,
         "first layer is 2000-01-15, layer 6 is 2000-05-15, not June 2000$"),
    list("a month missing", months("2000-01-15", 25L)[-3], NULL, NULL, NULL,
         "layer 3 is 2000-04-15, not March 2000$"),
    list("a layer without date", replace(january, 9, NA), NULL, NULL, NULL, "layer 9 has no date$"),
    list("precipitation from July", NULL, NULL, months("2000-07-15"), NULL,
         "^precipitation's layers .* first layer is 2000-07-15"),
    list("precipitation from February", january, NULL, rep(c(2:12, 1), 2), "months",
         "^precipitation's layers .* first layer is February$"),
    list("precipitation a year later", january, NULL, months("2001-01-15"), NULL,
         "^precipitation's months are not temperature's: its layer 1 is 2001-01-15, temperature's is 2000-01-15$")
  )
  plain <- with(small_grid(), terra::values(simulate_raster(temperature, precipitation, 150, "us", threads = 1)))
  for (case in cases) {
    grid <- small_grid()
    temperature <- dated(grid$temperature, case[[2]], case[[3]])
    precipitation <- dated(grid$precipitation, case[[4]], case[[5]])
    run <- function() simulate_raster(temperature, precipitation, 150, "us", threads = 1)
    if (is.na(case[[6]])) {
      expect_identical(terra::values(run()), plain, label = case[[1]])
    } else {
      expect_error(run(), case[[6]], label = case[[1]])
    }
  }
  grid <- small_grid(years = 1L)
  terra::time(grid$temperature) <- months("2000-01-15", 12L)
  expect_error(simulate_raster(grid$temperature[[1:11]], grid$precipitation[[1:11]], 150, "us"),
               "first layer is 2000-01-15, its last \\(layer 11\\) is 2000-11-15$")
})

test_that("both regime layers carry the station page's colours, one a regime", {
  skip_if_not_installed("terra")
  mapped <- with(small_grid(), simulate_raster(temperature, precipitation, 150, "us", threads = 1))
  tables <- soilclimate:::library_tables()
  for (name in c("moisture_regime", "temperature_regime")) {
    regimes <- tables$categories[[match(name, tables$fields$name)]]
    colours <- terra::coltab(mapped[[name]])[[1]]
    colours <- colours[!is.na(colours[[1]]), ]
    expect_identical(as.integer(colours[[1]]), seq_along(regimes) - 1L, label = name)
    expect_identical(grDevices::rgb(colours$red, colours$green, colours$blue, maxColorValue = 255),
                     toupper(tables[[paste0(name, "_colours")]])[seq_along(regimes)], label = name)
    expect_false(anyDuplicated(tables[[paste0(name, "_colours")]]) > 0, label = name)
  }
})

test_that("write_regimes writes codes as bytes with names and colours, shares as floats", {
  skip_if_not_installed("terra")
  grid <- small_grid(years = 3L)
  grid$precipitation[4] <- NA
  mapped <- simulate_raster(grid$temperature, grid$precipitation, 150, "us", threads = 1)
  folder <- file.path(tempfile(), "maps")
  files <- write_regimes(mapped, folder)
  expect_identical(basename(files), c("moisture_regime.tif", "moisture_regime_percent.tif", "temperature_regime.tif",
                                      "temperature_regime_percent.tif"))
  for (name in c("moisture_regime", "temperature_regime")) {
    codes <- terra::rast(file.path(folder, paste0(name, ".tif")))
    expect_identical(terra::datatype(codes), "INT1U")
    expect_identical(terra::cats(codes)[[1]][[2]], terra::cats(mapped[[name]])[[1]][[2]])
    rgb <- function(raster) {
      table <- terra::coltab(raster)[[1]]
      table <- table[!is.na(table[[1]]) & table[[1]] < nrow(terra::cats(mapped[[name]])[[1]]), ]
      grDevices::rgb(table$red, table$green, table$blue, maxColorValue = 255)
    }
    expect_identical(rgb(codes), rgb(mapped[[name]]))
    expect_equal(as.vector(terra::values(codes)), as.vector(terra::values(mapped[[name]])))
    shares <- terra::rast(file.path(folder, paste0(name, "_percent.tif")))
    layers <- grep(paste0("^", name, "_percent_"), names(mapped), value = TRUE)
    expect_identical(names(shares), layers)
    expect_true(all(terra::datatype(shares) == "FLT4S"))
    expect_equal(terra::values(shares), terra::values(mapped[[layers]]), tolerance = 1e-6)
    expect_true(all(is.na(terra::values(shares)[4, ])))
  }
  expect_true(any(abs(terra::values(mapped)[-4, -c(1, 8)] - 100 / 3) < 1e-9))  # a share a byte would truncate
  before <- file.info(files)$mtime
  expect_error(write_regimes(mapped, folder), "moisture_regime.tif exists: give overwrite = TRUE")
  expect_identical(file.info(files)$mtime, before)
  expect_error(write_regimes(mapped[[2]] * 1, folder, overwrite = TRUE), NA)
  expect_error(write_regimes(grid$temperature, folder), "none of the layers of simulate_raster")
})

test_that("a raster without a coordinate reference system needs latitude", {
  skip_if_not_installed("terra")
  bare <- small_grid(crs = "")
  expect_error(simulate_raster(bare$temperature, bare$precipitation, 150, "us"),
               "^the raster has no coordinate reference system: give latitude")
  placed <- small_grid()
  expect_identical(terra::values(simulate_raster(bare$temperature, bare$precipitation, 150, "us", latitude = 38.5)),
                   terra::values(simulate_raster(placed$temperature, placed$precipitation, 150, "us", latitude = 38.5)))
})

test_that("two periods of a raster are each the raster of that period's years alone, and their change", {
  skip_if_not_installed("terra")
  grid <- small_grid(years = 4L)
  when <- seq(as.Date("2000-01-15"), by = "month", length.out = 48L)
  terra::time(grid$temperature) <- when
  terra::time(grid$precipitation) <- when
  compared <- simulate_raster(grid$temperature, grid$precipitation, capacity_mm = 150, units = "us",
                              periods = c("2000:2001", "2002:2003"))
  for (k in 1:2) {
    span <- if (k == 1) 1:24 else 25:48
    alone <- simulate_raster(grid$temperature[[span]], grid$precipitation[[span]], capacity_mm = 150, units = "us")
    label <- if (k == 1) "2000-2001" else "2002-2003"
    for (name in names(alone)) {
      renamed <- sub("^(moisture_regime|temperature_regime)", paste0("\\1_", label), name)
      expect_equal(as.vector(terra::values(compared[[renamed]])), as.vector(terra::values(alone[[name]])),
                   label = renamed)
    }
  }
  # Each field's change is that of the cell's station from one period to the other.
  cell <- function(raster, k) matrix(as.vector(terra::values(raster)[k, ]), ncol = 12, byrow = TRUE)
  fields <- intersect(sub("_change$", "", grep("_change$", names(compared), value = TRUE)), year_fields()$name)
  expect_true(all(c("dry_days", "bio8_days", "annual_precipitation_mm", "seasonal_difference_c") %in% fields))
  for (k in c(1L, 4L)) {
    station <- simulate_station(cell(grid$temperature, k), cell(grid$precipitation, k), capacity_mm = 150, units = "us",
                                latitude = terra::yFromCell(grid$temperature, k), labels = 2000:2003)
    means <- compare_periods(station, "2000:2001", "2002:2003")$means
    expect_equal(as.vector(terra::values(compared[[paste0(fields, "_change")]])[k, ]),
                 means$change[match(fields, means$field)], label = paste("cell", k))
  }
  same <- simulate_raster(grid$temperature, grid$precipitation, capacity_mm = 150, units = "us",
                          periods = list(c(2001, 2002), "2001:2002"))
  changes <- grep("_change(d)?$", names(same), value = TRUE)
  expect_true(all(c("mean_soil_temperature_c_change", "dry_days_change", "moisture_regime_changed") %in% changes))
  expect_true(all(terra::values(same[[changes]]) == 0, na.rm = TRUE))
  expect_error(simulate_raster(grid$temperature, grid$precipitation, capacity_mm = 150, units = "us",
                               periods = c("2000:2001", "2050:2060")), "no year of the period 2050:2060")
  plain <- small_grid(years = 2L)
  expect_error(simulate_raster(plain$temperature, plain$precipitation, capacity_mm = 150, units = "us",
                               periods = c("2000:2000", "2001:2001")), "terra::time")
})

test_that("a raster's station parameters go by their table names, southern cells taking southern defaults", {
  skip_if_not_installed("terra")
  grid <- small_grid(years = 6L)
  expect_error(simulate_raster(grid$temperature, grid$precipitation, 150, "us", phase_shfit = 3),
               "unknown station parameter: phase_shfit")
  expect_error(compare_scenario(grid$temperature, grid$precipitation, grid, 150, "us", offset = 3),
               "unknown station parameter: offset")
  # Every cell at 38 degrees south, where the phase shift's default is the southern one.
  mapped <- function(...) {
    terra::values(simulate_raster(grid$temperature, grid$precipitation, 150, "us", latitude = -38, threads = 1, ...))
  }
  south <- mapped()
  expect_identical(south, mapped(phase_shift = 90, soil_temp_offset = NULL))
  expect_false(identical(south, mapped(phase_shift = 0)))
  cell <- function(raster, k) matrix(as.vector(terra::values(raster)[k, ]), ncol = 12, byrow = TRUE)
  for (k in 1:4) {
    alone <- suppressWarnings(simulate_station(cell(grid$temperature, k), cell(grid$precipitation, k),
                                               latitude = -38, capacity_mm = 150, units = "us"))
    shares <- table(alone$temperature_regime)
    expect_equal(unname(south[k, "temperature_regime"]), unname(which.max(shares)) - 1, label = paste("cell", k))
  }
})
