#pragma once

// The tables that gather many stations: a station's share of years in each name of the
// three regime tables ("stations_summary.csv") and the index of the stations
// ("index.html"), a row per station with a strip of its moisture regimes year by year.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/regime_names.hpp"
#include "model/regime_tally.hpp"

namespace soil_climate {

// What the gathering step counts of one station's years.
struct station_tally : regime_tally {
    std::string station_name;  // of its first year
    // The moisture regime year by year, as runs of equal years: the first year of each run.
    struct regime_run {
        int first_year;
        soil_moisture_regime regime;
    };
    std::vector<regime_run> moisture_runs;

    void add_year(soil_moisture_regime moisture, moisture_subdivision subdivision,
                  soil_temperature_regime temperature);
};

// Two periods of years compared, each from its first to its last year, both included.
struct year_period {
    int first = 0;
    int last = 0;
};
using compared_periods = std::array<year_period, 2>;

// "A:B,C:D" read as two periods, or nullopt where the text is not two periods of years
// each in order ("1961:1990,1991:2020").
std::optional<compared_periods> parse_periods(std::string_view text);

// What one period of a station's years holds: its years, their moisture regimes and the
// sum of their mean soil temperatures (deg C).
struct period_tally {
    int years = 0;
    std::array<int, moisture_regime_names.size()> moisture_regimes{};
    double soil_temperature_sum_c = 0.0;

    void add_year(soil_moisture_regime moisture, double mean_soil_temperature_c);
};

// Where a station stands, where known: from its station.csv, else the latitude of its
// table of years.
struct station_place {
    std::optional<double> latitude;  // degrees, negative in the south
    std::optional<double> longitude;  // degrees, negative in the west
    std::optional<double> elevation;  // m
};

// One station of the gathered tables: as given on the command line, its folder, the link
// to its page, what its years hold, where it stands, how its run ended ("ok", or
// "failed (exit 1)" and the last line it printed), and the warnings of its run and its
// import.
struct station_entry {
    std::string given;
    std::string folder;
    std::string page_link;
    station_tally tally;
    station_place place;
    std::array<period_tally, 2> periods{};  // with run_stations --periods
    std::string status = "ok";
    std::string message;
    std::vector<std::string> warnings;

    bool failed() const { return status != "ok"; }
};

// How many temperature regimes the gathered tables list: the eight bands, and the two
// cold regimes as well when any station has a Pergelic or Cryic year.
std::size_t gathered_temperature_regimes(std::span<const station_entry> stations);

// stations_summary.csv: "station,years", then a column "<kind>_<name>_percent" for each
// name of each regime table (the first `temperature_regimes` of the temperature regimes),
// then latitude, longitude, elevation, status, message and warnings ("; " between them).
// A failed station's row has no years and no percentages.
void append_station_summary_header(std::string& text, std::size_t temperature_regimes);
void append_station_summary_row(std::string& text, const station_entry& station, std::size_t temperature_regimes);

// stations_periods.csv, with run_stations --periods: "station", each period and its
// years, each period's most frequent moisture regime, then for each moisture regime
// "moisture_<name>_change_pp", the change of its share of the years from the first period
// to the second in percentage points, "mean_soil_temperature_change_k" and "status". A
// failed station, or one without a year in a period, has its cells of changes empty.
void append_station_periods_header(std::string& text);
void append_station_periods_row(std::string& text, const station_entry& station, const compared_periods& periods);

// The change of one station in words, for the index: "XERIC to USTIC, +0.42 K", or
// "XERIC unchanged, -0.10 K"; empty where a period holds none of its years.
std::string period_change_words(const station_entry& station);

// The columns that stations.csv adds after each row of years.csv, and their values.
inline constexpr std::string_view station_table_place_columns = ",longitude,elevation";
void append_station_table_place(std::string& text, const station_place& place);

namespace page {

// index.html, for people: how many stations ran and failed, a map of the stations that
// have coordinates (points on a longitude/latitude frame coloured by their most frequent
// moisture regime) with the count of those it could not place, the failed stations with
// their messages, the warnings of each station that had one, and a table of every
// station (a warning mark by a station that had a warning) (its name as given, a link to its page, latitude, years, most frequent
// regimes and a strip of its moisture regime year by year) whose columns sort on a click
// (a small script; the page reads the same without it). Self-contained and offline.
// With `periods`, a column of each station's change from the first period to the second.
void append_index(std::string& text, std::span<const station_entry> stations,
                  const std::optional<compared_periods>& periods = std::nullopt);

// A relative link from the folder `from` to the file `to`, both absolute paths: "../" for
// each folder of `from` that `to` does not share, then the rest of `to`, with every byte
// that a URL may not hold as it stands percent-encoded.
std::string relative_link(std::string_view from, std::string_view to);

}  // namespace page
}  // namespace soil_climate
