#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/year_summary.hpp"
#include "model/year_evaluation.hpp"

namespace soil_climate {

// The summary file's two header lines and the empty line after them.
void append_summary_header(std::string& text);

// A year's line: label, the four summary values, the four day counts and the subdivision.
void append_summary_line(std::string& text, const std::string& year_label, const year_summary& summary,
                         const regime_counts& counts, moisture_subdivision subdivision);

// The closing line of averages, preceded by an empty line. `year_count` is at least 1.
void append_average_line(std::string& text, const summary_sums& sums, int year_count);

// A frequency table ("SMR", "SMRS"): header, one row per name with its count and
// percentage of the years (rows with no year included), then the total line.
void append_frequency_table(std::string& text, std::span<const int> tally, std::span<const std::string_view> names,
                            int year_count);

// The short form ("WSMR"): percentage and name per row, comma-separated.
void append_frequency_list(std::string& text, std::span<const int> tally, std::span<const std::string_view> names,
                           int year_count);

}  // namespace soil_climate
