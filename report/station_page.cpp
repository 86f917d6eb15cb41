#include "report/station_page.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "report/text_format.hpp"

namespace soil_climate::page {
namespace {

// Geometry of a calendar, in pixels: a column of labels, two pixels a day, an axis above.
constexpr int label_width = 64;
constexpr int day_width = 2;
constexpr int axis_height = 18;
constexpr int calendar_width = label_width + days_per_year * day_width + 8;

constexpr std::array<const char*, months_per_year> month_abbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Dry, partly dry and partly moist, moist: vermillion, yellow and blue of the Okabe-Ito
// palette, told apart with every common colour-vision deficiency.
constexpr std::array<const char*, 3> moisture_code_colours{"#D55E00", "#F0E442", "#0072B2"};

// The soil temperature colours follow viridis, a perceptually uniform scale, through its
// published anchor colours, from the coldest bin of the station to the warmest. A scale
// always takes in 4 to 9 °C, so that both thresholds stand on it, and spans at least 12 °C,
// so that a station with little seasonal change is not painted in the extremes. A bin's
// class is "t" and its lower bound in °C plus 200.
constexpr int narrowest_scale = 12;
constexpr int class_offset = 200;
constexpr std::array<std::array<int, 3>, 10> viridis{{{0x44, 0x01, 0x54}, {0x48, 0x28, 0x78}, {0x3E, 0x4A, 0x89},
                                                      {0x31, 0x68, 0x8E}, {0x26, 0x82, 0x8E}, {0x1F, 0x9E, 0x89},
                                                      {0x35, 0xB7, 0x79}, {0x6D, 0xCD, 0x59}, {0xB4, 0xDE, 0x2C},
                                                      {0xFD, 0xE7, 0x25}}};

// The whole degree at or below a day's temperature. The model's limits keep every day
// within -200 and 200 °C.
int bin_of(double celsius) {
    return static_cast<int>(std::clamp(std::floor(celsius), -199.0, 199.0));
}

// The scale's bins, widened evenly to the narrowest span.
struct scale_bins {
    int first;
    int count;
};
scale_bins bins_of(const temperature_scale& scale) {
    int first = std::min(scale.coldest_bin, 4);
    int count = std::max(scale.warmest_bin, 8) - first + 1;
    if (count < narrowest_scale) {
        first -= (narrowest_scale - count) / 2;
        count = narrowest_scale;
    }
    return {first, count};
}

void append_number(std::string& text, int value) {
    append_integer(text, value, 0);
}

// "#RRGGBB" of the bin at `position` of `count`, interpolated between the two viridis
// anchors around its middle.
void append_bin_colour(std::string& text, int position, int count) {
    const double at = (position + 0.5) / count * (viridis.size() - 1);
    const std::size_t low = std::min(static_cast<std::size_t>(at), viridis.size() - 2);
    const double share = at - static_cast<double>(low);
    char colour[8];
    int channel[3];
    for (int c = 0; c < 3; ++c) {
        channel[c] = static_cast<int>(std::lround(viridis[low][c] + (viridis[low + 1][c] - viridis[low][c]) * share));
    }
    std::snprintf(colour, sizeof colour, "#%02X%02X%02X", channel[0], channel[1], channel[2]);
    text += colour;
}

int calendar_height(const calendar_layout& layout) {
    return axis_height + layout.year_count * layout.row_height + 4;
}

// An SVG calendar's opening, its month names and ticks along the top.
void open_calendar(std::string& text, const calendar_layout& layout, std::string_view description) {
    const int height = calendar_height(layout);
    text += "<svg class=\"calendar\" xmlns=\"http://www.w3.org/2000/svg\" width=\"";
    append_number(text, calendar_width);
    text += "\" height=\"";
    append_number(text, height);
    text += "\" viewBox=\"0 0 ";
    append_number(text, calendar_width);
    text += ' ';
    append_number(text, height);
    text += "\" role=\"img\" aria-label=\"";
    text += description;
    text += "\">\n<g class=\"axis\">";
    for (int m = 0; m < months_per_year; ++m) {
        text += "<text x=\"";
        append_number(text, label_width + (m * days_per_month + days_per_month / 2) * day_width);
        text += "\" y=\"12\">";
        text += month_abbreviations[m];
        text += "</text>";
    }
    text += "</g>\n";
}

// The month boundaries drawn over the rows, and the calendar's end.
void close_calendar(std::string& text, const calendar_layout& layout) {
    text += "<g class=\"grid\">";
    for (int m = 0; m <= months_per_year; ++m) {
        const int x = label_width + m * days_per_month * day_width;
        text += "<line x1=\"";
        append_number(text, x);
        text += "\" x2=\"";
        append_number(text, x);
        text += "\" y1=\"";
        append_number(text, axis_height - 4);
        text += "\" y2=\"";
        append_number(text, calendar_height(layout) - 2);
        text += "\"/>";
    }
    text += "</g>\n</svg>\n";
}

// A row's group, its hover text ("1981: XERIC, DRY XERIC, Thermic") and, where the layout
// shows one, its label.
void open_row(std::string& text, const calendar_layout& layout, int row, const year_row& year) {
    text += "<g transform=\"translate(";
    append_number(text, label_width);
    text += ',';
    append_number(text, axis_height + row * layout.row_height);
    text += ")\"><title>";
    append_escaped(text, year.label);
    text += ": ";
    text += name_of(year.moisture_regime);
    text += ", ";
    text += name_of(year.subdivision);
    text += ", ";
    text += name_of(year.temperature_regime);
    text += "</title>";
    if (row % layout.label_every == 0) {
        text += "<text x=\"-4\" y=\"";
        append_number(text, layout.row_height - 1);
        text += "\">";
        append_escaped(text, year.label);
        text += "</text>";
    }
}

// The rectangles of a row: one for each run of days in the same class.
template <typename Class_of>
void append_runs(std::string& text, const calendar_layout& layout, char prefix, Class_of&& class_of) {
    const int height = layout.row_height > 3 ? layout.row_height - 1 : layout.row_height;
    for (int first = 0; first < days_per_year;) {
        const int kind = class_of(first);
        int end = first + 1;
        while (end < days_per_year && class_of(end) == kind) {
            ++end;
        }
        text += "<rect x=\"";
        append_number(text, first * day_width);
        text += "\" width=\"";
        append_number(text, (end - first) * day_width);
        text += "\" height=\"";
        append_number(text, height);
        text += "\" class=\"";
        text += prefix;
        append_number(text, kind);
        text += "\"/>";
        first = end;
    }
    text += "</g>\n";
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
std::string_view temperature_colour_at(std::size_t) {
    return "#CC79A7";  // reddish purple
}

// The summary table's cells of a row after its first: each summarised number of the row
// given, rounded to a whole number, and the subdivision's name; or, for the average row,
// each average and an empty cell.
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
            append_fixed(text, number_of(field), 0, 0);
        }
        text += "</td>";
    }
}

}  // namespace

