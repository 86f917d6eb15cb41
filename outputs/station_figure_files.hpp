#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/year_evaluation.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "report/figures.hpp"
#include "station_files/checked_years.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate {

// The station's figures alone (with --figures): prefix + "moisture_calendar.svg",
// "temperature_calendar.svg" and "regime_frequencies.svg", the drawings of the station
// page, written as the years come and completed at the end of the run, to be renamed into
// place with the run's tables.
class station_figure_files {
public:
    station_figure_files(const run_files& files, const std::string& file_prefix, const station_parameters& station,
                         const checked_years& checked, std::optional<std::pair<int, int>> fixed_scale,
                         bool cold_regimes = false);

    void add_year(const station_year& row);
    void finish(const run_tallies& tallies);
    void list(std::vector<output_file*>& outputs);

private:
    output_file moisture_;
    output_file temperature_;
    output_file frequencies_;
    std::string station_name_;
    figures::station_calendars calendars_;
    std::string text_;
};

}  // namespace soil_climate
