#include "report/figures.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "report/text_format.hpp"

namespace soil_climate::figures {
namespace {

// Geometry of a calendar, in pixels: a column of year labels, two pixels a day, the
// regime cell after a small gap, the title and the month axis above the rows and the
// legend below them.
constexpr int label_width = 64;
constexpr int day_width = 2;
constexpr int days_width = days_per_year * day_width;
constexpr int cell_x = days_width + 6;
constexpr int cell_width = 8;
constexpr int figure_width = label_width + cell_x + cell_width + 12;
constexpr int rows_top = 40;
constexpr int legend_line = 16;
constexpr int scale_height = 40;  // the temperature scale's bar, ticks and labels

// Width of a drawing alone in a file: the text width of a two-column journal page.
constexpr double file_width_mm = 174.0;

constexpr std::array<const char*, months_per_year> month_abbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The soil temperature colours follow viridis, a perceptually uniform scale, through its
// published anchor colours, from the scale's coldest bin to its warmest. A scale drawn
// from the data always takes in 4 to 9 °C, so that both thresholds stand on it, and spans
// at least 12 °C, so that a station with little seasonal change is not painted in the
// extremes. A bin's colour is named "t" and its lower bound in °C plus 200.
constexpr int narrowest_scale = 12;
constexpr int bin_id_offset = 200;
constexpr std::array<std::array<int, 3>, 10> viridis{{{0x44, 0x01, 0x54}, {0x48, 0x28, 0x78}, {0x3E, 0x4A, 0x89},
                                                      {0x31, 0x68, 0x8E}, {0x26, 0x82, 0x8E}, {0x1F, 0x9E, 0x89},
                                                      {0x35, 0xB7, 0x79}, {0x6D, 0xCD, 0x59}, {0xB4, 0xDE, 0x2C},
                                                      {0xFD, 0xE7, 0x25}}};

void append_number(std::string& text, int value) {
    append_integer(text, value, 0);
}

// name="value" with a whole number.
void append_attribute(std::string& text, std::string_view name, int value) {
    text += ' ';
    text += name;
    text += "=\"";
    append_number(text, value);
    text += '"';
}

// The whole degree at or below a day's temperature. The model's limits keep every day
// within -200 and 200 °C.
int bin_of(double celsius) {
    return static_cast<int>(std::clamp(std::floor(celsius), -199.0, 199.0));
}

// The scale's bins: the fixed ones, or those drawn widened evenly to the narrowest span.
struct scale_bins {
    int first;
    int count;
};
scale_bins bins_of(const temperature_scale& scale) {
    if (scale.fixed) {
        return {scale.fixed->first, scale.fixed->second - scale.fixed->first};
    }
    int first = std::min(scale.coldest_bin, 4);
    int count = std::max(scale.warmest_bin, 8) - first + 1;
    if (count < narrowest_scale) {
        first -= (narrowest_scale - count) / 2;
        count = narrowest_scale;
    }
    return {first, count};
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

int rows_bottom(const calendar_layout& layout) {
    return rows_top + layout.row_count * layout.row_height;
}

// A legend's entries side by side, each a swatch and its name, as wide as the name needs
// (about 6.2 pixels a character at the font's 10 pixels), wrapping onto a new line where
// the drawing ends. `place(i, x, line)` is told where entry i goes.
template <typename Place>
int lay_out_legend(std::span<const std::string_view> names, Place&& place) {
    int x = label_width;
    int line = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int width = 14 + static_cast<int>(names[i].size() * 31 / 5) + 16;
        if (x > label_width && x + width > figure_width) {
            x = label_width;
            ++line;
        }
        place(i, x, line);
        x += width;
    }
    return line + 1;
}

int legend_lines(std::span<const std::string_view> names) {
    return lay_out_legend(names, [](std::size_t, int, int) {});
}

int moisture_legend_height() {
    return legend_line * (legend_lines(moisture_code_names) + legend_lines(moisture_regime_names)) + 14;
}
int temperature_legend_height(const calendar_layout& layout) {
    return scale_height +
           legend_line * legend_lines(std::span(temperature_regime_names).first(layout.temperature_regimes)) + 14;
}

// The drawing's opening: its size (pixels on the page, millimetres in a file), the font,
// a white ground and its title.
void open_svg(std::string& text, target where, int width, int height, std::string_view description,
              std::string_view title, std::string_view station_name) {
    if (where == target::file) {
        text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    }
    text += "<svg xmlns=\"http://www.w3.org/2000/svg\"";
    if (where == target::file) {
        append_format(text, " width=\"%.1fmm\" height=\"%.1fmm\"", file_width_mm,
                      file_width_mm * height / width);
    } else {
        append_attribute(text, "width", width);
        append_attribute(text, "height", height);
    }
    text += " viewBox=\"0 0 ";
    append_number(text, width);
    text += ' ';
    append_number(text, height);
    text += "\" font-family=\"DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif\" font-size=\"10\" "
            "role=\"img\" aria-label=\"";
    text += description;
    text += "\">\n<rect";
    append_attribute(text, "width", width);
    append_attribute(text, "height", height);
    text += " fill=\"#FFFFFF\"/>\n<text x=\"4\" y=\"15\" font-size=\"13\" font-weight=\"bold\" fill=\"#222222\">";
    text += title;
    text += ", ";
    append_escaped(text, station_name);
    text += "</text>\n";
}

// A calendar's opening: the drawing, the axis titles and the month names along the top.
void open_calendar(std::string& text, target where, const calendar_layout& layout, std::string_view description,
                   std::string_view title, std::string_view station_name, int legend_height) {
    open_svg(text, where, figure_width, rows_bottom(layout) + legend_height, description, title, station_name);
    text += "<g fill=\"#333333\" text-anchor=\"middle\">";
    for (int m = 0; m < months_per_year; ++m) {
        text += "<text";
        append_attribute(text, "x", label_width + (m * days_per_month + days_per_month / 2) * day_width);
        append_attribute(text, "y", rows_top - 6);
        text += '>';
        text += month_abbreviations[m];
        text += "</text>";
    }
    text += "<text";
    append_attribute(text, "x", label_width + cell_x + cell_width / 2);
    append_attribute(text, "y", rows_top - 6);
    text += " font-size=\"8\">regime</text></g>\n";
}

// The month boundaries drawn over the rows.
void append_month_lines(std::string& text, const calendar_layout& layout) {
    text += "<g stroke=\"#FFFFFF\" stroke-width=\"1\">";
    for (int m = 0; m <= months_per_year; ++m) {
        const int x = label_width + m * days_per_month * day_width;
        text += "<line";
        append_attribute(text, "x1", x);
        append_attribute(text, "x2", x);
        append_attribute(text, "y1", rows_top - 4);
        append_attribute(text, "y2", rows_bottom(layout));
        text += "/>";
    }
    text += "</g>\n";
}

// A legend: its heading, then swatches with their names; returns the top of what follows.
template <typename Colour_of>
int append_legend(std::string& text, int top, std::string_view heading, std::span<const std::string_view> names,
                  Colour_of&& colour_of) {
    text += "<g fill=\"#222222\"><text";
    append_attribute(text, "x", label_width - 6);
    append_attribute(text, "y", top + 10);
    text += " text-anchor=\"end\">";
    text += heading;
    text += "</text>";
    const int lines = lay_out_legend(names, [&](std::size_t i, int x, int line) {
        const int y = top + line * legend_line;
        text += "<rect";
        append_attribute(text, "x", x);
        append_attribute(text, "y", y + 1);
        text += " width=\"10\" height=\"10\" fill=\"";
        text += colour_of(i);
        text += "\" stroke=\"#666666\" stroke-width=\"0.5\"/><text";
        append_attribute(text, "x", x + 14);
        append_attribute(text, "y", y + 10);
        text += '>';
        text += names[i];
        text += "</text>";
    });
    text += "</g>\n";
    return top + lines * legend_line;
}

// A row's group, its hover text ("1981: XERIC, DRY XERIC, Thermic") and, where the layout
// shows one, its label.
void open_row(std::string& text, const calendar_layout& layout, int row, const year_row& year) {
    text += "<g transform=\"translate(";
    append_number(text, label_width);
    text += ',';
    append_number(text, rows_top + row * layout.row_height);
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
        text += "<text x=\"-4\"";
        append_attribute(text, "y", layout.row_height - 1);
        text += " text-anchor=\"end\" fill=\"#333333\">";
        append_escaped(text, year.label);
        text += "</text>";
    }
}

int rect_height(const calendar_layout& layout) {
    return layout.row_height > 3 ? layout.row_height - 1 : layout.row_height;
}

// The rectangles of a row, one for each run of days of the same class, and the cell of
// the year's regime; `class_of(d)` is day d's class and `append_paint` writes a class's
// colour.
template <typename Class_of, typename Append_paint>
void append_runs(std::string& text, const calendar_layout& layout, std::string_view regime_colour,
                 Class_of&& class_of, Append_paint&& append_paint) {
    const int height = rect_height(layout);
    for (int first = 0; first < days_per_year;) {
        const int kind = class_of(first);
        int end = first + 1;
        while (end < days_per_year && class_of(end) == kind) {
            ++end;
        }
        text += "<rect";
        append_attribute(text, "x", first * day_width);
        append_attribute(text, "width", (end - first) * day_width);
        append_attribute(text, "height", height);
        text += " fill=\"";
        append_paint(kind);
        text += "\"/>";
        first = end;
    }
    text += "<rect";
    append_attribute(text, "x", cell_x);
    append_attribute(text, "width", cell_width);
    append_attribute(text, "height", height);
    text += " fill=\"";
    text += regime_colour;
    text += "\"/></g>\n";
}

// The temperature scale's bar under its calendar: the colours of its bins, ticks at every
// 5 °C and at its ends, 5 °C and 8 °C bold; a label that would run into another is left
// out, the thresholds' never.
void append_temperature_scale(std::string& text, int top, const scale_bins& bins) {
    const int bin_pixels = std::max(4, 480 / bins.count);
    text += "<g>";
    for (int position = 0; position < bins.count; ++position) {
        text += "<rect";
        append_attribute(text, "x", label_width + position * bin_pixels);
        append_attribute(text, "y", top);
        append_attribute(text, "width", bin_pixels);
        text += " height=\"12\" fill=\"";
        append_bin_colour(text, position, bins.count);
        text += "\"/>";
    }
    const auto x_of = [&](int celsius) { return label_width + (celsius - bins.first) * bin_pixels; };
    std::vector<int> labelled;
    for (const int threshold : {5, 8}) {
        if (threshold >= bins.first && threshold <= bins.first + bins.count) {
            labelled.push_back(threshold);
        }
    }
    for (int celsius = bins.first; celsius <= bins.first + bins.count; ++celsius) {
        const bool end = celsius == bins.first || celsius == bins.first + bins.count;
        const bool clear = std::all_of(labelled.begin(), labelled.end(),
                                       [&](int other) { return std::abs(x_of(other) - x_of(celsius)) >= 24; });
        if ((end || celsius % 5 == 0) && clear) {
            labelled.push_back(celsius);
        }
    }
    for (const int celsius : labelled) {
        const bool threshold = celsius == 5 || celsius == 8;
        text += "<line";
        append_attribute(text, "x1", x_of(celsius));
        append_attribute(text, "x2", x_of(celsius));
        append_attribute(text, "y1", threshold ? top - 3 : top + 12);
        append_attribute(text, "y2", top + 17);
        text += threshold ? " stroke=\"#000000\" stroke-width=\"2\"/>" : " stroke=\"#000000\"/>";
        text += "<text";
        append_attribute(text, "x", x_of(celsius));
        append_attribute(text, "y", top + 28);
        text += threshold ? " text-anchor=\"middle\" font-weight=\"bold\">" : " text-anchor=\"middle\">";
        append_number(text, celsius);
        text += threshold ? " &#176;C</text>" : "</text>";
    }
    text += "<text";
    append_attribute(text, "x", label_width - 6);
    append_attribute(text, "y", top + 10);
    text += " text-anchor=\"end\">&#176;C</text></g>\n";
}

std::string_view temperature_colour_at(std::size_t i) {
    return temperature_regime_colour(static_cast<soil_temperature_regime>(i));
}
std::string_view moisture_colour_at(std::size_t i) {
    return moisture_regime_colour(static_cast<soil_moisture_regime>(i));
}

}  // namespace

