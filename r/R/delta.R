# A climate model's change put onto an observed climate by the delta method: each of the
# model's runs reduced to a mean of every calendar month, the warming (future less
# historical, deg C) added to each observed month and the precipitation ratio,
# max(future, 1 mm) / max(historical, 1 mm) bounded at 3, multiplying it. The floor keeps
# a month the model has dry in both runs unchanged; the bound keeps a month the model wets
# from near dry from multiplying the observed rain without limit.

precipitation_floor_mm <- 1
ratio_bound <- 3

# The calendar month (1 to 12) of each layer of a model's run: as its time gives it, else
# by position in whole years, January first. Every calendar month must be there, since its
# mean is the month's reference; the run may start in any month where its time says so.
run_months <- function(x, what) {
  if (!inherits(x, "SpatRaster")) {
    stop(what, " must be a SpatRaster of monthly layers", call. = FALSE)
  }
  layers <- terra::nlyr(x)
  dated <- layer_months(x)
  if (!is.null(dated) && !all(is.na(dated$month))) {
    undated <- which(is.na(dated$month))
    if (length(undated) > 0L) {
      stop(what, "'s layer ", undated[1], " has no month", call. = FALSE)
    }
    month <- dated$month
  } else {
    if (layers == 0L || layers %% 12L != 0L) {
      stop(what, " must hold 12 layers a year, January first, or say its months with terra::time; it has ", layers,
           " layers", call. = FALSE)
    }
    month <- (seq_len(layers) - 1L) %% 12L + 1L
  }
  absent <- setdiff(1:12, month)
  if (length(absent) > 0L) {
    stop(what, " holds no ", month.name[absent[1]], call. = FALSE)
  }
  month
}

# A run's mean of each calendar month, January to December, its missing values left out
# (NaN where a cell has none of that month).
monthly_means <- function(x, what) {
  month <- run_months(x, what)
  means <- terra::tapp(x, month, fun = "mean", na.rm = TRUE)
  means <- means[[match(1:12, unique(month))]]
  names(means) <- month.abb
  means
}

# The model's change of each calendar month on its own grid: the warming (deg C) and the
# precipitation ratio, twelve layers each.
monthly_change <- function(historical_temperature, historical_precipitation, future_temperature,
                           future_precipitation) {
  runs <- list(historical_temperature, future_temperature, historical_precipitation, future_precipitation)
  what <- c("historical_temperature", "future_temperature", "historical_precipitation", "future_precipitation")
  means <- Map(monthly_means, runs, what)
  # One grid for all four: a change taken between two grids would pair unrelated cells.
  for (k in 2:4) {
    if (!terra::compareGeom(means[[1]], means[[k]], stopOnError = FALSE)) {
      stop("the model's historical and future runs must lie on one grid: ", what[k], " is not on the grid of ",
           what[1], call. = FALSE)
    }
  }
  floored <- function(mm) terra::clamp(mm, lower = precipitation_floor_mm, values = TRUE)
  list(warming = means[[2]] - means[[1]],
       ratio = terra::clamp(floored(means[[4]]) / floored(means[[3]]), upper = ratio_bound, values = TRUE))
}

# A monthly change on the observed cells: as it is where the grids agree, else
# interpolated bilinearly, projected where both grids name coordinate reference systems
# and these differ. A grid without one is taken to be in the other's. The interpolation
# works in doubles: terra's default, floats, would round every change to 7 digits.
on_observed_grid <- function(change, observed) {
  mine <- terra::crs(change)
  theirs <- terra::crs(observed)
  if (nzchar(mine) && nzchar(theirs) && mine != theirs) {
    return(terra::project(change, observed, method = "bilinear", datatype = "FLT8S"))
  }
  terra::crs(change) <- theirs
  if (terra::compareGeom(change, observed, stopOnError = FALSE)) {
    return(change)
  }
  terra::resample(change, observed, method = "bilinear", datatype = "FLT8S")
}

# Each observed layer combined with its calendar month's change; the observed layers are
# whole years from January, as the model takes them.
apply_change <- function(observed, change, combine) {
  month <- (seq_len(terra::nlyr(observed)) - 1L) %% 12L + 1L
  result <- combine(observed, on_observed_grid(change, observed)[[month]])
  names(result) <- names(observed)
  result
}

delta_scenario <- function(observed_temperature, observed_precipitation, historical_temperature,
                           historical_precipitation, future_temperature, future_precipitation) {
  need_terra("delta_scenario")
  check_climate(observed_temperature, observed_precipitation)
  change <- monthly_change(historical_temperature, historical_precipitation, future_temperature, future_precipitation)
  list(temperature = apply_change(observed_temperature, change$warming, `+`),
       precipitation = apply_change(observed_precipitation, change$ratio, `*`))
}
