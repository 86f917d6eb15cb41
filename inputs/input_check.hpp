#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/model_year.hpp"
#include "inputs/input_records.hpp"
#include "inputs/text_scanner.hpp"
#include "station_files/checked_years.hpp"

namespace soil_climate {

// The fingerprint of a year as read: its labels and the bits of its values.
std::uint64_t fingerprint_of(const year_record& year);

// Where the readers' warnings go as they arise (run_station prints them on standard
// error; the Python and R modules hand them to their callers).
using warning_sink = std::function<void(const std::string&)>;

// Reads both monthly files through once, before any output file is created or changed,
// and checks every record: complete, numeric, within range, a precipitation record for
// every temperature record, and a label that can name a file. The first fault ends the
// run with its message. Warnings go to `warn`: a precipitation label that differs
// from its temperature record's (the files may pair the wrong years) and a label that
// repeats an earlier year's (its report replaces the earlier one). Memory grows only with
// the labels remembered for that second warning and a fingerprint of 8 bytes a year.
checked_years check_monthly_files(text_scanner& temperature, text_scanner& precipitation,
                                  const std::string& file_prefix, const warning_sink& warn);

}  // namespace soil_climate