calendar_layout layout_for(int row_count, std::size_t temperature_regimes) {
    const int row_height = row_count <= 120 ? 10 : row_count <= 400 ? 5 : 3;
    return {row_count, row_height, (12 + row_height - 1) / row_height, temperature_regimes};
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

void open_moisture_calendar(std::string& text, target where, const calendar_layout& layout,
                            std::string_view station_name) {
    open_calendar(text, where, layout, "Soil moisture of every day of every year",
                  "Soil moisture of the moisture control section", station_name, moisture_legend_height());
}

void append_moisture_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                         const daily_codes& moisture_calendar) {
    open_row(text, layout, row, year);
    append_runs(
        text, layout, moisture_regime_colour(year.moisture_regime),
        [&](int d) { return code_number(moisture_calendar[d]); },
        [&](int code) { text += moisture_code_colours[static_cast<std::size_t>(code) - 1]; });
}

void close_moisture_calendar(std::string& text, const calendar_layout& layout) {
    append_month_lines(text, layout);
    const int top = append_legend(text, rows_bottom(layout) + 10, "Day", moisture_code_names,
                                  [](std::size_t i) { return moisture_code_colours[i]; });
    append_legend(text, top, "Regime", moisture_regime_names, moisture_colour_at);
    text += "</svg>\n";
}

