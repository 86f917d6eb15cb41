davis_folder <- function() system.file("extdata", "davis", package = "soilclimate")

# The example station's monthly files as they are, deg F and inches, one row a year.
davis_files <- function() {
  read <- function(name) {
    table <- utils::read.table(file.path(davis_folder(), name), colClasses = c("character", rep("numeric", 12)))
    values <- as.matrix(table[, -1])
    dimnames(values) <- list(table[[1]], month.abb)
    values
  }
  list(temperature = read("monthly_T"), precipitation = read("monthly_P"))
}
