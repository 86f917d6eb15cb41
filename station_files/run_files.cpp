#include "station_files/run_files.hpp"

#include <algorithm>
#include <array>

namespace soil_climate {
namespace {

// The suffixes of the run's files, in the order of the members of run_files.
constexpr std::array<std::string_view, 12> run_file_suffixes{
    "monthly_T",
    "monthly_P",
    "parameter",
    "summary",
    "SMRS",
    "SMR",
    "WSMR",
    "years.csv",
    "station.html",
    "moisture_calendar.svg",
    "temperature_calendar.svg",
    "regime_frequencies.svg",
};

std::string named(const std::string& file_prefix, std::size_t suffix) {
    return file_prefix + std::string(run_file_suffixes[suffix]);
}

}  // namespace

run_files name_run_files(const std::string& file_prefix) {
    return run_files{
        named(file_prefix, 0), named(file_prefix, 1), named(file_prefix, 2),  named(file_prefix, 3),
        named(file_prefix, 4), named(file_prefix, 5), named(file_prefix, 6),  named(file_prefix, 7),
        named(file_prefix, 8), named(file_prefix, 9), named(file_prefix, 10), named(file_prefix, 11),
    };
}

bool is_run_file_suffix(std::string_view name) {
    return name == lock_file_suffix ||
           std::find(run_file_suffixes.begin(), run_file_suffixes.end(), name) != run_file_suffixes.end();
}

}  // namespace soil_climate
