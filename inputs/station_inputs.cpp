#include "inputs/station_inputs.hpp"

#include <sys/stat.h>

#include <cstdio>

#include "common/hemisphere_check.hpp"
#include "evapotranspiration/day_length_limit.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {
namespace {

// The capacity in force, mm: the command line's, else the parameter file's. A negative
// capacity is refused (its slants would hold negative water and the equilibrium test could
// never be met), and so is one beyond any soil.
double water_holding_capacity_mm(const std::optional<capacity_argument>& capacity, const station_parameters& station,
                                 const std::string& parameter_file) {
    const double capacity_mm = capacity ? capacity->mm : station.water_holding_capacity;
    if (capacity_range.holds(capacity_mm)) {
        return capacity_mm;
    }
    char bounds[64];
    std::snprintf(bounds, sizeof bounds, "%.15g to %.15g", capacity_range.lowest, capacity_range.highest);
    if (capacity) {
        throw run_failure("Command line: water-holding capacity \"" + capacity->text +
                          "\" is not a number of mm from " + bounds + ".");
    }
    throw run_failure(parameter_file + ": field " + capacity_range.field + " is outside " + bounds + " " +
                      capacity_range.unit + ".");
}

// A prefix is put before each file name as it stands, so a folder given without its
// final "/" ("data/davis") names files beside the folder ("data/davismonthly_T").
std::string prefix_hint(const std::string& file_prefix) {
    struct stat status {};
    if (file_prefix.empty() || file_prefix.back() == '/' || stat(file_prefix.c_str(), &status) != 0 ||
        !S_ISDIR(status.st_mode)) {
        return "";
    }
    return " (the prefix \"" + printable(file_prefix) + "\" is a folder; \"" + printable(file_prefix) +
           "/\" reads the files in it)";
}

}  // namespace

station_inputs::station_inputs(const run_files& files, const std::string& file_prefix,
                               const std::string& output_prefix, const std::optional<capacity_argument>& capacity,
                               const warning_sink& warn)
    : temperature_file(files.temperature, "Temperature input file opening failed.", prefix_hint(file_prefix)),
      precipitation_file(files.precipitation, "Precipitation input file opening failed.") {
    warning_list warnings;
    {
        input_file parameter_file(files.parameter, "Parameter input file opening failed.");
        text_scanner parameters(parameter_file.get(), files.parameter);
        station = read_station_parameters(parameters, warnings);
    }
    station.water_holding_capacity = water_holding_capacity_mm(capacity, station, files.parameter);
    for (const std::string& warning : warnings) {
        warn(warning);
    }

    temperature_file.make_rereadable(files.temperature);
    precipitation_file.make_rereadable(files.precipitation);
    temperature.emplace(temperature_file.get(), files.temperature);
    precipitation.emplace(precipitation_file.get(), files.precipitation);
    checked = check_monthly_files(*temperature, *precipitation, output_prefix, warn);
    if (const auto doubt = hemisphere_doubt(station.hemisphere, checked.mean_temperature)) {
        warn(files.temperature + ": " + *doubt + ".");
    }
    if (const auto notice = day_length_limit_notice(station.latitude)) {
        warn(files.parameter + ": " + *notice + ".");
    }
    if (!temperature->rewind() || !precipitation->rewind()) {
        throw run_failure(files.temperature + ": the monthly files cannot be read a second time.");
    }
}

}  // namespace soil_climate
