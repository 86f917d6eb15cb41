#include "report/station_report.hpp"

#include <cmath>

#include "report/text_format.hpp"

namespace soil_climate {
namespace {

// A heading, a line of month numbers and a line of the twelve values, one decimal each.
void monthly_block(std::string& text, const char* heading, const monthly_series& values) {
    text += heading;  // "%s\n"
    text += '\n';
    for (int month = 1; month <= months_per_year; ++month) {
        append_integer(text, month, 8);  // "%8d"
    }
    text += "\n";
    for (const double value : values) {
        append_fixed(text, value, 8, 1);  // "%8.1lf"
    }
    text += "\n\n";
}

void profile_block(std::string& text, const slant_array& moisture_profile) {
    std::string cell;
    text += "Soil Moisture (mm) in every slant at the end of the year:\n      ";  // "%s\n      "
    for (int column = 1; column <= profile_rows; ++column) {
        append_integer(text, column, 6);  // "%6d  "
        text += "  ";
    }
    for (int i = 0; i < slant_count; ++i) {
        if (i % profile_rows == 0) {
            text += "\n";  // "\n%6d  "
            append_integer(text, i / profile_rows + 1, 6);
            text += "  ";
        }
        // Full and empty slants repeat one value: its cell is formatted once. The sign
        // is compared too, since 0.0 and -0.0 compare equal but print differently.
        if (i == 0 || moisture_profile[i] != moisture_profile[i - 1] ||
            std::signbit(moisture_profile[i]) != std::signbit(moisture_profile[i - 1])) {
            cell.clear();
            append_fixed(cell, moisture_profile[i], 6, 3);  // "%6.3lf  "
            cell += "  ";
        }
        text += cell;
    }
    text += "\n\n";
}

// A heading and a line of day numbers, then one row of 30 cells per month.
void calendar_heading(std::string& text, const char* heading) {
    text += heading;  // "%s\n   "
    text += "\n   ";
    for (int day = 1; day <= days_per_month; ++day) {
        append_integer(text, day, 2);  // "%2d "
        text += ' ';
    }
}

void month_row_start(std::string& text, int d) {
    if (d % days_per_month == 0) {
        text += '\n';  // "\n%2d "
        append_integer(text, d / days_per_month + 1, 2);
        text += ' ';
    }
}

// A calendar cell: "%2c " for a temperature symbol, "%2d " for a moisture code.
void calendar_cell(std::string& text, char symbol) {
    text += ' ';
    text += symbol;
    text += ' ';
}

void regime_block(std::string& text, const char* heading, std::string_view name) {
    text += heading;  // "%s\n   " then "%s\n\n"
    text += "\n   ";
    text += name;
    text += "\n\n";
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
                           soil_temperature_regime temperature_regime, soil_moisture_regime moisture_regime,
                           moisture_subdivision subdivision, const std::string& station_name,
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
        calendar_cell(text, temperature_symbol(temperature_calendar[d]));
    }
    text += "\n-: T<5  5: 5<=T<8 8: T>=8\n\n";

    calendar_heading(text, "Soil Moisture Calender:");
    for (int d = 0; d < days_per_year; ++d) {
        month_row_start(text, d);
        calendar_cell(text, static_cast<char>('0' + code_number(moisture_calendar[d])));
    }
    text += "\n1: Dry  2: Partly Dry and Partly Moist  3: Moist\n\n";

    regime_block(text, "Soil Temperature Regime:", name_of(temperature_regime));
    regime_block(text, "Soil Moisture Regime:", name_of(moisture_regime));
    regime_block(text, "Tentative Subdivision of Soil Moisture Regime:", name_of(subdivision));

    text += "Number of cumulative days that the MCS during one year\n";
    text += "       DRY               M/D               Moist\n";
    append_format(text, "       %3d               %3d               %3d\n\n", counts.year_dry_days,
                  counts.year_moist_dry_days, counts.year_moist_days);
    text += "Number of cumulative days that the MCS when soil temperature is above 5 degree C\n";
    text += "       DRY               M/D               Moist\n";
    append_format(text, "       %3d               %3d               %3d\n\n", counts.dry_days, counts.moist_dry_days,
                  counts.moist_days);
    text += "Highest number of consecutive days that the MCS is Moist in some parts\n";
    text += "               Year               T>8\n";
    append_format(text, "               %3d               %3d\n\n", counts.longest_moist_run, counts.bio8_days);
    text += "Highest number of consecutive days that the MCS is\n";
    text += "Dry after Summer Solstice  Moist after Winter Solstice\n";
    append_format(text, "           %3d                          %3d\n\n", counts.summer_dry_run,
                  counts.winter_moist_run);
}

}  // namespace soil_climate