void open_temperature_calendar(std::string& text, target where, const calendar_layout& layout,
                               std::string_view station_name) {
    open_calendar(text, where, layout, "Soil temperature of every day of every year", "Soil temperature", station_name,
                  temperature_legend_height(layout));
}

void append_temperature_row(std::string& text, const calendar_layout& layout, int row, const year_row& year,
                            const daily_temperatures& temperature_calendar, temperature_scale& scale) {
    open_row(text, layout, row, year);
    append_runs(
        text, layout, temperature_regime_colour(year.temperature_regime),
        [&](int d) {
            int bin = bin_of(temperature_calendar[d]);
            if (scale.fixed) {
                bin = std::clamp(bin, scale.fixed->first, scale.fixed->second - 1);
            }
            scale.coldest_bin = std::min(scale.coldest_bin, bin);
            scale.warmest_bin = std::max(scale.warmest_bin, bin);
            return bin;
        },
        // A bin's colour by reference ("url(#t215)"); the colours follow at the close.
        [&](int bin) {
            text += "url(#t";
            append_number(text, bin + bin_id_offset);
            text += ')';
        });
}

void close_temperature_calendar(std::string& text, const calendar_layout& layout, const temperature_scale& scale) {
    append_month_lines(text, layout);
    const scale_bins bins = bins_of(scale);
    append_temperature_scale(text, rows_bottom(layout) + 12, bins);
    append_legend(text, rows_bottom(layout) + 10 + scale_height, "Regime",
                  std::span(temperature_regime_names).first(layout.temperature_regimes), temperature_colour_at);
    // The bins' colours, named by the rows: a gradient of one stop paints one colour.
    text += "<defs>";
    for (int position = 0; position < bins.count; ++position) {
        text += "<linearGradient id=\"t";
        append_number(text, bins.first + position + bin_id_offset);
        text += "\"><stop stop-color=\"";
        append_bin_colour(text, position, bins.count);
        text += "\"/></linearGradient>";
    }
    text += "</defs>\n</svg>\n";
}

