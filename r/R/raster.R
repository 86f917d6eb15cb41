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

# The most frequent class of a category field in each cell (the first in the name table
# where two are equally frequent, NA for a cell with no complete year) and the share of its
# years in each class, percent.
gather_regime <- function(outputs, field, names) {
  codes <- matrix(outputs[field, , ], nrow = dim(outputs)[2L])  # years by cells
  complete <- colSums(!is.na(codes))
  counts <- vapply(seq_along(names) - 1L, function(code) colSums(codes == code, na.rm = TRUE),
                   numeric(ncol(codes)))
  counts <- matrix(counts, ncol = length(names))
  most <- max.col(counts, ties.method = "first") - 1L
  most[complete == 0L] <- NA_integer_
  percent <- counts * 100 / ifelse(complete > 0L, complete, NA)
  list(most = most, percent = percent)
}

simulate_raster <- function(temperature, precipitation, capacity_mm, units, soil_temp_offset = 2.5,
                            amplitude_factor = 0.66, phase_shift = NULL, latitude = NULL, threads = 0L) {
  if (!requireNamespace("terra", quietly = TRUE)) {
    stop("simulate_raster needs the package terra (Debian: r-cran-terra)", call. = FALSE)
  }
  if (missing(units)) {
    stop("units must be given: \"metric\" (deg C and mm) or \"us\" (deg F and inches)", call. = FALSE)
  }
  if (!inherits(temperature, "SpatRaster") || !inherits(precipitation, "SpatRaster")) {
    stop("temperature and precipitation must be SpatRasters of monthly layers", call. = FALSE)
  }
  layers <- terra::nlyr(temperature)
  if (layers == 0L || layers %% 12L != 0L) {
    stop("temperature must hold 12 layers a year, January first, not ", layers, call. = FALSE)
  }
  if (!terra::compareGeom(temperature, precipitation, stopOnError = FALSE) || terra::nlyr(precipitation) != layers) {
    stop("precipitation must have the grid and the layers of temperature", call. = FALSE)
  }
  if (is.null(latitude)) {
    if (!terra::is.lonlat(temperature)) {
      stop("the raster is not in longitude and latitude: give latitude (one number or a one-layer SpatRaster)",
           call. = FALSE)
    }
    latitude <- terra::yFromCell(temperature, seq_len(terra::ncell(temperature)))
  } else {
    latitude <- raster_values(latitude, "latitude", temperature)
  }
  if (is.null(phase_shift)) {
    phase_shift <- ifelse(latitude < 0, 90, 0)
  } else {
    phase_shift <- raster_values(phase_shift, "phase_shift", temperature)
  }
  outputs <- .simulate_cells(terra::values(temperature, mat = TRUE), terra::values(precipitation, mat = TRUE),
                             as.double(latitude), raster_values(capacity_mm, "capacity_mm", temperature),
                             raster_values(soil_temp_offset, "soil_temp_offset", temperature),
                             raster_values(amplitude_factor, "amplitude_factor", temperature), as.double(phase_shift),
                             one_word(units, "units"), as.integer(threads))
  tables <- library_tables()
  layers <- list()
  for (name in c("moisture_regime", "temperature_regime")) {
    names <- tables$categories[[match(name, tables$fields$name)]]
    gathered <- gather_regime(outputs, match(name, tables$grid_fields), names)
    most <- terra::rast(temperature, nlyrs = 1L, names = name, vals = gathered$most)
    levels(most) <- stats::setNames(data.frame(seq_along(names) - 1L, names), c("value", name))
    if (name == "moisture_regime") {
      # The colours of the station page and the index of stations.
      terra::coltab(most) <- data.frame(value = seq_along(names) - 1L, col = tables$moisture_regime_colours)
    }
    percent <- terra::rast(temperature, nlyrs = length(names), vals = gathered$percent)
    names(percent) <- paste0(name, "_percent_", gsub("[^A-Za-z0-9]+", "_", names))
    layers <- c(layers, most, percent)
  }
  terra::rast(layers)
}
