# The table of a year's fields, as the C++ library defines it: the columns of years.csv,
# in order, with their units, meanings and kinds, and the names of each category field.

library_tables <- function() .year_field_table()

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
