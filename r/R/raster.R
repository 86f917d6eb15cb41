# A raster of monthly climate through the many-cell entry point: each cell a station, its
# years' regimes gathered into the most frequent one and the share of years in each.

raster_values <- function(value, name, template) {
  if (inherits(value, "SpatRaster")) {
    if (!terra::compareGeom(value, template, stopOnError = FALSE) || terra::nlyr(value) != 1L) {
      stop(name, " must be one number or a one-layer SpatRaster of the climate's grid", call. = FALSE)
    }
    return(as.vector(terra::values(value, mat = FALSE)))
  }
  if (!is.numeric(value) || length(value) != 1L) {
    stop(name, " must be one number or a one-layer SpatRaster of the climate's grid", call. = FALSE)
  }
  as.double(value)
}

# The most frequent class in each cell of codes given one row a year (or a member) and one
# column a cell (the first in the name table where two are equally frequent, NA for a cell
# with no code) and the share of its rows in each class, percent.
class_shares <- function(codes, names) {
  complete <- colSums(!is.na(codes))
  counts <- vapply(seq_along(names) - 1L, function(code) colSums(codes == code, na.rm = TRUE),
                   numeric(ncol(codes)))
  counts <- matrix(counts, ncol = length(names))
  most <- max.col(counts, ties.method = "first") - 1L
  most[complete == 0L] <- NA_integer_
  percent <- counts * 100 / ifelse(complete > 0L, complete, NA)
  list(most = most, percent = percent)
}

# A category field's most frequent class and shares of the years in each cell.
gather_regime <- function(outputs, field, names) {
  class_shares(matrix(outputs[field, , ], nrow = dim(outputs)[2L]), names)  # years by cells
}

regime_names <- function(name, tables) tables$categories[[match(name, tables$fields$name)]]

# The year and month of each layer as the raster's time gives them (the year NA where the
# time holds only months, the month NA where it holds only years) and each layer's date as
# a message shows it; NULL for a raster whose time is not set or not in a calendar.
layer_months <- function(x) {
  info <- terra::timeInfo(x)
  if (!isTRUE(info$time[1])) {
    return(NULL)
  }
  when <- terra::time(x)
  step <- info$step[1]
  if (step %in% c("seconds", "days")) {
    parts <- as.POSIXlt(when)
    year <- parts$year + 1900L
    month <- parts$mon + 1L
    shown <- format(when, "%Y-%m-%d")
  } else if (step == "yearmonths") {
    year <- floor(when + 1e-6)
    month <- round((when - year) * 12) + 1
    shown <- ifelse(is.na(when), NA_character_, sprintf("%d-%02d", as.integer(year), as.integer(month)))
  } else if (step == "months") {
    year <- rep(NA_integer_, length(when))
    month <- when
    shown <- month.name[when]
  } else if (step == "years") {
    year <- when
    month <- rep(NA_integer_, length(when))
    shown <- as.character(when)
  } else {
    return(NULL)
  }
  list(year = as.integer(year), month = as.integer(month), shown = ifelse(is.na(shown), "NA", shown))
}

# The model takes whole years of months, January to December, each month once: a raster
# whose time says otherwise (a July start, a missing or repeated month) is refused, since
# its years would be read from the wrong months. Returns the layers' months, or NULL for a
# raster without time.
check_months <- function(x, name) {
  months <- layer_months(x)
  if (is.null(months)) {
    return(NULL)
  }
  refuse <- function(detail) {
    stop(name, "'s layers must be whole years of consecutive months, January to December: its first layer is ",
         months$shown[1], detail, call. = FALSE)
  }
  layers <- length(months$shown)
  missing <- which(is.na(months$year) & is.na(months$month))
  if (length(missing) > 0L) {
    refuse(paste0(", layer ", missing[1], " has no date"))
  }
  if (!is.na(months$month[1]) && months$month[1] != 1L) {
    refuse(if (months$shown[1] == month.name[months$month[1]]) "" else paste0(" (", month.name[months$month[1]], ")"))
  }
  index <- seq_len(layers) - 1L
  month_wrong <- !is.na(months$month) & months$month != index %% 12L + 1L
  year_wrong <- !is.na(months$year) & months$year != months$year[1] + index %/% 12L
  wrong <- which(month_wrong | year_wrong)
  if (length(wrong) > 0L) {
    k <- wrong[1]
    expected <- paste(if (!is.na(months$month[k])) month.name[index[k] %% 12L + 1L],
                      if (!is.na(months$year[k])) months$year[1] + index[k] %/% 12L)
    refuse(paste0(", layer ", k, " is ", months$shown[k], ", not ", expected))
  }
  if (layers %% 12L != 0L) {
    refuse(paste0(", its last (layer ", layers, ") is ", months$shown[layers]))
  }
  months
}

