# A station folder read by run_station's own readers.

read_station <- function(dir, capacity_mm = NULL) {
  prefix <- one_word(dir, "dir")
  if (dir.exists(prefix) && !endsWith(prefix, "/")) {
    prefix <- paste0(prefix, "/")
  }
  if (!is.null(capacity_mm)) {
    capacity_mm <- one_number(capacity_mm, "capacity_mm")
  }
  found <- .read_station_files(path.expand(prefix), capacity_mm)
  for (warning_text in found$warnings) {
    warning(prefix, ": ", warning_text, call. = FALSE)
  }
  found$warnings <- NULL
  rownames(found$temperature) <- found$labels
  rownames(found$precipitation) <- found$labels
  colnames(found$temperature) <- month.abb
  colnames(found$precipitation) <- month.abb
  structure(found, class = "soilclimate_station")
}

print.soilclimate_station <- function(x, ...) {
  years <- length(x$labels)
  cat(sprintf("Station %s: %d years (%s to %s), latitude %g %s, capacity %.15g mm; monthly values in deg C and mm\n",
              x$station_name, years, x$labels[1], x$labels[years], x$latitude, x$hemisphere, x$capacity_mm))
  invisible(x)
}
