# A station's years through the model: checks of the caller's arguments, the defaults of
# the southern hemisphere, and the result as a data frame of the year's fields.

monthly_matrix <- function(values, name) {
  if (is.data.frame(values)) {
    values <- as.matrix(values)
  }
  if (!is.matrix(values) || ncol(values) != 12L) {
    stop(name, " must be a matrix or data frame of years by 12 months, January first", call. = FALSE)
  }
  if (!is.numeric(values) || is.logical(values)) {
    stop(name, " must hold numbers, not ", typeof(values), call. = FALSE)
  }
  storage.mode(values) <- "double"
  values
}

one_number <- function(value, name) {
  if (!is.numeric(value) || length(value) != 1L || is.logical(value)) {
    stop(name, " must be one number", call. = FALSE)
  }
  as.double(value)
}

one_flag <- function(value, name) {
  if (!is.logical(value) || length(value) != 1L || is.na(value)) {
    stop(name, " must be TRUE or FALSE", call. = FALSE)
  }
  value
}

one_word <- function(value, name) {
  if (!is.character(value) || length(value) != 1L || is.na(value)) {
    stop(name, " must be one character string", call. = FALSE)
  }
  value
}

simulate_station <- function(temperature, precipitation, latitude, capacity_mm, units, ..., labels = NULL,
                             hemisphere = NULL, station_name = "", cold_regimes = FALSE) {
  if (inherits(temperature, "soilclimate_station")) {
    station <- temperature
    held <- intersect(parameters()$name, names(station))
    return(do.call(simulate_station, c(list(station$temperature, station$precipitation, units = station$units,
                                            labels = station$labels, hemisphere = station$hemisphere,
                                            station_name = station$station_name, cold_regimes = cold_regimes),
                                       station[held])))
  }
  given <- given_parameters(list(...))
  if (missing(units)) {
    stop("units must be given: \"metric\" (deg C and mm) or \"us\" (deg F and inches)", call. = FALSE)
  }
  units <- one_word(units, "units")
  temperature <- monthly_matrix(temperature, "temperature")
  precipitation <- monthly_matrix(precipitation, "precipitation")
  if (nrow(precipitation) != nrow(temperature)) {
    stop("temperature and precipitation must hold the same number of years", call. = FALSE)
  }
  if (is.null(labels)) {
    labels <- if (is.null(rownames(temperature))) as.character(seq_len(nrow(temperature))) else rownames(temperature)
  }
  labels <- as.character(labels)
  if (length(labels) != nrow(temperature)) {
    stop("labels must name every year, one label a year", call. = FALSE)
  }
  latitude <- one_number(latitude, "latitude")
  if (is.null(hemisphere)) {
    hemisphere <- if (latitude < 0) "S" else "N"
  } else if (latitude < 0 && !identical(hemisphere, "S")) {
    stop("a negative latitude is southern, but hemisphere is \"", hemisphere, "\"", call. = FALSE)
  }
  hemisphere <- one_word(hemisphere, "hemisphere")
  chosen <- Map(parameter_or_default, given, names(given), MoreArgs = list(southern = hemisphere == "S"))
  if (hemisphere == "S" && !is.null(given$phase_shift) && isTRUE(given$phase_shift == 0)) {
    warning("a southern station with phase_shift 0 has its warmest soil on 15 May; a phase_shift of about +90 ",
            "days puts it in February", call. = FALSE)
  }
  if (nrow(temperature) > 0L && all(is.finite(temperature))) {
    doubt <- .hemisphere_doubt(hemisphere, colMeans(temperature))
    if (nzchar(doubt)) {
      warning(doubt, call. = FALSE)
    }
  }
  # Every parameter as one number, in table order; the hemisphere follows the latitude.
  supplied <- c(list(latitude = abs(latitude), capacity_mm = capacity_mm), chosen)
  table_names <- parameters()$name
  values <- stats::setNames(lapply(table_names, function(name) one_number(supplied[[name]], name)), table_names)
  station <- c(append(values, list(hemisphere = hemisphere), after = match("latitude", table_names)),
               list(station_name = one_word(station_name, "station_name"),
                    cold_regimes = one_flag(cold_regimes, "cold_regimes")))
  raw <- .simulate_years(temperature, precipitation, unlist(values), hemisphere, labels, units,
                         station$station_name, station$cold_regimes)
  # Said once the latitude has passed the model's checks.
  notice <- .day_length_limit_notice(latitude)
  if (nzchar(notice)) {
    warning(notice, call. = FALSE)
  }
  years_frame(raw, station)
}

