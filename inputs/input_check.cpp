#include "inputs/input_check.hpp"

#include <bit>
#include <cstdio>
#include <unordered_set>

#include "common/year_gaps.hpp"
#include "inputs/fingerprint.hpp"
#include "inputs/input_records.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
std::uint64_t fingerprint_of(const year_record& year) {
    fingerprint hash;
    hash.add(year.temperature_label);
    hash.add(year.year_label);
    for (const monthly_series* values : {&year.inputs.monthly_temperature, &year.inputs.monthly_precipitation}) {
        for (const double value : *values) {
            hash.add_word(std::bit_cast<std::uint64_t>(value));
        }
    }
    return hash.value();
}

checked_years check_monthly_files(text_scanner& temperature, text_scanner& precipitation,
                                  const std::string& file_prefix,
                                  const warning_sink& warn) {
    checked_years checked;
    year_record year;
    std::unordered_set<std::string> labels_seen;
    for (int n = 1; read_year(temperature, precipitation, n, year); ++n) {
        check_year_label(precipitation.file_name(), n, year.year_label, file_prefix);
        if (year.temperature_label != year.year_label) {
            warn(precipitation.file_name() + ": record " + std::to_string(n) + " (" + printable(year.year_label) +
                 ") has the label " + printable(year.temperature_label) + " in " + temperature.file_name() +
                 "; the two files may pair the wrong years. The precipitation record's label names the year.");
        }
        if (!labels_seen.insert(year.year_label).second) {
            warn(precipitation.file_name() + ": record " + std::to_string(n) + " (" + printable(year.year_label) +
                 ") repeats the label of an earlier year; its report replaces the earlier one.");
        }
        if (n == 1) {
            checked.first_label = year.year_label;
        } else {
            checked.calendar_rows += gap_rows(checked.last_label, year.year_label);
        }
        ++checked.calendar_rows;
        checked.last_label = year.year_label;
        checked.year_count = n;
        checked.fingerprints.push_back(fingerprint_of(year));
        for (int m = 0; m < months_per_year; ++m) {
            checked.mean_temperature[m] += year.inputs.monthly_temperature[m];
        }
    }
    for (double& sum : checked.mean_temperature) {
        sum /= checked.year_count > 0 ? checked.year_count : 1;
    }
    if (checked.year_count == 0) {
        throw run_failure(temperature.file_name() + ": the temperature file holds no year.");
    }
    // Records after the last year are not read, but a NUL byte there still marks a file
    // that is no text file, such as one cut short by a crash.
    precipitation.skip_to_end();
    return checked;
}

}  // namespace soil_climate
