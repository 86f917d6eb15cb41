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
// no script and nothing fetched. From the top: a title, the moisture calendar of every
// year (one row a year, 360 day columns), the soil temperature calendar laid out the
// same way, bars of the regime frequencies and the summary table. The page is built in
// pieces as the years come, so that memory does not grow with the number of years: the
// moisture rows go straight into the page, while the driver keeps the temperature rows
// and the summary rows aside until their sections come.

// What the title says of the station.
struct station_heading {
    std::string_view station_name;
    double latitude;
    earth_hemisphere hemisphere;
    double capacity_mm;
    int year_count;
    std::string_view first_label;
    std::string_view last_label;
};

// The calendars' rows: their height in pixels and how often a row shows its label, chosen
// by the number of years so that a long record stays readable and small.
struct calendar_layout {
    int year_count;
    int row_height;
    int label_every;
};
calendar_layout layout_for(int year_count);

// The year a row stands for: its label and, for the hover text, its three regimes.
struct year_row {
    std::string_view label;
    soil_moisture_regime moisture_regime;
    moisture_subdivision subdivision;
    soil_temperature_regime temperature_regime;
};

// The page's head and title, then the moisture calendar's heading, legend and axis.
void append_head(std::string& text, const station_heading& station, const calendar_layout& layout);

// One year's row of the moisture calendar: runs of equal days as one rectangle each.
void append_moisture_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                         const daily_codes& moisture_calendar);

// The soil temperatures that the rows drew, in bins of 1 °C bounded by whole degrees (so a
// day's side of the 5 °C and 8 °C thresholds always shows): the colour scale runs over the
// station's own range, which is known once every row is drawn.
struct temperature_scale {
    int coldest_bin = 1000;   // °C at the bin's lower bound
    int warmest_bin = -1000;
};

// One year's row of the soil temperature calendar; widens `scale` to the row's bins.
void append_temperature_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                            const daily_temperatures& temperature_calendar, temperature_scale& scale);

// The end of the moisture calendar, then the soil temperature calendar's heading, its
// legend bar over the scale with 5 °C and 8 °C marked, the colours of its bins and its
// axis; the rows follow.
void append_temperature_start(std::string& text, const calendar_layout& layout, const temperature_scale& scale);

// The end of the temperature calendar, the bars of the three regime frequencies (years
// and percent of each name, every name of its table), and the head of the summary table.
void append_frequencies(std::string& text, const calendar_layout& layout, std::span<const int> moisture_tally,
                        std::span<const int> subdivision_tally, std::span<const int> temperature_tally,
                        int year_count);

// One year's row of the summary table: the fields of the table of a year's fields that
// the page's summary shows.
void append_summary_row(std::string& text, const station_year& row);

// The summary table's average row, as the summary's average line, and the page's end.
void append_tail(std::string& text, const summary_sums& sums, int year_count);

// Text for HTML: &, <, > and " written as character references.
void append_escaped(std::string& text, std::string_view raw);

// The colour of each moisture regime, one scheme for the page's bars, the index of
// stations and the maps: told apart with every common colour-vision deficiency.
std::string_view moisture_regime_colour(soil_moisture_regime regime);

// The colour of a day of the moisture calendar: dry, partly dry and partly moist, moist.
std::string_view moisture_code_colour(moisture_code code);

}  // namespace soil_climate::page
