#pragma once

// The tables that gather many stations: a station's share of years in each name of the
// three regime tables ("stations_summary.csv") and the index of the stations
// ("index.html"), a row per station with a strip of its moisture regimes year by year.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/regime_names.hpp"

namespace soil_climate {

// What the gathering step counts of one station's years.
struct station_tally {
    std::string station_name;  // of its first year
    int years = 0;
    std::array<int, moisture_regime_names.size()> moisture_regimes{};
    std::array<int, subdivision_names.size()> subdivisions{};
    std::array<int, temperature_regime_names.size()> temperature_regimes{};
    // The moisture regime year by year, as runs of equal years: the first year of each run.
    struct regime_run {
        int first_year;
        soil_moisture_regime regime;
    };
    std::vector<regime_run> moisture_runs;

    void add_year(soil_moisture_regime moisture, moisture_subdivision subdivision,
                  soil_temperature_regime temperature);
};

// stations_summary.csv: "station,years", then a column "<kind>_<name>_percent" for each
// name of each regime table, and a row per station with the percentages to two decimals.
void append_station_summary_header(std::string& text);
void append_station_summary_row(std::string& text, std::string_view station, const station_tally& tally);

namespace page {

// index.html: its head and the table's header, a station's row with a link to its page,
// and the page's end.
void append_index_head(std::string& text);
void append_index_row(std::string& text, std::string_view station, std::string_view page_link,
                      const station_tally& tally);
void append_index_tail(std::string& text);

// A relative link from the folder `from` to the file `to`, both absolute paths: "../" for
// each folder of `from` that `to` does not share, then the rest of `to`, with every byte
// that a URL may not hold as it stands percent-encoded.
std::string relative_link(std::string_view from, std::string_view to);

}  // namespace page
}  // namespace soil_climate
