#pragma once

#include <string>
#include <string_view>

namespace soil_climate {

// Years missing from a record, as its calendars show them: between two consecutive year
// labels that are both whole numbers, the later more than one past the earlier (2002,
// 2005: 2003 and 2004 are missing). Labels that are no plain year numbers have no gaps.

// The rows the missing years take in a calendar: one a year, or a single row for a gap of
// more than `longest_gap_drawn_by_year` years; 0 where nothing is missing.
inline constexpr int longest_gap_drawn_by_year = 10;
int gap_rows(std::string_view earlier, std::string_view later);

// The label of gap row `k` (from 0): its year, or "1901-1999" for a single row.
std::string gap_row_label(std::string_view earlier, std::string_view later, int k);

}  // namespace soil_climate
