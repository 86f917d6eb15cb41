#pragma once

// What gather_stations reads and writes of the logs: every file read with a bound and only
// when it is a regular file, the list of stations, each station's run status and last
// line, and the small log files written whole.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/input_limits.hpp"

namespace soil_climate::gather {

// The most that is read of one file: as much as run_station holds of one input. A table
// of 1,000,000 years is about 300 MB.
inline constexpr std::size_t largest_file = std::size_t{1} << 30;
// station.csv: a header and one row.
inline constexpr std::size_t largest_station_file = std::size_t{1} << 20;
// One record of a table of years or of station.csv: a station's name of at most
// longest_input_word bytes (twice that quoted), a label of at most NAME_MAX and numbers.
inline constexpr std::size_t longest_record = 8 * longest_input_word;
// One field of the list of stations: a folder's path.
inline constexpr std::size_t longest_list_field = std::size_t{1} << 20;
// A status file: a number and a line end.
inline constexpr std::size_t largest_status = 64;
// What is read of the end of a run's output for its last line.
inline constexpr std::size_t last_line_tail = 65536;

// The coordinates a station can have, as the importer checks them.
inline constexpr value_range station_latitude{"latitude", -90.0, 90.0, "degrees"};
inline constexpr value_range station_longitude{"longitude", -180.0, 360.0, "degrees"};
inline constexpr value_range station_elevation{"elevation", -500.0, 9000.0, "m"};

struct station_listed {
    std::string given;
    std::string folder;
    std::string key;  // the name of its log files
    std::string log;  // LOGS_DIR/<key>, without the ending
    std::string outputs;
};

// What went wrong with one station after its run: the part at fault ("years.csv",
// "station.csv", "outputs", "logs") and the one-line message.
struct station_fault {
    std::string part;
    std::string message;
};

// A size in words: "3 MiB", "512 bytes".
std::string size_words(std::size_t bytes);

// A file as read: its bytes; nothing when there is no such file; or what stopped the
// reading, in words that follow the file's name.
struct file_text {
    std::optional<std::string> bytes;
    std::string fault;
};

// A whole file of at most `limit` bytes, its last `limit` bytes, or its first `count`.
file_text read_bounded(const std::string& name, std::size_t limit);
file_text read_tail(const std::string& name, std::size_t limit);
file_text read_head(const std::string& name, std::size_t count);

// Writes a small file of the logs whole (under a temporary name, then renamed), and removes
// a log entry whatever stands under its name; each returns the error in words, or "".
std::string write_log_file(const std::string& name, std::string_view text);
std::string remove_log_entry(const std::string& name);

// One NUL-ended field of the list of stations; false at the end of the list.
bool read_list_field(std::istream& in, std::string& field);

// The list of stations, four fields each, with each station's log files in `logs`. A list
// cut short or empty throws run_failure.
std::vector<station_listed> read_station_list(std::istream& in, const std::string& logs);

// How a station's run ended ("exit N", else "not run") and the last line it printed.
std::string run_status(const station_listed& station);
std::string last_line(const station_listed& station);

// `value`'s last `digits` hexadecimal digits; a text's lines; a folder's name in the logs.
std::string hex_of(std::uint64_t value, int digits);
std::vector<std::string> lines_of(const std::string& text);
std::string log_key_of(const std::string& folder);

}  // namespace soil_climate::gather