calendar_layout layout_for(int year_count) {
    const int row_height = year_count <= 120 ? 10 : year_count <= 400 ? 5 : 3;
    return {year_count, row_height, (12 + row_height - 1) / row_height};
}

void append_escaped(std::string& text, std::string_view raw) {
    for (const char c : raw) {
        switch (c) {
            case '&':
                text += "&amp;";
                break;
            case '<':
                text += "&lt;";
                break;
            case '>':
                text += "&gt;";
                break;
            case '"':
                text += "&quot;";
                break;
            default:
                text += c;
        }
    }
}

std::string_view moisture_code_colour(moisture_code code) {
    return moisture_code_colours[static_cast<std::size_t>(code) - 1];
}

std::string_view moisture_regime_colour(soil_moisture_regime regime) {
    // Dry regimes in warm colours, wet ones in blues, none of them the yellow of a partly
    // dry day; every pair stays apart (CIE76 distance above 30) for normal vision and
    // simulated protanopia, deuteranopia and tritanopia. Colours of Paul Tol's schemes.
    static constexpr std::array<std::string_view, moisture_regime_names.size()> colours{
        "#882255",  // ARIDIC: wine
        "#EE6677",  // XERIC: rose
        "#997700",  // USTIC: ochre
        "#332288",  // PERUDIC: indigo
        "#56B4E9",  // UDIC: sky blue
        "#DDDDDD",  // UNDEFINED: pale grey
    };
    return colours[index_of(regime)];
}

void append_head(std::string& text, const station_heading& station, const calendar_layout& layout) {
    text += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Soil climate of ";
    append_escaped(text, station.station_name);
    text += "</title>\n<style>\n"
            "body{font-family:sans-serif;margin:1.5em;color:#222;background:#fff}\n"
            "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.15em;margin:1.4em 0 .4em}\n"
            ".calendar text{font-size:10px;fill:#333}.calendar g text{text-anchor:end}"
            ".axis text{text-anchor:middle}\n"
            ".grid line{stroke:#fff;stroke-width:1}\n"
            ".legend{display:flex;flex-wrap:wrap;gap:1.2em;align-items:center;font-size:.9em;margin:.3em 0}"
            ".legend>span{white-space:nowrap}.note{font-size:.9em;color:#555;margin:.2em 0 .5em}"
            ".swatch{display:inline-block;width:1em;height:1em;vertical-align:middle;margin-right:.3em}\n"
            "table{border-collapse:collapse;font-size:.9em;margin:.5em 2em 1em 0}"
            "td,th{padding:.1em .6em;text-align:right}td:first-child,th:first-child{text-align:left}\n"
            "caption{text-align:left;font-weight:bold;padding-bottom:.3em}.none{color:#999}\n"
            ".frequencies .bar{width:12em}.bar span{display:block;height:.8em}\n"
            ".tables{display:flex;flex-wrap:wrap;align-items:flex-start}"
            ".summary tr:nth-child(even){background:#f3f3f3}.summary .average{font-weight:bold}\n";
    for (std::size_t code = 0; code < moisture_code_colours.size(); ++code) {
        text += ".m";
        append_number(text, static_cast<int>(code) + 1);
        text += "{fill:";
        text += moisture_code_colours[code];
        text += '}';
    }
    text += "\n</style>\n</head>\n<body>\n<h1>Soil climate of ";
    append_escaped(text, station.station_name);
    text += "</h1>\n<p>Latitude ";
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
    text += ".</p>\n<h2>Soil moisture calendar of the moisture control section</h2>\n<div class=\"legend\">";
    for (std::size_t code = 0; code < moisture_code_names.size(); ++code) {
        text += "<span><span class=\"swatch\" style=\"background:";
        text += moisture_code_colours[code];
        text += "\"></span>";
        text += moisture_code_names[code];
        text += "</span>";
    }
    text += "</div>\n<p class=\"note\">One row a year, in the order of the records, and one column a day of the "
            "360-day year; hover over a row for its regimes.</p>\n";
    open_calendar(text, layout, "Soil moisture of every day of every year");
}

