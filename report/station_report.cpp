#include "report/station_report.hpp"

#include <array>
#include <cmath>
#include <string_view>

#include "report/text_format.hpp"

namespace soil_climate {
namespace {

// A row of numbered cells, "%<width>d" then `gap` blanks for n = 1 to `count`, written
// once at compile time: the report's lines of month, column and day numbers.
template <int width, int gap, int count>
constexpr std::array<char, (width + gap) * count> numbered_cells() {
    std::array<char, (width + gap) * count> row{};
    row.fill(' ');
    for (int n = 1; n <= count; ++n) {
        char* last_digit = row.data() + (width + gap) * n - gap - 1;
        for (int rest = n; rest > 0; rest /= 10) {
            *last_digit-- = static_cast<char>('0' + rest % 10);
        }
    }
    return row;
}

constexpr auto month_numbers = numbered_cells<8, 0, months_per_year>();  // "%8d", months 1 to 12
constexpr auto column_numbers = numbered_cells<6, 2, profile_rows>();    // "%6d  ", columns 1 to 8
constexpr auto day_numbers = numbered_cells<2, 1, days_per_month>();     // "%2d ", days 1 to 30

std::string_view view(const auto& cells) {
    return std::string_view(cells.data(), cells.size());
}

// A heading, a line of month numbers and a line of the twelve values, one decimal each.
void monthly_block(std::string& text, std::string_view heading, const monthly_series& values) {
    text += heading;  // "%s\n"
    text += '\n';
    text += view(month_numbers);
    text += '\n';
    for (const double value : values) {
        append_fixed(text, value, 8, 1);  // "%8.1lf"
    }
    text += "\n\n";
}

void profile_block(std::string& text, const slant_array& moisture_profile) {
    text += "Soil Moisture (mm) in every slant at the end of the year:\n      ";  // "%s\n      "
    text += view(column_numbers);
    std::string cell;
    for (int i = 0; i < slant_count; ++i) {
        if (i % profile_rows == 0) {
            text += '\n';  // "\n%6d  "
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

// A calendar: its heading, the line of day numbers, then one row per month, "\n%2d " and
// 30 cells of 2 characters and a blank, each day's character from `symbol_of(d)`.
template <typename Symbol>
void calendar_block(std::string& text, std::string_view heading, Symbol&& symbol_of) {
    text += heading;  // "%s\n   "
    text += "\n   ";
    text += view(day_numbers);
    constexpr std::size_t row_length = 4 + 3 * days_per_month;
    std::size_t at = text.size();
    text.resize(at + months_per_year * row_length);
    char* row = text.data() + at;
    for (int month = 1; month <= months_per_year; ++month, row += row_length) {
        row[0] = '\n';
        row[1] = month < 10 ? ' ' : '1';
        row[2] = static_cast<char>('0' + month % 10);
        row[3] = ' ';
        char* cell = row + 4;
        for (int d = (month - 1) * days_per_month; d < month * days_per_month; ++d, cell += 3) {
            cell[0] = ' ';
            cell[1] = symbol_of(d);
            cell[2] = ' ';
        }
    }
}

void regime_block(std::string& text, std::string_view heading, std::string_view name) {
    text += heading;  // "%s\n   " then "%s\n\n"
    text += "\n   ";
    text += name;
    text += "\n\n";
}

// A line of day counts: `lead` blanks, then "%3d" cells separated by `gap` blanks.
void counts_line(std::string& text, std::string_view lead, std::string_view gap, std::initializer_list<int> counts) {
    text += lead;
    bool first = true;
    for (const int count : counts) {
        if (!first) {
            text += gap;
        }
        append_integer(text, count, 3);
        first = false;
    }
    text += "\n\n";
}

}  // namespace

char temperature_symbol(double soil_temperature) {
    if (soil_temperature < 5.0) {
        return '-';
    }
    return soil_temperature < 8.0 ? '5' : '8';
}

void format_station_report(std::string& text, std::string_view year_label, std::string_view station_name,
                           const year_result& year) {
    const daily_temperatures& temperature_calendar = year.temperature_calendar;
    const daily_codes& moisture_calendar = year.moisture_calendar;
    const regime_counts& counts = year.counts;
    // "The simulation results of Ombrisk Model for Station %s in %s\n\n"
    text += station_report_opening;
    text += "Ombrisk Model for Station ";
    text += station_name;
    text += " in ";
    text += year_label;
    text += "\n\n";

    monthly_block(text, "Monthly Temperature (degree Celsius):", year.monthly_temperature);
    monthly_block(text, "Monthly Precipitation (mm):", year.monthly_precipitation);
    monthly_block(text, "Monthly PET (mm):", year.monthly_pet);
    profile_block(text, year.moisture_profile);

    calendar_block(text, "Soil Temperature Calender:",  // "%2c " cells
                   [&](int d) { return temperature_symbol(temperature_calendar[d]); });
    text += "\n-: T<5  5: 5<=T<8 8: T>=8\n\n";
    calendar_block(text, "Soil Moisture Calender:",  // "%2d " cells, codes 1 to 3
                   [&](int d) { return static_cast<char>('0' + code_number(moisture_calendar[d])); });
    text += "\n1: Dry  2: Partly Dry and Partly Moist  3: Moist\n\n";

    regime_block(text, "Soil Temperature Regime:", name_of(year.temperature_regime));
    regime_block(text, "Soil Moisture Regime:", name_of(year.moisture_regime));
    regime_block(text, "Tentative Subdivision of Soil Moisture Regime:", name_of(year.subdivision));

    // "       %3d               %3d               %3d\n\n" and the like.
    constexpr std::string_view gap_15 = "               ";
    text += "Number of cumulative days that the MCS during one year\n";
    text += "       DRY               M/D               Moist\n";
    counts_line(text, "       ", gap_15, {counts.year_dry_days, counts.year_moist_dry_days, counts.year_moist_days});
    text += "Number of cumulative days that the MCS when soil temperature is above 5 degree C\n";
    text += "       DRY               M/D               Moist\n";
    counts_line(text, "       ", gap_15, {counts.dry_days, counts.moist_dry_days, counts.moist_days});
    text += "Highest number of consecutive days that the MCS is Moist in some parts\n";
    text += "               Year               T>8\n";
    counts_line(text, gap_15, gap_15, {counts.longest_moist_run, counts.bio8_days});
    text += "Highest number of consecutive days that the MCS is\n";
    text += "Dry after Summer Solstice  Moist after Winter Solstice\n";
    counts_line(text, "           ", "                          ", {counts.summer_dry_run, counts.winter_moist_run});
}

}  // namespace soil_climate
