library(testthat)
library(soilclimate)

test_check("soilclimate")
