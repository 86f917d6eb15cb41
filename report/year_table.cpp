#include "report/year_table.hpp"

#include <charconv>

namespace soil_climate {
namespace {

void field(std::string& text, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        text += value;
        return;
    }
    text += '"';
    for (const char c : value) {
        if (c == '"') {
            text += '"';
        }
        text += c;
    }
    text += '"';
}

void field(std::string& text, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

void field(std::string& text, int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

template <typename Value, typename... Rest>
void fields(std::string& text, const Value& first, const Rest&... rest) {
    field(text, first);
    ((text += ',', field(text, rest)), ...);
    text += '\n';
}

}  // namespace

void append_year_table_header(std::string& text) {
    text +=
        "year_label,station_name,latitude,hemisphere,water_holding_capacity_mm,"
        "annual_precipitation_mm,annual_pet_mm,annual_water_balance_mm,june_august_balance_mm,"
        "year_dry_days,year_moist_dry_days,year_moist_days,dry_days,moist_dry_days,moist_days,"
        "longest_moist_run,bio8_days,summer_dry_run,winter_moist_run,"
        "mean_soil_temperature_c,seasonal_difference_c,moisture_regime,subdivision,temperature_regime\n";
}

void append_year_table_row(std::string& text, const year_table_row& row) {
    const regime_counts& c = row.counts;
    const char letter = hemisphere_letter(row.station.hemisphere);
    const std::string_view hemisphere(&letter, 1);
    fields(text, std::string_view(row.year_label), std::string_view(row.station.station_name), row.station.latitude,
           hemisphere, row.station.water_holding_capacity, row.summary.annual_precipitation, row.summary.annual_pet,
           row.summary.annual_water_balance, row.summary.june_august_balance, c.year_dry_days,
           c.year_moist_dry_days, c.year_moist_days, c.dry_days, c.moist_dry_days, c.moist_days,
           c.longest_moist_run, c.bio8_days, c.summer_dry_run, c.winter_moist_run, row.mean_soil_temperature,
           row.seasonal_difference, name_of(row.moisture_regime), name_of(row.subdivision),
           name_of(row.temperature_regime));
}

}  // namespace soil_climate
