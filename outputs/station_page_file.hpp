#pragma once

#include <optional>
#include <string>
#include <utility>

#include "model/year_evaluation.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "report/figures.hpp"
#include "report/station_page.hpp"
#include "soil_climate/station_simulation.hpp"
#include "station_files/checked_years.hpp"

namespace soil_climate {

// A file that holds text for a while and is read back once: opened under a temporary name
// beside the run's outputs and unlinked at once, so it leaves nothing behind however the
// run ends.
class scratch_file {
public:
    scratch_file(const std::string& file_prefix, const char* failure_message);
    ~scratch_file();
    scratch_file(const scratch_file&) = delete;
    scratch_file& operator=(const scratch_file&) = delete;

    void write(std::string_view text);
    // Writes everything the file holds to `output`.
    void copy_to(output_file& output);

private:
    void flush();

    int descriptor_ = -1;
    std::string buffer_;
    const char* failure_message_;
};

// The station page (prefix + "station.html", with --html) while the run writes it, year by
// year: the moisture rows go straight into the page; the temperature rows and the summary
// rows wait in scratch files until their sections come. `fixed_scale` is the temperature
// scale given with --temperature-scale, if any.
// A year's row as the figures draw it.
figures::year_row figure_row(const station_year& row);

class station_page_file {
public:
    station_page_file(const std::string& name, const std::string& file_prefix, const station_parameters& station,
                      const checked_years& checked, std::optional<std::pair<int, int>> fixed_scale,
                      bool cold_regimes = false);

    void add_year(const station_year& row);

    // The sections that need every year (the frequencies, the average); the page is then
    // complete under its temporary name, to be renamed into place with the run's tables.
    void finish(const run_tallies& tallies);

    output_file& output() { return page_; }

private:
    output_file page_;
    scratch_file temperature_rows_;
    scratch_file summary_rows_;
    std::string station_name_;
    figures::station_calendars calendars_;
    std::string text_;
};

}  // namespace soil_climate