void append_gap_row(std::string& text, const calendar_layout& layout, int row, std::string_view label) {
    text += "<g transform=\"translate(";
    append_number(text, label_width);
    text += ',';
    append_number(text, rows_top + row * layout.row_height);
    text += ")\"><title>";
    append_escaped(text, label);
    text += ": no record</title><text x=\"-4\"";
    append_attribute(text, "y", layout.row_height - 1);
    text += " text-anchor=\"end\" fill=\"#999999\">";
    append_escaped(text, label);
    text += "</text><rect x=\"0.5\" y=\"0.5\"";
    append_attribute(text, "width", days_width - 1);
    append_attribute(text, "height", std::max(1, rect_height(layout) - 1));
    text += " fill=\"#FFFFFF\" stroke=\"#999999\" stroke-dasharray=\"3 3\"/></g>\n";
}

void append_frequency_figure(std::string& text, target where, std::string_view station_name,
                             std::span<const int> moisture_tally, std::span<const int> subdivision_tally,
                             std::span<const int> temperature_tally, int year_count) {
    constexpr int width = 640;
    constexpr int row = 13;
    constexpr int bar_left = 170;
    constexpr int bar_full = 300;  // pixels for 100 %
    const int rows = static_cast<int>(moisture_tally.size() + subdivision_tally.size() + temperature_tally.size());
    const int height = 30 + 3 * 20 + rows * row + 6;
    std::string title = "Regime frequencies over ";
    append_number(title, year_count);
    title += year_count == 1 ? " year" : " years";
    open_svg(text, where, width, height, "How often each regime occurred", title, station_name);
    int y = 30;
    const auto section = [&](std::string_view caption, std::span<const std::string_view> names,
                             std::span<const int> tally, std::string_view (*colour_of)(std::size_t)) {
        y += 16;
        text += "<text x=\"4\"";
        append_attribute(text, "y", y);
        text += " font-weight=\"bold\" fill=\"#222222\">";
        text += caption;
        text += "</text>\n";
        y += 4;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const double percent = tally[i] * 100.0 / year_count;
            text += "<g";
            text += tally[i] == 0 ? " fill=\"#999999\">" : " fill=\"#222222\">";
            text += "<text x=\"12\"";
            append_attribute(text, "y", y + 10);
            text += '>';
            text += names[i];
            text += "</text><rect";
            append_attribute(text, "x", bar_left);
            append_attribute(text, "y", y + 2);
            text += " width=\"";
            append_fixed(text, percent * bar_full / 100.0, 0, 1);
            text += "\" height=\"9\" fill=\"";
            text += colour_of(i);
            text += "\"/><text";
            append_format(text, " x=\"%.1f\"", bar_left + percent * bar_full / 100.0 + 4.0);
            append_attribute(text, "y", y + 10);
            text += '>';
            append_number(text, tally[i]);
            text += " (";
            append_fixed(text, percent, 0, 1);
            text += " %)</text></g>\n";
            y += row;
        }
    };
    section("Soil moisture regime", moisture_regime_names, moisture_tally, moisture_colour_at);
    section("Tentative subdivision", subdivision_names, subdivision_tally,
            [](std::size_t) { return std::string_view("#009E73"); });
    section("Soil temperature regime", std::span(temperature_regime_names).first(temperature_tally.size()),
            temperature_tally, temperature_colour_at);
    text += "</svg>\n";
}

}  // namespace soil_climate::figures
