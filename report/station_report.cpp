#include "report/station_report.hpp"

#include "report/text_format.hpp"

namespace soil_climate {
namespace {

// A heading, a line of month numbers and a line of the twelve values, one decimal each.
void monthly_block(std::string& text, const char* heading, const monthly_series& values) {
    append_format(text, "%s\n", heading);
    for (int month = 1; month <= months_per_year; ++month) {
        append_format(text, "%8d", month);
    }
    append_format(text, "\n");
    for (const double value : values) {
        append_format(text, "%8.1lf", value);
    }
    append_format(text, "\n\n");
}

void profile_block(std::string& text, const slant_array& moisture_profile) {
    append_format(text, "%s\n      ", "Soil Moisture (mm) in every slant at the end of the year:");
    for (int column = 1; column <= profile_rows; ++column) {
        append_format(text, "%6d  ", column);
    }
    for (int i = 0; i < slant_count; ++i) {
        if (i % profile_rows == 0) {
            append_format(text, "\n%6d  ", i / profile_rows + 1);
        }
        append_format(text, "%6.3lf  ", moisture_profile[i]);
    }
    append_format(text, "\n\n");
}

// A heading and a line of day numbers, then one row of 30 cells per month.
void calendar_heading(std::string& text, const char* heading) {
    append_format(text, "%s\n   ", heading);
    for (int day = 1; day <= days_per_month; ++day) {
        append_format(text, "%2d ", day);
    }
}

void month_row_start(std::string& text, int d) {
    if (d % days_per_month == 0) {
        append_format(text, "\n%2d ", d / days_per_month + 1);
    }
}

void regime_block(std::string& text, const char* heading, std::string_view name) {
    // The names are views of the constant name literals, so data() ends in a terminator.
    append_format(text, "%s\n   ", heading);
    append_format(text, "%s\n\n", name.data());
}

}  // namespace

char temperature_symbol(double soil_temperature) {
    if (soil_temperature < 5.0) {
        return '-';
    }
    return soil_temperature < 8.0 ? '5' : '8';
}

void format_station_report(std::string& text, const std::string& year_label, const monthly_series& monthly_temperature,
                           const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                           const slant_array& moisture_profile, const daily_codes& moisture_calendar,
                           const daily_temperatures& temperature_calendar,
                           std::string_view temperature_regime, std::string_view moisture_regime,
                           std::string_view subdivision, const std::string& station_name,
                           const regime_counts& counts) {
    append_format(text, "The simulation results of Ombrisk Model for Station %s in %s\n\n", station_name.c_str(),
                  year_label.c_str());

    monthly_block(text, "Monthly Temperature (degree Celsius):", monthly_temperature);
    monthly_block(text, "Monthly Precipitation (mm):", monthly_precipitation);
    monthly_block(text, "Monthly PET (mm):", monthly_pet);
    profile_block(text, moisture_profile);

    calendar_heading(text, "Soil Temperature Calender:");
    for (int d = 0; d < days_per_year; ++d) {
        month_row_start(text, d);
        append_format(text, "%2c ", temperature_symbol(temperature_calendar[d]));
    }
    append_format(text, "\n-: T<5  5: 5<=T<8 8: T>=8\n\n");

    calendar_heading(text, "Soil Moisture Calender:");
    for (int d = 0; d < days_per_year; ++d) {
        month_row_start(text, d);
        append_format(text, "%2d ", moisture_calendar[d]);
    }
    append_format(text, "\n1: Dry  2: Partly Dry and Partly Moist  3: Moist\n\n");

    regime_block(text, "Soil Temperature Regime:", temperature_regime);
    regime_block(text, "Soil Moisture Regime:", moisture_regime);
    regime_block(text, "Tentative Subdivision of Soil Moisture Regime:", subdivision);

    append_format(text, "Number of cumulative days that the MCS during one year\n");
    append_format(text, "       DRY               M/D               Moist\n");
    append_format(text, "       %3d               %3d               %3d\n\n", counts.year_dry_days,
                  counts.year_moist_dry_days, counts.year_moist_days);
    append_format(text, "Number of cumulative days that the MCS when soil temperature is above 5 degree C\n");
    append_format(text, "       DRY               M/D               Moist\n");
    append_format(text, "       %3d               %3d               %3d\n\n", counts.dry_days, counts.moist_dry_days,
                  counts.moist_days);
    append_format(text, "Highest number of consecutive days that the MCS is Moist in some parts\n");
    append_format(text, "               Year               T>8\n");
    append_format(text, "               %3d               %3d\n\n", counts.longest_moist_run, counts.bio8_days);
    append_format(text, "Highest number of consecutive days that the MCS is\n");
    append_format(text, "Dry after Summer Solstice  Moist after Winter Solstice\n");
    append_format(text, "           %3d                          %3d\n\n", counts.summer_dry_run,
                  counts.winter_moist_run);
}

}  // namespace soil_climate