# The result: one row a year, one column a field of the year's table; the monthly
# values, the calendars and the end-of-year profile ride along as attributes.
years_frame <- function(raw, station) {
  tables <- library_tables(station$cold_regimes)
  columns <- Map(as_column, raw$fields, tables$fields$kind, tables$categories)
  names(columns) <- tables$fields$name
  result <- as.data.frame(columns, stringsAsFactors = FALSE, optional = TRUE)
  for (name in c("monthly_temperature", "monthly_precipitation", "monthly_pet")) {
    attr(result, name) <- with_names(raw[[name]], result$year_label, month.abb)
  }
  attr(result, "moisture_profile") <- with_names(raw$moisture_profile, result$year_label, NULL)
  attr(result, "moisture_calendar") <- with_names(raw$moisture_calendar, result$year_label, NULL)
  attr(result, "temperature_calendar") <- with_names(raw$temperature_calendar, result$year_label, NULL)
  attr(result, "equilibrium_passes") <- raw$equilibrium_passes
  attr(result, "station") <- station
  class(result) <- c("soilclimate_years", "data.frame")
  result
}

with_names <- function(values, rows, columns) {
  dimnames(values) <- list(rows, columns)
  values
}

summary.soilclimate_years <- function(object, ...) {
  frequencies <- lapply(c("moisture_regime", "subdivision", "temperature_regime"), function(name) {
    counts <- table(object[[name]])
    counts[counts > 0]
  })
  names(frequencies) <- c("moisture_regime", "subdivision", "temperature_regime")
  structure(list(years = nrow(object), station = attr(object, "station"), frequencies = frequencies),
            class = "summary.soilclimate_years")
}

print.summary.soilclimate_years <- function(x, ...) {
  station <- x$station
  cat(sprintf("%s: %d years, latitude %g %s, capacity %g mm\n",
              if (nzchar(station$station_name)) station$station_name else "Station", x$years, station$latitude,
              station$hemisphere, station$capacity_mm))
  headings <- c(moisture_regime = "Moisture regimes", subdivision = "Subdivisions",
                temperature_regime = "Temperature regimes")
  for (name in names(x$frequencies)) {
    counts <- x$frequencies[[name]]
    cat("\n", headings[[name]], ":\n", sep = "")
    width <- max(nchar(names(counts)), 1L)
    for (regime in names(counts)) {
      cat(sprintf("  %-*s %4d  %5.1f %%\n", width, regime, counts[[regime]], 100 * counts[[regime]] / x$years))
    }
  }
  invisible(x)
}

plot.soilclimate_years <- function(x, ...) {
  calendar <- attr(x, "moisture_calendar")
  tables <- library_tables()
  years <- nrow(calendar)
  old <- par(mar = c(5.5, 5, 3, 1))
  on.exit(par(old))
  # The caller's graphical parameters (main, xlab, cex.main, ...) win over the defaults.
  drawing <- utils::modifyList(list(main = "Soil moisture calendar of the moisture control section", xlab = "",
                                    ylab = ""), list(...))
  do.call(image, c(list(seq_len(360), seq_len(years), t(calendar[rev(seq_len(years)), , drop = FALSE]),
                        col = tables$moisture_code_colours, breaks = c(0.5, 1.5, 2.5, 3.5), axes = FALSE,
                        useRaster = TRUE), drawing))
  axis(1, at = (0:11) * 30 + 15, labels = month.abb, tick = FALSE)
  axis(2, at = seq_len(years), labels = rev(x$year_label), las = 1, tick = FALSE,
       cex.axis = if (years > 20) 0.7 else 1)
  box()
  # The legend in the bottom margin, 3.5 lines below the calendar whatever the plot's
  # height, so that it stays on the device.
  bottom <- grconvertY(par("usr")[3], "user", "inches")
  legend(x = 180.5, y = grconvertY(bottom - 3.5 * par("csi"), "inches", "user"), xjust = 0.5, yjust = 0.5,
         legend = tables$moisture_code_names, fill = tables$moisture_code_colours, horiz = TRUE, bty = "n",
         xpd = TRUE, cex = 0.8)
  invisible(x)
}
