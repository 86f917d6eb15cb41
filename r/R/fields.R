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
