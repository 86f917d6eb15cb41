#pragma once

namespace soil_climate {

// Day counts and longest runs of one year, in the order the report and summary use them.
// "Above 5" and "above 8" are strict: a day at exactly 5.0 °C is not warm.
struct regime_counts {
    int year_dry_days = 0;        // days with condition 1
    int year_moist_dry_days = 0;  // days with condition 2
    int year_moist_days = 0;      // days with condition 3
    int dry_days = 0;             // condition 1 and soil above 5 °C
    int moist_dry_days = 0;       // condition 2 and soil above 5 °C
    int moist_days = 0;           // condition 3 and soil above 5 °C
    int longest_moist_run = 0;    // longest run of days with a condition other than 1
    int bio8_days = 0;            // longest run of days not dry with soil above 8 °C
    int summer_dry_run = 0;       // longest run of dry days in the summer window
    int winter_moist_run = 0;     // longest run of moist days in the winter window
};

}  // namespace soil_climate
