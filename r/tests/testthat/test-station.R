test_that("a station folder read and simulated gives run_station's years.csv, field by field", {
  years_csv <- Sys.getenv("SOILCLIMATE_YEARS_CSV")
  skip_if(years_csv == "", "run_station's years.csv of the example station is not given (the project's tests give it)")
  expected <- utils::read.csv(years_csv, colClasses = "character", check.names = FALSE)
  result <- simulate_station(read_station(davis_folder()))
  fields <- year_fields()
  expect_identical(names(result), names(expected))
  expect_identical(names(result), fields$name)
  for (i in seq_len(nrow(fields))) {
    name <- fields$name[i]
    got <- result[[name]]
    if (fields$kind[i] == "number") {
      expect_identical(got, as.numeric(expected[[name]]), label = name)
    } else {
      expect_identical(as.character(got), expected[[name]], label = name)
    }
  }
})

test_that("the files' own units give the same bits as the station read in deg C and mm", {
  files <- davis_files()
  station <- read_station(davis_folder())
  us <- simulate_station(files$temperature, files$precipitation, latitude = 38.5, capacity_mm = 6 * 25.4, units = "us",
                 station_name = "Davis")
  expect_identical(as.data.frame(us), as.data.frame(simulate_station(station)))
  expect_identical(us$year_label, rownames(files$temperature))
  expect_identical(dim(attr(us, "moisture_calendar")), c(30L, 360L))
  expect_true(is.factor(us$moisture_regime))
  expect_identical(levels(us$moisture_regime), year_fields()$categories[[match("moisture_regime", year_fields()$name)]])
})

test_that("a southern station gets the southern phase shift, and a doubtful one a warning", {
  files <- davis_files()
  # Half a year on: a southern station's seasons.
  southern <- files$temperature[, c(7:12, 1:6)]
  south <- expect_silent(simulate_station(southern, files$precipitation, latitude = -38.5, capacity_mm = 150, units = "us"))
  expect_identical(attr(south, "station")$phase_shift, 90)
  expect_identical(unique(south$hemisphere), "S")
  expect_warning(simulate_station(southern, files$precipitation, latitude = -38.5, capacity_mm = 150, units = "us",
                          phase_shift = 0), "southern station with phase_shift 0")
  expect_warning(simulate_station(files$temperature, files$precipitation, latitude = -38.5, capacity_mm = 150,
                          units = "us"), "warmest months of the mean year are June to August")
})

test_that("a station beyond 50 degrees of latitude draws the day-length notice, one at 50 or nearer does not", {
  files <- davis_files()
  notice <- paste("day length is taken from the 50\u00b0 row of the table beyond 50\u00b0 of latitude: PET is",
                  "underestimated in summer and overestimated in winter there")
  for (latitude in c(60, -64.8, 50.01)) {
    expect_warning(simulate_station(files$temperature, files$precipitation, latitude = latitude, capacity_mm = 150,
                            units = "us", phase_shift = 0), notice, fixed = TRUE)
  }
  for (latitude in c(49.9, 50)) {
    expect_silent(simulate_station(files$temperature, files$precipitation, latitude = latitude, capacity_mm = 150,
                           units = "us"))
  }
  # read_station passes on run_station's own notice.
  folder <- file.path(tempdir(), "far_north")
  dir.create(folder, showWarnings = FALSE)
  file.copy(file.path(davis_folder(), c("monthly_T", "monthly_P")), folder, overwrite = TRUE)
  writeLines("60.0 N 6.0 2.5 0.66 0.0 Davis", file.path(folder, "parameter"))
  expect_warning(read_station(folder), notice, fixed = TRUE)
})

test_that("each bad input stops with the field, the year and the month", {
  files <- davis_files()
  bad_cell <- files$temperature
  bad_cell[3, 4] <- NA
  code <- files$precipitation
  code[2, 1] <- -99.9
  cases <- list(
    list(list(units = "kelvin"), "units must be \"metric\""),
    list(list(temperature = bad_cell), "year 3 \\(1983\\), April: temperature NA is not a finite number"),
    list(list(precipitation = code), "year 2 \\(1982\\), January: precipitation -99.9 is a missing-value code"),
    list(list(capacity_mm = -1), "capacity_mm -1 lies outside 0 to 1e\\+06 mm"),
    list(list(latitude = 95), "latitude 95 lies outside 0 to 90 degrees"),
    list(list(latitude = "north"), "latitude must be one number"),
    list(list(temperature = files$temperature[, 1:11]), "years by 12 months"),
    list(list(labels = "1981"), "one label a year"),
    list(list(hemisphere = "N", latitude = -10), "a negative latitude is southern"))
  for (case in cases) {
    arguments <- utils::modifyList(list(temperature = files$temperature, precipitation = files$precipitation,
                                        latitude = 38.5, capacity_mm = 150, units = "us"), case[[1]])
    expect_error(do.call(simulate_station, arguments), case[[2]])
  }
  expect_error(simulate_station(files$temperature, files$precipitation, latitude = 38.5, capacity_mm = 150),
               "units must be given")
  expect_error(read_station(tempdir()), "Temperature input file opening failed")
})

test_that("summary counts the regimes and plot draws the calendar", {
  result <- simulate_station(read_station(davis_folder()))
  printed <- capture.output(print(summary(result)))
  expect_true(any(grepl("^  XERIC +30  100.0 %$", printed)))
  file <- tempfile(fileext = ".png")
  grDevices::png(file)
  expect_invisible(plot(result))
  # The caller's graphical parameters reach the drawing, in place of its own.
  expect_invisible(plot(result, main = "Davis", xlab = "day", cex.main = 0.8))
  grDevices::dev.off()
  expect_gt(file.size(file), 1000)
})

