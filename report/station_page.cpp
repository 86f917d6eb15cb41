#include "report/station_page.hpp"

#include "report/figures.hpp"
#include "report/text_format.hpp"

namespace soil_climate::page {
namespace {

using figures::append_escaped;

void append_number(std::string& text, int value) {
    append_integer(text, value, 0);
}

// A table of one regime table's frequencies: each name, its years, its percentage of the
// years and a bar of that length.
void append_frequency_table(std::string& text, std::string_view caption, std::span<const std::string_view> names,
                            std::span<const int> tally, int year_count,
                            std::string_view (*colour_of)(std::size_t)) {
    text += "<table class=\"frequencies\"><caption>";
    text += caption;
    text += "</caption>\n<tr><th>name</th><th>years</th><th>percent</th><th></th></tr>\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const double percent = tally[i] * 100.0 / year_count;
        text += tally[i] == 0 ? "<tr class=\"none\"><td>" : "<tr><td>";
        text += names[i];
        text += "</td><td>";
        append_number(text, tally[i]);
        text += "</td><td>";
        append_fixed(text, percent, 0, 2);
        text += "</td><td class=\"bar\"><span style=\"width:";
        append_fixed(text, percent, 0, 2);
        text += "%;background:";
        text += colour_of(i);
        text += "\"></span></td></tr>\n";
    }
    text += "</table>\n";
}

std::string_view moisture_colour_at(std::size_t i) {
    return moisture_regime_colour(static_cast<soil_moisture_regime>(i));
}
std::string_view subdivision_colour_at(std::size_t) {
    return "#009E73";  // bluish green
}
std::string_view temperature_colour_at(std::size_t i) {
    return temperature_regime_colour(static_cast<soil_temperature_regime>(i));
}

// The summary table's cells of a row after its first: each summarised number of the row
// given (whole numbers, temperatures to a tenth of a degree) and the regimes' names; or,
// for the average row, each average and empty cells.
template <typename Number_of, typename Name_of>
void append_summary_cells(std::string& text, Number_of&& number_of, Name_of&& name_of_field) {
    for (const year_field& field : year_fields) {
        if (field.page_heading.empty()) {
            continue;
        }
        text += "<td>";
        if (field.kind == field_kind::category) {
            text += name_of_field(field);
        } else {
            append_fixed(text, number_of(field), 0, field.unit == "degC" ? 1 : 0);
        }
        text += "</td>";
    }
}

}  // namespace

void append_head(std::string& text, const station_heading& station) {
    text += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Soil climate of ";
    append_escaped(text, station.station_name);
    text += "</title>\n<style>\n"
            "body{font-family:sans-serif;margin:1.5em;color:#222;background:#fff}\n"
            "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.15em;margin:1.4em 0 .4em}\n"
            ".note{font-size:.9em;color:#555;margin:.2em 0 .5em}.run{margin:.2em 0}\n"
            "table{border-collapse:collapse;font-size:.9em;margin:.5em 2em 1em 0}"
            "td,th{padding:.1em .6em;text-align:right}td:first-child,th:first-child{text-align:left}\n"
            "caption{text-align:left;font-weight:bold;padding-bottom:.3em}.none{color:#999}\n"
            ".frequencies .bar{width:12em}.bar span{display:block;height:.8em}\n"
            ".tables{display:flex;flex-wrap:wrap;align-items:flex-start}"
            ".summary tr:nth-child(even){background:#f3f3f3}.summary .average{font-weight:bold}\n"
            "svg{max-width:100%;height:auto}"
            "@media print{body{margin:0}h2{break-after:avoid}svg{break-inside:avoid}}\n"
            "</style>\n</head>\n<body>\n<h1>Soil climate of ";
    append_escaped(text, station.station_name);
    text += "</h1>\n<p class=\"run\">Latitude ";
    append_fixed(text, station.latitude, 0, 2);
    text += "&#176; ";
    text += hemisphere_letter(station.hemisphere);
    text += ", water-holding capacity ";
    append_fixed(text, station.capacity_mm, 0, 1);
    text += " mm, ";
    append_number(text, station.year_count);
    text += station.year_count == 1 ? " year, " : " years, ";
    append_escaped(text, station.first_label);
    text += " to ";
    append_escaped(text, station.last_label);
    text += ".</p>\n<p class=\"run\">Soil temperature: offset ";
    append_format(text, "%g", station.soil_temp_offset);
    text += " &#176;C, amplitude factor ";
    append_format(text, "%g", station.amplitude_factor);
    text += ", phase shift ";
    append_format(text, "%g", station.phase_shift);
    text += " days. Made by run_station ";
    append_escaped(text, station.version);
    text += ".</p>\n<h2>Soil moisture calendar of the moisture control section</h2>\n<p class=\"note\">One row a "
            "year, in the order of the records (a dashed row for each year missing from them), one column a day "
            "of the 360-day year; the cell at the end of a row has the colour of the year's moisture regime.</p>\n";
}

void append_temperature_heading(std::string& text) {
    text += "<h2>Soil temperature calendar</h2>\n<p class=\"note\">Soil temperature in &#176;C, in steps of "
            "1 &#176;C; the days above 5 &#176;C and 8 &#176;C count towards the regimes. The cell at the end of "
            "a row has the colour of the year's soil temperature regime.</p>\n";
}

void append_frequencies(std::string& text, std::span<const int> moisture_tally, std::span<const int> subdivision_tally,
                        std::span<const int> temperature_tally, int year_count) {
    text += "<h2>How often each regime occurred</h2>\n<div class=\"tables\">\n";
    append_frequency_table(text, "Soil moisture regime", moisture_regime_names, moisture_tally, year_count,
                           moisture_colour_at);
    append_frequency_table(text, "Tentative subdivision", subdivision_names, subdivision_tally, year_count,
                           subdivision_colour_at);
    append_frequency_table(text, "Soil temperature regime",
                           std::span(temperature_regime_names).first(temperature_tally.size()), temperature_tally,
                           year_count, temperature_colour_at);
    text += "</div>\n<h2>Summary</h2>\n<table class=\"summary\">\n<tr><th>year</th>";
    for (const year_field& field : year_fields) {
        if (!field.page_heading.empty()) {
            text += "<th>";
            text += field.page_heading;
            text += "</th>";
        }
    }
    text += "</tr>\n";
}

void append_summary_row(std::string& text, const station_year& row) {
    text += "<tr><td>";
    append_escaped(text, row.year_label);
    text += "</td>";
    append_summary_cells(
        text, [&](const year_field& field) { return field.read(row).number; },
        [&](const year_field& field) { return field.read(row).text; });
    text += "</tr>\n";
}

void append_tail(std::string& text, const summary_sums& sums, int year_count) {
    text += "<tr class=\"average\"><td>AVG</td>";
    append_summary_cells(
        text, [&](const year_field& field) { return sums.*field.summed / static_cast<double>(year_count); },
        [](const year_field&) { return std::string_view(); });
    text += "</tr>\n</table>\n</body>\n</html>\n";
}

}  // namespace soil_climate::page