units_needed <- "units must be given: \"metric\" (deg C and mm) or \"us\" (deg F and inches)"

need_terra <- function(what) {
  if (!requireNamespace("terra", quietly = TRUE)) {
    stop(what, " needs the package terra (Debian: r-cran-terra)", call. = FALSE)
  }
}

# A climate's two rasters checked as the model takes them: one grid, 12 layers a year,
# January first, and the same months in both where their time tells them. Returns the
# temperature raster's months, or NULL for a raster without time.
check_climate <- function(temperature, precipitation) {
  if (!inherits(temperature, "SpatRaster") || !inherits(precipitation, "SpatRaster")) {
    stop("temperature and precipitation must be SpatRasters of monthly layers", call. = FALSE)
  }
  temperature_months <- check_months(temperature, "temperature")
  layers <- terra::nlyr(temperature)
  if (layers == 0L || layers %% 12L != 0L) {
    stop("temperature must hold 12 layers a year, January first, not ", layers, call. = FALSE)
  }
  if (!terra::compareGeom(temperature, precipitation, stopOnError = FALSE) || terra::nlyr(precipitation) != layers) {
    stop("precipitation must have the grid and the layers of temperature", call. = FALSE)
  }
  precipitation_months <- check_months(precipitation, "precipitation")
  if (!is.null(temperature_months) && !is.null(precipitation_months)) {
    # Each layer's year and month, where both rasters' time tells it, must agree.
    differ <- function(field) {
      a <- temperature_months[[field]]
      b <- precipitation_months[[field]]
      !is.na(a) & !is.na(b) & a != b
    }
    k <- which(differ("year") | differ("month"))
    if (length(k) > 0L) {
      stop("precipitation's months are not temperature's: its layer ", k[1], " is ", precipitation_months$shown[k[1]],
           ", temperature's is ", temperature_months$shown[k[1]], call. = FALSE)
    }
  }
  temperature_months
}

# Every cell of a checked climate through the model: the grid fields of each cell's
# years, fields by years by cells, NA for a year not simulated. `given` holds the station
# parameters with a default as given_parameters gives them.
simulate_climate <- function(temperature, precipitation, capacity_mm, units, given, latitude = NULL, threads = 0L,
                             cold_regimes = FALSE) {
  if (is.null(latitude)) {
    if (terra::crs(temperature) == "") {
      stop("the raster has no coordinate reference system: give latitude (one number or a one-layer SpatRaster)",
           call. = FALSE)
    }
    if (!isTRUE(terra::is.lonlat(temperature))) {
      stop("the raster is not in longitude and latitude: give latitude (one number or a one-layer SpatRaster)",
           call. = FALSE)
    }
    latitude <- terra::yFromCell(temperature, seq_len(terra::ncell(temperature)))
  } else {
    latitude <- raster_values(latitude, "latitude", temperature)
  }
  # A parameter not given takes its default, the southern one in southern cells.
  values <- c(list(latitude = as.double(latitude), capacity_mm = raster_values(capacity_mm, "capacity_mm", temperature)),
              Map(function(value, name) {
                if (is.null(value)) as.double(parameter_or_default(NULL, name, southern = latitude < 0))
                else raster_values(value, name, temperature)
              }, given, names(given)))
  .simulate_cells(terra::values(temperature, mat = TRUE), terra::values(precipitation, mat = TRUE),
                  values[parameters()$name], one_word(units, "units"), as.integer(threads),
                  one_flag(cold_regimes, "cold_regimes"))
}