test_that("the cold regimes come only when asked for, in the station and on the raster", {
  # A Fairbanks-like mean year (deg F, inches), 64.8 N: mean soil temperature 0.4 deg C.
  temperature <- matrix(c(-7.9, -2.4, 11.5, 32.1, 49.5, 60.6, 62.9, 57.3, 45.9, 26.4, 6.4, -3.4), 3, 12,
                        byrow = TRUE)
  precipitation <- matrix(c(0.6, 0.5, 0.4, 0.3, 0.6, 1.4, 2.2, 1.8, 1.1, 0.9, 0.7, 0.6), 3, 12, byrow = TRUE)
  run <- function(cold) {
    suppressWarnings(simulate_station(temperature, precipitation, latitude = 64.8, capacity_mm = 150, units = "us",
                                      cold_regimes = cold))
  }
  plain <- run(FALSE)
  cold <- run(TRUE)
  expect_identical(as.character(plain$temperature_regime), rep("Frigid", 3))
  expect_identical(as.character(cold$temperature_regime), rep("Cryic", 3))
  expect_length(levels(plain$temperature_regime), 8L)
  expect_identical(tail(levels(cold$temperature_regime), 2), c("Pergelic", "Cryic"))
  others <- setdiff(names(plain), "temperature_regime")
  expect_identical(as.data.frame(cold)[others], as.data.frame(plain)[others])
  expect_error(run(NA), "cold_regimes must be TRUE or FALSE")

  skip_if_not_installed("terra")
  layers <- function(values) {
    terra::rast(nrows = 1, ncols = 1, nlyrs = 36, xmin = -148, xmax = -147, ymin = 64.5, ymax = 65.5,
                vals = matrix(as.vector(t(values)), nrow = 1))
  }
  raster <- function(cold) {
    suppressWarnings(simulate_raster(layers(temperature), layers(precipitation), capacity_mm = 150, units = "us",
                                     latitude = 64.8, threads = 1, cold_regimes = cold))
  }
  expect_identical(nrow(terra::cats(raster(FALSE)$temperature_regime)[[1]]), 8L)
  cold_raster <- raster(TRUE)
  expect_identical(as.character(terra::values(cold_raster$temperature_regime, dataframe = TRUE)[[1]]), "Cryic")
  expect_true("temperature_regime_percent_Cryic" %in% names(cold_raster))
})

test_that("two periods compared are each the station simulated over that period alone", {
  station <- read_station(davis_folder())
  result <- simulate_station(station)
  change <- compare_periods(result, "1981:1995", c(1996, 2010))
  expect_identical(change$years, c(15L, 15L))
  early <- station
  early$temperature <- station$temperature[1:15, ]
  early$precipitation <- station$precipitation[1:15, ]
  early$labels <- station$labels[1:15]
  alone <- simulate_station(early)
  moisture <- change$frequencies[change$frequencies$kind == "moisture_regime", ]
  expect_equal(moisture$years_first, as.vector(table(alone$moisture_regime)))
  expect_equal(sum(moisture$change_pp), 0)
  expect_equal(change$means$first[change$means$field == "bio8_days"], mean(alone$bio8_days))
  same <- compare_periods(result, "1985:2000", "1985:2000")
  expect_true(all(same$frequencies$change_pp == 0) && all(same$means$change == 0))
  expect_error(compare_periods(result, "1981", "1996:2010"), "FIRST:LAST")
  expect_error(compare_periods(result, "1950:1960", "1996:2010"), "no year of the period 1950:1960")
})

test_that("the package masks no function of the packages R attaches", {
  attached <- unlist(lapply(c("package:base", "package:stats", "package:graphics", "package:utils",
                              "package:grDevices", "package:methods"), ls))
  expect_identical(intersect(getNamespaceExports("soilclimate"), attached), character(0))
})

test_that("the defaults are the library's table's, north and south", {
  table <- parameters()
  expect_identical(table$name, c("latitude", "capacity_mm", "soil_temp_offset", "amplitude_factor", "phase_shift"))
  files <- davis_files()
  given <- function(...) {
    suppressWarnings(simulate_station(files$temperature, files$precipitation, latitude = -38.5, capacity_mm = 150,
                                      units = "us", ...))
  }
  defaults <- given()
  spelled <- given(soil_temp_offset = table$default[3], amplitude_factor = table$default[4],
                   phase_shift = table$southern_default[5])
  expect_identical(as.data.frame(defaults), as.data.frame(spelled))
})

test_that("station parameters go by their table names: an unknown or unnamed one stops the call", {
  files <- davis_files()
  run <- function(...) {
    simulate_station(files$temperature, files$precipitation, latitude = 38.5, capacity_mm = 150, units = "us", ...)
  }
  expect_error(run(soil_temp_ofset = 2), "unknown station parameter: soil_temp_ofset")
  expect_error(run(2.5), "must be given by name")
  expect_error(run(phase_shift = 1, phase_shift = 2), "given twice: phase_shift")
  expect_error(run(amplitude_factor = "a"), "amplitude_factor must be one number")
  expect_identical(as.data.frame(run(phase_shift = NULL, soil_temp_offset = NULL)), as.data.frame(run()))
  warmer <- run(soil_temp_offset = 4)
  expect_identical(attr(warmer, "station")$soil_temp_offset, 4)
  expect_false(identical(warmer$mean_soil_temperature_c, run()$mean_soil_temperature_c))
  expect_identical(names(attr(warmer, "station")),
                   c("latitude", "hemisphere", parameters()$name[-1], "station_name", "cold_regimes"))
  station <- read_station(davis_folder())
  expect_identical(names(station)[match(parameters()$name, names(station))], parameters()$name)
})