void append_moisture_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                         const daily_codes& moisture_calendar) {
    open_row(text, layout, row, year);
    append_runs(text, layout, 'm', [&](int d) { return code_number(moisture_calendar[d]); });
}

void append_temperature_start(std::string& text, const calendar_layout& layout, const temperature_scale& scale) {
    close_calendar(text, layout);
    const scale_bins bins = bins_of(scale);
    const int bin_pixels = std::max(4, 480 / bins.count);
    const int left = 20;
    const int width = left * 2 + bins.count * bin_pixels;
    text += "<h2>Soil temperature calendar</h2>\n<div class=\"legend\"><svg xmlns=\"http://www.w3.org/2000/svg\" "
            "width=\"";
    append_number(text, width);
    text += "\" height=\"40\" viewBox=\"0 0 ";
    append_number(text, width);
    text += " 40\" role=\"img\" aria-label=\"Soil temperature scale in degrees C\">\n<style>";
    for (int position = 0; position < bins.count; ++position) {
        text += ".t";
        append_number(text, bins.first + position + class_offset);
        text += "{fill:";
        append_bin_colour(text, position, bins.count);
        text += '}';
    }
    text += "</style>\n";
    for (int position = 0; position < bins.count; ++position) {
        text += "<rect x=\"";
        append_number(text, left + position * bin_pixels);
        text += "\" y=\"4\" width=\"";
        append_number(text, bin_pixels);
        text += "\" height=\"14\" class=\"t";
        append_number(text, bins.first + position + class_offset);
        text += "\"/>";
    }
    // Ticks at every 5 °C of the scale and at its ends; 5 °C and 8 °C drawn bold.
    for (int celsius = bins.first; celsius <= bins.first + bins.count; ++celsius) {
        const bool threshold = celsius == 5 || celsius == 8;
        const bool end = celsius == bins.first || celsius == bins.first + bins.count;
        if (!threshold && !end && celsius % 5 != 0) {
            continue;
        }
        const int x = left + (celsius - bins.first) * bin_pixels;
        text += "<line x1=\"";
        append_number(text, x);
        text += "\" x2=\"";
        append_number(text, x);
        text += threshold ? "\" y1=\"0\" y2=\"24\" stroke=\"#000\" stroke-width=\"2\"/>"
                          : "\" y1=\"18\" y2=\"24\" stroke=\"#000\"/>";
        text += "<text x=\"";
        append_number(text, x);
        text += "\" y=\"36\" font-size=\"10\" text-anchor=\"middle\"";
        text += threshold ? " font-weight=\"bold\">" : ">";
        append_number(text, celsius);
        text += threshold ? " &#176;C</text>" : "</text>";
    }
    text += "</svg></div>\n<p class=\"note\">Soil temperature in &#176;C, in steps of 1 &#176;C; the days above "
            "5 &#176;C and 8 &#176;C count towards the regimes.</p>\n";
    open_calendar(text, layout, "Soil temperature of every day of every year");
}

void append_temperature_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                            const daily_temperatures& temperature_calendar, temperature_scale& scale) {
    open_row(text, layout, row, year);
    append_runs(text, layout, 't', [&](int d) {
        const int bin = bin_of(temperature_calendar[d]);
        scale.coldest_bin = std::min(scale.coldest_bin, bin);
        scale.warmest_bin = std::max(scale.warmest_bin, bin);
        return bin + class_offset;
    });
}

void append_frequencies(std::string& text, const calendar_layout& layout, std::span<const int> moisture_tally,
                        std::span<const int> subdivision_tally, std::span<const int> temperature_tally,
                        int year_count) {
    close_calendar(text, layout);
    text += "<h2>How often each regime occurred</h2>\n<div class=\"tables\">\n";
    append_frequency_table(text, "Soil moisture regime", moisture_regime_names, moisture_tally, year_count,
                           moisture_colour_at);
    append_frequency_table(text, "Tentative subdivision", subdivision_names, subdivision_tally, year_count,
                           subdivision_colour_at);
    append_frequency_table(text, "Soil temperature regime", temperature_regime_names, temperature_tally,
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