simulate_raster <- function(temperature, precipitation, capacity_mm, units, ..., latitude = NULL, threads = 0L,
                            cold_regimes = FALSE, periods = NULL) {
  given <- given_parameters(list(...))
  need_terra("simulate_raster")
  if (missing(units)) {
    stop(units_needed, call. = FALSE)
  }
  months <- check_climate(temperature, precipitation)
  if (!is.null(periods)) {
    if (length(periods) != 2L) {
      stop("periods must be two periods, e.g. c(\"1961:1990\", \"1991:2020\")", call. = FALSE)
    }
    periods <- lapply(periods, parse_period)
    if (is.null(months) || anyNA(months$year)) {
      stop("periods need the years of the raster's layers: set them with terra::time", call. = FALSE)
    }
  }
  outputs <- simulate_climate(temperature, precipitation, capacity_mm, units, given, latitude, threads, cold_regimes)
  tables <- library_tables(cold_regimes)
  if (!is.null(periods)) {
    years <- months$year[seq(1L, terra::nlyr(temperature), by = 12L)]
    return(period_rasters(outputs, temperature, years, periods, tables))
  }
  layers <- list()
  for (name in regime_layers) {
    names <- regime_names(name, tables)
    gathered <- gather_regime(outputs, match(name, tables$grid_fields), names)
    layers <- c(layers, regime_rasters(gathered, name, names, temperature, name, tables))
  }
  terra::rast(layers)
}

# A regime's layers: the most frequent regime, categorical with the station page's colours
# (the colours of the index of stations too), named `layer`, and the share of the years in
# each regime, named after `layer`.
regime_rasters <- function(gathered, name, names, template, layer, tables) {
  percent <- terra::rast(template, nlyrs = length(names), vals = gathered$percent)
  names(percent) <- share_layer_names(layer, names)
  list(regime_raster(gathered$most, name, names, template, layer, tables), percent)
}

regime_raster <- function(most, name, names, template, layer, tables) {
  raster <- terra::rast(template, nlyrs = 1L, names = layer, vals = most)
  levels(raster) <- stats::setNames(data.frame(seq_along(names) - 1L, names), c("value", layer))
  terra::coltab(raster) <- data.frame(value = seq_along(names) - 1L,
                                      col = tables[[paste0(name, "_colours")]][seq_along(names)])
  raster
}

# What one side of a comparison sums up from its cells' years: each regime's most frequent
# class and shares, and each number field's mean over the simulated years (NA where none).
side_summaries <- function(outputs, tables) {
  regimes <- lapply(regime_layers, function(name) {
    gather_regime(outputs, match(name, tables$grid_fields), regime_names(name, tables))
  })
  fields <- mean_fields(tables)
  means <- lapply(fields, function(field) {
    values <- matrix(outputs[match(field, tables$grid_fields), , ], nrow = dim(outputs)[2L])
    ifelse(colSums(!is.na(values)) > 0L, colMeans(values, na.rm = TRUE), NA_real_)
  })
  list(regimes = stats::setNames(regimes, regime_layers), means = stats::setNames(means, fields))
}

# The grid's number fields, in the table's order: the water sums, the day counts and the
# soil temperatures.
mean_fields <- function(tables) {
  kinds <- tables$fields$kind[match(tables$grid_fields, tables$fields$name)]
  tables$grid_fields[kinds %in% c("number", "count")]
}

