# A baseline climate against one scenario of it, or against the members of an ensemble:
# every climate simulated on the baseline's cells, each side summed up over all its years,
# and the change from the baseline compared as two periods are.

robust_share <- 2 / 3

# A scenario as delta_scenario gives it: a list of the temperature and the precipitation
# rasters (named so, or the two in that order), checked as the model takes a climate and
# on the baseline's grid.
scenario_climate <- function(scenario, what, baseline) {
  if (is.list(scenario) && all(c("temperature", "precipitation") %in% names(scenario))) {
    scenario <- scenario[c("temperature", "precipitation")]
  }
  if (!is.list(scenario) || length(scenario) != 2L) {
    stop(what, " must be a list of two SpatRasters, temperature and precipitation, as delta_scenario gives",
         call. = FALSE)
  }
  check_climate(scenario[[1]], scenario[[2]])
  if (!terra::compareGeom(scenario[[1]], baseline, stopOnError = FALSE)) {
    stop(what, " must lie on the baseline's grid", call. = FALSE)
  }
  list(temperature = scenario[[1]], precipitation = scenario[[2]])
}

# Labels that name layers: distinct, and none a word the change layers end in.
check_labels <- function(labels, count, reserved) {
  if (!is.character(labels) || length(labels) != count || anyNA(labels) || !all(nzchar(labels))) {
    stop("labels must be ", count, " names, one a side", call. = FALSE)
  }
  taken <- c(reserved, "changed", "change_agreement", "change_robust")
  if (anyDuplicated(labels) || any(labels %in% taken)) {
    stop("labels must differ from each other and from ", paste0("\"", taken, "\"", collapse = ", "), call. = FALSE)
  }
  labels
}

compare_scenario <- function(temperature, precipitation, scenario, capacity_mm, units, ..., latitude = NULL,
                             threads = 0L, cold_regimes = FALSE, labels = c("baseline", "scenario")) {
  given <- given_parameters(list(...))
  need_terra("compare_scenario")
  if (missing(units)) {
    stop(units_needed, call. = FALSE)
  }
  labels <- check_labels(labels, 2L, character())
  check_climate(temperature, precipitation)
  climates <- list(list(temperature = temperature, precipitation = precipitation),
                   scenario_climate(scenario, "scenario", temperature))
  tables <- library_tables(cold_regimes)
  sides <- lapply(climates, function(climate) {
    side_summaries(simulate_climate(climate$temperature, climate$precipitation, capacity_mm, units, given, latitude,
                                    threads, cold_regimes), tables)
  })
  compared_rasters(sides, labels, temperature, tables)
}

compare_ensemble <- function(temperature, precipitation, members, capacity_mm, units, ..., latitude = NULL,
                             threads = 0L, cold_regimes = FALSE, labels = names(members)) {
  given <- given_parameters(list(...))
  need_terra("compare_ensemble")
  if (missing(units)) {
    stop(units_needed, call. = FALSE)
  }
  if (!is.list(members) || length(members) == 0L || inherits(members, "SpatRaster")) {
    stop("members must be a list of scenarios, each a list of temperature and precipitation", call. = FALSE)
  }
  labels <- check_labels(if (is.null(labels)) as.character(seq_along(members)) else labels, length(members),
                         "baseline")
  check_climate(temperature, precipitation)
  # Every member checked before any is simulated, so that a bad one stops the call at once.
  members <- Map(scenario_climate, members, paste0("member ", labels), list(temperature))
  tables <- library_tables(cold_regimes)
  summed_up <- function(climate) {
    side_summaries(simulate_climate(climate$temperature, climate$precipitation, capacity_mm, units, given, latitude,
                                    threads, cold_regimes), tables)
  }
  baseline <- summed_up(list(temperature = temperature, precipitation = precipitation))
  ensemble_rasters(baseline, lapply(members, summed_up), labels, temperature, tables)
}

# The members' mean of a change, value by value, over the members that have one (NA where
# none has).
members_mean <- function(changes) {
  sum <- Reduce(`+`, lapply(changes, function(change) ifelse(is.na(change), 0, change)))
  count <- Reduce(`+`, lapply(changes, function(change) !is.na(change)))
  sum / ifelse(count > 0L, count, NA)
}

# Whether at least two thirds agree, from the share agreeing in percent (NA where no
# member has a say).
robust_flag <- function(agreement) as.integer(agreement >= robust_share * 100 - 1e-9)

# The baseline and each member's scenario, summed up by `side_summaries`, read together.
# For each regime: the baseline's layers, each member's most frequent regime, the regime
# most members make the most frequent with the share of the members behind each regime,
# whether that differs from the baseline's, the members' mean change of each regime's
# share, and the share of the members agreeing with most of them on whether the cell's
# regime changes, with its robust flag. For each number field: the members' mean change,
# the share of the members whose change has the sign of that mean (a change of 0 its own
# sign), and its robust flag.
ensemble_rasters <- function(baseline, members, labels, template, tables) {
  layer <- function(values, name) terra::rast(template, nlyrs = 1L, names = name, vals = values)
  across <- function(values) matrix(unlist(values), ncol = length(members))  # cells by members
  layers <- list()
  for (name in regime_layers) {
    names <- regime_names(name, tables)
    before <- baseline$regimes[[name]]
    layers <- c(layers, regime_rasters(before, name, names, template, paste0(name, "_baseline"), tables))
    codes <- across(lapply(members, function(member) member$regimes[[name]]$most))
    for (k in seq_along(members)) {
      layers <- c(layers, regime_raster(codes[, k], name, names, template, paste0(name, "_", labels[k]), tables))
    }
    shares <- class_shares(t(codes), names)
    member_share <- terra::rast(template, nlyrs = length(names), vals = shares$percent)
    names(member_share) <- sub("_percent_", "_member_share_", share_layer_names(name, names))
    layers <- c(layers, regime_raster(shares$most, name, names, template, paste0("ensemble_most_frequent_", name),
                                      tables), member_share,
                layer(as.integer(shares$most != before$most), paste0(name, "_changed")))
    change <- terra::rast(template, nlyrs = length(names), vals = members_mean(lapply(members, function(member) {
      member$regimes[[name]]$percent - before$percent
    })))
    names(change) <- paste0(share_layer_names(name, names), "_change")
    changed <- codes != before$most
    voting <- rowSums(!is.na(changed))
    yes <- rowSums(changed, na.rm = TRUE)
    agreement <- pmax(yes, voting - yes) * 100 / ifelse(voting > 0L, voting, NA)
    layers <- c(layers, change, layer(agreement, paste0(name, "_change_agreement")),
                layer(robust_flag(agreement), paste0(name, "_change_robust")))
  }
  for (field in names(baseline$means)) {
    changes <- lapply(members, function(member) member$means[[field]] - baseline$means[[field]])
    mean_change <- members_mean(changes)
    change <- across(changes)
    answered <- rowSums(!is.na(change))
    agreement <- rowSums(sign(change) == sign(mean_change), na.rm = TRUE) * 100 / ifelse(answered > 0L, answered, NA)
    layers <- c(layers, layer(mean_change, paste0(field, "_change")), layer(agreement, paste0(field, "_agreement")),
                layer(robust_flag(agreement), paste0(field, "_robust")))
  }
  terra::rast(layers)
}
