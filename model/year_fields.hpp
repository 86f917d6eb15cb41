#pragma once

// The one table of a year's fields: every column of the table of years ("years.csv"), in
// its order, with its unit, its meaning and how to read it from a year's result. The table
// of years, the station page's summary table, the Python module's results, the gathered
// tables of many stations and the grids are all made from it, so a new day count is one
// line here plus its computation.

#include <array>
#include <span>
#include <string_view>

#include "common/regime_names.hpp"
#include "common/station_parameters.hpp"
#include "model/year_evaluation.hpp"
#include "model/year_result.hpp"

namespace soil_climate {

// One row of the table: a year of a station.
struct station_year {
    std::string_view year_label;
    const station_parameters& station;  // water_holding_capacity in mm
    const year_result& year;
};

// What a field holds: words (quoted where a table needs it), a real number, a whole
// number of days, or a name of a regime table (whose position in the table is its code).
enum class field_kind { text, number, count, category };

// Where a field comes from: the station and the year's label, alike in every year of a
// run, or the simulated year.
enum class field_source { station, year };

// A field's value in one year: `number` for number and count fields and a category's
// code, `text` for text fields and a category's name.
struct field_value {
    double number = 0.0;
    std::string_view text{};
};

struct year_field {
    std::string_view name;     // the column's name
    std::string_view unit;     // "mm", "days", "degC", "degrees", or empty
    std::string_view meaning;  // one line
    field_kind kind;
    field_source source;
    field_value (*read)(const station_year& row);
    std::span<const std::string_view> categories{};  // a category field's names, by code
    double summary_sums::*summed = nullptr;          // a column of the summary: its running sum
    std::string_view page_heading{};                 // a column of the page's summary table
};

namespace fields {

constexpr field_value number(double value) {
    return {value, {}};
}
constexpr field_value text(std::string_view value) {
    return {0.0, value};
}
template <typename Regime>
constexpr field_value category(Regime regime) {
    return {static_cast<double>(index_of(regime)), name_of(regime)};
}

}  // namespace fields

inline constexpr std::array year_fields{
    year_field{"year_label", "", "the year's label, from the precipitation record", field_kind::text, field_source::station,
               [](const station_year& r) { return fields::text(r.year_label); }},
    year_field{"station_name", "", "the station's name, one word", field_kind::text, field_source::station,
               [](const station_year& r) { return fields::text(r.station.station_name); }},
    year_field{"latitude", "degrees", "the station's latitude, a magnitude", field_kind::number, field_source::station,
               [](const station_year& r) { return fields::number(r.station.latitude); }},
    year_field{"hemisphere", "", "N or S", field_kind::text, field_source::station,
               [](const station_year& r) {
                   return fields::text(r.station.hemisphere == earth_hemisphere::south ? "S" : "N");
               }},
    year_field{"water_holding_capacity_mm", "mm", "the soil's water-holding capacity", field_kind::number, field_source::station,
               [](const station_year& r) { return fields::number(r.station.water_holding_capacity); }},
    year_field{"annual_precipitation_mm", "mm", "precipitation of the year", field_kind::number, field_source::year,
               [](const station_year& r) { return fields::number(r.year.summary.annual_precipitation); }, {},
               &summary_sums::annual_precipitation, "precipitation mm"},
    year_field{"annual_pet_mm", "mm", "potential evapotranspiration of the year", field_kind::number, field_source::year,
               [](const station_year& r) { return fields::number(r.year.summary.annual_pet); }, {},
               &summary_sums::annual_pet, "PET mm"},
    year_field{"annual_water_balance_mm", "mm", "precipitation less PET over the year", field_kind::number, field_source::year,
               [](const station_year& r) { return fields::number(r.year.summary.annual_water_balance); }, {},
               &summary_sums::annual_water_balance, "AWB mm"},
    year_field{"june_august_balance_mm", "mm", "precipitation less PET over June to August", field_kind::number,
               field_source::year,
               [](const station_year& r) { return fields::number(r.year.summary.june_august_balance); }, {},
               &summary_sums::june_august_balance, "MSD mm"},
    year_field{"year_dry_days", "days", "days the moisture control section is dry", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.year_dry_days); }},
    year_field{"year_moist_dry_days", "days", "days it is partly dry and partly moist", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.year_moist_dry_days); }},
    year_field{"year_moist_days", "days", "days it is moist", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.year_moist_days); }},
    year_field{"dry_days", "days", "dry days with the soil above 5 degC", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.dry_days); }, {},
               &summary_sums::dry_days, "dry days"},
    year_field{"moist_dry_days", "days", "partly dry days with the soil above 5 degC", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.moist_dry_days); }, {},
               &summary_sums::moist_dry_days, "M/D days"},
    year_field{"moist_days", "days", "moist days with the soil above 5 degC", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.moist_days); }, {},
               &summary_sums::moist_days, "moist days"},
    year_field{"longest_moist_run", "days", "longest run of days not dry", field_kind::count, field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.longest_moist_run); }},
    year_field{"bio8_days", "days", "longest run of days not dry with the soil above 8 degC", field_kind::count,
               field_source::year, [](const station_year& r) { return fields::number(r.year.counts.bio8_days); },
               {}, &summary_sums::bio8_days, "BIO8"},
    year_field{"summer_dry_run", "days", "longest run of dry days in the summer window", field_kind::count,
               field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.summer_dry_run); }},
    year_field{"winter_moist_run", "days", "longest run of moist days in the winter window", field_kind::count,
               field_source::year,
               [](const station_year& r) { return fields::number(r.year.counts.winter_moist_run); }},
    year_field{"mean_soil_temperature_c", "degC", "mean soil temperature of the year", field_kind::number, field_source::year,
               [](const station_year& r) { return fields::number(r.year.soil.mean_soil_temperature); }, {},
               &summary_sums::mean_soil_temperature, "soil \u00B0C"},
    year_field{"seasonal_difference_c", "degC", "difference of the summer and winter soil means", field_kind::number,
               field_source::year,
               [](const station_year& r) { return fields::number(r.year.soil.seasonal_difference); }},
    year_field{"moisture_regime", "", "the soil moisture regime", field_kind::category, field_source::year,
               [](const station_year& r) { return fields::category(r.year.moisture_regime); },
               moisture_regime_names, nullptr, "moisture regime"},
    year_field{"subdivision", "", "the tentative subdivision of the moisture regime", field_kind::category, field_source::year,
               [](const station_year& r) { return fields::category(r.year.subdivision); }, subdivision_names, nullptr,
               "subdivision"},
    year_field{"temperature_regime", "", "the soil temperature regime", field_kind::category, field_source::year,
               [](const station_year& r) { return fields::category(r.year.temperature_regime); },
               temperature_regime_names, nullptr, "temperature regime"},
};

// The page's average row divides each summarised column's running sum: every number
// column of the page's summary carries one.
consteval bool page_columns_are_summed() {
    for (const year_field& field : year_fields) {
        if (!field.page_heading.empty() && field.kind != field_kind::category && field.summed == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(page_columns_are_summed());

}  // namespace soil_climate
