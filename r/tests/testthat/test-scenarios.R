# A metric climate of `cells` cells in one row, each warmer than the one before from a cold
# start, so that the cells span the temperature regimes, with a dry summer; the years
# differ a little.
warming_grid <- function(cells = 8L, years = 3L) {
  season <- cos((1:12 - 7) * pi / 6)
  layer <- function(cell_value) {
    raster <- terra::rast(nrows = 1, ncols = cells, nlyrs = 12 * years, xmin = 0, xmax = cells, ymin = 40, ymax = 41,
                          crs = "EPSG:4326")
    terra::values(raster) <- t(vapply(seq_len(cells), cell_value, numeric(12 * years)))
    raster
  }
  list(temperature = layer(function(k) rep(3 * k - 4 + 11 * season, years) + rep(c(0, 0.4, -0.3)[seq_len(years)],
                                                                                  each = 12)),
       precipitation = layer(function(k) rep(pmax(2, 45 - 40 * season) * (0.5 + k / 8), years)))
}

test_that("the delta method adds the warming and multiplies by the bounded ratio of each calendar month", {
  skip_if_not_installed("terra")
  one_cell <- function(values, first) {
    raster <- terra::rast(nrows = 1, ncols = 1, nlyrs = length(values), crs = "EPSG:4326", vals = values)
    terra::time(raster) <- seq(as.Date(first), by = "month", length.out = length(values))
    raster
  }
  # Per calendar month: the historical run's two years, the future's mean, and the ratio
  # the observed month is multiplied by.
  cases <- data.frame(
    why = c("dry in both runs", "exactly the bound", "beyond the bound", "drier", "from below the floor",
            "a missing year left out", rep("unchanged", 6)),
    historical_1 = c(0.2, 10, 10, 40, 0.5, NA, rep(50, 6)),
    historical_2 = c(0.6, 30, 10, 40, 0.5, 30, rep(50, 6)),
    future = c(1, 60, 200, 20, 2.5, 45, rep(50, 6)),
    ratio = c(1, 3, 3, 0.5, 2.5, 1.5, rep(1, 6)))
  warming <- c(2, 2, -1, 0.5, 3, 0, 1, 1, 1, 1, 1, 4)
  historical_t <- -5 + (1:12) * 2
  # The future run starts in July: its calendar months come from its time.
  july_first <- c(7:12, 1:12, 1:6)
  observed_t <- c(-3.5, 1:22, 30)
  observed_p <- c((1:23) * 3, NA)
  scenario <- delta_scenario(one_cell(observed_t, "2001-01-15"), one_cell(observed_p, "2001-01-15"),
                             one_cell(c(historical_t, historical_t + 1), "1981-01-15"),
                             one_cell(c(cases$historical_1, cases$historical_2), "1981-01-15"),
                             one_cell((historical_t + 0.5 + warming)[july_first], "2050-07-15"),
                             one_cell(c(cases$future[july_first[1:6]], cases$future * c(0, 2, rep(1, 10)),
                                        cases$future[1:6] * c(2, 0, rep(1, 4))), "2050-07-15"))
  expect_equal(as.vector(terra::values(scenario$temperature)), observed_t + rep(warming, 2), tolerance = 1e-12)
  expect_equal(as.vector(terra::values(scenario$precipitation)), observed_p * rep(cases$ratio, 2), tolerance = 1e-12)
  expect_identical(terra::time(scenario$temperature), terra::time(one_cell(observed_t, "2001-01-15")))

  # A coarser model grid, 2 by 2 cells of 1 degree, its warming 1/3, 2/3, 1/7 and 5/7
  # (a float would round them), onto half-degree cells reaching beyond it in the west.
  model <- function(values) terra::rast(nrows = 2, ncols = 2, nlyrs = 12, xmin = 0, xmax = 2, ymin = 0, ymax = 2,
                                        crs = "EPSG:4326", vals = rep(rep_len(values, 4), 12))
  observed <- terra::rast(nrows = 4, ncols = 6, nlyrs = 12, xmin = -1, xmax = 2, ymin = 0, ymax = 2, crs = "EPSG:4326",
                          vals = 10)
  corners <- c(1 / 3, 2 / 3, 1 / 7, 5 / 7)
  regridded <- delta_scenario(observed, observed, model(0), model(50), model(corners), model(50))
  shifted <- matrix(terra::values(regridded$temperature)[, 1], nrow = 4, byrow = TRUE) - 10
  expect_true(is.na(shifted[1, 1]))                     # beyond the model's grid
  expect_equal(shifted[1, 3], 1 / 3, tolerance = 1e-13)  # beyond its outer centres: held
  # (0.75, 1.25) lies a quarter of the way from the north-western centre to the others.
  expect_equal(shifted[2, 4], 0.75 * (0.75 / 3 + 0.25 * 2 / 3) + 0.25 * (0.75 / 7 + 0.25 * 5 / 7), tolerance = 1e-13)
  expect_equal(terra::values(regridded$precipitation)[-c(1, 2, 7, 8, 13, 14, 19, 20), ], matrix(10, 16, 12),
               ignore_attr = TRUE)

  eleven <- model(0)[[1:11]]
  terra::time(eleven) <- seq(as.Date("2050-01-15"), by = "month", length.out = 11)
  expect_error(delta_scenario(observed, observed, model(0), model(50), eleven, model(50)),
               "future_temperature holds no December")
  expect_error(delta_scenario(observed, observed, model(0), model(50), observed, model(50)),
               "must lie on one grid: future_temperature")
})

