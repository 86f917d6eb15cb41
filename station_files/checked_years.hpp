#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/model_year.hpp"

namespace soil_climate {

// What the check of the monthly files found, read before any output is opened: the
// writers size their calendars by it and the run simulates only what it checked.
struct checked_years {
    int year_count = 0;
    std::string first_label;
    std::string last_label;
    // A fingerprint of each year as checked (both labels and all 24 values), so that the
    // run simulates only what it checked however the files change meanwhile.
    std::vector<std::uint64_t> fingerprints;
    monthly_series mean_temperature{};  // of each calendar month over the years, °C
    int calendar_rows = 0;              // the rows of a calendar: a row a year, and rows for missing years
};

}  // namespace soil_climate
