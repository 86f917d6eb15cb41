#include "report/station_index.hpp"

#include <cstdio>

#include "report/csv.hpp"
#include "report/station_page.hpp"
#include "report/text_format.hpp"

namespace soil_climate {
namespace {

// The columns of one regime table: "moisture_typic_xeric_percent" and the like.
void append_percent_columns(std::string& text, std::string_view kind, std::span<const std::string_view> names) {
    for (const std::string_view name : names) {
        text += ',';
        text += kind;
        text += '_';
        for (const char c : name) {
            text += c == ' ' ? '_' : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        text += "_percent";
    }
}

void append_percentages(std::string& text, std::span<const int> tally, int years) {
    for (const int count : tally) {
        text += ',';
        append_fixed(text, years > 0 ? count * 100.0 / years : 0.0, 0, 2);
    }
}

// The most frequent name of a regime table, the first in table order on a tie.
std::size_t most_frequent(std::span<const int> tally) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < tally.size(); ++i) {
        if (tally[i] > tally[best]) {
            best = i;
        }
    }
    return best;
}

}  // namespace

void station_tally::add_year(soil_moisture_regime moisture, moisture_subdivision subdivision,
                             soil_temperature_regime temperature) {
    ++moisture_regimes[index_of(moisture)];
    ++subdivisions[index_of(subdivision)];
    ++temperature_regimes[index_of(temperature)];
    if (moisture_runs.empty() || moisture_runs.back().regime != moisture) {
        moisture_runs.push_back({years, moisture});
    }
    ++years;
}

void append_station_summary_header(std::string& text) {
    text += "station,years";
    append_percent_columns(text, "moisture", moisture_regime_names);
    append_percent_columns(text, "subdivision", subdivision_names);
    append_percent_columns(text, "temperature", temperature_regime_names);
    text += '\n';
}

void append_station_summary_row(std::string& text, std::string_view station, const station_tally& tally) {
    append_csv_quoted(text, station);  // a station's folder is always quoted
    text += ',';
    append_integer(text, tally.years, 0);
    append_percentages(text, tally.moisture_regimes, tally.years);
    append_percentages(text, tally.subdivisions, tally.years);
    append_percentages(text, tally.temperature_regimes, tally.years);
    text += '\n';
}

namespace page {

void append_index_head(std::string& text) {
    text += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Soil climates of the "
            "stations</title>\n<style>\nbody{font-family:sans-serif;margin:1.5em;color:#222}"
            "table{border-collapse:collapse;font-size:.9em}td,th{padding:.2em .7em;text-align:left}"
            "tr:nth-child(even){background:#f3f3f3}.years{text-align:right}.swatch{display:inline-block;width:1em;"
            "height:1em;vertical-align:middle;margin-right:.3em}.legend span{margin-right:1em}\n</style>\n</head>\n"
            "<body>\n<h1>Soil climates of the stations</h1>\n<p class=\"legend\">Moisture regime by year, left to "
            "right: \n";
    for (std::size_t i = 0; i < moisture_regime_names.size(); ++i) {
        text += "<span><span class=\"swatch\" style=\"background:";
        text += moisture_regime_colour(static_cast<soil_moisture_regime>(i));
        text += "\"></span>";
        text += moisture_regime_names[i];
        text += "</span>";
    }
    text += "</p>\n<table>\n<tr><th>station</th><th>name</th><th class=\"years\">years</th><th>most frequent "
            "moisture regime</th><th>most frequent temperature regime</th><th>moisture regime by year</th></tr>\n";
}

void append_index_row(std::string& text, std::string_view station, std::string_view page_link,
                      const station_tally& tally) {
    text += "<tr><td><a href=\"";
    text += page_link;
    text += "\">";
    append_escaped(text, station);
    text += "</a></td><td>";
    append_escaped(text, tally.station_name);
    text += "</td><td class=\"years\">";
    append_integer(text, tally.years, 0);
    text += "</td><td>";
    text += moisture_regime_names[most_frequent(tally.moisture_regimes)];
    text += "</td><td>";
    text += temperature_regime_names[most_frequent(tally.temperature_regimes)];
    text += "</td><td><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" height=\"14\" viewBox=\"0 0 ";
    append_integer(text, tally.years, 0);
    text += " 1\" preserveAspectRatio=\"none\" role=\"img\" aria-label=\"moisture regime by year\">";
    for (std::size_t i = 0; i < tally.moisture_runs.size(); ++i) {
        const int first = tally.moisture_runs[i].first_year;
        const int end = i + 1 < tally.moisture_runs.size() ? tally.moisture_runs[i + 1].first_year : tally.years;
        text += "<rect x=\"";
        append_integer(text, first, 0);
        text += "\" width=\"";
        append_integer(text, end - first, 0);
        text += "\" height=\"1\" fill=\"";
        text += moisture_regime_colour(tally.moisture_runs[i].regime);
        text += "\"/>";
    }
    text += "</svg></td></tr>\n";
}

void append_index_tail(std::string& text) {
    text += "</table>\n</body>\n</html>\n";
}

std::string relative_link(std::string_view from, std::string_view to) {
    const auto parts = [](std::string_view path) {
        std::vector<std::string_view> pieces;
        if (path.empty()) {
            return pieces;
        }
        for (std::size_t start = 0;;) {
            const std::size_t slash = path.find('/', start);
            pieces.push_back(path.substr(start, slash - start));
            if (slash == std::string_view::npos) {
                return pieces;
            }
            start = slash + 1;
        }
    };
    const std::vector<std::string_view> f = parts(from);
    const std::vector<std::string_view> t = parts(to);
    std::size_t common = 0;
    while (common < f.size() && common < t.size() && f[common] == t[common]) {
        ++common;
    }
    std::string path;
    for (std::size_t i = common; i < f.size(); ++i) {
        if (!f[i].empty()) {
            path += "../";
        }
    }
    for (std::size_t i = common; i < t.size(); ++i) {
        path += t[i];
        if (i + 1 < t.size()) {
            path += '/';
        }
    }
    std::string link;
    for (const char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_' || c == '~' || c == '/' || c == '-';
        if (plain) {
            link += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
            link += escape;
        }
    }
    return link;
}

}  // namespace page
}  // namespace soil_climate
