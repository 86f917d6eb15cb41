# Two periods of a station's record compared: each regime's years and share of years in
# each period and the change in percentage points, and the change in the mean of every
# field of the year (soil temperatures, day counts, water sums).

parse_period <- function(period) {
  parts <- if (is.numeric(period) && length(period) == 2L) period else
    suppressWarnings(as.numeric(strsplit(as.character(period)[1], ":", fixed = TRUE)[[1]]))
  if (length(parts) != 2L || any(is.na(parts)) || any(parts != round(parts))) {
    stop("a period is \"FIRST:LAST\", e.g. \"1961:1990\", not \"", paste(period, collapse = " "), "\"", call. = FALSE)
  }
  if (parts[1] > parts[2]) {
    stop("the period ", parts[1], ":", parts[2], " ends before it begins", call. = FALSE)
  }
  parts
}

compare_periods <- function(result, first, second) {
  if (!inherits(result, "soilclimate_years")) {
    stop("result must be the years of simulate_station()", call. = FALSE)
  }
  periods <- list(parse_period(first), parse_period(second))
  years <- suppressWarnings(as.numeric(result$year_label))
  if (any(is.na(years))) {
    stop("comparing periods needs years as the labels of the station's years", call. = FALSE)
  }
  rows <- lapply(periods, function(period) {
    chosen <- which(years >= period[1] & years <= period[2])
    if (length(chosen) == 0L) {
      stop("the station holds no year of the period ", period[1], ":", period[2], call. = FALSE)
    }
    chosen
  })
  fields <- year_fields()
  frequencies <- do.call(rbind, lapply(c("moisture_regime", "subdivision", "temperature_regime"), function(kind) {
    names <- levels(result[[kind]])  # with the cold regimes where the run gave them
    counts <- lapply(rows, function(chosen) as.vector(table(factor(result[[kind]][chosen], levels = names))))
    share <- Map(function(count, chosen) count * 100 / length(chosen), counts, rows)
    data.frame(kind = kind, regime = names, years_first = counts[[1]], percent_first = share[[1]],
               years_second = counts[[2]], percent_second = share[[2]], change_pp = share[[2]] - share[[1]],
               stringsAsFactors = FALSE)
  }))
  numeric_fields <- fields$name[fields$source == "year" & fields$kind %in% c("number", "count")]
  means <- vapply(rows, function(chosen) vapply(numeric_fields, function(name) mean(as.double(result[[name]][chosen])),
                                                numeric(1)), numeric(length(numeric_fields)))
  rownames(frequencies) <- NULL
  structure(list(periods = periods, years = lengths(rows), frequencies = frequencies,
                 means = data.frame(field = numeric_fields, first = means[, 1], second = means[, 2],
                                    change = means[, 2] - means[, 1], row.names = NULL, stringsAsFactors = FALSE)),
            class = "soilclimate_comparison")
}

print.soilclimate_comparison <- function(x, ...) {
  p <- x$periods
  cat(sprintf("%g-%g (%d years) to %g-%g (%d years)\n", p[[1]][1], p[[1]][2], x$years[1], p[[2]][1], p[[2]][2],
              x$years[2]))
  moved <- x$frequencies[x$frequencies$kind == "moisture_regime" & x$frequencies$change_pp != 0, ]
  cat("Moisture regimes:", if (nrow(moved) == 0L) "no change" else
    paste(sprintf("%s %+.1f pp", moved$regime, moved$change_pp), collapse = ", "), "\n")
  cat(sprintf("Mean soil temperature: %+.2f K\n", x$means$change[x$means$field == "mean_soil_temperature_c"]))
  invisible(x)
}