test_that("a scenario against its baseline: itself changes nothing, 2 degrees warmer is never colder", {
  skip_if_not_installed("terra")
  grid <- warming_grid()
  same <- compare_scenario(grid$temperature, grid$precipitation, grid, capacity_mm = 150, units = "metric",
                           threads = 1)
  plain <- simulate_raster(grid$temperature, grid$precipitation, capacity_mm = 150, units = "metric", threads = 1)
  for (side in c("baseline", "scenario")) {
    renamed <- sub("^(moisture_regime|temperature_regime)", paste0("\\1_", side), names(plain))
    expect_identical(terra::values(same[[renamed]]), terra::values(plain), ignore_attr = TRUE, label = side)
  }
  changes <- grep("_change(d)?$", names(same), value = TRUE)
  expect_true(all(c("dry_days_change", "annual_precipitation_mm_change", "moisture_regime_changed") %in% changes))
  expect_true(all(terra::values(same[[changes]]) == 0))

  warmer <- delta_scenario(grid$temperature, grid$precipitation, grid$temperature, grid$precipitation,
                           grid$temperature + 2, grid$precipitation)
  change <- compare_scenario(grid$temperature, grid$precipitation, warmer, capacity_mm = 150, units = "metric",
                             threads = 1, cold_regimes = TRUE, labels = c("now", "warmer"))
  # Warmth of each temperature regime: Pergelic, Cryic, then frigid to hyperthermic, iso or not.
  tables <- soilclimate:::library_tables(cold_regimes = TRUE)
  warmth <- c(3, 3, 4, 4, 5, 5, 6, 6, 1, 2)
  stopifnot(length(warmth) == length(tables$categories[[match("temperature_regime", tables$fields$name)]]))
  before <- warmth[terra::values(change[["temperature_regime_now"]]) + 1]
  after <- warmth[terra::values(change[["temperature_regime_warmer"]]) + 1]
  expect_false(anyNA(before))
  expect_true(all(after >= before))
  expect_true(any(terra::values(change[["temperature_regime_changed"]]) == 1))
  expect_true(all(terra::values(change[["mean_soil_temperature_c_change"]]) > 0))
  expect_error(compare_scenario(grid$temperature, grid$precipitation, list(grid$temperature[[1:12]],
                                                                          grid$precipitation), 150, "metric"),
               "precipitation must have the grid and the layers of temperature")
})

test_that("two members: each regime's share of the members, agreement on the change and the robust flag", {
  skip_if_not_installed("terra")
  grid <- warming_grid(cells = 6L)
  warmer <- function(degrees) {
    delta_scenario(grid$temperature, grid$precipitation, grid$temperature, grid$precipitation,
                   grid$temperature + degrees, grid$precipitation)
  }
  ensemble <- function(members) compare_ensemble(grid$temperature, grid$precipitation, members, capacity_mm = 150,
                                                 units = "metric", threads = 1)
  regimes <- function(climate) {
    terra::values(simulate_raster(climate$temperature, climate$precipitation, 150, "metric", threads = 1)[[
      "temperature_regime"]], mat = FALSE)
  }
  baseline <- regimes(grid)
  hot <- regimes(warmer(4))
  stopifnot(any(hot != baseline), any(hot == baseline))
  split <- ensemble(list(same = grid, hot = warmer(4)))
  expect_identical(terra::values(split[["temperature_regime_hot"]], mat = FALSE), hot)
  tables <- soilclimate:::library_tables()
  regime_names <- tables$categories[[match("temperature_regime", tables$fields$name)]]
  for (k in seq_along(regime_names)) {
    share <- terra::values(split[[paste0("temperature_regime_member_share_", regime_names[k])]], mat = FALSE)
    expect_equal(share, 50 * (baseline == k - 1) + 50 * (hot == k - 1), label = regime_names[k])
  }
  # A tie goes to the first regime of the table.
  expect_identical(terra::values(split[["ensemble_most_frequent_temperature_regime"]], mat = FALSE),
                   pmin(baseline, hot))
  moved <- hot != baseline
  expect_equal(terra::values(split[["temperature_regime_change_agreement"]], mat = FALSE), ifelse(moved, 50, 100))
  expect_identical(terra::values(split[["temperature_regime_change_robust"]], mat = FALSE), as.numeric(!moved))
  # One member unchanged, one warmer: half agree with the warming, which is not robust.
  expect_true(all(terra::values(split[["mean_soil_temperature_c_agreement"]]) == 50))
  expect_true(all(terra::values(split[["mean_soil_temperature_c_robust"]]) == 0))
  both <- ensemble(list(warmer(4), warmer(5)))
  expect_true(all(terra::values(both[["mean_soil_temperature_c_agreement"]]) == 100))
  expect_true(all(terra::values(both[["mean_soil_temperature_c_robust"]]) == 1))
  expect_true("temperature_regime_2" %in% names(both))
  expect_error(ensemble(list(baseline = grid)), "labels must differ")
})
