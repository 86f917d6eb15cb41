#pragma once

#include <span>
#include <string>
#include <string_view>

#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/station_parameters.hpp"
#include "model/year_fields.hpp"

namespace soil_climate::page {

// The station page (station.html): one self-contained HTML file with inline SVG and CSS,
// no script and nothing fetched. From the top: a title with the run's parameters, the
// moisture calendar of every year, the soil temperature calendar (the drawings of
// report/figures.hpp, the same as the standalone figures), bars of the regime frequencies
// and the summary table with every year's regimes. The page is built in pieces as the
// years come, so that memory does not grow with the number of years: the moisture rows go
// straight into the page, while the driver keeps the temperature rows and the summary rows
// aside until their sections come.

// What the page says of the station and the run: the parameters, the years and the
// program's version.
struct station_heading {
    std::string_view station_name;
    double latitude;
    earth_hemisphere hemisphere;
    double capacity_mm;
    double soil_temp_offset;
    double amplitude_factor;
    double phase_shift;
    int year_count;
    std::string_view first_label;
    std::string_view last_label;
    std::string_view version;
};

// The page's head, its title and the run's parameters, then the moisture calendar's
// heading and note; its drawing follows (report/figures.hpp).
void append_head(std::string& text, const station_heading& station);

// Between the calendars: the soil temperature calendar's heading and note.
void append_temperature_heading(std::string& text);

// After the calendars: the frequencies of the three regime tables (years and percent of
// each name, every name of its table, with bars), and the head of the summary table.
void append_frequencies(std::string& text, std::span<const int> moisture_tally, std::span<const int> subdivision_tally,
                        std::span<const int> temperature_tally, int year_count);

// One year's row of the summary table: the fields of the table of a year's fields that
// the page's summary shows.
void append_summary_row(std::string& text, const station_year& row);

// The summary table's average row, as the summary's average line, and the page's end.
void append_tail(std::string& text, const summary_sums& sums, int year_count);


}  // namespace soil_climate::page