# Two sides compared, each summed up by `side_summaries`: each side's regime layers, their
# names ending in the side's label ("moisture_regime_1961-1990"), then for each regime
# whether the most frequent one changed (0 or 1, NA where a side has none) and the change
# in each regime's share in percentage points, then the change in each number field's mean
# (mm, days, K).
compared_rasters <- function(sides, labels, template, tables) {
  layers <- list()
  for (name in regime_layers) {
    names <- regime_names(name, tables)
    gathered <- lapply(sides, function(side) side$regimes[[name]])
    for (k in 1:2) {
      layers <- c(layers, regime_rasters(gathered[[k]], name, names, template, paste0(name, "_", labels[k]), tables))
    }
    changed <- as.integer(gathered[[2]]$most != gathered[[1]]$most)
    layers <- c(layers, terra::rast(template, nlyrs = 1L, names = paste0(name, "_changed"), vals = changed))
    change <- terra::rast(template, nlyrs = length(names), vals = gathered[[2]]$percent - gathered[[1]]$percent)
    names(change) <- paste0(share_layer_names(name, names), "_change")
    layers <- c(layers, change)
  }
  for (field in names(sides[[1]]$means)) {
    layers <- c(layers, terra::rast(template, nlyrs = 1L, names = paste0(field, "_change"),
                                    vals = sides[[2]]$means[[field]] - sides[[1]]$means[[field]]))
  }
  terra::rast(layers)
}

# Two periods of the raster's years compared as two sides, labelled by their years.
period_rasters <- function(outputs, template, years, periods, tables) {
  sides <- lapply(periods, function(period) {
    rows <- which(years >= period[1] & years <= period[2])
    if (length(rows) == 0L) {
      stop("the raster holds no year of the period ", period[1], ":", period[2], call. = FALSE)
    }
    side_summaries(outputs[, rows, , drop = FALSE], tables)
  })
  labels <- vapply(periods, function(period) paste(period, collapse = "-"), "")
  compared_rasters(sides, labels, template, tables)
}

regime_layers <- c("moisture_regime", "temperature_regime")

share_layer_names <- function(name, names) paste0(name, "_percent_", gsub("[^A-Za-z0-9]+", "_", names))

# The regime maps as files a GIS reads: one GeoTIFF a regime of its codes, one byte a cell
# with the regime names and colours, and one of the shares of its years in each regime, as
# floats. A single file of all layers cannot hold both: its one data type would be the
# codes' bytes, truncating the shares, and a multi-band GeoTIFF takes no colour table.
write_regimes <- function(x, folder, overwrite = FALSE) {
  need_terra("write_regimes")
  if (!inherits(x, "SpatRaster")) {
    stop("x must be a SpatRaster made by simulate_raster", call. = FALSE)
  }
  if (!is.character(folder) || length(folder) != 1L || is.na(folder) || !nzchar(folder)) {
    stop("folder must be one folder name", call. = FALSE)
  }
  if (!is.logical(overwrite) || length(overwrite) != 1L || is.na(overwrite)) {
    stop("overwrite must be TRUE or FALSE", call. = FALSE)
  }
  # Every name a table can list, the cold regimes' too: x holds the share layers of its run.
  tables <- library_tables(cold_regimes = TRUE)
  # What to write: each regime's layer and its share layers, as far as x holds them.
  jobs <- list()
  for (name in regime_layers) {
    if (name %in% names(x)) {
      jobs[[name]] <- list(layers = name, datatype = "INT1U")
    }
    shares <- intersect(share_layer_names(name, tables$categories[[match(name, tables$fields$name)]]), names(x))
    if (length(shares) > 0L) {
      jobs[[paste0(name, "_percent")]] <- list(layers = shares, datatype = "FLT4S")
    }
  }
  if (length(jobs) == 0L) {
    stop("x holds none of the layers of simulate_raster (moisture_regime, temperature_regime and their shares)",
         call. = FALSE)
  }
  files <- file.path(folder, paste0(names(jobs), ".tif"))
  names(files) <- names(jobs)
  # Refused before any file is written, so a refusal never leaves half a set behind.
  if (!overwrite && any(file.exists(files))) {
    stop(files[file.exists(files)][1], " exists: give overwrite = TRUE to replace it", call. = FALSE)
  }
  if (!dir.exists(folder) && !dir.create(folder, recursive = TRUE, showWarnings = FALSE)) {
    stop("cannot make the folder ", folder, call. = FALSE)
  }
  for (job in names(jobs)) {
    terra::writeRaster(x[[jobs[[job]]$layers]], files[[job]], datatype = jobs[[job]]$datatype, overwrite = overwrite)
  }
  invisible(files)
}
