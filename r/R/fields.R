# The table of a year's fields, as the C++ library defines it: the columns of years.csv,
# in order, with their units, meanings and kinds, and the names of each category field.

# The categories are the names each table lists: the temperature regimes' eight bands, and
# the two cold regimes (Pergelic, Cryic) after them only with `cold_regimes`.
library_tables <- function(cold_regimes = FALSE) {
  tables <- .year_field_table()
  if (!cold_regimes) {
    k <- match("temperature_regime", tables$fields$name)
    tables$categories[[k]] <- tables$categories[[k]][seq_len(tables$first_cold_regime)]
  }
  tables
}

year_fields <- function() {
  tables <- library_tables()
  fields <- tables$fields
  fields$categories <- tables$categories
  fields
}

# A field's values as an R column: text as character, numbers as double, day counts as
# integer, regimes as factors with every name of the regime table as a level.
as_column <- function(values, kind, categories) {
  if (kind == "category") {
    return(factor(categories[values], levels = categories))
  }
  values
}

# The station parameters as the model's library defines them: name, unit, the range it
# accepts, the default in the north and in the south (NA where there is none) and meaning.
parameters <- function() .parameter_table()

# A parameter's default where the caller gave none (NULL): the table's, the southern one
# for a southern station. `southern` may say it cell by cell: where the two defaults differ,
# the default is then one a cell.
parameter_or_default <- function(value, name, southern = FALSE) {
  if (!is.null(value)) {
    return(value)
  }
  table <- parameters()
  k <- match(name, table$name)
  north <- table$default[k]
  south <- table$southern_default[k]
  if (identical(north, south)) north else ifelse(southern, south, north)
}

# The station parameters with a default, as a call gives them through `...`: checked
# against parameters() (each by its name, once), then every one of them in table order,
# the caller's value or NULL.
given_parameters <- function(given) {
  table <- parameters()
  takes <- table$name[!is.na(table$default)]
  named <- names(given)
  if (length(given) > 0L && (is.null(named) || any(!nzchar(named)))) {
    stop("station parameters must be given by name: ", paste(takes, collapse = ", "), call. = FALSE)
  }
  unknown <- setdiff(named, takes)
  if (length(unknown) > 0L) {
    stop("unknown station parameter", if (length(unknown) > 1L) "s", ": ", paste(unknown, collapse = ", "),
         " (the parameters with a default are ", paste(takes, collapse = ", "), ")", call. = FALSE)
  }
  if (anyDuplicated(named)) {
    stop("station parameter given twice: ", named[duplicated(named)][1], call. = FALSE)
  }
  stats::setNames(lapply(takes, function(name) given[[name]]), takes)
}
